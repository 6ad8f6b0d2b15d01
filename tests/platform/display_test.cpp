// The display the demo draws into, and Escape as the viewer presses it.
#include "platform/graphics.h"
#include "tests/support/gl_fixture.h"

#include <SDL.h>
#include <SDL_opengl.h>

TEST_F(GLTest, FrameIs800x600WithADepthBufferOnAFullScreenWindow) {
    EXPECT_EQ(GraphicsWidth(), 800);
    EXPECT_EQ(GraphicsHeight(), 600);
    GLint depth_bits = 0, viewport[4] = {};
    glGetIntegerv(GL_DEPTH_BITS, &depth_bits);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_GT(depth_bits, 0);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    EXPECT_TRUE(SDL_GetWindowFlags(SDL_GL_GetCurrentWindow()) & SDL_WINDOW_FULLSCREEN);
}

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
