// The real main program under a scripted clock: which pictures each frame
// shows at chosen demo times, the exact window and section bounds, and the
// number of frames every section draws.
#include "tests/demo/demo_run.h"
#include "tests/demo/picture_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>

namespace {

using Stack = std::vector<Layer>;
using Check = std::function<void(const Frame&, double t)>;

const double kDeg = 0.017453292519943295;
const TPixmap* P(int slot) {
    return Picture(slot);
}

void ExpectShown(const Frame& f, const Stack& stack, int i, const char* what,
                 bool below_known = true) {
    Verdict v = Compare(f, stack, i, below_known);
    EXPECT_GE(v.points, 20) << what << ": too few telling sample points";
    EXPECT_GE(v.with, v.points * 9 / 10)
        << what << " should be drawn (" << v.with << " of " << v.points << " points match)";
}

void ExpectHidden(const Frame& f, const Stack& stack, int i, const char* what,
                  bool below_known = true) {
    Verdict v = Compare(f, stack, i, below_known);
    EXPECT_GE(v.points, 20) << what << ": too few telling sample points";
    if (below_known)
        EXPECT_GE(v.without, v.points * 9 / 10)
            << what << " should not be drawn (" << v.without << " of " << v.points
            << " points match without it)";
    else
        EXPECT_LE(v.with, v.points / 5) << what << " should not be drawn (" << v.with << " of "
                                        << v.points << " points show it)";
}

// A schedule of frames, some with checks, in presentation order.
struct Walk {
    Script script;
    std::map<int, Check> checks;
    Walk() { script.times.clear(); }
    // The first frame must be at 0 ms: the clock stands still until then.
    void Frame(int32_t t, Check check = nullptr) {
        if (check) checks[int(script.times.size())] = check;
        script.times.push_back(t);
    }
    RunResult Run() {
        script.on_frame = [this](int k, int32_t t) {
            auto it = checks.find(k);
            if (it == checks.end()) return;
            SCOPED_TRACE(testing::Message() << "frame " << k << " at t = " << t << " ms");
            ::Frame f = ReadBackFrame();
            it->second(f, t);
        };
        return RunDemo(script);
    }
};

// --- Section 1 -------------------------------------------------------------
Stack Opening(double t) {
    return {At(P(0), -600 + t / 200, -300), At(P(1), -t / 100, -70 - t / 1000)};
}
Layer FadingImage2(double alpha) {
    return At(P(2), 70, -280, false, alpha);
}
Layer Image3() {
    return At(P(3), 0, -280);
}

void AddSection1(Walk& w) {
    w.Frame(0, [](const Frame& f, double t) {
        ExpectShown(f, Opening(t), 0, "image 0");
        ExpectShown(f, Opening(t), 1, "image 1");
    });
    w.Frame(3999);
    w.Frame(4000, [](const Frame& f, double t) {
        Stack s = Opening(t);
        s.push_back(FadingImage2(1.0));
        EXPECT_NEAR(EstimateAlpha(f, s), 0.0, 0.004) << "image 2 drawn at 4000 ms";
    });
    // Frame n of the window draws image 2 at alpha n * 0.01, 1.0 from the 100th.
    for (int n = 1; n <= 105; ++n) {
        Check check;
        if (n == 1 || n == 50)
            check = [n](const Frame& f, double t) {
                Stack s = Opening(t);
                s.push_back(FadingImage2(1.0));
                EXPECT_NEAR(EstimateAlpha(f, s), n * 0.01, 0.004) << "fade-in frame " << n;
            };
        if (n == 105)
            check = [](const Frame& f, double t) {
                Stack s = Opening(t);
                s.push_back(FadingImage2(1.0));
                ExpectShown(f, s, 2, "image 2 fully faded in");
            };
        w.Frame(4000 + n, check);
    }
    w.Frame(8020, [](const Frame& f, double t) {
        Stack s = Opening(t);
        s.push_back(FadingImage2(1.0));
        ExpectShown(f, s, 2, "image 2 at 8020 ms");
        s.push_back(Image3());
        ExpectHidden(f, s, 3, "image 3 at 8020 ms");
    });
    w.Frame(8021, [](const Frame& f, double t) {
        Stack s = Opening(t);
        s.push_back(FadingImage2(1.0));
        s.push_back(Image3());
        ExpectHidden(f, s, 2, "image 2 at 8021 ms");
        s.erase(s.begin() + 2);
        ExpectShown(f, s, 2, "image 3 at 8021 ms");
    });
    w.Frame(15899, [](const Frame& f, double t) {
        Stack s = Opening(t);
        s.push_back(Image3());
        ExpectShown(f, s, 2, "image 3 at 15899 ms");
    });
    // The last frame: t already meets the end, only the unwindowed pictures.
    w.Frame(15900, [](const Frame& f, double t) {
        Stack s = Opening(t);
        ExpectShown(f, s, 0, "image 0 in the last frame");
        ExpectShown(f, s, 1, "image 1 in the last frame");
        s.push_back(Image3());
        ExpectHidden(f, s, 2, "image 3 in the last frame");
    });
}

// --- Section 2: the pictures laid on top of the effects ---------------------
Layer Image5(double t) {
    return At(P(5), -130, 200 + std::sin(t / 10 * kDeg) * 20);
}
Layer Image6() {
    return At(P(6), -400, 60);
}

Check Section2Shows(bool image5, bool image6) {
    return [=](const Frame& f, double t) {
        Stack s5 = {Image5(t)}, s56 = {Image5(t), Image6()}, s6 = {Image6()};
        if (image5)
            ExpectShown(f, image6 ? s56 : s5, 0, "image 5", false);
        else
            ExpectHidden(f, s5, 0, "image 5", false);
        if (image6)
            ExpectShown(f, s56, 1, "image 6", false);
        else
            ExpectHidden(f, image5 ? s56 : s6, image5 ? 1 : 0, "image 6", false);
    };
}

void AddSection2(Walk& w) {
    w.Frame(16000, Section2Shows(false, false));
    w.Frame(20020, Section2Shows(false, false));
    w.Frame(20021, Section2Shows(true, false));
    w.Frame(24090, Section2Shows(true, false));
    w.Frame(24091, Section2Shows(true, true));
    w.Frame(32044, Section2Shows(true, true));
    w.Frame(32045, Section2Shows(false, false));
}

// --- Section 3: captions ------------------------------------------------------
const int kCaptionSlots[] = {8, 9, 10, 11, 13, 12}; // in drawing order

Check CaptionsShown(std::vector<int> shown) {
    return [=](const Frame& f, double t) {
        Stack base = {At(P(7), -400, -300), At(P(1), -700 + t / 100, -70 - t / 1000)};
        ExpectShown(f, base, 1, "image 1");
        Stack s = base;
        for (int slot : shown)
            s.push_back(At(P(slot), -400, -280));
        // Image 10's plate all but hides image 9: its trace under it is 8 to
        // 15 levels, so there the points nearer to it being drawn count.
        const bool overlap = shown.size() == 2;
        if (overlap) {
            Verdict v = Compare(f, s, int(base.size()), true, 8);
            EXPECT_GE(v.points, 200);
            EXPECT_GE(v.nearer, v.points * 3 / 4) << "caption image 9 under image 10";
        }
        for (size_t i = overlap ? 1 : 0; i < shown.size(); ++i) {
            std::string what = "caption image " + std::to_string(shown[i]);
            ExpectShown(f, s, int(base.size() + i), what.c_str());
        }
        for (int slot : kCaptionSlots) {
            bool is_shown = false;
            for (int x : shown)
                is_shown |= x == slot;
            if (is_shown) continue;
            Stack with = s;
            with.push_back(At(P(slot), -400, -280));
            std::string what = "caption image " + std::to_string(slot);
            ExpectHidden(f, with, int(with.size() - 1), what.c_str());
        }
    };
}

void AddSection3(Walk& w) {
    w.Frame(36000, CaptionsShown({}));
    w.Frame(36001, CaptionsShown({8}));
    w.Frame(38000, CaptionsShown({}));
    w.Frame(38001, CaptionsShown({9}));
    w.Frame(40000, CaptionsShown({9}));
    w.Frame(40015, CaptionsShown({9, 10}));
    w.Frame(40030, CaptionsShown({10}));
    w.Frame(42000, CaptionsShown({}));
    w.Frame(44000, CaptionsShown({}));
    w.Frame(44001, CaptionsShown({13}));
    w.Frame(46000, CaptionsShown({}));
    w.Frame(46001, CaptionsShown({12}));
    w.Frame(47973, CaptionsShown({12}));
    w.Frame(47980, CaptionsShown({12})); // the last frame, window still open
}

// --- Section 4 ---------------------------------------------------------------
void AddSection4(Walk& w) {
    Check lit = [](const Frame& f, double) {
        int lit_pixels = 0;
        for (size_t i = 0; i < f.rgb.size(); i += 3)
            lit_pixels += f.rgb[i] + f.rgb[i + 1] + f.rgb[i + 2] > 30;
        EXPECT_GT(lit_pixels, 800 * 600 / 100) << "the 3D frame is nearly black";
    };
    w.Frame(50000, lit);
    w.Frame(50500, lit);
    w.Frame(64029);
    w.Frame(64030, lit);
}

// --- Section 5: overlays -------------------------------------------------------
const int kOverlaySlots[] = {15, 16, 17, 22, 19, 18, 21};

Check OverlaysShown(std::vector<int> shown) {
    return [=](const Frame& f, double t) {
        const double s = t / 100;
        Stack base = {At(P(14), -400, -300), At(P(1), 600 - s, -40 - s / 10)};
        ExpectShown(f, base, 1, "image 1");
        Stack st = base;
        for (int slot : shown)
            st.push_back(At(P(slot), -400, -280));
        for (size_t i = 0; i < shown.size(); ++i) {
            std::string what = "overlay image " + std::to_string(shown[i]);
            ExpectShown(f, st, int(base.size() + i), what.c_str());
        }
        for (int slot : kOverlaySlots) {
            bool is_shown = false;
            for (int x : shown)
                is_shown |= x == slot;
            if (is_shown) continue;
            Stack with = st;
            with.push_back(At(P(slot), -400, -280));
            std::string what = "overlay image " + std::to_string(slot);
            ExpectHidden(f, with, int(with.size() - 1), what.c_str());
        }
    };
}

void AddSection5(Walk& w) {
    w.Frame(66000, OverlaysShown({}));
    w.Frame(66001, OverlaysShown({15}));
    w.Frame(68000, OverlaysShown({}));
    w.Frame(70000, OverlaysShown({16}));
    w.Frame(70010, OverlaysShown({16, 17}));
    w.Frame(70030, OverlaysShown({17}));
    w.Frame(72001, OverlaysShown({22}));
    w.Frame(74001, OverlaysShown({19}));
    w.Frame(76001, OverlaysShown({18}));
    w.Frame(78000, OverlaysShown({}));
    w.Frame(79999, OverlaysShown({21}));
    w.Frame(80000, OverlaysShown({})); // the last frame
}

// --- Sections 6 and 7: image 29 sharp over the effect ------------------------
// At multiples of 1800 ms the rock is 0 degrees and the shake only vertical.
Check Image29Sharp() {
    return [](const Frame& f, double t) {
        Stack s = {At(P(29), 20 * std::sin(t / 10 * kDeg), 20 * std::cos(t / 13 * kDeg), true)};
        ExpectShown(f, s, 0, "image 29", false);
    };
}

void AddSections6To8(Walk& w) {
    w.Frame(81000, Image29Sharp());
    w.Frame(96000);
    w.Frame(100800, Image29Sharp());
    w.Frame(112000);
    w.Frame(120000);
    w.Frame(135000);
}

// Pixels of the frame that differ from image 23 drawn solid at the corner.
int DifferFromClosingPicture(const Frame& f) {
    Stack s = {At(P(23), -400, -300)};
    s[0].solid = true;
    int n = 0;
    for (int y = 0; y < 600; y += 2)
        for (int x = 0; x < 800; x += 2) {
            Colour c;
            if (!ExpectedColour(s, x, y, &c)) continue;
            Colour g = f.At(x, y);
            n += std::abs(g.r - c.r) > 24 || std::abs(g.g - c.g) > 24 || std::abs(g.b - c.b) > 24;
        }
    return n;
}

} // namespace

TEST(Timeline, WindowsAndSectionEndsAreExact) {
    Walk w;
    AddSection1(w);
    AddSection2(w);
    AddSection3(w);
    AddSection4(w);
    AddSection5(w);
    AddSections6To8(w);
    const int timed = int(w.script.times.size());
    std::vector<int> ending_differs;
    w.checks[timed - 2] = [&](const Frame& f, double) {
        ending_differs.push_back(DifferFromClosingPicture(f)); // section 8, split colours
    };
    for (int k = 0; k < 100; ++k)
        w.checks[timed + k] = [&](const Frame& f, double) {
            ending_differs.push_back(DifferFromClosingPicture(f));
        };
    RunResult r = w.Run();
    EXPECT_EQ(r.frames, timed + 100) << "every scheduled frame, then 100 ending frames";
    EXPECT_TRUE(r.display_closed);
    ASSERT_EQ(ending_differs.size(), 101u);
    EXPECT_GT(ending_differs[0], 200) << "section 8 shows the colour split";
    for (size_t k = 1; k < ending_differs.size(); ++k)
        EXPECT_LT(ending_differs[k], 100) << "ending frame " << k << " shows image 23 plain";
}

// One frame of section 1 runs past 32.045 s: section 2 draws nothing.
TEST(Timeline, OvershootingFrameSkipsTheNextSection) {
    Walk w;
    w.Frame(0);
    w.Frame(33000, [](const Frame& f, double t) {
        Stack s = Opening(t);
        ExpectShown(f, s, 1, "image 1 in section 1's last frame");
        s.push_back(Image3());
        ExpectHidden(f, s, 2, "image 3 in section 1's last frame");
    });
    w.Frame(33001, CaptionsShown({}));
    w.script.escape_at = 2;
    RunResult r = w.Run();
    EXPECT_EQ(r.frames, 3);
}
