#!/usr/bin/env bash
# Runs a command on the X server of xvfb-run with a window manager, so full screen and
# the manager's own window handling are what a desktop gives.
set -u
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
sleep 1
"$@"
status=$?
kill "$wm" 2>/dev/null
wait "$wm" 2>/dev/null
exit $status
