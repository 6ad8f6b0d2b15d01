// The 3D bracket: projection, light placement and the state it restores.
#include "scene/scene.h"
#include "tests/scene/scene_files.h"
#include "tests/support/gl_fixture.h"

#include <GL/gl.h>

#include <array>
#include <vector>

namespace {
struct LightState {
    bool enabled;
    std::array<float, 4> position, diffuse, ambient, specular;
    float linear;
    bool operator==(const LightState& o) const {
        return enabled == o.enabled && position == o.position && diffuse == o.diffuse &&
               ambient == o.ambient && specular == o.specular && linear == o.linear;
    }
};

LightState Light(int i) {
    LightState s{};
    GLenum l = GL_LIGHT0 + i;
    s.enabled = glIsEnabled(l);
    glGetLightfv(l, GL_POSITION, s.position.data());
    glGetLightfv(l, GL_DIFFUSE, s.diffuse.data());
    glGetLightfv(l, GL_AMBIENT, s.ambient.data());
    glGetLightfv(l, GL_SPECULAR, s.specular.data());
    glGetLightfv(l, GL_LINEAR_ATTENUATION, &s.linear);
    return s;
}

struct GlState {
    std::vector<LightState> lights;
    std::array<float, 16> modelview, projection;
    GLint mode;
    bool depth, lighting, cull, texture;
    bool operator==(const GlState& o) const {
        return lights == o.lights && modelview == o.modelview && projection == o.projection &&
               mode == o.mode && depth == o.depth && lighting == o.lighting && cull == o.cull &&
               texture == o.texture;
    }
};

GlState Capture() {
    GlState s{};
    for (int i = 0; i < 8; ++i)
        s.lights.push_back(Light(i));
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview.data());
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection.data());
    glGetIntegerv(GL_MATRIX_MODE, &s.mode);
    s.depth = glIsEnabled(GL_DEPTH_TEST);
    s.lighting = glIsEnabled(GL_LIGHTING);
    s.cull = glIsEnabled(GL_CULL_FACE);
    s.texture = glIsEnabled(GL_TEXTURE_2D);
    return s;
}

// Model with a light object, a hinged part and a textured face.
scene* BusyScene() {
    std::string dir = MakeTempDir();
    const Bgr r{0, 0, 255};
    WriteFile(dir + "t.tga", TgaBytes(4, 1, {r, r, r, r}, 0));
    WriteFile(dir + "s.mtl", "newmtl m\nKd 1 1 1\nmap_Kd t.tga\nnewmtl lamp\nKd 1 0 0\n");
    WriteFile(dir + "s.obj", "mtllib s.mtl\nv 0 0 -2\nv 1 0 -2\nv 0 1 -2\nv 2 2 2\nv 1 1 -2\n"
                             "vn 0 0 1\nvt 0 0\n"
                             "o pointA\ng a\nusemtl lamp\nf 4//1 4//1 4//1\n"
                             "o pointB\ng b\nusemtl lamp\nf 4//1 4//1 4//1\n"
                             "o pivot_lid\ng p\nf 1//1 2//1 5//1 3//1\nf 1//1 2//1 3//1\n"
                             "o lid\ng l\nusemtl m\nf 1/1/1 2/1/1 3/1/1\n");
    set_path(dir.c_str());
    scene* s = load_scene("s.obj");
    set_path("");
    return s;
}
} // namespace

TEST_F(GLTest, LiteStrengthBecomesLinearAttenuation) {
    glsetup(1.0f);
    gllite(0, 8.0f, 5.0f, 10.0f, 0.98f);
    LightState l = Light(0);
    gldone();
    EXPECT_TRUE(l.enabled);
    // 1 - 0.980000019073486328125 (0.98 in single precision).
    EXPECT_EQ(l.linear, 0.019999980926513671875f);
    EXPECT_EQ(l.position, (std::array<float, 4>{8, 5, 10, 1}));
}

class StateAround : public GLTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(StateAround, RenderSceneAndGldoneRestoreLightsMatricesAndMode) {
    scene* s = BusyScene();
    ASSERT_NE(s, nullptr);
    find_object(s, "lid")->angle = 30.0f;
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(5.0f, 0.0f, 0.0f);
    glEnable(GL_LIGHT5);
    glMatrixMode(GL_PROJECTION); // left in projection mode on purpose
    GlState outside = Capture();
    glsetup(1.0f);
    gllite(0, 8.0f, 5.0f, 10.0f, 0.98f);
    gllite(1, -4.0f, -10.0f, 10.0f, 0.98f);
    glRotatef(20.0f, 0.0f, 1.0f, 0.0f);
    glTranslated(0.0, 0.0, -1.0);
    GlState inside = Capture();
    for (int i = 0; i < 3; ++i) {
        render_scene(s, GetParam());
        EXPECT_TRUE(Capture() == inside) << "render " << i;
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    gldone();
    EXPECT_TRUE(Capture() == outside);
    glDisable(GL_LIGHT5);
    glMatrixMode(GL_MODELVIEW);
    FreeScene(s);
}

INSTANTIATE_TEST_SUITE_P(SceneView, StateAround, ::testing::Values(RENDER_SOLID, RENDER_OUTLINE));
