// The end of the process: the one exit every path takes, and fatal errors.
// A fatal error prints one line on stderr ("ninefold: <message>[: <reason>]"),
// runs the exit cleanup (the open display registers its close there, so the
// desktop is restored) and exits with status 1. Sits below everything that
// reports errors or ends the program; it calls nothing above it except the
// cleanup registered with it. Main thread.
#pragma once

// Stops the program with a message: closes the display, exits with status 1.
[[noreturn]] void RuntimeError(const char* message);
// The same with the reason the platform gave (an empty reason is left out).
[[noreturn]] void RuntimeError(const char* message, const char* reason);

// Ends the process with status: the exit cleanup first, then the exit hook
// when one is set, then exit.
[[noreturn]] void ExitProgram(int status);

// --- Test seams ---------------------------------------------------------
// Replaces the process exit of the fatal paths (tests catch it); null restores exit.
using ExitHook = void (*)(int status);
void SetExitHook(ExitHook hook);

// --- Internal to platform/ ----------------------------------------------
// Run once by the next ExitProgram, before the hook: the display's close.
// Null removes it.
using ExitCleanup = void (*)();
void SetExitCleanup(ExitCleanup cleanup);
