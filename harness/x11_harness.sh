# Shell library for the tests and scripts that drive a real program on an X
# server of their own. Source it from bash; every step either succeeds or ends
# the run with "FAIL [step]: why" on standard error and exit status 1.
#
#   xh_begin NAME                  start a test: work directory, cleanup on exit
#   xh_step TEXT                   name the step that follows (for messages)
#   xh_fail TEXT                   end the test, naming the current step
#   xh_require_tools TOOL...       fail unless every tool is on PATH
#   xh_start_server [WxHxD]        private Xvfb on a free display; sets DISPLAY
#                                  (with XH_SERVER_RESETS, it resets as by default)
#   xh_start_program DIR CMD...    run CMD in DIR in the background (XH_PROGRAM_PID)
#   xh_start_program_as_a_client_leaves DIR CMD...  the same as another leaves
#   xh_wait_window TITLE [SECS]    wait until a visible window with exactly this
#                                  title exists; sets XH_WINDOW
#   xh_window_geometry WINDOW      sets XH_WINDOW_X/Y/WIDTH/HEIGHT (the X window's
#                                  own area on the screen)
#   xh_screenshot OUT.ppm [X Y W H] the screen, or a region of it, as binary PPM
#   xh_wait_frame LEFT TOP [SECS] [POINT...]
#                                  wait until the screen shows the frame that
#                                  frame_check composes, its top-left pixel at
#                                  (LEFT, TOP); screenshots are kept on failure
#   xh_watch_frame LEFT TOP SECS [POINT...]
#                                  for SECS seconds (a fraction allowed), fail
#                                  on the first screenshot that does not show
#                                  that frame: the picture must stay
#   xh_locate_frame [SECS] [POINT...]
#                                  wait until the frame appears anywhere on the
#                                  screen; sets XH_FRAME_X/Y
#   xh_compare_ppm SHOT EXPECTED   fail unless two PPM pictures are identical
#   xh_wait_exit [SECS]            wait for the program to end; sets XH_EXIT_CODE
#   xh_wait_file PATH [SECS]       wait until PATH exists
#   xh_expect_exit CODE [SECS]     wait for the program and check its exit code
#   xh_wait_replaced PATH EXPECTED COUNT [SECS]
#                                  wait until PATH has been replaced by COUNT new
#                                  files, each one identical to EXPECTED
#
# Tools come from the environment: FRAME_CHECK (frame_check) for the frame
# steps. Polling is bounded everywhere; nothing sleeps for long.
#
# frame_check also writes the frame as PPM (frame_check write) and the export
# that Tab writes for a scene (frame_check export DIR P2=X,Y ...), so a test
# can compare the program's object.3ds with `cmp`.

XH_STEP="setup"
XH_WORK=""
XH_SERVER_PID=""
XH_PROGRAM_PID=""
XH_EXIT_CODE=""
XH_POLL=0.05

xh_step() {
    XH_STEP="$1"
}

xh_fail() {
    echo "FAIL [$XH_STEP]: $1" >&2
    if [[ -n "$XH_PROGRAM_PID" && -s "$XH_WORK/program.err" ]]; then
        echo "--- program's standard error:" >&2
        tail -n 20 "$XH_WORK/program.err" >&2
    fi
    if [[ -n "$XH_WORK" ]]; then
        echo "--- files kept in $XH_WORK" >&2
        XH_KEEP_WORK=1
    fi
    exit 1
}

xh_cleanup() {
    if [[ -n "$XH_PROGRAM_PID" ]] && kill -0 "$XH_PROGRAM_PID" 2>/dev/null; then
        kill -KILL "$XH_PROGRAM_PID" 2>/dev/null
        wait "$XH_PROGRAM_PID" 2>/dev/null
    fi
    if [[ -n "$XH_SERVER_PID" ]] && kill -0 "$XH_SERVER_PID" 2>/dev/null; then
        kill -CONT "$XH_SERVER_PID" 2>/dev/null
        kill -TERM "$XH_SERVER_PID" 2>/dev/null
        wait "$XH_SERVER_PID" 2>/dev/null
    fi
    if [[ -n "$XH_WORK" && -z "${XH_KEEP_WORK:-}" ]]; then
        rm -rf "$XH_WORK"
    fi
}

xh_begin() {
    XH_WORK=$(mktemp -d "${TMPDIR:-/tmp}/kestrovan-$1.XXXXXX") || {
        echo "FAIL [setup]: cannot create a work directory" >&2
        exit 1
    }
    trap xh_cleanup EXIT
    trap 'exit 1' INT TERM
}

xh_require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || xh_fail "'$tool' is not installed (scripts/install-deps installs it)"
    done
}

# Polls `$@` until it succeeds, at most SECS seconds. Returns 1 on timeout.
xh_poll() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep "$XH_POLL"
    done
}

xh_start_server() {
    local screen=${1:-1600x1200x24}
    xh_step "start Xvfb"
    xh_require_tools Xvfb
    # -displayfd: the server picks a free display number itself and writes it
    # here once it accepts connections, so parallel tests never collide.
    : >"$XH_WORK/display"
    local reset=-noreset
    [[ -z "${XH_SERVER_RESETS:-}" ]] || reset=-reset
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp "$reset" \
        3>"$XH_WORK/display" 2>"$XH_WORK/xvfb.log" &
    XH_SERVER_PID=$!
    xh_server_ready() {
        kill -0 "$XH_SERVER_PID" 2>/dev/null || return 0
        grep -q '^[0-9][0-9]*$' "$XH_WORK/display"
    }
    xh_poll 15 xh_server_ready || xh_fail "Xvfb did not report a display within 15 s"
    kill -0 "$XH_SERVER_PID" 2>/dev/null || xh_fail "Xvfb exited: $(tail -n 3 "$XH_WORK/xvfb.log")"
    export DISPLAY=":$(head -n 1 "$XH_WORK/display")"
}

xh_start_program() {
    local dir=$1
    shift
    xh_step "start $(basename "$1")"
    [[ -x "$1" ]] || xh_fail "'$1' is not an executable"
    (cd "$dir" && exec "$@") >"$XH_WORK/program.out" 2>"$XH_WORK/program.err" &
    XH_PROGRAM_PID=$!
}

# Held still (SIGSTOP), the server sees the client go and CMD come at once: it resets, dropping CMD.
xh_start_program_as_a_client_leaves() {
    xdotool sleep 60 &
    local leaving=$! connected='ls -l /proc/$0/fd | grep -q socket:'
    xh_poll 10 bash -c "$connected" "$leaving" || xh_fail "xdotool did not connect"
    kill -STOP "$XH_SERVER_PID"
    xh_start_program "$@"
    xh_poll 10 bash -c "$connected" "$XH_PROGRAM_PID" && sleep 0.1  # and sent its set-up
    kill -KILL "$leaving"; kill -CONT "$XH_SERVER_PID"
}

xh_program_running() {
    kill -0 "$XH_PROGRAM_PID" 2>/dev/null
}

xh_wait_window() {
    local title=$1 seconds=${2:-15}
    xh_step "wait for the window '$title'"
    XH_WINDOW=""
    # xdotool matches a regular expression: anchor it and escape the dots.
    local pattern="^${title//./\\.}\$"
    xh_window_found() {
        xh_program_running || return 0
        XH_WINDOW=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1)
        [[ -n "$XH_WINDOW" ]]
    }
    xh_poll "$seconds" xh_window_found || xh_fail "no visible window within $seconds s"
    [[ -n "$XH_WINDOW" ]] || xh_fail "the program ended before showing its window"
}

xh_window_geometry() {
    local info
    info=$(xwininfo -id "$1" 2>&1) || xh_fail "xwininfo failed: $info"
    XH_WINDOW_X=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
    XH_WINDOW_Y=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
    XH_WINDOW_WIDTH=$(sed -n 's/^ *Width: *//p' <<<"$info")
    XH_WINDOW_HEIGHT=$(sed -n 's/^ *Height: *//p' <<<"$info")
}

xh_screenshot() {
    local out=$1
    local crop=()
    if [[ $# -eq 5 ]]; then
        crop=(-crop "${4}x${5}+${2}+${3}" +repage)
    fi
    import -silent -window root "${crop[@]}" -depth 8 "ppm:$out" 2>"$XH_WORK/import.err" ||
        xh_fail "import could not read the screen: $(cat "$XH_WORK/import.err")"
}

xh_wait_frame() {
    local left=$1 top=$2 seconds=${3:-10}
    shift 3 || shift $#
    xh_step "${XH_STEP_FRAME:-compare the window with the composed frame}"
    [[ -x "${FRAME_CHECK:-}" ]] || xh_fail "FRAME_CHECK does not name the frame_check tool"
    local points=("$@")
    xh_frame_shown() {
        xh_program_running || return 1
        xh_screenshot "$XH_WORK/screen.ppm"
        "$FRAME_CHECK" compare "$XH_WORK/screen.ppm" "$left" "$top" "${points[@]}" \
            2>"$XH_WORK/frame_check.err"
    }
    if ! xh_poll "$seconds" xh_frame_shown; then
        xh_program_running || xh_fail "the program ended while waiting for its frame"
        xh_fail "the screen at ($left, $top) does not show the frame after $seconds s:
$(cat "$XH_WORK/frame_check.err")"
    fi
}

# Microseconds since the epoch, whatever the locale's decimal mark.
xh_microseconds() {
    echo "${EPOCHREALTIME/[.,]/}"
}

# An idle editor makes no passes, so a picture that stays is all there is to
# see, and only time can show it. Nothing outside the program tells its rest
# without racing: resting for input and waiting for the server's reply to a
# present both block in poll with no timeout. So the watch looks for a while.
xh_watch_frame() {
    local left=$1 top=$2 seconds=$3
    shift 3
    xh_step "${XH_STEP_FRAME:-the window keeps showing the composed frame}"
    [[ -x "${FRAME_CHECK:-}" ]] || xh_fail "FRAME_CHECK does not name the frame_check tool"
    local started shots=0 elapsed=0 watch
    started=$(xh_microseconds)
    watch=$(awk -v s="$seconds" 'BEGIN { printf "%d", s * 1000000 }')
    while ((shots == 0 || elapsed < watch)); do
        xh_program_running || xh_fail "the program ended while its picture was watched"
        xh_screenshot "$XH_WORK/screen.ppm"
        "$FRAME_CHECK" compare "$XH_WORK/screen.ppm" "$left" "$top" "$@" \
            2>"$XH_WORK/frame_check.err" ||
            xh_fail "screenshot $((shots + 1)), $((elapsed / 1000)) ms into the watch, differs from the frame:
$(cat "$XH_WORK/frame_check.err")"
        shots=$((shots + 1))
        elapsed=$(($(xh_microseconds) - started))
    done
    echo "watch: $shots screenshots in $((elapsed / 1000)) ms, each the frame"
}

xh_locate_frame() {
    local seconds=${1:-10}
    shift || true
    xh_step "find the composed frame on the screen"
    [[ -x "${FRAME_CHECK:-}" ]] || xh_fail "FRAME_CHECK does not name the frame_check tool"
    local points=("$@") where=""
    xh_frame_found() {
        xh_program_running || return 1
        xh_screenshot "$XH_WORK/screen.ppm"
        where=$("$FRAME_CHECK" locate "$XH_WORK/screen.ppm" "${points[@]}" 2>"$XH_WORK/frame_check.err")
    }
    xh_poll "$seconds" xh_frame_found || xh_fail "the frame does not appear on the screen within $seconds s"
    read -r XH_FRAME_X XH_FRAME_Y <<<"$where"
}

xh_compare_ppm() {
    local shot=$1 expected=$2
    cmp -s "$shot" "$expected" && return 0
    local count
    count=$(compare -metric AE "$shot" "$expected" null: 2>&1)
    xh_fail "$shot differs from $expected in ${count:-some} pixels"
}

xh_wait_exit() {
    local seconds=${1:-10}
    xh_step "wait for the program to end"
    xh_program_ended() { ! xh_program_running; }
    xh_poll "$seconds" xh_program_ended || xh_fail "the program still runs after $seconds s"
    wait "$XH_PROGRAM_PID"
    XH_EXIT_CODE=$?
}

xh_expect_exit() {
    local expected=$1 seconds=${2:-10}
    xh_wait_exit "$seconds"
    [[ "$XH_EXIT_CODE" == "$expected" ]] || xh_fail "exit code $XH_EXIT_CODE, expected $expected"
    XH_PROGRAM_PID=""
}

xh_wait_file() {
    local path=$1 seconds=${2:-10}
    xh_step "wait for the file $path"
    xh_poll "$seconds" test -e "$path" || xh_fail "$path did not appear within $seconds s"
}

# A replaced file is a new file: its inode and modification time tell the
# versions apart. Every version seen must be complete and equal to EXPECTED.
xh_wait_replaced() {
    local path=$1 expected=$2 count=$3 seconds=${4:-10}
    xh_step "wait for $count replacements of $path"
    local last seen=0
    last=$(stat -c '%i %.9Y' "$path" 2>/dev/null)
    xh_replaced_enough() {
        local now
        now=$(stat -c '%i %.9Y' "$path" 2>/dev/null) || return 1
        if [[ "$now" != "$last" ]]; then
            cmp -s "$path" "$expected" || xh_fail "a new version of $path differs from $expected"
            last=$now
            seen=$((seen + 1))
        fi
        ((seen >= count))
    }
    xh_poll "$seconds" xh_replaced_enough || xh_fail "$path was replaced $seen times in $seconds s, expected $count"
}
