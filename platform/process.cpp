#include "platform/process.h"

#include <cstdio>
#include <cstdlib>

namespace {

struct ProcessEnd {
    ExitCleanup cleanup = nullptr;
    ExitHook hook = nullptr;
};

ProcessEnd process_end;

} // namespace

void RuntimeError(const char* message) {
    RuntimeError(message, nullptr);
}

void RuntimeError(const char* message, const char* reason) {
    if (reason && *reason)
        std::fprintf(stderr, "ninefold: %s: %s\n", message, reason);
    else
        std::fprintf(stderr, "ninefold: %s\n", message);
    ExitProgram(1);
}

void ExitProgram(int status) {
    // Taken before it runs: a cleanup that fails fatally must not run again.
    if (ExitCleanup cleanup = process_end.cleanup) {
        process_end.cleanup = nullptr;
        cleanup();
    }
    if (process_end.hook) process_end.hook(status);
    std::exit(status);
}

void SetExitHook(ExitHook hook) {
    process_end.hook = hook;
}

void SetExitCleanup(ExitCleanup cleanup) {
    process_end.cleanup = cleanup;
}
