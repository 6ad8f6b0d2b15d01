// The real main program under a scripted clock, observed through the
// linker's --wrap: the pictures each frame draws and the numbers it hands to
// the 2D layer, OpenGL and the effects, at the demo times whose figures the
// design gives.
#include "tests/demo/demo_run.h"

#include "platform/audio/audio.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

struct TImage;
struct scene;

namespace {

struct Call {
    std::string fn;
    std::vector<double> args;
};
std::vector<std::vector<Call>> g_frames(1); // calls made while drawing frame k
std::map<const TImage*, int> g_slots;       // image -> slot, from its file name
int g_depth = 0; // inside a wrapped library call: its own calls are not the section's

} // namespace

// Each wrapper records its call under label (if any) and passes it on,
// hiding the calls it makes in turn.
#define WRAP(fn, label, params, args, values)                                                      \
    void __real_##fn params;                                                                       \
    void __wrap_##fn params {                                                                      \
        if (g_depth == 0 && *label) g_frames.back().push_back({label, values});                    \
        ++g_depth;                                                                                 \
        __real_##fn args;                                                                          \
        --g_depth;                                                                                 \
    }
// clang-format off
#define V(...) std::vector<double>{__VA_ARGS__}
// clang-format on

extern "C" {
WRAP(glTranslated, "glTranslated", (double x, double y, double z), (x, y, z), V(x, y, z))
WRAP(glTranslatef, "glTranslatef", (float x, float y, float z), (x, y, z), V(x, y, z))
WRAP(glRotatef, "glRotatef", (float a, float x, float y, float z), (a, x, y, z), V(a, x, y, z))
WRAP(glScalef, "glScalef", (float x, float y, float z), (x, y, z), V(x, y, z))
// The C++ interfaces under their mangled names.
WRAP(_Z8SetScaleff, "SetScale", (float x, float y), (x, y), V(x, y))
WRAP(_Z11SetRotationf, "SetRotation", (float a), (a), V(a))
WRAP(_Z8SetAlphaf, "SetAlpha", (float a), (a), V(a))
WRAP(_Z9DrawImageP6TImageffi, "DrawImage", (TImage * image, float x, float y, int frame),
     (image, x, y, frame), V(double(g_slots.count(image) ? g_slots[image] : -1), x, y))
WRAP(_Z13fx_squareblurfiifff, "fx_squareblur",
     (float size, int nearest, int overlay, float r, float g, float b),
     (size, nearest, overlay, r, g, b), V(size, double(nearest), double(overlay), r, g, b))
WRAP(_Z8fx_shinefffff, "fx_shine", (float r, float g, float b, float zstep, float angle),
     (r, g, b, zstep, angle), V(r, g, b, zstep, angle))
WRAP(_Z14fx_separatergbff, "fx_separatergb", (float dx, float dy), (dx, dy), V(dx, dy))
WRAP(_Z12render_sceneP5scenei, "", (scene * s, int flags), (s, flags), V())
WRAP(_Z7glsetupf, "", (float zoom), (zoom), V())
WRAP(_Z6glliteiffff, "", (int n, float x, float y, float z, float strength), (n, x, y, z, strength),
     V())

TImage* __real__Z9LoadImagePKci(const char*, int);
TImage* __wrap__Z9LoadImagePKci(const char* path, int flags) {
    TImage* image = __real__Z9LoadImagePKci(path, flags);
    const char* name = std::strstr(path, "img");
    if (name) g_slots[image] = std::atoi(name + 3);
    return image;
}
} // extern "C"

namespace {

using Args = std::vector<std::vector<double>>;

// One scheduled frame: its demo time and the picture slots it must draw, in order.
struct Planned {
    int32_t t;
    std::vector<int> slots;
};

const std::vector<int> kNumbers = {24, 25, 26, 27, 28, 29};

// Each section's windows and ends at their exact milliseconds; a frame that
// reaches a section's end is still drawn by that section.
// clang-format off
const std::vector<Planned> kPlan = {
    {0, {0, 1}}, {4000, {0, 1}}, {4001, {0, 1, 2}}, {8020, {0, 1, 2}}, {8021, {0, 1, 3}},
    {15899, {0, 1, 3}}, {15900, {0, 1}}, {16000, {4}}, {20020, {4}}, {20021, {4, 5}},
    {24090, {4, 5}}, {24091, {4, 5, 6}}, {32044, {4, 5, 6}}, {32045, {4}}, {36000, {7, 1}},
    {36001, {7, 1, 8}}, {38001, {7, 1, 9}}, {40015, {7, 1, 9, 10}}, {40030, {7, 1, 10}},
    {42001, {7, 1, 11}}, {44001, {7, 1, 13}}, {46001, {7, 1, 12}}, {47980, {7, 1, 12}},
    {50000, {}}, {50500, {}}, {64030, {}}, {66000, {14, 1}}, {66001, {14, 1, 15}},
    {70010, {14, 1, 16, 17}}, {70030, {14, 1, 17}}, {72001, {14, 1, 22}}, {74001, {14, 1, 19}},
    {76001, {14, 1, 18}}, {79999, {14, 1, 21}}, {80000, {14, 1}}, {80000, kNumbers},
    {82500, kNumbers}, {96000, kNumbers}, {96000, kNumbers}, {100000, kNumbers},
    {112000, kNumbers}, {112000, {23}}, {120000, {23}}, {135000, {23}},
};
// clang-format on
const int kEndingFrames = 100;

// Channels started since the last call, with their volumes.
std::vector<std::vector<float>> g_new_channels; // per frame
std::vector<float> NewChannels() {
    static std::set<uint32_t> seen;
    std::vector<TChannel> all(8192);
    all.resize(std::min(ListChannels(all.data(), int(all.size())), int(all.size())));
    std::vector<float> fresh;
    for (TChannel c : all)
        if (seen.insert(c.handle).second) fresh.push_back(ChannelPaused(c) ? -1 : ChannelVolume(c));
    return fresh;
}

// The whole timeline once, shared by the tests below.
const std::vector<std::vector<Call>>& Recorded() {
    static bool done = false;
    if (!done) {
        done = true;
        Script s;
        s.times.clear();
        for (const Planned& p : kPlan)
            s.times.push_back(p.t);
        s.on_frame = [](int, int32_t) {
            g_new_channels.push_back(NewChannels());
            g_frames.emplace_back();
        };
        NewChannels(); // whatever earlier runs in this process left
        RunDemo(s);
    }
    return g_frames;
}

// Frame index of the n-th planned frame at time t.
int FrameAt(int32_t t, int n = 0) {
    for (size_t k = 0; k < kPlan.size(); ++k)
        if (kPlan[k].t == t && n-- == 0) return int(k);
    ADD_FAILURE() << "no frame at " << t;
    return 0;
}

Args ArgsOf(int frame, const char* fn) {
    Args out;
    for (const Call& c : Recorded().at(frame))
        if (c.fn == fn) out.push_back(c.args);
    return out;
}

// Compares with the design's figures, which are given to about seven digits.
void ExpectArgs(const Args& got, const Args& want, const char* what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(got[i].size(), want[i].size()) << what;
        for (size_t j = 0; j < want[i].size(); ++j)
            EXPECT_NEAR(got[i][j], want[i][j], 2e-6 + 1e-6 * std::fabs(want[i][j]))
                << what << " call " << i << " argument " << j;
    }
}

// Scales (s, s) for each number image, then 1 for image 29.
Args Scales(std::vector<double> s) {
    Args out;
    for (double x : s)
        out.push_back({x, x});
    out.push_back({1, 1});
    return out;
}

} // namespace

TEST(Timeline, EachFrameDrawsThePicturesOfItsWindows) {
    const auto& frames = Recorded();
    ASSERT_EQ(frames.size(), kPlan.size() + kEndingFrames + 1) << "frames presented, plus one";
    for (size_t k = 0; k < frames.size() - 1; ++k) {
        const std::vector<int>& want = k < kPlan.size() ? kPlan[k].slots : std::vector<int>{23};
        std::vector<int> got;
        for (const auto& a : ArgsOf(int(k), "DrawImage"))
            got.push_back(int(a[0]));
        EXPECT_EQ(got, want) << "frame " << k << " at " << (k < kPlan.size() ? kPlan[k].t : -1)
                             << " ms";
    }
}

// The soundtrack starts once, on the first frame; each of the 100 ending
// frames starts one more playback, 0.01 quieter than the one before (the
// mixer holds volumes in steps of 1/4096; the 100th, about 2.2e-8, is silence).
TEST(Timeline, EndingStartsAQuieterPlaybackEachFrame) {
    const auto& fresh = (Recorded(), g_new_channels);
    ASSERT_EQ(fresh.size(), kPlan.size() + kEndingFrames);
    EXPECT_EQ(fresh[0], std::vector<float>{1.0f}) << "the soundtrack, playing at full volume";
    for (size_t k = 1; k < kPlan.size(); ++k)
        EXPECT_TRUE(fresh[k].empty()) << "frame " << k;
    for (int n = 1; n <= kEndingFrames; ++n) {
        const std::vector<float>& v = fresh[kPlan.size() + n - 1];
        ASSERT_EQ(v.size(), 1u) << "ending frame " << n;
        EXPECT_NEAR(v[0], 1.0 - n / 100.0, 1.0 / 4096 + 1e-6) << "ending frame " << n;
    }
    EXPECT_GT(fresh[kPlan.size() + 98][0], 0.0f) << "frame 99 plays at 0.01";
}

TEST(Timeline, FadeInStepsByTheFrame) {
    // The first frame inside image 2's window draws it at 0.01, the next at 0.02.
    ExpectArgs(ArgsOf(FrameAt(4001), "SetAlpha"), {{1}, {0.01}}, "first frame");
    ExpectArgs(ArgsOf(FrameAt(8020), "SetAlpha"), {{1}, {0.02}}, "second frame");
}

TEST(Timeline, Section4CameraAndCopies) {
    const int k = FrameAt(50000);
    ExpectArgs(ArgsOf(k, "glTranslated"), {{0.00121875, 0.00375, -1.0472316}}, "camera");
    const Args rot = ArgsOf(k, "glRotatef");
    ASSERT_EQ(rot.size(), 6u);
    ExpectArgs({rot[0], rot[1], rot[2], rot[3]},
               {{0, 0, 0, 1}, {0, 0, 1, 0}, {5000, 1, 0, 1}, {5010, 1, 0, 1}}, "swings and turns");
    const Args copies = ArgsOf(k, "glTranslatef");
    ASSERT_EQ(copies.size(), 4u);
    ExpectArgs({copies[0], copies[1]},
               {{-1.732055, 0.469847, -2.769615}, {-2.0, -0.249998, -0.834907}}, "copies");
    ExpectArgs(ArgsOf(k, "glScalef"), Args(4, {0.1, 0.1, 0.1}), "copy scale");
    ExpectArgs(ArgsOf(k, "fx_squareblur"), {{40, 0, 1, 0.5, 0.5, 0.5}}, "blur");

    const int h = FrameAt(50500);
    ExpectArgs(ArgsOf(h, "glTranslated"), {{0.000975, 0.003, -1.2051263}}, "camera at 50.5 s");
    const Args swing = ArgsOf(h, "glRotatef");
    ASSERT_EQ(swing.size(), 6u);
    ExpectArgs({swing[0], swing[1]}, {{61.80340, 0, 0, 1}, {20, 0, 1, 0}}, "swings at 50.5 s");
}

TEST(Timeline, Sections6And7ZoomShakeAndRock) {
    struct Case {
        int frame;
        std::vector<double> scales;
        bool shake_given;
        double shake_x, shake_y;
        const char* effect;
        std::vector<double> effect_args;
    };
    const std::vector<double> blur = {40, 0, 1, 0.8, 0.7, 0.5}, shine = {0.05, 0.05, 0.05, 0.03, 3};
    // clang-format off
    const Case cases[] = {
        {FrameAt(80000, 1), {0.003, 1.875, 0.375, 0.075, 0.015}, true, 19.696155, 16.610722,
         "fx_squareblur", blur},
        {FrameAt(82500), {0.1677051, 0.0335410, 0.0067082, 4.1926275, 0.8385255}, false, 0, 0,
         "fx_squareblur", blur},
        {FrameAt(96000, 1), {0.075, 0.015, 0.003, 1.875, 0.375}, true, -17.320508, -19.935146,
         "fx_shine", shine},
        {FrameAt(100000), {0.003, 1.875, 0.375, 0.075, 0.015}, true, -19.696155, -13.462236,
         "fx_shine", shine},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "frame " << c.frame << " at " << kPlan[c.frame].t);
        ExpectArgs(ArgsOf(c.frame, "SetScale"), Scales(c.scales), "scales");
        ExpectArgs(ArgsOf(c.frame, c.effect), {c.effect_args}, c.effect);
        if (!c.shake_given) continue;
        ExpectArgs(ArgsOf(c.frame, "glTranslatef"), {{c.shake_x, c.shake_y, 0}}, "shake");
        ExpectArgs(ArgsOf(c.frame, "SetRotation"), {{c.shake_x}}, "rock");
        for (const auto& a : ArgsOf(c.frame, "DrawImage"))
            ExpectArgs({{a[1], a[2]}}, {{0, 0}}, "pictures at the centre");
    }
}

TEST(Timeline, Section8SwaysTheColourSplit) {
    const std::pair<int, double> cases[] = {{FrameAt(112000, 1), -0.0127189},
                                            {FrameAt(120000), 0.0220594}};
    for (auto [frame, dx] : cases) {
        ExpectArgs(ArgsOf(frame, "fx_separatergb"), {{dx, 0}}, "split");
        ExpectArgs(ArgsOf(frame, "DrawImage"), {{23, -400, -300}}, "closing picture");
    }
}

// Section 7's only frame already passes 135 s: section 8 draws nothing, yet
// the ending must show the closing picture without section 7's shake.
TEST(Timeline, SkippedSection8StillRemovesTheShake) {
    Script s;
    s.times = {0, 100000, 140000}; // frame 1 ends section 1; frame 2 is section 7's
    int ending_frames = 0;
    s.on_frame = [&](int k, int32_t) {
        if (k < 3) return;
        ++ending_frames;
        GLdouble m[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, m);
        for (int i = 0; i < 16; ++i)
            ASSERT_EQ(m[i], i % 5 == 0 ? 1.0 : 0.0) << "ending frame " << k - 2;
    };
    RunDemo(s);
    EXPECT_EQ(ending_frames, kEndingFrames);
}
