#!/usr/bin/env bash
# The Windows executable, kestrovan.exe, under wine on a private Xvfb server.
#
#   wine_test.sh CASE
#
#   drag_points_and_export  dragging P2 and B shows the composed scene in the
#                           client area, Tab writes exactly the in-process
#                           export (the file the Linux build writes), a held
#                           Tab replaces it on every auto-repeat, and Escape
#                           ends the program with exit code 0
#   close_request           a window manager's close request ends it with 0
#
# Environment: WINDOWS_EXE (kestrovan.exe, built by `make windows`),
# FRAME_CHECK, CLOSE_REQUEST.
#
# Each case has its own wine prefix in its work directory. Without a window
# manager wine draws the window frame itself, so the client area does not
# start at (0, 0): the test finds it on the screen.
source "$(dirname "$0")/../../harness/x11_harness.sh"

CASE=${1:-}
TITLE="Kestrovan  object.3ds"

stop_wine() {
    if [[ -n "${WINEPREFIX:-}" && -d "$WINEPREFIX" ]]; then
        timeout 10 wineserver -k 2>/dev/null
    fi
}

# Starts kestrovan.exe in a fresh prefix and finds its client area on the
# screen (XH_FRAME_X, XH_FRAME_Y). A fresh prefix takes a few seconds to set
# up, longer on a loaded machine.
start_editor() {
    xh_require_tools wine wineserver xdotool xwininfo import convert
    xh_start_server 1600x1200x24
    export WINEPREFIX="$XH_WORK/prefix"
    export WINEDEBUG=-all
    # No Mono or Gecko installer prompts, no menu entries in the user's home.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    trap 'stop_wine; xh_cleanup' EXIT
    # Debian 12's wine now and then ends a fresh prefix's set-up with no system
    # DLLs in it ("could not load kernel32.dll"): set the prefix up first, and
    # once more if that happened, so a failure here is the program's.
    xh_step "set up a fresh wine prefix"
    local attempt
    for attempt in 1 2; do
        timeout 60 wine wineboot --init >>"$XH_WORK/wineboot.log" 2>&1
        timeout 30 wineserver -w
        [[ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]] && break
        [[ $attempt == 1 ]] || xh_fail "wine set up no prefix: $(tail -n 3 "$XH_WORK/wineboot.log")"
        rm -rf "$WINEPREFIX"
    done
    mkdir -p "$XH_WORK/run"
    local started=$SECONDS
    xh_start_program "$XH_WORK/run" "$(command -v wine)" "$WINDOWS_EXE"
    xh_wait_window "$TITLE" 60
    echo "wine: the window showed $((SECONDS - started)) s after the start"
    xh_locate_frame 20
}

# Client coordinates to screen coordinates.
sx() { echo $((XH_FRAME_X + $1)); }
sy() { echo $((XH_FRAME_Y + $1)); }

case "$CASE" in
    drag_points_and_export | close_request)
        xh_step "find kestrovan.exe"
        [[ -n "${WINDOWS_EXE:-}" && -f "$WINDOWS_EXE" ]] ||
            xh_fail "no Windows executable at '${WINDOWS_EXE:-}': run make windows first"
        ;;
esac

case "$CASE" in
    drag_points_and_export)
        xh_begin "wine-$CASE"
        start_editor
        # P2's square covers columns 495..499, rows 88..92; B's (400, 400)
        # covers 395..399, 398..402.
        xh_step "drag P2 and then B"
        xdotool mousemove --sync "$(sx 497)" "$(sy 90)" mousedown 1 \
            mousemove --sync "$(sx 650)" "$(sy 250)" mouseup 1 \
            mousemove --sync "$(sx 397)" "$(sy 400)" mousedown 1 \
            mousemove --sync "$(sx 450)" "$(sy 600)" mouseup 1 ||
            xh_fail "xdotool could not drag"
        XH_STEP_FRAME="the client area shows the dragged scene" \
            xh_wait_frame "$XH_FRAME_X" "$XH_FRAME_Y" 10 P2=650,250 B=450,600
        xh_step "export the scene in-process"
        mkdir -p "$XH_WORK/expected"
        "$FRAME_CHECK" export "$XH_WORK/expected" P2=650,250 B=450,600 ||
            xh_fail "frame_check could not export the scene"
        xh_step "press Tab"
        xdotool key Tab || xh_fail "xdotool could not press Tab"
        xh_wait_file "$XH_WORK/run/object.3ds" 10
        xh_step "compare object.3ds with the export composed in-process"
        cmp "$XH_WORK/run/object.3ds" "$XH_WORK/expected/object.3ds" ||
            xh_fail "object.3ds differs from the in-process export"
        xh_step "hold Tab down"
        xdotool keydown Tab || xh_fail "xdotool could not press Tab"
        xh_wait_replaced "$XH_WORK/run/object.3ds" "$XH_WORK/expected/object.3ds" 3 10
        xh_step "release Tab"
        xdotool keyup Tab || xh_fail "xdotool could not release Tab"
        XH_STEP_FRAME="the exports leave the picture as it was" \
            xh_watch_frame "$XH_FRAME_X" "$XH_FRAME_Y" 1 P2=650,250 B=450,600
        xh_step "press Escape"
        xdotool key Escape || xh_fail "xdotool could not press Escape"
        xh_expect_exit 0 20
        ;;
    close_request)
        xh_begin "wine-$CASE"
        start_editor
        xh_step "send a close request"
        [[ -x "${CLOSE_REQUEST:-}" ]] || xh_fail "CLOSE_REQUEST does not name the close_request tool"
        "$CLOSE_REQUEST" "$XH_WINDOW" || xh_fail "close_request failed"
        xh_expect_exit 0 20
        ;;
    *)
        echo "usage: wine_test.sh drag_points_and_export|close_request" >&2
        exit 2
        ;;
esac
echo "PASS wine $CASE"
