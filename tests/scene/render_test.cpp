// Pixel tests of the renderer inside the 3D bracket. With glsetup(1.0) the
// view at distance d spans x -d..d and y -0.75d..0.75d, so a point (X, Y, -d)
// lands on pixel (400 + 400 X / d, 300 - 400 Y / d).
#include "scene/scene.h"
#include "tests/scene/scene_files.h"
#include "tests/support/gl_fixture.h"

#include <GL/gl.h>

#include <cmath>
#include <string>
#include <tuple>

namespace {
// A square from (-1,-1) to (1,1) at depth z, facing the viewer, with texture
// coordinates (0,0) at its bottom-left corner.
std::string Square(float z) {
    std::string zs = std::to_string(z);
    return "v -1 -1 " + zs + "\nv 1 -1 " + zs + "\nv 1 1 " + zs + "\nv -1 1 " + zs +
           "\nvn 0 0 1\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
}

const Rgb kBlack{0, 0, 0};
} // namespace

TEST_F(GLTest, LitTexturedQuadShowsItsTextureInPlace) {
    // 4 x 4 texels in 2 x 2 quadrants, stored top row first: red, green over
    // blue, white.
    const Bgr r{0, 0, 255}, g{0, 255, 0}, b{255, 0, 0}, w{255, 255, 255};
    std::string tga = TgaBytes(4, 4, {r, r, g, g, r, r, g, g, b, b, w, w, b, b, w, w});
    // Diffuse 0.5, no ambient, a light straight ahead at strength 0.98.
    scene* s = LoadFiles(
        "mtllib s.mtl\n" + Square(-2) + "o quad\ng q\nusemtl tex\nf 1/1/1 2/2/1 3/3/1 4/4/1\n",
        "newmtl tex\nKa 0 0 0\nKd 0.5 0.5 0.5\nKs 0 0 0\nNs 1\nmap_Kd t.tga\n", tga);
    ASSERT_NE(s, nullptr);
    glwipe();
    glsetup(1.0f);
    gllite(0, 0.0f, 0.0f, 10.0f, 0.98f);
    render_scene(s, RENDER_SOLID);
    gldone();
    // Each corner (+-1, +-1, -2) is d = sqrt(146) = 12.083 from the light, at
    // cos = 12 / d, dimmed by 1 / (1 + 0.02 d): 255 * 0.5 * 0.99313 / 1.24166
    // = 102.0 of each texel; outside the quad (x 200..600, y 100..500) black.
    const std::tuple<int, int, Rgb> kChecks[] = {
        {300, 200, {102, 0, 0}},     {500, 200, {0, 102, 0}}, {300, 400, {0, 0, 102}},
        {500, 400, {102, 102, 102}}, {150, 300, kBlack},      {400, 50, kBlack}};
    for (auto [x, y, want] : kChecks)
        EXPECT_NEAR_RGB(ReadPixel(x, y), want, 2) << x << ", " << y;
    delete_scene(s);
}

TEST_F(GLTest, HingedBarTurnsAboutTheHingeAndThePivotIsNeverDrawn) {
    // Hinge at (-1, 0, -3), axis +z (towards the viewer); a green bar runs from
    // the hinge to x = 1. Turned 90 degrees it points up.
    scene* s =
        LoadFiles("mtllib s.mtl\n"
                  "v -1 0 -3\nv 5 0 -3\nv 5 0.1 -3\n"
                  "v -1.1 -0.1 -2\nv -0.9 -0.1 -2\nv -0.9 0.1 -2\nv -1.1 0.1 -2\n"
                  "v -1 -0.1 -3\nv 1 -0.1 -3\nv 1 0.1 -3\nv -1 0.1 -3\nvn 0 0 1\n"
                  "o pivot_bar\ng hinge\nusemtl red\nf 4//1 5//1 6//1 7//1\nf 1//1 2//1 3//1\n"
                  "o bar\ng b\nusemtl green\nf 8//1 9//1 10//1 11//1\n",
                  "newmtl red\nKd 1 0 0\nnewmtl green\nKd 0 1 0\n");
    ASSERT_NE(s, nullptr);
    object* bar = find_object(s, "bar");
    ASSERT_NE(bar->pivot, nullptr);
    const Rgb green{0, 255, 0};
    for (float angle : {0.0f, 90.0f}) {
        bar->angle = angle;
        ResetFrame();
        glsetup(1.0f);
        render_scene(s, RENDER_SOLID | RENDER_UNLIT);
        gldone();
        // At distance 3 one unit is 133.3 pixels; the hinge is at (266.7, 300).
        // The bar lies along y 300 or up x 267; nothing below the hinge; the
        // pivot's square (x 180..220) and triangle (to x 667, y 293..300) unseen.
        const bool up = angle == 90.0f;
        const std::tuple<int, int, bool> kGreen[] = {
            {400, 300, !up},   {520, 300, !up},   {267, 233, up},   {267, 180, up},
            {267, 420, false}, {200, 300, false}, {660, 299, false}};
        for (auto [x, y, want] : kGreen)
            EXPECT_EQ(ReadPixel(x, y), want ? green : kBlack) << x << ", " << y << " at " << angle;
    }
    delete_scene(s);
}

// Lit by one light object straight ahead (white diffuse and specular): a
// face whose left vertices face the light and whose right ones are turned
// 60 degrees away. Per vertex, diffuse red is N.L and specular blue is
// (N.H)^8 with H along +z: 255 and 255 on the left, 127.5 and 255 / 256 on
// the right; the colours run linearly across the face.
TEST_F(GLTest, LitFaceTakesEachVertexNormalAndASpecularHighlight) {
    scene* s = LoadFiles("mtllib s.mtl\n" + Square(-2) +
                             "vn 0.8660254 0 0.5\nv 0 0 1\n"
                             "o quad\ng q\nusemtl shiny\nf 1//1 2//2 3//2 4//1\n"
                             "o pointSun\ng l\nusemtl sun\nf 5//1 5//1 5//1\n",
                         "newmtl shiny\nKa 0 0 0\nKd 1 0 0\nKs 0 0 1\nNs 8\n"
                         "newmtl sun\nKa 0 0 0\nKd 1 1 1\nKs 1 1 1\n");
    ASSERT_NE(s, nullptr);
    glwipe();
    glsetup(1.0f);
    render_scene(s, RENDER_SOLID);
    gldone();
    // The face spans x 200..600; f is the fraction across it at a pixel centre.
    for (int x : {205, 400, 595}) {
        const double f = (x + 0.5 - 200) / 400;
        const Rgb want{int(std::lround(255 - 127.5 * f)), 0,
                       int(std::lround(255 - (255 - 255.0 / 256) * f))};
        EXPECT_NEAR_RGB(ReadPixel(x, 300), want, 2) << "x " << x;
    }
    delete_scene(s);
}

// Two light objects, each from the first vertex of its first face (faces
// are kept in reverse file order): red straight ahead, green from 45 degrees
// above. A white matte face takes both: red 255, green 255 cos 45; the
// view's own light is off while the scene draws.
TEST_F(GLTest, TwoLightObjectsEachLightTheSceneFromTheirOwnFace) {
    scene* s = LoadFiles("mtllib s.mtl\n" + Square(-2) +
                             "v 0 0 1\nv 0 1 1\nv 0 0 -1\n"
                             "o quad\ng q\nusemtl white\nf 1//1 2//1 3//1 4//1\n"
                             "o pointRed\ng r\nusemtl red\nf 5//1 5//1 5//1\n"
                             "o pointGreen\ng g\nusemtl green\nf 7//1 7//1 7//1\n"
                             "f 6//1 7//1 5//1\n",
                         "newmtl white\nKa 0 0 0\nKd 1 1 1\nKs 0 0 0\n"
                         "newmtl red\nKa 0 0 0\nKd 1 0 0\nKs 0 0 0\n"
                         "newmtl green\nKa 0 0 0\nKd 0 1 0\nKs 0 0 0\n");
    ASSERT_NE(s, nullptr);
    glwipe();
    glsetup(1.0f);
    gllite(1, 0.0f, 0.0f, 10.0f, 1.0f);     // the view's light: off while the scene draws
    for (int pass = 0; pass < 12; ++pass) { // the same slots every time
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        render_scene(s, RENDER_SOLID);
    }
    const bool view_light = glIsEnabled(GL_LIGHT1);
    gldone();
    EXPECT_TRUE(view_light) << "the view's light is back after the scene";
    EXPECT_NEAR_RGB(ReadPixel(400, 300), (Rgb{255, int(std::lround(255 * std::sqrt(0.5))), 0}), 2);
    delete_scene(s);
}
