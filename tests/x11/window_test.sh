#!/usr/bin/env bash
# The editor's real window on a private Xvfb server.
#
#   window_test.sh CASE
#
#   startup_frame_and_escape  started as another client leaves a resetting server,
#                             the window is 1280x1024 at (0, 0) with its caption,
#                             shows the initial frame exactly, Escape ends it with 0
#   drag_released_outside     a drag follows the cursor, a release outside the
#                             window is never seen, and a click inside ends it
#   drag_points_and_export    dragging P2 and B shows the composed scene, and Tab
#                             writes exactly the in-process export of it
#   tab_auto_repeat           a held Tab (the server's key auto-repeat) replaces
#                             object.3ds on every repeat, always whole
#   close_request             a window manager's close request ends it with 0
#   terminate_signal          SIGTERM (as a harness or Ctrl+C sends) ends it with 0
#   no_display                with no display, or one where no server listens, it
#                             says "Startup failed." and why on stderr and exits 1
#   fit_WxHxD                 on a W x H screen of depth D, too small for the
#                             client: the largest window of 5x4 steps at (0, 0);
#                             a drag from P2's scaled square ends, shown there and
#                             gone from where it was, on the client pixel under
#                             the pointer, rounded down; Tab exports that scene
#
# Environment: KESTROVAN (the program), FRAME_CHECK, CLOSE_REQUEST.
source "$(dirname "$0")/../../harness/x11_harness.sh"

CASE=${1:-}
TITLE="Kestrovan  object.3ds"

start_editor() {
    xh_require_tools xdotool xwininfo import convert
    xh_start_server "${SCREEN:-1600x1200x24}"
    mkdir -p "$XH_WORK/run"
    ${START:-xh_start_program} "$XH_WORK/run" "$KESTROVAN"
    xh_wait_window "$TITLE" 15
}

case "$CASE" in
    startup_frame_and_escape)
        xh_begin "$CASE"
        XH_SERVER_RESETS=1 START=xh_start_program_as_a_client_leaves start_editor
        xh_step "check the window's placement and size"
        xh_window_geometry "$XH_WINDOW"
        geometry="${XH_WINDOW_WIDTH}x${XH_WINDOW_HEIGHT}+${XH_WINDOW_X}+${XH_WINDOW_Y}"
        [[ "$geometry" == "1280x1024+0+0" ]] || xh_fail "window area $geometry, expected 1280x1024+0+0"
        XH_STEP_FRAME="compare the window with the initial frame" \
            xh_wait_frame "$XH_WINDOW_X" "$XH_WINDOW_Y" 10
        xh_step "press Escape"
        # No window manager runs: keyboard focus follows the pointer.
        xdotool mousemove --sync 640 512 key Escape || xh_fail "xdotool could not press Escape"
        xh_expect_exit 0 10
        [[ ! -e "$XH_WORK/run/object.3ds" ]] || xh_fail "Escape alone wrote object.3ds"
        ;;
    drag_released_outside)
        xh_begin "$CASE"
        start_editor
        xh_wait_frame 0 0 10
        # P2 sits at (500, 90); its square covers columns 495..499, rows 88..92.
        xh_step "drag P2 by its square"
        xdotool mousemove --sync 497 90 mousedown 1 mousemove --sync 600 200 \
            mousemove --sync 700 300 || xh_fail "xdotool could not drag"
        XH_STEP_FRAME="P2 follows the cursor" xh_wait_frame 0 0 10 P2=700,300
        xh_step "leave the window and release outside it"
        xdotool mousemove --sync 1500 1100 mouseup 1 || xh_fail "xdotool could not release"
        XH_STEP_FRAME="nothing outside the window reaches the program" \
            xh_watch_frame 0 0 1 P2=700,300
        xh_step "come back over the window with the button up"
        xdotool mousemove --sync 800 400 || xh_fail "xdotool could not move"
        XH_STEP_FRAME="P2 follows again: the release was never seen" \
            xh_wait_frame 0 0 10 P2=800,400
        xh_step "press and release inside to end the drag"
        xdotool mousemove --sync 900 500 click 1 mousemove --sync 950 600 ||
            xh_fail "xdotool could not click"
        XH_STEP_FRAME="the drag ended at the click" xh_wait_frame 0 0 10 P2=900,500
        xh_step "press Escape"
        xdotool key Escape || xh_fail "xdotool could not press Escape"
        xh_expect_exit 0 10
        ;;
    drag_points_and_export)
        xh_begin "$CASE"
        start_editor
        xh_wait_frame 0 0 10
        # P2's square covers columns 495..499, rows 88..92; B's (400, 400)
        # covers 395..399, 398..402.
        xh_step "drag P2 and then B"
        xdotool mousemove --sync 497 90 mousedown 1 mousemove --sync 650 250 mouseup 1 \
            mousemove --sync 397 400 mousedown 1 mousemove --sync 450 600 mouseup 1 ||
            xh_fail "xdotool could not drag"
        XH_STEP_FRAME="the window shows the dragged scene" \
            xh_wait_frame 0 0 10 P2=650,250 B=450,600
        xh_step "press Tab"
        xdotool key Tab || xh_fail "xdotool could not press Tab"
        xh_wait_file "$XH_WORK/run/object.3ds" 10
        xh_step "compare object.3ds with the export composed in-process"
        mkdir -p "$XH_WORK/expected"
        "$FRAME_CHECK" export "$XH_WORK/expected" P2=650,250 B=450,600 ||
            xh_fail "frame_check could not export the scene"
        # The file is replaced whole, so once it exists it is complete.
        cmp "$XH_WORK/run/object.3ds" "$XH_WORK/expected/object.3ds" ||
            xh_fail "object.3ds differs from the in-process export"
        XH_STEP_FRAME="Tab leaves the picture as it was" \
            xh_watch_frame 0 0 1 P2=650,250 B=450,600
        xh_step "press Escape"
        xdotool key Escape || xh_fail "xdotool could not press Escape"
        xh_expect_exit 0 10
        ;;
    tab_auto_repeat)
        xh_begin "$CASE"
        start_editor
        xh_wait_frame 0 0 10
        xh_step "export the initial scene in-process"
        mkdir -p "$XH_WORK/expected"
        "$FRAME_CHECK" export "$XH_WORK/expected" || xh_fail "frame_check could not export the scene"
        xh_step "hold Tab down"
        xdotool mousemove --sync 640 512 keydown Tab || xh_fail "xdotool could not press Tab"
        xh_wait_replaced "$XH_WORK/run/object.3ds" "$XH_WORK/expected/object.3ds" 4 10
        xh_step "release Tab and press Escape"
        xdotool keyup Tab key Escape || xh_fail "xdotool could not release Tab"
        xh_expect_exit 0 10
        ;;
    close_request)
        xh_begin "$CASE"
        start_editor
        xh_step "send a close request"
        [[ -x "${CLOSE_REQUEST:-}" ]] || xh_fail "CLOSE_REQUEST does not name the close_request tool"
        "$CLOSE_REQUEST" "$XH_WINDOW" || xh_fail "close_request failed"
        xh_expect_exit 0 10
        ;;
    terminate_signal)
        xh_begin "$CASE"
        start_editor
        xh_step "send SIGTERM"
        kill -TERM "$XH_PROGRAM_PID" || xh_fail "kill failed"
        xh_expect_exit 0 10
        ;;
    no_display)
        xh_begin "$CASE"
        mkdir -p "$XH_WORK/run"
        for display in "" ":$((RANDOM + 40000))"; do  # none, and one with no server
            xh_step "start with DISPLAY '$display'"
            (cd "$XH_WORK/run" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER \
                ${display:+DISPLAY=$display} "$KESTROVAN") \
                >"$XH_WORK/program.out" 2>"$XH_WORK/program.err" </dev/null &
            XH_PROGRAM_PID=$!
            xh_expect_exit 1 15
            grep -q "Startup failed\." "$XH_WORK/program.err" && grep -vq "Startup failed" "$XH_WORK/program.err" ||
                xh_fail "stderr does not say 'Startup failed.' and why: $(cat "$XH_WORK/program.err")"
        done
        ;;
    fit_*)
        xh_begin "$CASE"
        SCREEN=${CASE#fit_}
        IFS=x read -r width height _ <<<"$SCREEN"
        start_editor
        xh_step "check the window's placement and size"
        step=$((width / 5 < height / 4 ? width / 5 : height / 4))
        xh_window_geometry "$XH_WINDOW"
        geometry="${XH_WINDOW_WIDTH}x${XH_WINDOW_HEIGHT}+${XH_WINDOW_X}+${XH_WINDOW_Y}"
        [[ "$geometry" == "$((step * 5))x$((step * 4))+0+0" ]] || xh_fail "window $geometry, step $step"
        # From the first window pixel on client (497, 90), in P2's square (495..499, 88..92).
        from_x=$(((497 * step + 255) / 256)) from_y=$(((90 * step + 255) / 256))
        xh_step "drag P2 to window pixel (600, 500) and press Tab"
        xdotool mousemove --sync $from_x $from_y mousedown 1 mousemove --sync 600 500 mouseup 1 \
            key Tab || xh_fail "xdotool could not drag"
        xh_wait_file "$XH_WORK/run/object.3ds" 10
        x=$((600 * 256 / step)) y=$((500 * 256 / step))
        mkdir -p "$XH_WORK/expected"
        "$FRAME_CHECK" export "$XH_WORK/expected" P2=$x,$y &&
            cmp "$XH_WORK/run/object.3ds" "$XH_WORK/expected/object.3ds" ||
            xh_fail "object.3ds is not the export with P2=$x,$y"
        # The first window pixel wholly on the square's top left, above the leg to P3.
        xh_screenshot "$XH_WORK/dot.ppm" $((((x - 5) * step + 255) / 256)) \
            $((((y - 2) * step + 255) / 256)) 1 1
        [[ $(tail -c 3 "$XH_WORK/dot.ppm" | od -A n -t x1) == " ff 00 00" ]] ||
            xh_fail "P2's square does not show where it was dropped"
        # Where it was, nothing else is drawn: its rows were scaled again.
        xh_screenshot "$XH_WORK/old.ppm" "$from_x" "$from_y" 1 1
        [[ $(tail -c 3 "$XH_WORK/old.ppm" | od -A n -t x1) == " 00 00 00" ]] ||
            xh_fail "P2's square still shows where it was picked up"
        ;;
    *)
        echo "usage: window_test.sh startup_frame_and_escape|drag_released_outside|drag_points_and_export|tab_auto_repeat|close_request|terminate_signal|no_display|fit_WxHxD" >&2
        exit 2
        ;;
esac
echo "PASS $CASE"
