// Faulty user files: each fails the load cleanly with one line on stderr that
// names the file, the line and the problem.
#include "scene/scene.h"
#include "tests/scene/scene_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {
struct BadCase {
    const char* label;
    std::string obj, mtl, tga; // tga is written as t.tga when not empty
    std::string message;       // after "ninefold: <dir>"; {dir} stands for the directory
};

const std::string kTri = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvt 0 0\n";

std::string Tga(int w, int h, size_t pixel_bytes) {
    std::string t(18, '\0');
    t[2] = 2, t[16] = 24;
    t[12] = char(w & 255), t[13] = char(w >> 8), t[14] = char(h & 255), t[15] = char(h >> 8);
    return t + std::string(pixel_bytes, '\x7f');
}

std::string Textured(const std::string& tga) {
    return "newmtl m\nKd 1 1 1\nmap_Kd t.tga\n" + tga;
}

class SceneMalformed : public ::testing::TestWithParam<BadCase> {};
} // namespace

TEST_P(SceneMalformed, FailsWithOneLineNamingFileAndLine) {
    const BadCase& c = GetParam();
    std::string dir = MakeTempDir();
    WriteFile(dir + "s.obj", c.obj);
    if (!c.mtl.empty()) WriteFile(dir + "s.mtl", c.mtl);
    if (!c.tga.empty()) WriteFile(dir + "t.tga", c.tga);
    set_path(dir.c_str());
    ::testing::internal::CaptureStderr();
    scene* s = load_scene("s.obj");
    std::string err = ::testing::internal::GetCapturedStderr();
    set_path("");
    EXPECT_EQ(s, nullptr);
    std::string message = c.message;
    for (size_t at; (at = message.find("{dir}")) != std::string::npos;)
        message.replace(at, 5, dir);
    EXPECT_EQ(err, "ninefold: " + dir + message + "\n");
}

namespace {
const std::string kLong(1000, 'x');
const std::string kMtl = "mtllib s.mtl\n";
} // namespace

INSTANTIATE_TEST_SUITE_P(
    SceneLoader, SceneMalformed,
    ::testing::Values(
        BadCase{"PositionPastTheEnd", kTri + "o a\ng g\nf 1//1 2//1 40//1\n", "", "",
                "s.obj:8: face index 40 outside 1..3"},
        BadCase{"PositionZero", kTri + "o a\ng g\nf 0//1 2//1 3//1\n", "", "",
                "s.obj:8: face index 0 outside 1..3"},
        BadCase{"NormalPastTheEnd", kTri + "o a\ng g\nf 1//1 2//2 3//1\n", "", "",
                "s.obj:8: normal index 2 outside 1..1"},
        BadCase{"NormalMissing", kTri + "o a\ng g\nf 1// 2//1 3//1\n", "", "",
                "s.obj:8: normal index 0 outside 1..1"},
        BadCase{"TexturePastTheEnd", kTri + "o a\ng g\nf 1/2/1 2/1/1 3/1/1\n", "", "",
                "s.obj:8: texture coordinate index 2 outside 1..1"},
        BadCase{"RelativeIndex", kTri + "o a\ng g\nf -1//1 2//1 3//1\n", "", "",
                "s.obj:8: relative face index -1 not supported"},
        BadCase{"NoSlashes", kTri + "o a\ng g\nf 1 2 3\n", "", "",
                "s.obj:8: face reference '1' is not of the form p/t/n or p//n"},
        BadCase{"OneSlash", kTri + "o a\ng g\nf 1/1 2/1 3/1\n", "", "",
                "s.obj:8: face reference '1/1' is not of the form p/t/n or p//n"},
        BadCase{"ThreeSlashes", kTri + "o a\ng g\nf 1/1/1/1 2//1 3//1\n", "", "",
                "s.obj:8: face reference '1/1/1/1' is not of the form p/t/n or p//n"},
        BadCase{"EmptyFace", kTri + "o a\ng g\nf\n", "", "", "s.obj:8: face without vertices"},
        BadCase{"FaceBeforeAnything", kTri + "f 1//1 2//1 3//1\n", "", "",
                "s.obj:6: face before any group"},
        BadCase{"FaceBeforeGroup", kTri + "o a\nf 1//1 2//1 3//1\n", "", "",
                "s.obj:7: face before any group"},
        BadCase{"GroupBeforeObject", "g g\n", "", "", "s.obj:1: group before any object"},
        BadCase{"LongObjectName", "o " + kLong + "\n", "", "",
                "s.obj:1: name of 1000 characters, longer than 999"},
        BadCase{"LongGroupName", "o a\n\ng " + kLong + "\n", "", "",
                "s.obj:3: name of 1000 characters, longer than 999"},
        BadCase{"LongMaterialName", kMtl, "newmtl " + kLong + "\n", "",
                "s.mtl:1: name of 1000 characters, longer than 999"},
        BadCase{"LongTextureName", kMtl, "newmtl m\nmap_Kd " + kLong + "\n", "",
                "s.mtl:2: name of 1000 characters, longer than 999"},
        BadCase{"ColourBeforeNewmtl", kMtl, "# lib\nKd 1 0 0\nnewmtl m\n", "",
                "s.mtl:2: Kd before any newmtl"},
        BadCase{"TextureBeforeNewmtl", kMtl, "map_Kd t.tga\n", "",
                "s.mtl:1: map_Kd before any newmtl"},
        BadCase{"MissingLibrary", "o a\nmtllib none.mtl\n", "", "",
                "s.obj:2: {dir}none.mtl: cannot open (No such file or directory)"},
        BadCase{"MtllibWithoutName", "mtllib\n", "", "", "s.obj:1: mtllib without a file name"},
        BadCase{"TgaHeaderShort", kMtl, Textured(""), std::string(17, '\0'),
                "s.mtl:3: texture {dir}t.tga: file of 17 bytes, shorter than a header"},
        BadCase{"TgaZeroWidth", kMtl, Textured(""), Tga(0, 4, 0),
                "s.mtl:3: texture {dir}t.tga: image of 0 x 4 pixels"},
        BadCase{"TgaZeroHeight", kMtl, Textured(""), Tga(4, 0, 12),
                "s.mtl:3: texture {dir}t.tga: image of 4 x 0 pixels"},
        BadCase{"TgaPixelsShort", kMtl, Textured(""), Tga(2, 2, 11),
                "s.mtl:3: texture {dir}t.tga: file of 29 bytes, 2 x 2 pixels need 30"},
        BadCase{"TgaHugeHeader", kMtl, Textured(""), Tga(65535, 65535, 3),
                "s.mtl:3: texture {dir}t.tga: file of 21 bytes, 65535 x 65535 pixels need "
                "12884508693"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.label); });

TEST(SceneLoader, PathOver999CharactersFails) {
    std::string name(990, 'p');
    set_path("/tmp/0123456789/"); // 16 + 990 > 999
    ::testing::internal::CaptureStderr();
    scene* s = load_scene(name.c_str());
    std::string err = ::testing::internal::GetCapturedStderr();
    set_path("");
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(err.rfind("ninefold: " + name + ": path longer than 999 characters", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}

TEST(SceneLoader, MissingSceneFileFails) {
    set_path("/nonexistent/");
    ::testing::internal::CaptureStderr();
    scene* s = load_scene("s.obj");
    std::string err = ::testing::internal::GetCapturedStderr();
    set_path("");
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(err, "ninefold: /nonexistent/s.obj: cannot open (No such file or directory)\n");
}
