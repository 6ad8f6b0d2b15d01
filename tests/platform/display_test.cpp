#include "platform/clock.h"
#include "platform/graphics.h"
#include "tests/support/gl_fixture.h"

#include <SDL.h>
#include <SDL_opengl.h>

TEST_F(GLTest, DisplayIsFullScreen800x600WithDepthAndBackBuffer) {
    EXPECT_EQ(GraphicsWidth(), 800);
    EXPECT_EQ(GraphicsHeight(), 600);
    EXPECT_EQ(GraphicsDepth(), 32);
    EXPECT_EQ(GraphicsFlags() & 10, 10);
    GLint depth_bits = 0, viewport[4] = {};
    glGetIntegerv(GL_DEPTH_BITS, &depth_bits);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_GT(depth_bits, 0);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    SDL_Window* w = SDL_GL_GetCurrentWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN);
    GLboolean doublebuffer = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doublebuffer);
    EXPECT_TRUE(doublebuffer);
}

TEST_F(GLTest, KeyHitCountsPressesBetweenCallsAndClears) {
    KeyHit(27);
    for (int i = 0; i < 3; ++i) {
        InjectKeyDown(27);
        InjectKeyUp(27);
    }
    EXPECT_EQ(KeyHit(27), 3);
    EXPECT_EQ(KeyHit(27), 0);
}

TEST_F(GLTest, HeldKeyAndAutoRepeatCountOnce) {
    KeyHit(27);
    InjectKeyDown(27);
    InjectKeyDown(27); // auto-repeat delivers further key-downs
    InjectKeyDown(27);
    EXPECT_EQ(KeyHit(27), 1);
    EXPECT_EQ(KeyDown(27), 1);
    InjectKeyUp(27);
    EXPECT_EQ(KeyDown(27), 0);
    EXPECT_EQ(KeyHit(27), 0);
}

TEST_F(GLTest, FocusChangeClearsKeyCounters) {
    KeyHit(27);
    InjectKeyDown(27);
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&e);
    EXPECT_EQ(KeyHit(27), 0);
    EXPECT_EQ(KeyDown(27), 0);
}

TEST_F(GLTest, RealKeyEventsReachTheCounters) {
    KeyHit(27);
    KeyHit(65);
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_ESCAPE;
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    SDL_PushEvent(&e);
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_a;
    SDL_PushEvent(&e);
    EXPECT_EQ(KeyHit(27), 1);
    EXPECT_EQ(KeyHit(65), 1);
}

TEST_F(GLTest, QuitRequestIsRefused) {
    SDL_Event e = {};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
    PollSystem();
    EXPECT_NE(SDL_GL_GetCurrentWindow(), nullptr);
    EXPECT_EQ(GraphicsWidth(), 800);
}

namespace {
int32_t scripted_now = 0;
int32_t scripted_clock(void*) {
    return scripted_now;
}
} // namespace

TEST_F(GLTest, ScriptedClockDrivesMilliSecs) {
    int32_t a = MilliSecs();
    int32_t b = MilliSecs();
    EXPECT_LE(a, b);
    SetMilliSecsSource(scripted_clock, nullptr);
    scripted_now = 123456;
    EXPECT_EQ(MilliSecs(), 123456);
    scripted_now = 123457;
    EXPECT_EQ(MilliSecs(), 123457);
    SetMilliSecsSource(nullptr, nullptr);
    EXPECT_GE(MilliSecs(), b);
}

TEST_F(GLTest, FlipHookSeesTheFrameBeforePresentation) {
    struct Seen {
        Rgb pixel;
        int calls;
    } seen = {{0, 0, 0}, 0};
    SetFlipHook(
        [](void* user) {
            auto* s = static_cast<Seen*>(user);
            s->pixel = ReadPixel(400, 300);
            ++s->calls;
        },
        &seen);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Flip(0);
    SetFlipHook(nullptr, nullptr);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.pixel, (Rgb{255, 0, 0}));
}
