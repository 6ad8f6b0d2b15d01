// Every effect must hand the caller's GL state back untouched: the 2D
// layer's cached state and a surrounding 3D view both rely on it.
#include "fx/fx.h"
#include "tests/fx/fx_support.h"

#include <GL/gl.h>

#include <array>

namespace {

struct GLSnapshot {
    std::array<GLfloat, 16> projection{}, modelview{};
    std::array<GLfloat, 4> colour{}, clear{};
    std::array<GLint, 4> viewport{};
    GLint mode = 0, blend_src = 0, blend_dst = 0, binding = 0, depth_func = 0;
    GLint projection_depth = 0, modelview_depth = 0, attrib_depth = 0;
    GLboolean depth_mask = 0;
    std::array<GLboolean, 8> enables{};

    bool operator==(const GLSnapshot& o) const {
        return projection == o.projection && modelview == o.modelview && colour == o.colour &&
               clear == o.clear && viewport == o.viewport && mode == o.mode &&
               blend_src == o.blend_src && blend_dst == o.blend_dst && binding == o.binding &&
               depth_func == o.depth_func && projection_depth == o.projection_depth &&
               modelview_depth == o.modelview_depth && attrib_depth == o.attrib_depth &&
               depth_mask == o.depth_mask && enables == o.enables;
    }
};

const GLenum kEnables[8] = {GL_BLEND,     GL_TEXTURE_2D, GL_DEPTH_TEST,   GL_LIGHTING,
                            GL_CULL_FACE, GL_ALPHA_TEST, GL_SCISSOR_TEST, GL_LIGHT0};

GLSnapshot Snapshot() {
    GLSnapshot s;
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview.data());
    glGetFloatv(GL_CURRENT_COLOR, s.colour.data());
    glGetFloatv(GL_COLOR_CLEAR_VALUE, s.clear.data());
    glGetIntegerv(GL_VIEWPORT, s.viewport.data());
    glGetIntegerv(GL_MATRIX_MODE, &s.mode);
    glGetIntegerv(GL_BLEND_SRC, &s.blend_src);
    glGetIntegerv(GL_BLEND_DST, &s.blend_dst);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.binding);
    glGetIntegerv(GL_DEPTH_FUNC, &s.depth_func);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &s.projection_depth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.modelview_depth);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &s.attrib_depth);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &s.depth_mask);
    for (int i = 0; i < 8; ++i)
        s.enables[i] = glIsEnabled(kEnables[i]);
    return s;
}

// A 2x2 picture drawn the way the 2D layer draws: textured, blended, tinted.
GLuint PictureTexture() {
    static GLuint tex = 0;
    if (tex) return tex;
    const uint8_t texels[16] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 255, 255, 255, 0, 64};
    glGenTextures(1, &tex);
    glPushAttrib(GL_TEXTURE_BIT);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glPopAttrib();
    return tex;
}

// Draws with whatever state is current: the caller's matrices, blending,
// colour and texture binding decide what comes out.
void DrawPicture(float z) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(-120, -80, z);
    glTexCoord2f(1, 0);
    glVertex3f(100, -80, z);
    glTexCoord2f(1, 1);
    glVertex3f(100, 90, z);
    glTexCoord2f(0, 1);
    glVertex3f(-120, 90, z);
    glEnd();
}

// The 2D layer's state mid-run: a picture texture bound and enabled, alpha
// blending, a tint, and a translated model-view as sections 6 and 7 use.
void Set2DState() {
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(30, -20, 0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, PictureTexture());
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_ALPHA_TEST); // as the layer's alpha blend mode leaves it
    glColor4f(0.8f, 0.6f, 1.0f, 0.75f);
    glClearColor(0.1f, 0.2f, 0.3f, 1);
}

// Inside a 3D view: everything pushed, a perspective projection, depth test
// on, a depth buffer with near and far parts, a camera on the model-view.
void Set3DState() {
    Set2DState();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glFrustum(-1, 1, -0.75, 0.75, 1, 1000);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0, 0, -300);
    glRotatef(10, 0, 1, 0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    // Far everywhere, near on the left half: the picture shows only right of
    // the centre, so a lost depth buffer would show.
    glClearDepth(1);
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 400, 600);
    glClearDepth(0.5);
    glClear(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

void Leave3DState() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

std::vector<float> ReadDepth() {
    std::vector<float> depth(800 * 600);
    glReadPixels(0, 0, 800, 600, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    return depth;
}

class FxRestores : public FxTest, public ::testing::WithParamInterface<EffectCase> {};

} // namespace

TEST_P(FxRestores, CallersStateIn2D) {
    Set2DState();
    GLSnapshot before = Snapshot();
    GetParam().run();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(Snapshot() == before);
}

TEST_P(FxRestores, CallersStateAndDepthInside3DView) {
    Set3DState();
    GLSnapshot before = Snapshot();
    std::vector<float> depth = ReadDepth();
    GetParam().run();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(Snapshot() == before);
    EXPECT_TRUE(ReadDepth() == depth) << "the depth buffer must stay untouched";
    Leave3DState();
}

TEST_P(FxRestores, PictureInside3DViewDrawsAsWithout) {
    Set3DState();
    glClear(GL_COLOR_BUFFER_BIT);
    DrawPicture(-0.4f);
    std::vector<uint8_t> want = ReadFrame();
    Leave3DState();
    // The picture (pixels 240..533 across) shows right of the centre only.
    const Rgb clear = FramePixel(want, 0, 0);
    int shown_left = 0, shown_right = 0;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            const bool shown = !(FramePixel(want, x, y) == clear);
            (x < 400 ? shown_left : shown_right) += shown;
        }
    }
    ASSERT_EQ(shown_left, 0);
    ASSERT_GT(shown_right, 1000);

    ResetFrame();
    Set3DState();
    GetParam().run();
    glClear(GL_COLOR_BUFFER_BIT);
    DrawPicture(-0.4f);
    EXPECT_TRUE(FrameEquals(want));
    Leave3DState();
}

INSTANTIATE_TEST_SUITE_P(Effects, FxRestores, ::testing::ValuesIn(AllEffects()), EffectName);
