#include "demo/demo.h"

#include "platform/draw2d.h"
#include "platform/graphics.h"

#include <SDL_opengl.h>

// Smoke program until the timeline lands: a few seconds of a pulsing screen.
void DemoMain() {
    SetGraphicsDriver(GL2DDriver(), 2);
    Graphics(800, 600, 32, 0, 10);
    HideMouse();
    int32_t start = MilliSecs();
    for (;;) {
        int32_t t = MilliSecs() - start;
        if (t > 3000) break;
        float level = float(t % 1000) / 1000.0f;
        glClearColor(level, 0.2f, 1.0f - level, 1.0f);
        Cls();
        Flip(-1);
        if (KeyHit(27)) break;
    }
    EndGraphics();
}
