// The display the demo draws into, Escape as the viewer presses it, and the
// stop signals ending the process with status 0 within half a second.
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
#include <unistd.h>

// Viewport and full screen show in the pixel and screen tests; the rest
// can read what was opened.
TEST_F(GLTest, FrameHasADepthBufferAndReportsWhatWasOpened) {
    GLint depth_bits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth_bits);
    EXPECT_GT(depth_bits, 0);
    EXPECT_EQ(GraphicsHeight(), 600);
    EXPECT_EQ(GraphicsDepth(), 32);
    EXPECT_EQ(GraphicsHertz(), 0);
    EXPECT_EQ(GraphicsFlags(), GRAPHICS_BACKBUFFER | GRAPHICS_DEPTHBUFFER);
}

// A 60 Hz display and presents that take swap_ms; a driver that waits holds
// each to the next vertical blank. Where presents land decides, not how long
// one takes: llvmpipe's swap of a 1920x1080 frame takes about 10 ms, of 4K 36.
TEST(PacingChoice, FollowsWherePresentsLandNotHowLongTheyTake) {
    constexpr int64_t kPeriodNs = 1000000000 / 60;
    struct Clock {
        double swap_ms;
        bool waits;               // and so needs no pacing in software
        int64_t now_ns = 5000000; // off the display's beat
    };
    for (Clock c : {Clock{0.2, false}, {12, false}, {0.2, true}, {12, true}, {20, true}}) {
        auto present = [](void* user) {
            auto* c = static_cast<Clock*>(user);
            c->now_ns += int64_t(c->swap_ms * 1e6);
            if (c->waits) c->now_ns = (c->now_ns + kPeriodNs - 1) / kPeriodNs * kPeriodNs;
        };
        auto now = [](void* user) { return static_cast<Clock*>(user)->now_ns; };
        EXPECT_EQ(PresentsInStep({present, now, &c}, kPeriodNs), c.waits) << c.swap_ms << " ms";
    }
}

// Presses as the system delivers them: a held key's repeats count once, a
// read clears the count, focus loss clears it, and a quit request is refused.
TEST_F(GLTest, KeyHitCountsPressesNotRepeats) {
    auto push = [](uint32_t type, uint8_t window_event = 0) {
        SDL_Event e = {};
        e.type = type;
        if (type == SDL_WINDOWEVENT)
            e.window.event = window_event;
        else
            e.key.keysym.sym = SDLK_ESCAPE;
        SDL_PushEvent(&e);
    };
    KeyHit(27);
    for (uint32_t type : {SDL_KEYDOWN, SDL_KEYUP, SDL_KEYDOWN, SDL_KEYUP, SDL_KEYDOWN, SDL_KEYDOWN,
                          SDL_KEYUP, SDL_QUIT})
        push(type);
    EXPECT_EQ(KeyHit(27), 3);
    EXPECT_EQ(KeyHit(27), 0);
    EXPECT_EQ(GraphicsWidth(), 800);
    push(SDL_KEYDOWN);
    push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_EQ(KeyHit(27), 0);
}

namespace {

std::chrono::steady_clock::time_point raised_at; // in the child

// In the child on its way out: who ended it, whether the display went first,
// and whether within half a second (the kernel's teardown is no part of it).
void Report(const char* who) {
    const bool in_time =
        std::chrono::steady_clock::now() - raised_at < std::chrono::milliseconds(500);
    std::fprintf(stderr, "%s open %d video %d %s\n", who, GraphicsWidth(),
                 SDL_WasInit(SDL_INIT_VIDEO) ? 1 : 0, in_time ? "in time" : "late");
}

class StopSignal : public GLTest, public ::testing::WithParamInterface<bool> {};

TEST_P(StopSignal, EndsTheProcessWithStatusZeroWithinHalfASecond) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const bool polling = GetParam();
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        EXPECT_EXIT(
            {
                SetExitHook([](int status) { Report(status ? "exit 1" : "exit 0"); });
                // While the main thread polls, the watchdog leaves the close to it.
                SetStopHandlers(
                    nullptr, [](int) { Report("watchdog"), _exit(0); }, polling ? 10000 : 0);
                raised_at = std::chrono::steady_clock::now();
                std::raise(sig);
                if (polling)
                    KeyHit(27); // the next poll closes the display and exits
                else            // a load that never polls
                    std::this_thread::sleep_for(std::chrono::seconds(10));
                std::_Exit(3);
            },
            ::testing::ExitedWithCode(0),
            polling ? "exit 0 open 0 video 0 in time" : "watchdog .* in time")
            << "signal " << sig;
}

INSTANTIATE_TEST_SUITE_P(PollingAndNot, StopSignal, ::testing::Bool());

} // namespace
