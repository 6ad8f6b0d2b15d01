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

const std::string kTri = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvt 0 0\no a\ng g\n"; // faces at :8
const std::string kLib = "mtllib s.mtl\n";
const std::string kTextured = "newmtl m\nKd 1 1 1\nmap_Kd t.tga\n"; // t.tga at :3
const std::string kTga = TgaBytes(2, 2, {{}, {}, {}, {}});

class SceneMalformed : public ::testing::TestWithParam<BadCase> {};
} // namespace

TEST_P(SceneMalformed, FailsSilentlyNamingFileLineAndValue) {
    const BadCase& c = GetParam();
    std::string dir;
    ::testing::internal::CaptureStderr();
    scene* s = LoadFiles(c.obj, c.mtl, c.tga, &dir);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(s, nullptr);
    std::string reason = scene_error();
    EXPECT_EQ(reason.rfind(dir + c.where + ": ", 0), 0u) << reason;
    EXPECT_NE(reason.find(c.value, dir.size() + c.where.size()), std::string::npos) << reason;
}

// One case for each check that keeps a bad file from crashing the renderer
// or reading past a buffer.
INSTANTIATE_TEST_SUITE_P(
    SceneLoader, SceneMalformed,
    ::testing::Values(
        BadCase{"PositionPastTheEnd", kTri + "f 1//1 2//1 40//1\n", "", "", "s.obj:8", "40"},
        BadCase{"NormalPastTheEnd", kTri + "f 1//1 2//2 3//1\n", "", "", "s.obj:8", "2"},
        BadCase{"TexturePastTheEnd", kTri + "f 1/2/1 2/1/1 3/1/1\n", "", "", "s.obj:8", "2"},
        BadCase{"HugeIndex", kTri + "f 1//1 2//1 100000000000000000000000000//1\n", "", "",
                "s.obj:8", "100000000000000000000000000"},
        BadCase{"NulByte", kTri + std::string("f 1//1\0 2//1 3//1\n", 19), "", "", "s.obj:8",
                "NUL"},
        BadCase{"ByteOrderMark", "\xef\xbb\xbfmtllib none.mtl\n", "", "", "s.obj:1", "none.mtl"},
        BadCase{"RelativeIndex", kTri + "f -1//1 2//1 3//1\n", "", "", "s.obj:8", "-1"},
        BadCase{"OneSlash", kTri + "f 1/1 2/1 3/1\n", "", "", "s.obj:8", "1/1"},
        BadCase{"NotANumber", "v 0 nan 0\n", "", "", "s.obj:1", "nan"},
        BadCase{"DecimalComma", "o a\nv 0,55 1,2 3,4\n", "", "", "s.obj:2", "0,55"},
        BadCase{"LibraryIsAScene", "mtllib s.obj\n", "", "", "s.obj:1", "material"},
        BadCase{"VertexOfOneNumber", "o a\nv 1\n", "", "", "s.obj:2", "needs 3"},
        BadCase{"SecondLibraryMissing", "mtllib s.mtl none.mtl\n", "", "", "s.obj:1", "none.mtl"},
        BadCase{"TgaColourMapped", kLib, kTextured, std::string(kTga).replace(2, 1, "\1"),
                "s.mtl:3", "colour-mapped"},
        BadCase{"Tga16Bit", kLib, kTextured, std::string(kTga).replace(16, 1, "\x10"), "s.mtl:3",
                "16-bit"},
        BadCase{"FaceBeforeGroup", "o a\nf 1//1 2//1 3//1\n", "", "", "s.obj:2", "group"},
        BadCase{"GroupBeforeObject", "g g\n", "", "", "s.obj:1", "object"},
        BadCase{"LongName", "o a\n\ng " + std::string(1000, 'x') + "\n", "", "", "s.obj:3", "1000"},
        BadCase{"ColourBeforeNewmtl", kLib, "# lib\nKd 1 0 0\nnewmtl m\n", "", "s.mtl:2", "Kd"},
        BadCase{"MissingTexture", kLib, kTextured, "", "s.mtl:3", "t.tga"},
        BadCase{"TgaZeroWidth", kLib, kTextured, TgaBytes(0, 4, {}), "s.mtl:3", "0 x 4"},
        // Wider than any OpenGL's largest texture, which would draw white.
        BadCase{"TgaTooWide", kLib, kTextured, TgaBytes(65535, 1, std::vector<Bgr>(65535)),
                "s.mtl:3", "65535 x 1"},
        // 18 header bytes and 11 of the 12 pixel bytes: 29 in all.
        BadCase{"TgaPixelsShort", kLib, kTextured, kTga.substr(0, 29), "s.mtl:3", "29"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.label); });
