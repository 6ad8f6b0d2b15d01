#!/bin/sh
# Builds the mixer, its rings and the audio output with ThreadSanitizer in
# build-tsan and runs their tests: the main thread and the audio thread
# share the channel controls, the rings and the clock. Extra arguments go
# to ctest.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-tsan
jobs=${SANITIZE_JOBS:-2}
tests="audio_mixer_test audio_output_test"

export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
mkdir -p "$out"
cmake -S "$root" -B "$out" -DDEMO_TSAN=ON >"$out/configure.log" 2>&1 ||
    { cat "$out/configure.log"; exit 1; }
# shellcheck disable=SC2086
cmake --build "$out" -j"$jobs" --target $tests
# Newer kernels randomise mmap more than TSan's shadow layout allows.
run=""
if command -v setarch >/dev/null; then run="setarch $(uname -m) -R"; fi
status=0
$run ctest --test-dir "$out" -R "^($(echo $tests | tr ' ' '|'))\$" --output-on-failure "$@" ||
    status=$?
echo "tsan: status $status"
exit $status
