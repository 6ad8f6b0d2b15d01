#!/bin/sh
# Runs a command on a private Xvfb display of 800x600x24 (parallel-safe:
# Xvfb picks a free display number itself and reports it on fd 3).
set -e
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$dir/display" 2>"$dir/log" &
xpid=$!
i=0
while [ ! -s "$dir/display" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
if [ ! -s "$dir/display" ]; then cat "$dir/log" >&2; kill $xpid 2>/dev/null; exit 1; fi
DISPLAY=:$(cat "$dir/display")
export DISPLAY
set +e
"$@"
rc=$?
kill $xpid 2>/dev/null
wait $xpid 2>/dev/null
rm -rf "$dir"
exit $rc
