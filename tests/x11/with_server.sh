#!/usr/bin/env bash
# Runs a command on a private Xvfb server (DISPLAY set for it) and exits with
# the command's status; the server goes with it.
#
#   with_server.sh COMMAND [ARG...]
source "$(dirname "$0")/../../harness/x11_harness.sh"
xh_begin with-server
xh_start_server "${XH_SCREEN:-1600x1200x24}"
xh_step "run $1"
"$@"
exit $?
