// What the loader makes of hinges and materials: how a scene's lids turn and
// what colour it takes. Face indices, light and pivot names show in the
// render tests' pixels.
#include "scene/scene.h"
#include "tests/scene/scene_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct PivotCase {
    const char* triangle; // three "v" lines
    float corner[3];
};

class PivotCorner : public ::testing::TestWithParam<PivotCase> {};

TEST_P(PivotCorner, CornerIsOppositeTheShortestEdgeAndAxisPointsToTheSquare) {
    std::string obj = std::string(GetParam().triangle) +
                      "v 0 0 5\nv 1 0 5\nv 1 1 5\nv 0 1 5\nvn 0 0 1\n"
                      "o pivot_x\ng hinge\nf 4//1 5//1 6//1 7//1\nf 1//1 2//1 3//1\n";
    scene* s = LoadFiles(obj);
    ASSERT_NE(s, nullptr);
    const object* p = s->objects;
    const float* c = GetParam().corner;
    EXPECT_EQ(std::vector<float>(p->origin, p->origin + 3), std::vector<float>(c, c + 3));
    EXPECT_EQ(std::vector<float>(p->axis, p->axis + 3),
              (std::vector<float>{0.5f - c[0], 0.5f - c[1], 5.0f - c[2]}));
    delete_scene(s);
}

INSTANTIATE_TEST_SUITE_P(
    SceneLoader, PivotCorner,
    ::testing::Values(PivotCase{"v 0 0 0\nv 10 0 0\nv 10 1 0\n", {0, 0, 0}}, // d23 shortest
                      PivotCase{"v 0 0 0\nv 0 1 0\nv 10 0 0\n", {10, 0, 0}}, // d12 shortest
                      PivotCase{"v 0 1 0\nv 10 0 0\nv 0 0 0\n", {10, 0, 0}}, // d31 shortest
                      PivotCase{"v 1 0 0\nv 0 1 0\nv 0 0 1\n", {1, 0, 0}})); // exact tie

TEST(SceneLoader, GroupTakesTheMaterialOfItsLastFace) {
    scene* s = LoadFiles("mtllib s.mtl\nv 0 0 0\nvn 0 0 1\no a\ng first\nf 1//1\n"
                         "g second\nusemtl red\nf 1//1\nusemtl blue\nf 1//1\n",
                         "newmtl blue\nKa 0.1 \\\n0.2 0.3\nnewmtl red\nKd 1 0 0\n");
    ASSERT_NE(s, nullptr);
    const group* second = s->objects->groups;
    const group* first = second->next;
    EXPECT_STREQ(second->material->name, "blue");
    EXPECT_STREQ(first->material->name, "red"); // mtllib makes its last material current
    // Diffuse, specular and shininess show in the render tests' pixels;
    // ambient, zero there, here, from a line continued with a backslash.
    const material* m = second->material;
    EXPECT_EQ(std::vector<float>(m->ka, m->ka + 4), (std::vector<float>{0.1f, 0.2f, 0.3f, 1}));
    delete_scene(s);
}
