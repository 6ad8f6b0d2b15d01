#include "platform/draw2d.h"

#include <SDL_opengl.h>

// Placeholder until the 2D layer lands: enough for a display to open.
TPixmap::~TPixmap() { delete[] pixels; }

void ResetDraw2D(int width, int height) {
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, width, height);
}

void Cls() { glClear(GL_COLOR_BUFFER_BIT); }
