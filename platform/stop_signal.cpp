#include "platform/stop_signal.h"

#include "platform/process.h"

#include <SDL.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <semaphore.h>
#include <thread>
#include <unistd.h>

namespace {

// How long a stop signal waits for the main thread to reach its next poll
// before the process ends without it: with the exit itself, well inside half
// a second on a loaded machine.
const int kDefaultGraceMs = 250;

// The process's exit cleanup closes the display first.
void CloseAndExit(int) {
    ExitProgram(0);
}

// Nothing on the desktop needs restoring: the mode is never changed and the
// window goes with the connection.
void ExitNow(int) {
    _exit(0);
}

struct StopState {
    std::atomic<StopHandler> at_poll{CloseAndExit};
    std::atomic<StopHandler> late{ExitNow};
    std::atomic<int> grace_ms{kDefaultGraceMs};
    std::atomic<int> pending{0};
    int signalled = 0; // the watchdog's copy, set before it wakes
    sem_t raised;
};

StopState stop_state;

// Only async-signal-safe work here.
void OnStopSignal(int sig) {
    if (stop_state.pending.exchange(sig) == 0) {
        stop_state.signalled = sig;
        sem_post(&stop_state.raised);
    }
}

void Watchdog() {
    while (sem_wait(&stop_state.raised) != 0 && errno == EINTR) {
    }
    const long ms = stop_state.grace_ms.load();
    timespec grace = {ms / 1000, ms % 1000 * 1000000L};
    while (nanosleep(&grace, &grace) != 0 && errno == EINTR) {
    }
    stop_state.late.load()(stop_state.signalled);
    _exit(0);
}

} // namespace

void SetStopHandlers(StopHandler at_poll, StopHandler late, int grace_ms) {
    stop_state.at_poll = at_poll ? at_poll : CloseAndExit;
    stop_state.late = late ? late : ExitNow;
    stop_state.grace_ms = grace_ms > 0 ? grace_ms : kDefaultGraceMs;
}

void InstallStopSignals() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    // SDL would turn these into quit events, which the demo refuses.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    sem_init(&stop_state.raised, 0, 0);
    std::thread(Watchdog).detach();
    struct sigaction sa = {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(sig, &sa, nullptr);
}

void PollStopSignal() {
    if (int sig = stop_state.pending.exchange(0)) stop_state.at_poll.load()(sig);
}
