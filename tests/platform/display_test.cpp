// The display the demo draws into, Escape as the viewer presses it, and the
// stop signals: status 0 through the orderly close at the next poll while
// frames are drawn, or through the watchdog while the main thread is busy
// elsewhere (a long load), within half a second either way. Each signal case
// runs in a re-executed child.
#include "platform/graphics.h"
#include "platform/keyboard.h"
#include "platform/pacing.h"
#include "platform/stop_signal.h"
#include "tests/support/gl_fixture.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>
#include <tuple>
#include <unistd.h>

TEST_F(GLTest, FrameIs800x600WithADepthBufferOnAFullScreenWindow) {
    GLint depth_bits = 0, viewport[4] = {};
    glGetIntegerv(GL_DEPTH_BITS, &depth_bits);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_GT(depth_bits, 0);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    EXPECT_TRUE(SDL_GetWindowFlags(SDL_GL_GetCurrentWindow()) & SDL_WINDOW_FULLSCREEN);
    EXPECT_EQ(GraphicsHeight(), 600);
    EXPECT_EQ(GraphicsDepth(), 32);
    EXPECT_EQ(GraphicsHertz(), 0);
    EXPECT_EQ(GraphicsFlags(), GRAPHICS_BACKBUFFER | GRAPHICS_DEPTHBUFFER);
}

namespace {

// A 60 Hz display and a driver whose presents are scripted: each takes
// swap_ms, and a driver that waits then holds it to the next vertical blank.
constexpr int64_t kPeriodNs = 1000000000 / 60;

struct ScriptedDriver {
    const char* name;
    double swap_ms;
    bool waits;
    bool paced_in_software; // what the display must decide
};

class PacingChoice : public ::testing::TestWithParam<ScriptedDriver> {};

TEST_P(PacingChoice, FollowsWherePresentsLandNotHowLongTheyTake) {
    struct Clock {
        int64_t now_ns; // starts off the display's beat
        const ScriptedDriver* driver;
    } clock{5000000, &GetParam()};
    auto present = [](void* user) {
        auto* c = static_cast<Clock*>(user);
        c->now_ns += int64_t(c->driver->swap_ms * 1e6);
        if (c->driver->waits) c->now_ns = (c->now_ns + kPeriodNs - 1) / kPeriodNs * kPeriodNs;
    };
    auto now = [](void* user) { return static_cast<Clock*>(user)->now_ns; };
    EXPECT_EQ(!PresentsInStep({present, now, &clock}, kPeriodNs), GetParam().paced_in_software);
}

// llvmpipe's swap of a black 1920x1080 frame takes about 10 ms, of 4K 36 ms.
INSTANTIATE_TEST_SUITE_P(Drivers, PacingChoice,
                         ::testing::Values(ScriptedDriver{"QuickNoWait", 0.2, false, true},
                                           ScriptedDriver{"SlowNoWait", 12, false, true},
                                           ScriptedDriver{"QuickWait", 0.2, true, false},
                                           ScriptedDriver{"SlowWait", 12, true, false},
                                           ScriptedDriver{"SlowerThanAPeriodWait", 20, true,
                                                          false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

TEST_F(GLTest, KeyHitCountsPressesNotRepeatsAndClears) {
    KeyHit(27);
    for (int i = 0; i < 3; ++i) {
        InjectKeyDown(27);
        InjectKeyUp(27);
    }
    EXPECT_EQ(KeyHit(27), 3);
    EXPECT_EQ(KeyHit(27), 0);
    InjectKeyDown(27);
    InjectKeyDown(27); // auto-repeat delivers further key-downs
    InjectKeyUp(27);
    EXPECT_EQ(KeyHit(27), 1);
}

TEST_F(GLTest, KeyboardEventsReachTheCountersAndFocusLossClearsThem) {
    KeyHit(27);
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_ESCAPE;
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    SDL_PushEvent(&e);
    EXPECT_EQ(KeyHit(27), 1);
    InjectKeyDown(27);
    e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&e);
    EXPECT_EQ(KeyHit(27), 0);
}

TEST_F(GLTest, QuitRequestIsRefused) {
    SDL_Event e = {};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
    KeyHit(27);
    EXPECT_EQ(GraphicsWidth(), 800);
}

namespace {

// Half a second from the signal to the exit, as the child itself measures
// it: the kernel's teardown of the process after that is no part of it.
constexpr std::chrono::milliseconds kStopPromise(500);
std::chrono::steady_clock::time_point raised_at; // in the child

// In the child, on its way out: whether the reaction kept the promise.
void ReportTime(const char* who) {
    const auto took = std::chrono::steady_clock::now() - raised_at;
    std::fprintf(stderr, "%s %s (%lld ms)\n", who, took < kStopPromise ? "in time" : "late",
                 (long long)std::chrono::duration_cast<std::chrono::milliseconds>(took).count());
}

// The orderly close also reports whether the display went first.
void ReportExit(int status) {
    std::fprintf(stderr, "exit %d open %d video %d ", status, GraphicsWidth(),
                 SDL_WasInit(SDL_INIT_VIDEO) ? 1 : 0);
    ReportTime("closed");
}

class StopSignal : public GLTest, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(StopSignal, EndsTheProcessWithStatusZeroWithinHalfASecond) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const int sig = std::get<0>(GetParam());
    const bool polling = std::get<1>(GetParam());
    EXPECT_EXIT(
        {
            SetExitHook(ReportExit);
            // The watchdog's own exit, reported on the way; while the main
            // thread polls, it waits long enough to leave the close to it.
            SetStopHandlers(
                nullptr, [](int) { ReportTime("watchdog"), _exit(0); }, polling ? 10000 : 0);
            raised_at = std::chrono::steady_clock::now();
            std::raise(sig);
            if (polling)
                KeyHit(27); // the next poll closes the display and exits
            else
                std::this_thread::sleep_for(std::chrono::seconds(10)); // a load that never polls
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0),
        polling ? "exit 0 open 0 video 0 closed in time" : "watchdog in time");
}

INSTANTIATE_TEST_SUITE_P(AllStopSignals, StopSignal,
                         ::testing::Combine(::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT),
                                            ::testing::Bool()));

} // namespace
