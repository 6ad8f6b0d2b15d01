// The real binary as a user starts it: every way it ends exits 0, and a data
// file that is missing, damaged or made to hurt ends start-up promptly, within
// a bound of memory, with one line that names it and says why.
#include "tests/demo/child_run.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>

namespace {

void Write(const std::string& path, const std::string& bytes) {
    unlink(path.c_str()); // the scratch copy links to the build's data
    std::ofstream(path, std::ios::binary) << bytes;
}

// Hostile files kept with the fuzzing seeds.
std::string Seed(const std::string& name) {
    return ReadWholeFile(std::string(std::getenv("TEST_SOURCE_DIR")) + "/tests/fuzz/seeds/" + name);
}

void Missing(const std::string& path) {
    unlink(path.c_str());
}
void Fifo(const std::string& path) {
    unlink(path.c_str());
    mkfifo(path.c_str(), 0644);
}
void Device(const std::string& path) {
    unlink(path.c_str());
    ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0);
}
void Text(const std::string& path) {
    Write(path, "not a picture\n");
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
void HugeTga(const std::string& path) {
    Write(path, std::string("\0\0\2\0\0\0\0\0\0\0\0\0\0\x80\0\x80\x18\0", 18));
    ASSERT_EQ(truncate(path.c_str(), 18 + 3LL * 32768 * 32768), 0);
}

// 256 codebooks of 2^23 - 1 entries each declared in 3 KB (2 GB in libvorbis).
void VorbisBomb(const std::string& path) {
    Write(path, Seed("ogg/setup_bomb.ogg"));
}
// The soundtrack twice: a chained file of two links.
void Chained(const std::string& path) {
    Write(path, ReadWholeFile(path) + ReadWholeFile(path));
}
// The last picture missing, the one before it 1 x 1 pixels followed by 16 GB of deflated zeros.
void TrailingInflate(const std::string& path) {
    Missing(path);
    std::string out(4096, 0), idat = "IDAT";
    z_stream z{};
    deflateInit(&z, 9);
    for (std::string in : {std::string("\0\xff\0\0", 4), std::string(1 << 20, 0)}) {
        z.next_in = (Bytef*)&in[0], z.avail_in = uInt(in.size());
        z.next_out = (Bytef*)&out[0], z.avail_out = uInt(out.size());
        deflate(&z, Z_FULL_FLUSH); // blocks that stand alone: the last one is repeated
        idat += out.substr(0, out.size() - z.avail_out);
    }
    deflateEnd(&z);
    for (std::string block = out.substr(0, out.size() - z.avail_out); idat.size() < (16 << 20);)
        idat += block;
    auto be = [](uLong v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    Write(path.substr(0, path.size() - 6) + "28.png",
          std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\1\0\0\0\1\x08\2\0\0\0\x90\x77\x53\xde",
                      33) +
              be(idat.size() - 4) + idat +
              be(crc32(0, (const Bytef*)idat.data(), uInt(idat.size()))) +
              std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12));
}

struct HostileCase {
    const char* label;
    const char* file; // in data/; the line must name it
    const char* line; // if set, replaces the file's first line of the same keyword, and
    void (*spoil)(const std::string& path); // spoil takes the file that line names
    const char* reason;                     // part of the reason the line must give
};

using C = HostileCase;
class HostileData : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileData, EndsStartUpWithOneLineNamingTheFile) {
    const HostileCase& c = GetParam();
    Scratch s;
    std::string path = s.dir() + "/data/" + c.file;
    if (c.line) {
        const std::string line = c.line, key = line.substr(0, line.find(' ') + 1);
        std::string text = ReadWholeFile(path);
        size_t at = text.compare(0, key.size(), key) == 0 ? 0 : text.find("\n" + key) + 1;
        ASSERT_NE(at, 0u) << path << " has no line " << key;
        Write(path, text.replace(at, text.find('\n', at) - at, line));
        path = s.dir() + "/data/" + line.substr(key.size());
    }
    if (c.spoil) c.spoil(path);
#if !defined(__SANITIZE_ADDRESS__) // 1.5 GB of address space (ASan's shadow needs terabytes)
    ASSERT_EQ(rename((s.dir() + "/ninefold").c_str(), (s.dir() + "/real").c_str()), 0);
    Write(s.dir() + "/ninefold", "#!/bin/sh\nexec prlimit --as=1572864000 ./real\n");
    chmod((s.dir() + "/ninefold").c_str(), 0755);
#endif
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
    testing::Values(C{"MissingScene1", "scene1.obj", nullptr, Missing, "not found (looked in "},
                    C{"TextAsPicture", "img12.png", nullptr, Text, "PNG"},
                    C{"FifoTexture", "scene1.mtl", "map_Kd fifo.tga", Fifo, "not a regular file"},
                    C{"DeviceScene", "scene1.obj", nullptr, Device, "outside the data"},
                    C{"HugePicture", "img07.png", nullptr, HugePicture, "16384"},
                    C{"LyingOgg", "music.ogg", nullptr, LyingOgg, "limit"},
                    C{"HugeTextureHeader", "scene1.mtl", "map_Kd huge.tga", HugeTga, "32768"},
                    C{"VorbisSetupBomb", "music.ogg", nullptr, VorbisBomb, "codebook"},
                    C{"ChainedOgg", "music.ogg", nullptr, Chained, "chained"},
                    C{"TrailingInflate", "img29.png", nullptr, TrailingInflate, "cannot open"},
                    C{"TextureLinkedOut", "scene1.mtl", "map_Kd out.tga", Device,
                      "outside the data"},
                    C{"TextureUpTheTree", "scene1.mtl", "map_Kd ../../../../etc/shadow", nullptr,
                      "outside the data"},
                    C{"ControlCharacters", "scene1.mtl",
                      "map_Kd \x1b]0;owned\x07\x1b[31m\xc2\x9bred.tga", nullptr, "\\x1b]0;owned"}),
    [](const testing::TestParamInfo<HostileCase>& i) { return std::string(i.param.label); });

} // namespace
