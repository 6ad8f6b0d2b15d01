// The generated scenes load with the demo's loader, carry a light object and a
// hinged part, and draw something on screen under the demo's 3D view.
#include "scene/scene.h"
#include "tests/support/gl_fixture.h"

#include <GL/gl.h>

#include <cmath>
#include <map>
#include <string>

namespace {

int lit_pixels() {
    std::vector<uint8_t> f = ReadFrame();
    int n = 0;
    for (size_t i = 0; i + 2 < f.size(); i += 3)
        n += (f[i] + f[i + 1] + f[i + 2]) > 30;
    return n;
}

// Loaded once and kept to the end, as the demo keeps its scenes.
scene* load(const char* name) {
    static auto* loaded = new std::map<std::string, scene*>; // never destroyed
    scene*& s = (*loaded)[name];
    if (!s) {
        set_path("data/");
        s = load_scene(name);
    }
    return s;
}

TEST_F(GLTest, CityLoadsWithLightsAndAHingedHatch) {
    scene* s = load("scene1.obj");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->has_lights, 1);
    object* pivot = find_object(s, "pivot_hatch");
    object* hatch = find_object(s, "hatch");
    ASSERT_NE(pivot, nullptr);
    ASSERT_NE(hatch, nullptr);
    EXPECT_EQ(pivot->type, OBJECT_PIVOT);
    EXPECT_EQ(hatch->pivot, pivot);
    // The hinge runs along a horizontal edge of the lid.
    float len = std::sqrt(pivot->axis[0] * pivot->axis[0] + pivot->axis[1] * pivot->axis[1] +
                          pivot->axis[2] * pivot->axis[2]);
    EXPECT_GT(len, 0.f);
    EXPECT_NEAR(pivot->axis[2], 0.f, 1e-4f);
    EXPECT_NE(find_object(s, "point_sun"), nullptr);
    EXPECT_EQ(find_object(s, "point_sun")->type, OBJECT_LIGHT);
}

TEST_F(GLTest, CityFillsMostOfTheScreenFromTheNearAndFarCamera) {
    scene* s = load("scene1.obj");
    ASSERT_NE(s, nullptr);
    for (float z : {-1.0472f, -1.8367f}) {
        glClearColor(0, 0, 0, 0);
        glwipe();
        glsetup(1.0f);
        gllite(0, 8, 5, 10, 0.98f);
        glLoadIdentity();
        glTranslated(0.0012, 0.0037, z);
        render_scene(s, RENDER_SOLID);
        int n = lit_pixels();
        gldone();
        EXPECT_GT(n, 800 * 600 / 2) << "camera at z " << z;
    }
}

TEST_F(GLTest, GemCopiesDrawSmallButVisible) {
    scene* s = load("scene2.obj");
    ASSERT_NE(s, nullptr);
    glwipe();
    glsetup(1.0f);
    gllite(0, 8, 5, 10, 0.98f);
    gllite(1, -4, -10, 10, 0.98f);
    glLoadIdentity();
    glTranslatef(0, 0, -2);
    glRotatef(30, 1, 0, 1);
    glScalef(0.1f, 0.1f, 0.1f);
    render_scene(s, RENDER_SOLID);
    int n = lit_pixels();
    gldone();
    // About 0.2 units wide at distance 2: a few thousand pixels, not the screen.
    EXPECT_GT(n, 1500);
    EXPECT_LT(n, 800 * 600 / 4);
}

} // namespace
