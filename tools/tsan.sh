#!/bin/sh
# Builds with ThreadSanitizer in build-tsan and runs what has threads: the
# mixer, its rings and the audio output (the main thread and the audio
# thread share the channel controls, the rings and the clock), the stop
# signals (the handler, the watchdog thread and the main thread's poll), and
# a short capture (the rendering, writer and encoder threads and their job
# queue). Extra arguments go to ctest.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-tsan
jobs=${SANITIZE_JOBS:-2}
tests="audio_mixer_test audio_output_test platform_display_test"

export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan.supp
mkdir -p "$out"
cmake -S "$root" -B "$out" -DDEMO_TSAN=ON >"$out/configure.log" 2>&1 ||
    { cat "$out/configure.log"; exit 1; }
# shellcheck disable=SC2086
cmake --build "$out" -j"$jobs" --target $tests ninefold_capture data
# Newer kernels randomise mmap more than TSan's shadow layout allows.
run=""
if command -v setarch >/dev/null; then run="setarch $(uname -m) -R"; fi
status=0
$run ctest --test-dir "$out" -R "^($(echo $tests | tr ' ' '|'))\$" --output-on-failure "$@" ||
    status=$?
# Two seconds of the demo through every stage of the capture; a race ends
# it with TSan's report and a non-zero status.
capture=$(mktemp -d)
$run "$root/tests/xrun.sh" "$out/ninefold_capture" --fps 30 --to 2 --png -o "$capture/out" \
    >"$out/capture.log" 2>&1 || { status=1; tail -n 60 "$out/capture.log"; }
rm -rf "$capture"
echo "tsan: status $status"
exit $status
