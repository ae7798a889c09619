#!/usr/bin/env bash
# The menu entry's StartupWMClass equals the class the packaged editor's
# window reports to X, so docks and task bars match the window to its entry
# (and its icon). The program is the one unpacked from the Debian package.
#
# Environment: OUT (where package_test.sh make_deb unpacked the package).
source "$(dirname "$0")/../../harness/x11_harness.sh"

root=$OUT/deb/root
entry=$root/usr/share/applications/io.github.kestrovan.Kestrovan.desktop
# SDL takes the class from these when they are set; the menu never sets them.
unset SDL_VIDEO_X11_WMCLASS SDL_VIDEO_WMCLASS

xh_begin window-class
xh_require_tools xdotool xprop
xh_step "read StartupWMClass"
expected=$(sed -n 's/^StartupWMClass=//p' "$entry")
[[ -n "$expected" ]] || xh_fail "$entry has no StartupWMClass"
xh_start_server 1600x1200x24
mkdir -p "$XH_WORK/run"
xh_start_program "$XH_WORK/run" "$root/usr/bin/kestrovan"
xh_wait_window "Kestrovan  object.3ds" 15
xh_step "read the window's WM_CLASS"
# WM_CLASS(STRING) = "instance", "class"
wm_class=$(xprop -id "$XH_WINDOW" WM_CLASS 2>&1) || xh_fail "xprop failed: $wm_class"
[[ "$wm_class" =~ ^WM_CLASS\(STRING\)\ =\ \"[^\"]*\",\ \"([^\"]*)\"$ ]] || xh_fail "unexpected answer: $wm_class"
[[ "${BASH_REMATCH[1]}" == "$expected" ]] ||
    xh_fail "the window's class is '${BASH_REMATCH[1]}', StartupWMClass is '$expected'"
xh_step "press Escape"
xdotool mousemove --sync 640 512 key Escape || xh_fail "xdotool could not press Escape"
xh_expect_exit 0 10
echo "PASS window_class"
