// Faulty user files: each fails the load cleanly, prints nothing, and leaves a
// reason that names the file, the line and the offending value.
#include "scene/scene.h"
#include "tests/scene/scene_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {
struct BadCase {
    const char* label;
    std::string obj, mtl, tga; // tga is written as t.tga when not empty
    std::string where;         // file and line the reason must name
    std::string value;         // what the reason must mention
};

const std::string kTri = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvt 0 0\n";
const std::string kMtl = "mtllib s.mtl\n";
const std::string kLong(1000, 'x');

std::string Tga(int w, int h, size_t pixel_bytes) {
    std::string t(18, '\0');
    t[2] = 2, t[16] = 24;
    t[12] = char(w & 255), t[13] = char(w >> 8), t[14] = char(h & 255), t[15] = char(h >> 8);
    return t + std::string(pixel_bytes, '\x7f');
}

std::string Textured() {
    return "newmtl m\nKd 1 1 1\nmap_Kd t.tga\n";
}

class SceneMalformed : public ::testing::TestWithParam<BadCase> {};
} // namespace

TEST_P(SceneMalformed, FailsSilentlyNamingFileLineAndValue) {
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
    EXPECT_EQ(err, "");
    std::string reason = scene_error();
    EXPECT_EQ(reason.rfind(dir + c.where + ": ", 0), 0u) << reason;
    EXPECT_NE(reason.find(c.value, dir.size() + c.where.size()), std::string::npos) << reason;
}

// One case for each check that keeps a bad file from crashing the renderer
// or reading past a buffer.
INSTANTIATE_TEST_SUITE_P(
    SceneLoader, SceneMalformed,
    ::testing::Values(
        BadCase{"PositionPastTheEnd", kTri + "o a\ng g\nf 1//1 2//1 40//1\n", "", "", "s.obj:8",
                "40"},
        BadCase{"NormalPastTheEnd", kTri + "o a\ng g\nf 1//1 2//2 3//1\n", "", "", "s.obj:8", "2"},
        BadCase{"TexturePastTheEnd", kTri + "o a\ng g\nf 1/2/1 2/1/1 3/1/1\n", "", "", "s.obj:8",
                "2"},
        BadCase{"RelativeIndex", kTri + "o a\ng g\nf -1//1 2//1 3//1\n", "", "", "s.obj:8", "-1"},
        BadCase{"OneSlash", kTri + "o a\ng g\nf 1/1 2/1 3/1\n", "", "", "s.obj:8", "1/1"},
        BadCase{"FaceBeforeGroup", kTri + "o a\nf 1//1 2//1 3//1\n", "", "", "s.obj:7", "group"},
        BadCase{"GroupBeforeObject", "g g\n", "", "", "s.obj:1", "object"},
        BadCase{"LongName", "o a\n\ng " + kLong + "\n", "", "", "s.obj:3", "1000"},
        BadCase{"ColourBeforeNewmtl", kMtl, "# lib\nKd 1 0 0\nnewmtl m\n", "", "s.mtl:2", "Kd"},
        BadCase{"MissingLibrary", "o a\nmtllib none.mtl\n", "", "", "s.obj:2", "none.mtl"},
        BadCase{"MissingTexture", kMtl, Textured(), "", "s.mtl:3", "t.tga"},
        BadCase{"TgaZeroWidth", kMtl, Textured(), Tga(0, 4, 0), "s.mtl:3", "0 x 4"},
        BadCase{"TgaPixelsShort", kMtl, Textured(), Tga(2, 2, 11), "s.mtl:3", "29"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.label); });
