// Stop signals: SIGINT, SIGTERM, SIGHUP and SIGQUIT. The handler only records
// the signal; the main thread acts on it at its next poll (every Flip and
// KeyHit), and a watchdog thread acts in its place when no poll comes within
// the grace (a long load, a blocked write, a hung teardown). What acting means
// belongs to the program: by default (the demo) the poll closes the display
// and exits 0, and the watchdog exits 0. A tool sets its own handlers, for
// example to finish or remove its files and exit with 128 + signal.
// Installed by the first display open; main thread, except `late`.
#pragma once

using StopHandler = void (*)(int sig);

// at_poll: main thread, at the next poll; it may end the process or return,
// and the poll then goes on. late: the watchdog thread, grace_ms after the
// signal if the process still runs; it must end the process (_exit). Null
// handlers restore the defaults.
void SetStopHandlers(StopHandler at_poll, StopHandler late, int grace_ms);

// Installs the handlers and starts the watchdog; once per process.
void InstallStopSignals();
// Acts on a pending stop signal through at_poll (main thread).
void PollStopSignal();
