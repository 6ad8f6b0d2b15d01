// The 3D bracket in the middle of a 2D frame: clear, perspective view with all
// state saved, positional lights, and the restore.
#include "scene/scene.h"

#include <GL/gl.h>

void glwipe() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void glsetup(float zoom) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    // The window bounds are single-precision decimals widened to double.
    glFrustum(-0.01f, 0.01f, -0.0075f, 0.0075f, double(zoom) / 100.0, 10000.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
}

void gllite(int32_t index, float x, float y, float z, float strength) {
    // Only the eight light slots exist; any other index is left alone rather
    // than leaving an OpenGL error behind for the caller.
    if (index < 0 || index > 7) return;
    GLenum light = GL_LIGHT0 + index;
    glEnable(light);
    if (strength == 0.0f) glDisable(light);
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f}, ambient[4] = {0.1f, 0.1f, 0.1f, 1.0f};
    const float position[4] = {x, y, z, 1.0f};
    glLightfv(light, GL_SPECULAR, white);
    glLightfv(light, GL_DIFFUSE, white);
    glLightfv(light, GL_AMBIENT, ambient);
    glLightfv(light, GL_POSITION, position);
    glLightf(light, GL_CONSTANT_ATTENUATION, 1.0f);
    glLightf(light, GL_LINEAR_ATTENUATION, float(1.0 - double(strength)));
    glLightf(light, GL_QUADRATIC_ATTENUATION, 0.0f);
    glLightf(light, GL_SPOT_CUTOFF, 180.0f);
}

void gldone() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}
