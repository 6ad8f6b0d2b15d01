// SIGINT and SIGTERM close the display the orderly way and end with status 0.
// Each case runs in a re-executed child with its own display connection, so
// the shared display of the other tests is untouched.
#include "platform/graphics.h"
#include "tests/support/gl_fixture.h"

#include <SDL.h>

#include <csignal>
#include <cstdio>

namespace {

// Runs inside the child: reports whether the display was closed before exit.
void report_exit(int status) {
    std::fprintf(stderr, "exit %d open %d video %d\n", status, GraphicsWidth(),
                 SDL_WasInit(SDL_INIT_VIDEO) ? 1 : 0);
}

class StopSignal : public GLTest, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignal, ClosesTheDisplayAndExitsZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int sig = GetParam();
    EXPECT_EXIT(
        {
            SetExitHook(report_exit);
            HideMouse();
            std::raise(sig);
            KeyHit(27); // the next poll acts on the signal
            std::fprintf(stderr, "still running\n");
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "exit 0 open 0 video 0");
}

TEST_P(StopSignal, WithoutADisplayExitsZeroAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int sig = GetParam();
    EXPECT_EXIT(
        {
            EndGraphics();
            std::raise(sig); // nothing polls after this
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(IntAndTerm, StopSignal, ::testing::Values(SIGINT, SIGTERM));

} // namespace
