// What the sections' frames share: the clock reading, the frame's end, the
// plain drawing state and the timed picture lists.
#include "demo/timeline.h"

#include "platform/clock.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"
#include "platform/keyboard.h"

#include <GL/gl.h>

void ReadClock(Demo& d) {
    d.t = double(int32_t(uint32_t(MilliSecs()) - uint32_t(d.start_ms)));
}

bool PresentAndClear() {
    Flip(-1);
    Cls();
    return !KeyHit(kEscapeKey);
}

void SetPlainDrawing(int blend) {
    SetBlend(blend);
    SetAlpha(1.0f);
    SetRotation(0.0f);
    SetColor(255, 255, 255);
}

void DrawTimedPictures(const Demo& d, const TimedPicture* list, int count, float x, float y) {
    for (int i = 0; i < count; ++i)
        if (InWindow(d.t, list[i].from_s, list[i].to_s)) DrawImage(d.images[list[i].slot], x, y, 0);
}

void ShakeNumbers(double t) {
    // The 2D layer draws through the model-view matrix: this shakes every
    // picture of the frame.
    glLoadIdentity();
    glTranslatef(float(20 * Sin(t / 10)), float(20 * Cos(t / 13)), 0.0f);
    SetRotation(float(20 * Sin(t / 10)));
}

void DrawNumbers(const Demo& d, const double* phase) {
    for (int i = 0; i < kNumberImages; ++i) {
        const double s = double(0.003f) * std::exp(phase[i] * std::log(5.0));
        SetScale(float(s), float(s));
        DrawImage(d.numbers[i], 0.0f, 0.0f, 0);
    }
}
