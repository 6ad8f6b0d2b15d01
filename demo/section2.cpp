// Section 2, line ring with screen effects (to 32.045 s): a tinted picture
// and five copies of a wobbling ring of 360 spokes, mirrored, shone and
// split into colours; two pictures laid sharp on top from 20.02 and 24.09 s.
#include "demo/timeline.h"

#include "fx/fx.h"
#include "platform/clock.h"
#include "platform/draw2d.h"

namespace {

void DrawRing(double t, double s) {
    static const double kDivisors[] = {4, 2, 1, 0.5, 0.25};
    double p = t / 7;
    for (int i = 0; i < 360; ++i) {
        while (p > 360)
            p -= 360;
        p += 2.5;
        const double w = Sin(p) * 40;
        const double x1 = Sin(i) * (100 + w), y1 = Cos(i) * (100 + w);
        const double q = i - w / 5 + s;
        const double x2 = Sin(q) * (100 + w + s), y2 = Cos(q) * (100 + w + s);
        for (double div : kDivisors)
            DrawLine(float(x1 / div), float(y1 / div), float(x2 / div), float(y2 / div), 1);
    }
}

void DrawSharp(TImage* image, double x, double y) {
    SetPlainDrawing(kAlphaBlend);
    DrawImage(image, float(x), float(y), 0);
}

} // namespace

void DrawSection2(Demo& d) {
    SetBlend(kLightBlend);
    SetAlpha(0.4f);
    SetColor(30, 65, 30);
    SetLineWidth(4);
    const double t = d.t;
    // Still under the previous frame's rotation: it is set only below.
    DrawImage(d.images[4], 10, 0, 0);
    SetRotation(float(d.ring_angle));
    d.ring_angle = t / 15;
    const double s = Sin(d.ring_angle) * 20;
    DrawRing(t, s);
    // The second reading makes the split depend on the start mark and on
    // how long this frame took to draw.
    const double m = MilliSecs();
    const double a = 180 + 40 * Sin((m - t) / 4);
    fx_kaleido(FX_ADD, 1.0f);
    fx_shine(0.2f, 0.2f, 0.2f, 0.04f, 5.0f);
    fx_separatergb(float(Sin(4 * a) / 30), 0);
    const double b = Sin(t / 10) * 20;
    if (InWindow(t, double(20.02f), kSection2End)) DrawSharp(d.images[5], -130, 200 + b);
    if (InWindow(t, double(24.09f), kSection2End)) DrawSharp(d.images[6], -400, 60);
}

bool Section2Frame(Demo& d) {
    ReadClock(d);
    DrawSection2(d);
    return PresentAndClear();
}
