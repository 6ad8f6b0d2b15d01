// The real main program in-process under a scripted clock, observed through
// the linker's --wrap: every picture position, 2D state call, effect, 3D and
// matrix call, ring line, presentation, clear and Escape test, in order,
// against the design's windows and formulas evaluated here at the same demo
// times, plus the design's own worked figures; and Escape in every section.
#include "demo/demo.h"
#include "fx/fx.h"
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"
#include "platform/keyboard.h"
#include "platform/pixmap.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
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
using Frame = std::vector<Call>;
std::vector<Frame> g_frames(1);       // calls made while drawing frame k
std::map<const TImage*, int> g_slots; // image -> slot, from its file name
std::map<const scene*, int> g_scenes; // scene -> 1, 2 in order of first drawing
int g_depth = 0; // inside a wrapped library call: its own calls are not the section's
// The clock's reading at the start mark: any, demo time is relative to it.
const int32_t kStartMark = 1234567;

// A call's arguments as recorded: pictures by slot, scenes by number.
struct Arg {
    static double Of(double x) { return x; }
    static double Of(const TImage* i) { return g_slots.count(i) ? g_slots[i] : -1; }
    static double Of(const scene* s) {
        return g_scenes.emplace(s, g_scenes.size() + 1).first->second;
    }
};

} // namespace

// Each wrapper records its call and passes it on, hiding the calls it makes in turn.
#define WRAP(fn, label, params, args)                                                              \
    void __real_##fn params;                                                                       \
    void __wrap_##fn params {                                                                      \
        if (g_depth == 0)                                                                          \
            [](auto... a) { g_frames.back().push_back({label, {Arg::Of(a)...}}); } args;           \
        ++g_depth;                                                                                 \
        __real_##fn args;                                                                          \
        --g_depth;                                                                                 \
    }

// clang-format off
extern "C" {
WRAP(glTranslated, "glTranslated", (double x, double y, double z), (x, y, z))
WRAP(glTranslatef, "glTranslatef", (float x, float y, float z), (x, y, z))
WRAP(glRotatef, "glRotatef", (float a, float x, float y, float z), (a, x, y, z))
WRAP(glScalef, "glScalef", (float x, float y, float z), (x, y, z))
// The C++ interfaces under their mangled names.
WRAP(_Z8SetBlendi, "SetBlend", (int m), (m))
WRAP(_Z8SetColoriii, "SetColor", (int r, int g, int b), (r, g, b))
WRAP(_Z8SetScaleff, "SetScale", (float x, float y), (x, y))
WRAP(_Z11SetRotationf, "SetRotation", (float a), (a))
WRAP(_Z8SetAlphaf, "SetAlpha", (float a), (a))
WRAP(_Z12SetLineWidthf, "SetLineWidth", (float w), (w))
WRAP(_Z8DrawLineffffi, "DrawLine", (float x, float y, float x2, float y2, int last), (x, y, x2, y2, last))
WRAP(_Z9DrawImageP6TImageffi, "DrawImage", (TImage* i, float x, float y, int frame), (i, x, y, frame))
WRAP(_Z13fx_squareblurf9FxMagnify9FxOverlayfff, "fx_squareblur",
     (float size, FxMagnify m, FxOverlay o, float r, float g, float b), (size, m, o, r, g, b))
WRAP(_Z10fx_kaleido7FxBlendf, "fx_kaleido", (FxBlend blend, float bright), (blend, bright))
WRAP(_Z8fx_shinefffff, "fx_shine", (float r, float g, float b, float z, float a), (r, g, b, z, a))
WRAP(_Z14fx_separatergbffb, "fx_separatergb", (float dx, float dy, bool grab), (dx, dy, grab))
WRAP(_Z12render_sceneP5scenei, "render_scene", (scene* s, int flags), (s, flags))
WRAP(_Z7glsetupf, "glsetup", (float zoom), (zoom))
WRAP(_Z6glliteiffff, "gllite", (int n, float x, float y, float z, float s), (n, x, y, z, s))
WRAP(_Z6glwipev, "glwipe", (), ())
WRAP(_Z6gldonev, "gldone", (), ())
WRAP(glLoadIdentity, "glLoadIdentity", (), ())
WRAP(glMatrixMode, "glMatrixMode", (GLenum m), (m))
WRAP(glClear, "glClear", (GLbitfield b), (b))
WRAP(_Z3Clsv, "Cls", (), ())
WRAP(_Z4Flipi, "Flip", (int sync), (sync))
// clang-format on
int __real__Z6KeyHiti(int key);
int __wrap__Z6KeyHiti(int key) {
    if (g_depth == 0) g_frames.back().push_back({"KeyHit", {double(key)}});
    ++g_depth;
    const int hits = __real__Z6KeyHiti(key);
    --g_depth;
    return hits;
}

TImage* __real__Z9LoadImagePKci(const char*, int);
TImage* __wrap__Z9LoadImagePKci(const char* path, int flags) {
    TImage* image = __real__Z9LoadImagePKci(path, flags);
    const char* name = std::strstr(path, "img");
    if (name) g_slots[image] = std::atoi(name + 3);
    return image;
}

// Recording starts with the music: what start-up draws and sets before it is not kept.
TChannel __real__Z11PlaySoundAtP6TSoundi(TSound*, int32_t);
TChannel __wrap__Z11PlaySoundAtP6TSoundi(TSound* sound, int32_t start_ms) {
    g_frames.back().clear();
    return __real__Z11PlaySoundAtP6TSoundi(sound, start_ms);
}

// A second of silence for the soundtrack: decoding the whole music would take
// most of a start-up, and what the demo does with it does not depend on what it holds.
TSound* __wrap__Z9LoadSoundPKci(const char*, int flags) {
    auto* sample = new TAudioSample;
    sample->length = sample->rate = 44100;
    sample->channels = 2;
    sample->samples = new int16_t[2 * (44100 + 1)]();
    return CreateSound(sample, flags);
}
} // extern "C"

namespace {

// Each section's windows and ends at their exact milliseconds; a frame that
// reaches a section's end is still drawn by that section, and the next
// section draws one at the same time.
// clang-format off
const int32_t kTimes[] = {
    0, 4000, 4001, 4002, 8020, 8021, 15899, 15900, 16000, 20020, 20021, 20030, 24090, 24091, 27000,
    32044, 32045, 36000, 36001, 38001, 40015, 40030, 42001, 44001, 46001, 47980, 50000, 50500,
    64030, 66000, 66001, 70010, 70030, 72001, 74001, 76001, 79999, 80000, 80000, 82500, 96000,
    96000, 100000, 112000, 112000, 120000, 135000};
// clang-format on
const int kPlanned = int(std::size(kTimes));
const int kFadeFrames = 100;

// A picture drawn while its window (from, to) in seconds admits t.
struct Window {
    double from, to;
    int slot;
};

// The timeline as the design states it, section by section: the calls each
// frame must make, in order, from the end of the previous frame's
// presentation to its own. Angles in degrees; a constant written with a
// fraction is its float value.
struct Design {
    static double F(double x) { return double(float(x)); }
    static double Sin(double deg) { return std::sin(deg * M_PI / 180); }
    static double Cos(double deg) { return std::cos(deg * M_PI / 180); }
    static bool In(double t, double a, double b) { return a < t / 1000 && t / 1000 < b; }
    double prev_t = 0, fade_in = 0, ring_angle = 0;
    int section = 1, splits = 0;
    Frame f;

    void Add(const char* fn, std::vector<double> a = {}) { f.push_back({fn, std::move(a)}); }
    void Draw(int slot, double x, double y) { Add("DrawImage", {double(slot), x, y, 0}); }
    void Plain(int blend) {
        Add("SetBlend", {double(blend)});
        Add("SetAlpha", {1});
        Add("SetRotation", {0});
        Add("SetColor", {255, 255, 255});
    }
    void Windows(double t, const std::vector<Window>& w, double x, double y) {
        for (const Window& p : w)
            if (In(t, p.from, p.to)) Draw(p.slot, x, y);
    }
    void Overlays(double t, int back, double x, double y, const std::vector<Window>& w) {
        Plain(3);
        Draw(back, -400, -300);
        Draw(1, x, y);
        Windows(t, w, -400, -280);
        FlipClsKeyHit();
    }
    void FlipClsKeyHit() { Add("Flip", {-1}), Add("Cls"), Add("KeyHit", {27}); }

    Frame Next(double t) {
        // A section ends when the previous frame's t meets its end.
        static const double kEnds[] = {F(15.9), F(32.045), F(47.974), F(64.03), 80, 96, 112, 135};
        f.clear();
        while (section <= 8 && prev_t / 1000 >= kEnds[section - 1]) {
            ++section;
            if (section == 8) Add("glLoadIdentity"), Add("SetScale", {1, 1}); // the shake goes
            if (section == 9) Add("KeyHit", {27});
        }
        prev_t = t;
        switch (section) {
        case 1:
            Add("SetAlpha", {1});
            Draw(0, -600 + t / 200, -300);
            Draw(1, -t / 100, -70 - t / 1000);
            if (In(t, 4, F(8.02))) {
                fade_in = std::min(fade_in + F(0.01), 1.0);
                Add("SetAlpha", {fade_in});
                Draw(2, 70, -280);
            }
            Windows(t, {{F(8.02), F(15.9), 3}}, 0, -280);
            FlipClsKeyHit();
            break;
        case 2:
            Section2(t);
            break;
        // clang-format off
        case 3: // a background, image 1 sliding, captions in their windows
            Overlays(t, 7, -700 + t / 100, -70 - t / 1000,
                     {{36, 38, 8}, {38, F(40.03), 9}, {40, 42, 10}, {42, 44, 11}, {44, 46, 13},
                      {46, 48, 12}});
            break;
        case 4:
            Section4(t);
            break;
        case 5:
            Overlays(t, 14, 600 - t / 100, -40 - t / 1000,
                     {{66, 68, 15}, {68, F(70.03), 16}, {70, 72, 17}, {72, 74, 22}, {74, 76, 19},
                      {76, 78, 18}, {78, 80, 21}});
            break;
        // clang-format on
        case 6:
        case 7:
            Numbers(t);
            break;
        case 8:
            // Its picture is the same from its second frame on: captured
            // there, then split from that copy without being drawn again.
            Plain(2);
            if (splits < 2) Draw(23, -400, -300);
            Add("KeyHit", {27}); // before the effect and the presentation
            Add("fx_separatergb", {Sin(4 * (40 * Sin(t / 4) + 180)) / 30, 0, double(splits++ < 2)});
            Add("Flip", {-1}), Add("Cls");
            break;
        default: // the ending
            Draw(23, -400, -300);
            FlipClsKeyHit();
        }
        return f;
    }

    void Section2(double t) {
        Add("SetBlend", {4});
        Add("SetAlpha", {F(0.4)});
        Add("SetColor", {30, 65, 30});
        Add("SetLineWidth", {4});
        Draw(4, 10, 0);
        Add("SetRotation", {ring_angle}); // the previous frame's t/15
        ring_angle = t / 15;
        // Spoke i: twist s = 20 sin(t/15), wobble w = 40 sin(t/7 + 2.5 (i + 1)),
        // from radius 100 + w at angle i to radius 100 + w + s at angle
        // i - w/5 + s, in copies divided by 4, 2, 1, 0.5 and 0.25.
        const double s = 20 * Sin(t / 15);
        for (int i = 0; i < 360; ++i) {
            const double w = 40 * Sin(t / 7 + 2.5 * (i + 1)), r = 100 + w, q = i - w / 5 + s;
            for (double d : {4.0, 2.0, 1.0, 0.5, 0.25})
                Add("DrawLine", {Sin(i) * r / d, Cos(i) * r / d, Sin(q) * (r + s) / d,
                                 Cos(q) * (r + s) / d, 1});
        }
        // The second clock reading minus t is the start mark.
        const double a = 180 + 40 * Sin(double(kStartMark) / 4);
        Add("fx_kaleido", {FX_ADD, 1});
        Add("fx_shine", {F(0.2), F(0.2), F(0.2), F(0.04), 5});
        Add("fx_separatergb", {Sin(4 * a) / 30, 0, 1});
        for (const Window& w :
             std::vector<Window>{{F(20.02), F(32.045), 5}, {F(24.09), F(32.045), 6}})
            if (In(t, w.from, w.to)) {
                Plain(3);
                w.slot == 5 ? Draw(5, -130, 200 + 20 * Sin(t / 10)) : Draw(6, -400, 60);
            }
        FlipClsKeyHit();
    }

    void Section4(double t) {
        Add("glwipe"); // in place of Cls
        Add("glsetup", {1});
        Add("gllite", {0, 8, 5, 10, F(0.98)});
        Add("gllite", {1, -4, -10, 10, F(0.98)});
        // Scene 1 pulled away, e = 16^u with u the fraction of a/200, a = t/5.
        const double a = t / 5, e = std::pow(16.0, std::fmod(a / 200, 1.0));
        Add("glLoadIdentity");
        Add("glRotatef", {200 * Sin(a * 360 / 2000), 0, 0, 1});
        Add("glRotatef", {20 * Sin(a * 360 / 400), 0, 1, 0});
        Add("glTranslated",
            {F(0.0013) * (1 - e / 16), F(0.004) * (1 - e / 16), F(-0.9946) - e / 19});
        Add("render_scene", {1, 1});
        Add("glClear", {GL_DEPTH_BUFFER_BIT});
        const double b = a / 2;
        for (int i = 0; i < 4; ++i) {
            Add("glLoadIdentity");
            Add("glTranslatef", {2 * Sin(30 * i + F(1.2) * b), 0.5 * Cos(100 * i + F(1.3) * b),
                                 2 * Sin(99 * i + F(0.7) * b) - F(0.8)});
            Add("glRotatef", {b + 10 * i, 1, 0, 1});
            Add("glScalef", {F(0.1), F(0.1), F(0.1)});
            Add("render_scene", {2, 1});
        }
        Add("fx_squareblur", {40, FX_LINEAR, FX_OVER_SHARP, 0.5, 0.5, 0.5});
        Add("gldone");
        Add("KeyHit", {27}); // before presenting
        Add("Flip", {-1});
    }

    void Numbers(double t) { // sections 6 and 7: the clear at the top
        Add("Cls");
        if (section == 7) Add("glMatrixMode", {GL_MODELVIEW});
        Add("glLoadIdentity");
        Add("glTranslatef", {20 * Sin(t / 10), 20 * Cos(t / 13), 0});
        Add("SetRotation", {20 * Sin(t / 10)});
        for (int i = 0; i < 5; ++i) {
            // Phase u: up by 1 a second in section 6, down by 1 every 2 s in 7.
            const double u = section == 6 ? std::fmod(t / 1000 + (5 - i), 5.0)
                                          : std::fmod(1000000.0 - t / 2000 + (5 - i), 5.0);
            const double s = F(0.003) * std::pow(5.0, u);
            Add("SetScale", {s, s});
            Draw(24 + i, 0, 0);
        }
        if (section == 6)
            Add("fx_squareblur", {40, FX_LINEAR, FX_OVER_SHARP, F(0.8), F(0.7), 0.5});
        else
            Add("fx_shine", {F(0.05), F(0.05), F(0.05), F(0.03), 3});
        Add("SetScale", {1, 1});
        Draw(29, 0, 0);
        Add("Flip", {-1}), Add("KeyHit", {27});
    }
};

std::string Text(const Call* c) {
    return c ? c->fn + testing::PrintToString(c->args) : "nothing";
}

// Arguments are floats, the design's values doubles: a relative tolerance
// well above float rounding, well below a constant changed by a percent.
// The worked figures are printed to six or seven decimals: `printed`.
bool Same(const Call& g, const Call& w, double printed = 1e-9) {
    bool same = g.fn == w.fn && g.args.size() == w.args.size();
    for (size_t j = 0; same && j < w.args.size(); ++j)
        same = std::fabs(g.args[j] - w.args[j]) <= 1e-6 * std::fabs(w.args[j]) + printed;
    return same;
}

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

// The script: frame k (counted by presentations) reads demo time times[k],
// later frames 1000 s, past the end of every section.
std::vector<int32_t> g_times;
int g_escape_at = -1; // Escape is pressed while this frame is presented
int g_presented = 0;
std::atomic<int32_t> g_now{kStartMark}; // the clock, also read by the audio thread

int32_t TimeOf(int frame) {
    return frame < int(g_times.size()) ? g_times[frame] : 1000000;
}

std::vector<uint8_t> g_first_frame(800 * 600 * 3); // RGB, bottom row first

void OnFlip(void*) {
    const int k = g_presented++;
    if (k == 0) {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, g_first_frame.data());
    }
    g_new_channels.push_back(NewChannels());
    g_frames.emplace_back();
    if (k == g_escape_at) {
        InjectKeyDown(27);
        InjectKeyUp(27);
    }
    g_now.store(kStartMark + TimeOf(k + 1));
}

// Runs the main program under the script; returns the frames presented.
int RunDemo(const std::vector<int32_t>& times, int escape_at = -1) {
    g_times = times;
    g_escape_at = escape_at;
    g_presented = 0;
    g_now = kStartMark;
    SetAudioDriver("Manual");
    // The 2D layer keeps its drawing state across displays: each run starts
    // from a fresh process's.
    AutoMidHandle(0);
    SetRotation(0);
    SetScale(1, 1);
    SetColor(255, 255, 255);
    SetAlpha(1);
    SetLineWidth(1);
    // Flip never waits, and a hidden window never gains the focus, which
    // would clear the injected keys.
    SetHiddenDisplay(true);
    SetMilliSecsSource([](void*) { return g_now.load(); }, nullptr);
    SetFlipHook(OnFlip, nullptr);
    DemoMain();
    SetFlipHook(nullptr, nullptr);
    SetMilliSecsSource(nullptr, nullptr);
    return g_presented;
}

struct Recording {
    std::vector<Frame> frames;                   // what each frame called
    std::vector<std::vector<float>> new_volumes; // of the channels each frame started
};

Recording Record(const std::vector<int32_t>& times) {
    g_frames.assign(1, {});
    g_scenes.clear();
    g_new_channels.clear();
    NewChannels(); // whatever earlier runs in this process left
    RunDemo(times);
    return {g_frames, g_new_channels};
}

// The whole timeline once, shared by the tests below.
const Recording& Recorded() {
    static const Recording r = Record({std::begin(kTimes), std::end(kTimes)});
    return r;
}

// The first call that is not the design's, as one stream over all frames (a
// frame's record runs from the previous presentation to its own), so a
// missing or extra presentation shows too.
std::string Difference(const std::vector<int32_t>& times, const std::vector<Frame>& frames) {
    std::vector<Call> got, want;
    std::vector<std::string> where; // of each wanted call, then past the last
    for (const Frame& f : frames)
        got.insert(got.end(), f.begin(), f.end());
    Design design;
    for (int k = 0; k < int(times.size()) + kFadeFrames; ++k) {
        const int32_t t = k < int(times.size()) ? times[k] : 1000000;
        const Frame f = design.Next(t);
        want.insert(want.end(), f.begin(), f.end());
        where.resize(want.size(), "frame " + std::to_string(k) + " at " + std::to_string(t));
    }
    where.push_back("after the last frame");
    for (size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
        const Call* g = i < got.size() ? &got[i] : nullptr;
        const Call* w = i < want.size() ? &want[i] : nullptr;
        if (!g || !w || !Same(*g, *w))
            return where[std::min(i, want.size())] + ": " + Text(g) + ", design: " + Text(w);
    }
    return "";
}

} // namespace

TEST(Timeline, EachFrameMakesTheDesignsCallsInOrder) {
    EXPECT_EQ(Difference({std::begin(kTimes), std::end(kTimes)}, Recorded().frames), "");
    // Section 7's only frame already passes 135 s: section 8 draws nothing,
    // yet the shake goes before the ending.
    const std::vector<int32_t> skipping = {0, 100000, 140000};
    EXPECT_EQ(Difference(skipping, Record(skipping).frames), "");
}

// The figures the design works out itself, against the calls: they check
// the formulas above as much as the sections.
TEST(Timeline, DesignsWorkedFigures) {
    struct Figure {
        int32_t t;
        int n; // which frame at t
        const char* fn;
        int index; // which call of fn in that frame
        std::vector<double> args;
    };
    // clang-format off
    const Figure figures[] = {
        {50000, 0, "glTranslated", 0, {0.00121875, 0.00375, -1.0472316}},
        {50000, 0, "glRotatef", 3, {5010, 1, 0, 1}},
        {50000, 0, "glTranslatef", 1, {-2.0, -0.249998, -0.834907}},
        {50500, 0, "glTranslated", 0, {0.000975, 0.003, -1.2051263}},
        {50500, 0, "glRotatef", 0, {61.80340, 0, 0, 1}},
        {80000, 1, "glTranslatef", 0, {19.696155, 16.610722, 0}},
        {82500, 0, "SetScale", 3, {4.1926275, 4.1926275}},
        {96000, 1, "SetScale", 0, {0.075, 0.075}},
        {100000, 0, "glTranslatef", 0, {-19.696155, -13.462236, 0}},
        {120000, 0, "fx_separatergb", 0, {0.0220594, 0, 1}},
    };
    // clang-format on
    for (const Figure& fig : figures) {
        std::vector<Call> calls;
        const auto k = std::find(std::begin(kTimes), std::end(kTimes), fig.t) - kTimes + fig.n;
        for (const Call& c : Recorded().frames.at(size_t(k)))
            if (c.fn == fig.fn) calls.push_back(c);
        ASSERT_LT(fig.index, int(calls.size())) << fig.fn << " at " << fig.t;
        EXPECT_TRUE(Same(calls[fig.index], {fig.fn, fig.args}, 1e-6))
            << "at " << fig.t << ": " << Text(&calls[fig.index]);
    }
}

// The soundtrack starts once, on the first frame; each of the 100 ending
// frames starts one more playback, 0.01 quieter than the one before (the
// mixer holds volumes in steps of 1/4096; the 100th, about 2.2e-8, is silence).
// Start-up draws every section once out of sight: none of it, and none of
// the state it sets, may show. At t = 0 the lower half holds image 1 alone,
// from x = 0, y = -70 (row 230, column 400), laid over black by its alpha.
TEST(Timeline, FirstFrameShowsNothingOfStartUp) {
    Recorded();
    std::unique_ptr<TPixmap> picture(LoadPixmapPNG("data/img01.png"));
    ASSERT_TRUE(picture && picture->format == PF_RGBA8888);
    int worst = 0;
    for (int y = 230; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const int px = x - 400, py = y - 230;
            const bool in = px >= 0 && py < picture->height;
            const uint8_t* p = picture->pixels + py * picture->pitch + 4 * px;
            for (int c = 0; c < 3; ++c) {
                const int want = in ? int(std::lround(p[c] * p[3] / 255.0)) : 0;
                const int got = g_first_frame[3 * ((599 - y) * 800 + x) + c];
                worst = std::max(worst, std::abs(got - want));
            }
        }
    EXPECT_LE(worst, 1);
}

TEST(Timeline, EndingStartsAQuieterPlaybackEachFrame) {
    const auto& fresh = Recorded().new_volumes;
    ASSERT_EQ(fresh.size(), size_t(kPlanned + kFadeFrames));
    EXPECT_EQ(fresh[0], std::vector<float>{1.0f}) << "the soundtrack, playing at full volume";
    for (int k = 1; k < kPlanned; ++k)
        EXPECT_TRUE(fresh[k].empty()) << "frame " << k;
    for (int n = 1; n <= kFadeFrames; ++n) {
        const std::vector<float>& v = fresh[kPlanned + n - 1];
        ASSERT_EQ(v.size(), 1u) << "ending frame " << n;
        EXPECT_NEAR(v[0], 1.0 - n / 100.0, 1.0 / 4096 + 1e-6) << "ending frame " << n;
    }
}

// Escape ends the demo in every section, after the frame in progress is shown
// or before, as the section tests it (where: checked above).
TEST(Escape, EndsTheDemoWhereTheSectionTestsIt) {
    struct Case {
        std::vector<int32_t> times;
        int escape_at, frames;
    };
    std::vector<Case> cases;
    // Frame 1 is section 1's last when past 15.9 s; Escape is pressed in frame
    // 2, the section's first: it is the last frame presented.
    for (int32_t t : {1000, 16000, 40000, 50000, 70000, 90000, 100000, 120000})
        cases.push_back({{0, t, t + 1, t + 2}, 2, 3});
    // In section 8's last frame: the check before the ending's first frame catches it.
    cases.push_back({{0, 120000, 135000}, 2, 3});
    // Frame 1 is section 1's last; then the ending's frames.
    cases.push_back({{0, 200000}, 5, 6});
    for (const Case& c : cases) {
        SCOPED_TRACE("times " + testing::PrintToString(c.times));
        EXPECT_EQ(RunDemo(c.times, c.escape_at), c.frames);
        EXPECT_EQ(GraphicsWidth(), 0) << "the display is still open";
    }
}
