#!/bin/sh
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan and runs the whole test suite there, leak detection on. Leaks
# of the system libraries (Mesa, SDL, X11, dbus ...) are suppressed through
# tests/lsan.supp; our own code has no entry there. Extra arguments go to
# ctest.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-asan
jobs=${SANITIZE_JOBS:-2}

# The build runs the content generator, so these hold for it as well.
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Prints each failed test of the last run that failed for more than the
# tracer's crash; nothing when there is none.
tracer_crashes_only() {
    awk '/^[0-9]+\/[0-9]+ Testing: /{name=$3; crash=0; report=0}
         /Tracer caught signal/{crash=1}
         /ERROR: (AddressSanitizer|LeakSanitizer: detected)|runtime error:/{report=1}
         /^Test Failed\./{failed=1; if (!crash || report) print name}
         END{if (!failed) print "none failed"}' \
        "$out/Testing/Temporary/LastTest.log" 2>/dev/null || echo "no log"
}

start=$(date +%s)
mkdir -p "$out"
cmake -S "$root" -B "$out" -DDEMO_SANITIZE=ON >"$out/configure.log" 2>&1 ||
    { cat "$out/configure.log"; exit 1; }

# SDL and the GL loader unload X11 and the Mesa driver before the leak check
# runs, leaving their blocks without a library name to suppress them by.
# Keeping every library loaded to the end names them.
cat >"$out/keep_loaded.c" <<'SHIM'
int dlclose(void* handle) { (void)handle; return 0; }
SHIM
cc -shared -fPIC -o "$out/keep_loaded.so" "$out/keep_loaded.c"
export LD_PRELOAD=$out/keep_loaded.so
export ASAN_OPTIONS=$ASAN_OPTIONS:verify_asan_link_order=0
cmake --build "$out" -j"$jobs"
built=$(date +%s)
status=0
ctest --test-dir "$out" -j"$jobs" --output-on-failure "$@" || status=$?
# LeakSanitizer's exit check, on rare runs, crashes in its own tracer thread
# ("Tracer caught signal 11") after the program has done its work: that is
# no finding about our code, so those tests alone run once more. A leak, an
# ASan or UBSan report, or any other failure stands.
if [ "$status" -ne 0 ] && [ -z "$(tracer_crashes_only)" ]; then
    echo "sanitize: LeakSanitizer's tracer crashed in every failed test; running them again"
    status=0
    ctest --test-dir "$out" --rerun-failed --output-on-failure || status=$?
fi
end=$(date +%s)
echo "sanitize: build $((built - start)) s, tests $((end - built)) s, status $status"
exit $status
