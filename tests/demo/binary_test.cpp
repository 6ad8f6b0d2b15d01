// The real binary as a user starts it: every way it ends exits 0, and a data
// file that is missing, damaged or made to hurt ends start-up promptly, within
// a bound of memory, with one line that names it and says why.
#include "tests/demo/child_run.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>

namespace {

void Write(const std::string& path, const std::string& bytes) {
    unlink(path.c_str()); // the scratch copy links to the build's data
    std::ofstream(path, std::ios::binary) << bytes;
}

void ReplaceFirstLine(const std::string& path, const std::string& prefix,
                      const std::string& line) {
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

std::string Be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

uint32_t PngCrc(const std::string& bytes) { // CRC-32, reflected, as zlib's
    uint32_t c = 0xffffffffu;
    for (unsigned char b : bytes) {
        c ^= b;
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1)));
    }
    return ~c;
}

uint32_t OggCrc(const std::string& bytes) { // polynomial 0x04c11db7, not reflected
    uint32_t c = 0;
    for (unsigned char b : bytes) {
        c ^= uint32_t(b) << 24;
        for (int k = 0; k < 8; ++k)
            c = (c & 0x80000000u) ? (c << 1) ^ 0x04c11db7u : c << 1;
    }
    return c;
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
// A 16384 x 16384 RGB header: 768 MB of pixels asked for by 57 bytes.
void HugePicture(const std::string& path) {
    auto chunk = [](const std::string& type, const std::string& body) {
        return Be32(uint32_t(body.size())) + type + body + Be32(PngCrc(type + body));
    };
    std::string ihdr = Be32(16384) + Be32(16384) + std::string("\x08\x02\x00\x00\x00", 5);
    Write(path, "\x89PNG\r\n\x1a\n" + chunk("IHDR", ihdr) + chunk("IDAT", "") + chunk("IEND", ""));
}
// The soundtrack with its last page announcing 3.3 hours.
void LyingOgg(const std::string& path) {
    std::string ogg = ReadWholeFile(path);
    size_t last = ogg.rfind("OggS");
    ASSERT_NE(last, std::string::npos);
    ogg.replace(last + 6, 8, Le(uint64_t(3.3 * 3600 * 44100), 8));
    ogg.replace(last + 22, 4, Le(0, 4));
    ogg.replace(last + 22, 4, Le(OggCrc(ogg.substr(last)), 4));
    Write(path, ogg);
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
    const char* file;                        // in data/; the line must name it
    void (*spoil)(const std::string& path); // null: the file is left out
    const char* reason;                      // part of the reason the line must give
};

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
    testing::Values(
        HostileCase{"MissingScene1", "scene1.obj", nullptr, "not found (looked in "},
        HostileCase{"MissingScene2", "scene2.obj", nullptr, "cannot open"},
        HostileCase{"MissingMusic", "music.ogg", nullptr, "cannot open"},
        HostileCase{"MissingLastPicture", "img29.png", nullptr, "cannot open"},
        HostileCase{"TextAsPicture", "img12.png", Text, "PNG"},
        HostileCase{"FifoScene", "scene2.obj", Fifo, "not a regular file"},
        HostileCase{"FifoLibrary", "scene1.mtl", Fifo, "not a regular file"},
        HostileCase{"FifoTexture", "scene1.mtl", FifoTexture, "not a regular file"},
        HostileCase{"FifoMusic", "music.ogg", Fifo, "not a regular file"},
        HostileCase{"FifoPicture", "img07.png", Fifo, "not a regular file"},
        HostileCase{"DirectoryLibrary", "scene1.mtl", Directory, "not a regular file"},
        HostileCase{"DeviceScene", "scene1.obj", Device, "not a regular file"},
        HostileCase{"LongFaceLine", "scene2.obj", LongFaceLine, "999999"},
        HostileCase{"HugePicture", "img07.png", HugePicture, "16384"},
        HostileCase{"LyingOgg", "music.ogg", LyingOgg, "limit"},
        HostileCase{"HugeTextureHeader", "scene1.mtl", HugeTexture, "32768"},
        HostileCase{"TextureUpTheTree", "scene1.mtl", TextureUpTheTree, "outside the data"},
        HostileCase{"AbsoluteTexture", "scene1.mtl", AbsoluteTexture, "outside the data"},
        HostileCase{"LibraryUpTheTree", "scene1.obj", LibraryUpTheTree, "outside the data"},
        HostileCase{"ControlCharacters", "scene1.mtl", ControlCharacters, "\\x1b]0;owned"}),
    [](const testing::TestParamInfo<HostileCase>& i) { return std::string(i.param.label); });

TEST(Binary, EscapeEndsItAtOnceWithStatusZero) {
    Scratch s;
    ChildResult r = s.Run({"SDL_AUDIODRIVER=dummy"}, 30, "sleep 3; xdotool key Escape");
    ASSERT_TRUE(r.exited) << "Escape did not end the demo; stderr: " << r.err;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::printf("ended %.2f s after start (3 s of them before the key)\n", r.seconds);
}

} // namespace
