// The generated data/: every file the demo loads, readable by the demo's own
// loaders, sized for the slot that draws it; the soundtrack's format and
// shape; the scene files' subset; and the same bytes on a second run.
#include "platform/audio/audio.h"
#include "platform/draw2d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::string image_path(int slot) {
    char name[64];
    std::snprintf(name, sizeof name, "data/img%02d.png", slot);
    return name;
}

struct SlotSize {
    int slot, w, h;
};

// Backgrounds cover the screen; strips are wider than it so that they still
// cover it while they slide; captions fit where they are placed.
const SlotSize kSizes[] = {{0, 1024, 72},   {1, 1024, 200}, {2, 320, 110},  {3, 400, 220},
                           {4, 1024, 1024}, {5, 260, 80},   {6, 800, 110},  {7, 800, 600},
                           {14, 800, 600},  {23, 800, 600}, {20, 400, 120}, {29, 560, 560}};

class Picture : public ::testing::TestWithParam<int> {};

TEST_P(Picture, DecodesAsRgbaWithTheSizeItsSlotNeeds) {
    int slot = GetParam();
    std::unique_ptr<TPixmap> pm(LoadPixmapPNG(image_path(slot).c_str()));
    ASSERT_NE(pm, nullptr) << image_path(slot);
    EXPECT_EQ(pm->format, PF_RGBA8888);
    int w = 800, h = 160; // captions at (-400, -280)
    if (slot >= 24 && slot <= 28) w = h = 256;
    for (const SlotSize& s : kSizes)
        if (s.slot == slot) w = s.w, h = s.h;
    EXPECT_EQ(pm->width, w);
    EXPECT_EQ(pm->height, h);
}

TEST_P(Picture, AlphaBlendedPicturesHaveTransparentAndVisibleParts) {
    int slot = GetParam();
    std::unique_ptr<TPixmap> pm(LoadPixmapPNG(image_path(slot).c_str()));
    ASSERT_NE(pm, nullptr);
    int clear = 0, solid = 0;
    for (int y = 0; y < pm->height; ++y)
        for (int x = 0; x < pm->width; ++x) {
            uint8_t a = pm->pixels[y * pm->pitch + x * 4 + 3];
            clear += a<128, solid += a> 200;
        }
    int total = pm->width * pm->height;
    bool opaque = slot == 4 || slot == 7 || slot == 14 || slot == 23;
    if (opaque) {
        EXPECT_EQ(solid, total) << "slot " << slot << " should be fully opaque";
    } else {
        EXPECT_GT(clear, total / 20) << "slot " << slot << " should let the frame show through";
        EXPECT_GT(solid, total / 200) << "slot " << slot << " should show something";
    }
}

INSTANTIATE_TEST_SUITE_P(AllSlots, Picture, ::testing::Range(0, 30));

TEST(Content, RingBackdropIsBrightEnoughToShowThroughItsDimTint) {
    // Added at alpha 0.4 with colour (30, 65, 30): only a bright picture shows.
    std::unique_ptr<TPixmap> pm(LoadPixmapPNG("data/img04.png"));
    ASSERT_NE(pm, nullptr);
    double sum = 0;
    for (int y = 312; y < 712; ++y)
        for (int x = 312; x < 712; ++x)
            sum += pm->pixels[y * pm->pitch + x * 4 + 1];
    EXPECT_GT(sum / (400.0 * 400.0), 60.0);
}

double rms(const TAudioSample& s, double t0, double t1) {
    size_t i0 = size_t(t0 * s.rate) * 2,
           i1 = std::min(size_t(t1 * s.rate) * 2, size_t(s.length) * 2);
    double acc = 0;
    for (size_t i = i0; i < i1; ++i)
        acc += double(s.samples[i]) * s.samples[i];
    return std::sqrt(acc / double(std::max<size_t>(1, i1 - i0))) / 32768.0;
}

TEST(Content, SoundtrackIs137SecondsOfStereoAt44100) {
    std::unique_ptr<TAudioSample> s(LoadAudioSample("data/music.ogg"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->rate, 44100);
    EXPECT_EQ(s->channels, 2);
    EXPECT_NEAR(s->length / 44100.0, 137.0, 0.2);
}

TEST(Content, SoundtrackStartsSoftlyAndEndsOnARingingChord) {
    std::unique_ptr<TAudioSample> s(LoadAudioSample("data/music.ogg"));
    ASSERT_NE(s, nullptr);
    // The start is heard a hundred times over at the end: it must be gentle.
    EXPECT_LT(rms(*s, 0.0, 0.5), 0.01);
    EXPECT_LT(rms(*s, 0.0, 2.0), rms(*s, 20.0, 30.0) / 4);
    // The groove after the first section is louder than the intro before it.
    EXPECT_GT(rms(*s, 16.0, 24.0), 1.5 * rms(*s, 0.0, 8.0));
    // The final chord sounds after 135 s and dies away by the end.
    EXPECT_GT(rms(*s, 135.0, 135.5), 0.03);
    EXPECT_LT(rms(*s, 136.8, 137.0), rms(*s, 135.0, 135.5) / 4);
}

TEST(Content, GeneratorWritesTheSameBytesEveryRun) {
    char dir[] = "/tmp/content_test_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string cmd = std::string(NINEFOLD_GEN) + " " + dir;
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::vector<std::string> files = {"icon.png",   "scene1.obj", "scene1.mtl", "scene2.obj",
                                      "scene2.mtl", "facade.tga", "roof.tga",   "ground.tga",
                                      "band.tga",   "music.ogg"};
    for (int slot = 0; slot < 30; ++slot)
        files.push_back(image_path(slot).substr(5));
    for (const std::string& f : files) {
        std::string a = slurp("data/" + f), b = slurp(std::string(dir) + "/" + f);
        EXPECT_FALSE(a.empty()) << f;
        EXPECT_TRUE(a == b) << f << " differs between two runs";
        std::remove((std::string(dir) + "/" + f).c_str());
    }
    std::remove(dir);
}

} // namespace
