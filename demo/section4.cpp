// Section 4, 3D scenes (to 64.03 s): scene 1 pulled away from the viewer,
// faster and faster within each second, under a swinging camera; four small
// tumbling copies of scene 2 in front; the whole frame square-blurred.
// No 2D call: the 2D render state passes through unchanged.
#include "demo/timeline.h"

#include "fx/fx.h"
#include "platform/graphics.h"
#include "platform/keyboard.h"
#include "scene/scene.h"

#include <GL/gl.h>

namespace {

void DrawSceneOne(Demo& d, double a) {
    glLoadIdentity();
    const double u = std::fmod(a / 200, 1.0);
    const double e = std::exp(u * std::log(16.0));
    const double x = double(0.0013f) * (1.0 - e / 16.0);
    const double y = double(0.004f) * (1.0 - e / 16.0);
    const double z = double(-0.9946f) - e / 19.0;
    glRotatef(float(200 * Sin(a * 360 / 2000)), 0, 0, 1);
    glRotatef(float(20 * Sin(a * 360 / 400)), 0, 1, 0);
    glTranslated(x, y, z);
    render_scene(d.scene1, RENDER_SOLID);
}

void DrawSceneTwoCopies(Demo& d, double b) {
    for (int i = 0; i < 4; ++i) {
        glLoadIdentity(); // the copies do not share the camera swing
        glTranslatef(float(2.0 * Sin(30 * i + double(1.2f) * b)),
                     float(0.5 * Cos(100 * i + double(1.3f) * b)),
                     float(2.0 * Sin(99 * i + double(0.7f) * b) - double(0.8f)));
        glRotatef(float(b + 10 * i), 1.0f, 0.0f, 1.0f);
        glScalef(0.1f, 0.1f, 0.1f);
        render_scene(d.scene2, RENDER_SOLID);
    }
}

} // namespace

void DrawSection4(Demo& d) {
    const double t = d.t;
    glwipe(); // clears colour and depth: this section never calls Cls
    glsetup(1.0f);
    // Placed under the identity, so the lights stay fixed to the viewer.
    gllite(0, 8.0f, 5.0f, 10.0f, 0.98f);
    gllite(1, -4.0f, -10.0f, 10.0f, 0.98f);
    const double a = t / 5;
    DrawSceneOne(d, a);
    glClear(GL_DEPTH_BUFFER_BIT); // scene 1 never hides the copies
    DrawSceneTwoCopies(d, a / 2);
    fx_squareblur(40.0f, FX_LINEAR, FX_OVER_SHARP, 0.5f, 0.5f, 0.5f);
    gldone();
}

bool Section4Frame(Demo& d) {
    ReadClock(d);
    DrawSection4(d);
    // Escape is tested before presenting: the frame is then never shown.
    if (KeyHit(kEscapeKey)) return false;
    Flip(-1);
    return true;
}
