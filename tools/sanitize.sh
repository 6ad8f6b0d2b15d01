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
# The runtime's record of dynamic TLS blocks guesses a block's bounds from a
# header that glibc no longer writes: a block malloc placed 16 bytes into a
# page (one in 256 of its size) reads our heap's chunk header as the bounds,
# and the leak check's scan then faults at a small address ("Tracer caught
# signal 11"). Without the record those blocks are still reached through
# the thread's own TLS, so no leak goes unseen and none is made up.
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:intercept_tls_get_addr=0
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

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
end=$(date +%s)
echo "sanitize: build $((built - start)) s, tests $((end - built)) s, status $status"
exit $status
