// The real binary as a user starts it: a data file that is missing, damaged,
// of a kind it does not read or made to hurt ends start-up promptly with
// status 1, within a bound of memory, with one line that names it and says
// why; a variant it accepts loads to exactly the demo's own pixels or samples.
#include "platform/audio/audio.h"
#include "scene/scene.h"
#include "tests/platform/png_files.h"
#include "tests/support/child_process.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

namespace fs = std::filesystem;

// The program's working directory: a copy of the binary (which would find
// the build's own data beside it) and hard links to the generated data (it
// refuses symbolic links leading out of data/), copies where links fail.
struct Scratch : TempDir {
    Scratch() {
        fs::copy_file(NINEFOLD_BIN, Path("ninefold"));
        fs::create_directory(Path("data"));
        for (const fs::directory_entry& e : fs::directory_iterator(NINEFOLD_DATA)) {
            const std::string to = Path("data/") + e.path().filename().string();
            std::error_code failed;
            fs::create_hard_link(e.path(), to, failed);
            if (failed) fs::copy_file(e.path(), to);
        }
    }
};

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
    Missing(path), mkfifo(path.c_str(), 0644);
}
void Device(const std::string& path) {
    Missing(path), symlink("/dev/zero", path.c_str());
}
// The soundtrack twice: a chained file of two links.
void Chained(const std::string& path) {
    Write(path, ReadWholeFile(path) + ReadWholeFile(path));
}
// A 1 x 1 picture followed by 6 MB more of deflated zeros, the next one missing.
void TrailingData(const std::string& path) {
    Write(path.substr(0, path.size() - 6) + "00.png", Seed("png/trailing_inflate.png"));
    Missing(path);
}
// Thirty valid 4096 x 4096 pictures (1-bit grey, 2 GB as pixels): the budget
// refuses the second, before it is decoded.
void ThirtyLargePictures(const std::string& path) {
    const std::string first = path.substr(0, path.size() - 6) + "00.png";
    PngLayout black;
    black.width = black.height = 4096;
    black.color_type = 0;
    black.bit_depth = 1;
    black.rows.resize(4096 * 4096 / 8);
    Missing(first);
    ASSERT_TRUE(WritePng(first, black));
    for (int i = 1; i < 30; ++i) {
        const std::string to =
            first.substr(0, first.size() - 6) + (i < 10 ? "0" : "") + std::to_string(i) + ".png";
        Missing(to);
        fs::create_hard_link(first, to);
    }
}

// The texture as 32-bit BGRA, its alpha varied, and as run-length packets
// (runs across rows, as some writers make them).
void Bgra32(const std::string& path) {
    std::string t = ReadWholeFile(path), out = t.substr(0, 18);
    out[16] = 32, out[17] |= 8;
    for (size_t p = 18; p + 3 <= t.size(); p += 3)
        out += t.substr(p, 3) + char(p * 7);
    Write(path, out);
}
void RunLength(const std::string& path) {
    std::string t = ReadWholeFile(path), out = t.substr(0, 18);
    out[2] = 10;
    auto px = [&t](size_t i) { return t.substr(18 + 3 * i, 3); };
    for (size_t i = 0, n = (t.size() - 18) / 3, run = 1; i < n; i += run, run = 1) {
        while (run < 128 && i + run < n && px(i + run) == px(i))
            ++run;
        out += char(run > 1 ? 0x80 | (run - 1) : 0) + px(i); // a run, or one raw pixel
    }
    Write(path, out);
}

// Writes the Ogg file with the last page's checksum made anew.
void WriteOgg(const std::string& path, std::string d) {
    size_t last = d.rfind("OggS"), header = 27 + uint8_t(d[last + 26]);
    ogg_page page{(unsigned char*)&d[last], long(header), (unsigned char*)&d[last + header],
                  long(d.size() - last - header)};
    ogg_page_checksum_set(&page);
    Write(path, d);
}
// The last page's granule position -1 ("none").
void NoLastGranule(const std::string& path) {
    std::string d = ReadWholeFile(path);
    WriteOgg(path, d.replace(d.rfind("OggS") + 6, 8, 8, '\xff'));
}
// The three header packets (the pages at granule position 0) and the first
// `audio` pages of audio, the last one marked as the stream's end.
void KeepPages(const std::string& path, int audio) {
    std::string d = ReadWholeFile(path);
    size_t at = 0;
    while (d.compare(at + 6, 8, std::string(8, '\0')) == 0)
        at = d.find("OggS", at + 27);
    for (; audio > 0; --audio)
        at = d.find("OggS", at + 27);
    d.resize(at);
    d[d.rfind("OggS") + 5] |= 4;
    WriteOgg(path, d);
}

// An accepted variant loads to exactly what the demo's own file loads to.
void ExpectSameContent(const std::string& original, const std::string& variant) {
    if (variant.size() > 4 && variant.compare(variant.size() - 4, 4, ".tga") == 0) {
        int32_t w[2], h[2];
        std::unique_ptr<uint8_t, decltype(&free)> a(tga_load(original.c_str(), &w[0], &h[0]), free),
            b(tga_load(variant.c_str(), &w[1], &h[1]), free);
        ASSERT_TRUE(a && b) << scene_error();
        ASSERT_EQ(w[0] * h[0], w[1] * h[1]);
        EXPECT_EQ(std::memcmp(a.get(), b.get(), size_t(w[0]) * size_t(h[0]) * 3), 0);
        return;
    }
    std::unique_ptr<TAudioSample> a(LoadAudioSample(original.c_str())),
        b(LoadAudioSample(variant.c_str()));
    ASSERT_TRUE(a && b) << SoundLoadError();
    // Without the last granule nothing trims the last packet's padding: at
    // most one long block (2048 frames) plays after the music's end.
    EXPECT_LT(unsigned(b->length - a->length), 2048u);
    EXPECT_EQ(std::memcmp(a->samples, b->samples, size_t(a->length) * size_t(a->channels) * 2), 0);
}

struct HostileCase {
    const char* label;
    const char* file; // in data/; the line must name it
    const char* line; // if set, replaces the file's first line of the same keyword, and
    void (*spoil)(const std::string& path); // spoil takes the file that line names
    const char* reason; // part of the reason the line must give; null: accepted as the demo's own
    const char* seed = nullptr; // if set, the file's new content, from the fuzzing seeds
};

using C = HostileCase;
class HostileData : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileData, EndsStartUpWithOneLineNamingTheFile) {
    const HostileCase& c = GetParam();
    Scratch s;
    KeepPages(s.Path("data/music.ogg"), 20); // the whole song takes long to decode
    std::string path = s.Path("data/") + c.file;
    if (c.line) {
        const std::string line = c.line, key = line.substr(0, line.find(' ') + 1);
        std::string text = ReadWholeFile(path);
        size_t at = text.compare(0, key.size(), key) == 0 ? 0 : text.find("\n" + key) + 1;
        ASSERT_NE(at, 0u) << path << " has no line " << key;
        Write(path, text.replace(at, text.find('\n', at) - at, line));
        path = s.Path("data/") + line.substr(key.size());
    }
    std::string original = s.Path("original") + c.file;
    if (!c.reason) Write(original, ReadWholeFile(path));
    if (c.spoil) c.spoil(path);
    if (c.seed) Write(path, Seed(c.seed));
    if (!c.reason) return ExpectSameContent(original, path);
    std::vector<std::string> run = {"prlimit", "--as=1572864000", s.Path("ninefold")}; // 1.5 GB
#if defined(__SANITIZE_ADDRESS__) // ASan's shadow needs terabytes of address space
    run.erase(run.begin(), run.begin() + 2);
#endif
    ChildResult r =
        RunChild(run[0], s.dir(), {"SDL_AUDIODRIVER=dummy"}, 60, {}, {run.begin() + 1, run.end()});
    ASSERT_TRUE(r.exited) << "ended by a signal or still running after 60 s; stderr: " << r.err;
    EXPECT_EQ(r.status, 1);
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
}

// Scenes are checked first and in order, before the soundtrack and pictures.
INSTANTIATE_TEST_SUITE_P(
    StartUp, HostileData,
    testing::Values(C{"MissingScene1", "scene1.obj", nullptr, Missing, "not found (looked in "},
                    C{"FifoTexture", "scene1.mtl", "map_Kd fifo.tga", Fifo, "not a regular file"},
                    C{"DeviceScene", "scene1.obj", nullptr, Device, "outside the data"},
                    // A 16384 x 16384 RGB header: 768 MB of pixels asked for by a few bytes.
                    C{"HugePicture", "img07.png", nullptr, nullptr, "16384", "png/huge_header.png"},
                    C{"HeadersOnlyOgg", "music.ogg", nullptr,
                      [](const std::string& path) { KeepPages(path, 0); }, "no audio"},
                    C{"NoLastGranule", "music.ogg", nullptr, NoLastGranule, nullptr},
                    C{"Texture32Bit", "facade.tga", nullptr, Bgra32, nullptr},
                    C{"TextureRunLength", "ground.tga", nullptr, RunLength, nullptr},
                    C{"ThirtyLargePictures", "img01.png", nullptr, ThirtyLargePictures, "left of"},
                    // 256 codebooks of 2^23 - 1 entries each declared in 3 KB (2 GB in libvorbis).
                    C{"VorbisSetupBomb", "music.ogg", nullptr, nullptr, "codebook",
                      "ogg/setup_bomb.ogg"},
                    C{"ChainedOgg", "music.ogg", nullptr, Chained, "chained"},
                    C{"TrailingData", "img01.png", nullptr, TrailingData, "cannot open"},
                    C{"TextureUpTheTree", "scene1.mtl", "map_Kd ../../../../etc/shadow", nullptr,
                      "outside the data"},
                    C{"ControlCharacters", "scene1.mtl",
                      "map_Kd \x1b]0;owned\x07\x1b[31m\xc2\x9bred.tga", nullptr, "\\x1b]0;owned"}),
    [](const testing::TestParamInfo<HostileCase>& i) { return std::string(i.param.label); });

} // namespace
