// Fixture for the effect pixel tests: the shared display with the capture
// textures made for it, and plain GL state for drawing test content.
#pragma once

#include "fx/fx.h"
#include "tests/support/gl_fixture.h"

#include <GL/gl.h>

class FxTest : public GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        if (fx().fx_tex == 0) fx_init(800, 600);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_SCISSOR_TEST);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
};
