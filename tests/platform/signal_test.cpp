// A stop signal ends the demo with status 0 at any moment: through the
// orderly close at the next poll while frames are drawn, and within half a
// second while the main thread is busy elsewhere (a long load). Each case
// runs in a re-executed child with its own display connection.
#include "platform/graphics.h"
#include "tests/support/gl_fixture.h"

#include <SDL.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>
#include <tuple>

namespace {

// Runs inside the child: reports whether the display was closed before exit.
void report_exit(int status) {
    std::fprintf(stderr, "exit %d open %d video %d\n", status, GraphicsWidth(),
                 SDL_WasInit(SDL_INIT_VIDEO) ? 1 : 0);
}

class StopSignal : public GLTest, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(StopSignal, EndsTheProcessWithStatusZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int sig = std::get<0>(GetParam());
    bool polling = std::get<1>(GetParam());
    if (polling) {
        EXPECT_EXIT(
            {
                SetExitHook(report_exit);
                HideMouse();
                std::raise(sig);
                KeyHit(27); // the next poll acts on the signal
                std::_Exit(3);
            },
            ::testing::ExitedWithCode(0), "exit 0 open 0 video 0");
        return;
    }
    auto start = std::chrono::steady_clock::now();
    EXPECT_EXIT(
        {
            std::raise(sig);
            std::this_thread::sleep_for(std::chrono::seconds(10)); // a load that never polls
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "");
    // Half a second is the promise; the rest is the child's start-up.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

INSTANTIATE_TEST_SUITE_P(AllStopSignals, StopSignal,
                         ::testing::Combine(::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT),
                                            ::testing::Bool()));

} // namespace
