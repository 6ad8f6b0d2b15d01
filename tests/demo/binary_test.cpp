// The real binary as a user starts it: every way it ends exits 0, and a data
// file that is missing, damaged or made to hurt ends start-up promptly, within
// a bound of memory, with one line that names it and says why.
#include "tests/demo/child_run.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>

namespace {

void Write(const std::string& path, const std::string& bytes) {
    unlink(path.c_str()); // the scratch copy links to the build's data
    std::ofstream(path, std::ios::binary) << bytes;
}

void ReplaceFirstLine(const std::string& path, const std::string& prefix, const std::string& line) {
    std::string text = ReadWholeFile(path);
    size_t at = text.compare(0, prefix.size(), prefix) == 0 ? 0 : text.find("\n" + prefix) + 1;
    ASSERT_NE(at, 0u) << path << " has no line " << prefix;
    text.replace(at, text.find('\n', at) - at, line);
    Write(path, text);
}

std::string Dir(const std::string& path) {
    return path.substr(0, path.rfind('/') + 1);
}

std::string Le(uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i)
        s += char(v >> (8 * i));
    return s;
}

// Hostile files kept with the fuzzing seeds.
std::string Seed(const std::string& name) {
    return ReadWholeFile(std::string(std::getenv("TEST_SOURCE_DIR")) + "/tests/fuzz/seeds/" + name);
}

void Fifo(const std::string& path) {
    unlink(path.c_str());
    mkfifo(path.c_str(), 0644);
}
void Directory(const std::string& path) {
    unlink(path.c_str());
    mkdir(path.c_str(), 0755);
}
void Device(const std::string& path) {
    unlink(path.c_str());
    ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0);
}
void Text(const std::string& path) {
    Write(path, "not a picture\n");
}
// 100 000 references on one line, the last out of range: parsed in full.
void LongFaceLine(const std::string& path) {
    std::string line = "\nf";
    for (int i = 0; i < 100000; ++i)
        line += " 1//1";
    Write(path, ReadWholeFile(path) + line + " 999999//1\n");
}
// A 16384 x 16384 RGB header: 768 MB of pixels asked for by a few bytes.
void HugePicture(const std::string& path) {
    Write(path, Seed("png/huge_header.png"));
}
// The soundtrack's first pages, the last of them announcing 3.3 hours.
void LyingOgg(const std::string& path) {
    Write(path, Seed("ogg/lying.ogg"));
}
// A TGA header of 32768 x 32768 on a sparse file long enough for its pixels.
void HugeTexture(const std::string& mtl) {
    ReplaceFirstLine(mtl, "map_Kd ", "map_Kd huge.tga");
    std::string header = std::string(2, '\0') + '\2' + std::string(9, '\0') + Le(32768, 2) +
                         Le(32768, 2) + '\x18' + '\0';
    Write(Dir(mtl) + "huge.tga", header);
    ASSERT_EQ(truncate((Dir(mtl) + "huge.tga").c_str(), 18 + 3LL * 32768 * 32768), 0);
}
void FifoTexture(const std::string& mtl) {
    ReplaceFirstLine(mtl, "map_Kd ", "map_Kd fifo.tga");
    Fifo(Dir(mtl) + "fifo.tga");
}
void TextureUpTheTree(const std::string& mtl) {
    ReplaceFirstLine(mtl, "map_Kd ", "map_Kd ../../../../etc/shadow");
}
void AbsoluteTexture(const std::string& mtl) {
    ReplaceFirstLine(mtl, "map_Kd ", "map_Kd /etc/hostname");
}
void LibraryUpTheTree(const std::string& obj) {
    ReplaceFirstLine(obj, "mtllib ", "mtllib ../scene1.mtl");
}
void ControlCharacters(const std::string& mtl) {
    ReplaceFirstLine(mtl, "map_Kd ", "map_Kd \x1b]0;owned\x07\x1b[31m\xc2\x9bred.tga");
}

struct HostileCase {
    const char* label;
    const char* file;                       // in data/; the line must name it
    void (*spoil)(const std::string& path); // null: the file is left out
    const char* reason;                     // part of the reason the line must give
};

HostileCase H(const char* label, const char* file, void (*spoil)(const std::string&),
              const char* reason) {
    return {label, file, spoil, reason};
}

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.label;
}

class HostileData : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileData, EndsStartUpWithOneLineNamingTheFile) {
    const HostileCase& c = GetParam();
    Scratch s(c.spoil ? std::vector<std::string>{} : std::vector<std::string>{c.file});
    if (c.spoil) c.spoil(s.dir() + "/data/" + c.file);
    ChildResult r = s.Run({"SDL_AUDIODRIVER=dummy"}, 60);
    ASSERT_TRUE(r.exited) << "still running after 60 s; stderr: " << r.err;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.rfind("ninefold: data/", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(std::string("data/") + c.file), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    // One line, with nothing in it that a terminal would act on.
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.back(), '\n');
    size_t controls = 0;
    for (size_t i = 0; i + 1 < r.err.size(); ++i)
        controls += static_cast<unsigned char>(r.err[i]) < 0x20 || r.err[i] == 0x7f;
    EXPECT_EQ(controls, 0u) << r.err;
    EXPECT_EQ(r.err.find("\xc2\x9b"), std::string::npos) << r.err;
    // The largest child so far: multi-gigabyte reads and allocations show here.
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, 1024L * 1024) << "peak KB";
    std::printf("%s: %.2f s, peak so far %ld MB\n", c.label, r.seconds, usage.ru_maxrss / 1024);
}

// Scenes are checked first and in order, before the soundtrack and pictures.
INSTANTIATE_TEST_SUITE_P(
    StartUp, HostileData,
    testing::Values(H("MissingScene1", "scene1.obj", nullptr, "not found (looked in "),
                    H("MissingScene2", "scene2.obj", nullptr, "cannot open"),
                    H("MissingMusic", "music.ogg", nullptr, "cannot open"),
                    H("MissingLastPicture", "img29.png", nullptr, "cannot open"),
                    H("TextAsPicture", "img12.png", Text, "PNG"),
                    H("FifoScene", "scene2.obj", Fifo, "not a regular file"),
                    H("FifoLibrary", "scene1.mtl", Fifo, "not a regular file"),
                    H("FifoTexture", "scene1.mtl", FifoTexture, "not a regular file"),
                    H("FifoMusic", "music.ogg", Fifo, "not a regular file"),
                    H("FifoPicture", "img07.png", Fifo, "not a regular file"),
                    H("DirectoryLibrary", "scene1.mtl", Directory, "not a regular file"),
                    H("DeviceScene", "scene1.obj", Device, "not a regular file"),
                    H("LongFaceLine", "scene2.obj", LongFaceLine, "999999"),
                    H("HugePicture", "img07.png", HugePicture, "16384"),
                    H("LyingOgg", "music.ogg", LyingOgg, "limit"),
                    H("HugeTextureHeader", "scene1.mtl", HugeTexture, "32768"),
                    H("TextureUpTheTree", "scene1.mtl", TextureUpTheTree, "outside the data"),
                    H("AbsoluteTexture", "scene1.mtl", AbsoluteTexture, "outside the data"),
                    H("LibraryUpTheTree", "scene1.obj", LibraryUpTheTree, "outside the data"),
                    H("ControlCharacters", "scene1.mtl", ControlCharacters, "\\x1b]0;owned")),
    [](const testing::TestParamInfo<HostileCase>& i) { return std::string(i.param.label); });

} // namespace
