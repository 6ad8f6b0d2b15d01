// Opens the demo's display and shows a frame of four coloured quadrants
// until Escape, so a screenshot can tell where the frame lands on screen.
// With "load" it never presents, like a long load; with "time" it prints
// how long opening the display took ("open <ms> ms") and exits.
#include "platform/graphics.h"
#include "platform/keyboard.h"

#include <SDL_opengl.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    SetGraphicsDriver(GL2DDriver(), kDefaultGraphicsFlags);
    Graphics(800, 600, 32, 0, GRAPHICS_BACKBUFFER | GRAPHICS_DEPTHBUFFER);
    if (argc > 1 && !std::strcmp(argv[1], "time")) {
        const auto took = std::chrono::steady_clock::now() - start;
        std::fprintf(
            stderr, "open %lld ms\n",
            (long long)std::chrono::duration_cast<std::chrono::milliseconds>(took).count());
        EndGraphics();
        return 0;
    }
    HideMouse();
    while (argc > 1)
        pause();
    struct Quadrant {
        int x, y; // lower-left corner, GL coordinates
        float r, g, b;
    } quadrants[] = {{0, 300, 1, 0, 0}, {400, 300, 0, 1, 0}, {0, 0, 0, 0, 1}, {400, 0, 1, 1, 1}};
    glEnable(GL_SCISSOR_TEST);
    while (!KeyHit(kEscapeKey)) {
        for (const Quadrant& q : quadrants) {
            glScissor(q.x, q.y, 400, 300);
            glClearColor(q.r, q.g, q.b, 1);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        Flip(-1);
    }
    EndGraphics();
    return 0;
}
