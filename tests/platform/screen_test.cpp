// The demo's display on real X servers: black before anything is drawn, the
// frame in the largest centred 4:3 area between black bars, the desktop's
// mode kept, and full screen under weston's Xwayland run after run.
#include "tests/platform/png_files.h"
#include "tests/support/child_process.h"
#include "tests/support/skip.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

uint32_t Be32(const std::string& s, size_t at) {
    auto b = [&](size_t i) { return uint32_t(uint8_t(s[at + i])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

// The w x h root window as 0xRRGGBB, or empty: xwd writes a big-endian
// header, colour entries, then 32-bit pixels in the server's byte order.
std::vector<uint32_t> Screenshot(size_t w, size_t h) {
    std::string f = Shell("xwd -root -silent");
    if (f.size() < 100 || Be32(f, 16) != w || Be32(f, 20) != h || Be32(f, 44) != 32) return {};
    const size_t data = Be32(f, 0) + size_t(Be32(f, 76)) * 12, line = Be32(f, 48);
    if (f.size() < data + line * h) return {};
    std::vector<uint32_t> rgb(w * h);
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x) {
            uint32_t v = Be32(f, data + y * line + x * 4);
            rgb[y * w + x] = (Be32(f, 28) ? v : __builtin_bswap32(v)) & 0xffffff;
        }
    return rgb;
}

// Openbox: a 1920x1080 desktop that also offers 800x600, and a 2048x2048
// icon too large for the server. Bare: 1280x1024 only, its root naming the
// check window of a manager gone since, which must cost no wait.
enum Kind { kOpenbox, kBare, kWeston };
struct Desktop {
    const char* name;
    int width, height;
    Kind kind;
};

class ScreenTest : public ::testing::TestWithParam<Desktop> {
  protected:
    void SetUp() override {
        const std::string tools = "Xorg xwd xdotool xrandr xsetroot xwininfo xprop weston Xwayland";
        dir_ = "/tmp/ninefold-screen-XXXXXX";
        if (Shell("for t in " + tools + "; do command -v $t; done | wc -l") == "9\n" &&
            mkdtemp(&dir_[0]))
            GetParam().kind == kWeston ? StartWeston() : StartServer();
        if (server_ < 0) SKIP_OR_FAIL_UNDER_CI("no X server; needs " + tools);
        const uint8_t grey[4] = {128, 128, 128, 255};
        if (GetParam().kind == kOpenbox && mkdir((dir_ + "/data").c_str(), 0700) == 0) {
            StartWindowManager();
            WritePng(dir_ + "/data/icon.png", SolidLayout(2048, 2048, 4, grey));
        }
        if (GetParam().kind == kBare)
            Shell("xprop -root -f _NET_SUPPORTING_WM_CHECK 32x -set _NET_SUPPORTING_WM_CHECK "
                  "0x3fffff");
    }
    void TearDown() override {
        for (pid_t pid : {wm_, server_})
            if (pid > 0 && (kill(pid, SIGTERM), WaitChild(pid, 10) < 0))
                kill(pid, SIGKILL), WaitChild(pid, 5);
        Shell("rm -rf " + dir_);
    }

    void StartServer() {
        const Desktop& d = GetParam();
        const bool has_800x600 = d.kind == kOpenbox;
        std::ofstream(dir_ + "/xorg.conf")
            << "Section \"Device\"\n Identifier \"d\"\n Driver \"dummy\"\n VideoRam "
               "65536\nEndSection\n"
            << "Section \"Monitor\"\n Identifier \"m\"\n"
            // At 59.5-60.5 Hz, 63-65 kHz leaves only 1280x1024.
            << (has_800x600 ? " HorizSync 30-70\n VertRefresh 50-75\n"
                            : " HorizSync 63-65\n VertRefresh 59.5-60.5\n")
            << "EndSection\nSection \"Screen\"\n Identifier \"s\"\n Device \"d\"\n Monitor \"m\"\n"
            << " DefaultDepth 24\n SubSection \"Display\"\n  Depth 24\n  Modes \"" << d.width << "x"
            << d.height << "\"" << (has_800x600 ? " \"800x600\"" : "") << "\n  Virtual " << d.width
            << " " << d.height << "\n EndSubSection\nEndSection\n";
        int fds[2];
        if (pipe(fds) != 0) return;
        server_ =
            SpawnChild({"Xorg", "-config", dir_ + "/xorg.conf", "-noreset", "-nolisten", "tcp",
                        "-logfile", dir_ + "/xorg.log", "-displayfd", std::to_string(fds[1])});
        close(fds[1]);
        pollfd p = {fds[0], POLLIN, 0};
        char number[16] = {};
        if (server_ > 0 && poll(&p, 1, 20000) == 1 && read(fds[0], number, sizeof number - 1) > 0)
            setenv("DISPLAY", (":" + std::to_string(std::atoi(number))).c_str(), 1);
        else if (server_ > 0)
            kill(server_, SIGKILL), WaitChild(server_, 5), server_ = -1;
        close(fds[0]);
    }

    // Headless, with its own runtime folder; X clients reach its Xwayland.
    void StartWeston() {
        setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        const std::string log = dir_ + "/weston.log";
        server_ =
            SpawnChild({"weston", "--backend=headless-backend.so", "--xwayland",
                        "--socket=ninefold-test", "--width=" + std::to_string(GetParam().width),
                        "--height=" + std::to_string(GetParam().height), "--log=" + log});
        for (int i = 0; i < 400 && server_ > 0; ++i, usleep(50000))
            if (std::string x = Shell("sed -n 's/.*listening on display //p' " + log); !x.empty())
                return (void)setenv("DISPLAY", x.substr(0, x.find('\n')).c_str(), 1);
        if (server_ > 0) kill(server_, SIGKILL), WaitChild(server_, 5), server_ = -1;
    }

    void StartWindowManager() {
        wm_ = SpawnChild({"openbox"});
        for (int i = 0; i < 200; ++i, usleep(50000)) // until it names itself on the root
            if (Shell("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") !=
                std::string::npos)
                return;
        ADD_FAILURE() << "openbox did not start";
    }

    static int Scale(int n) { // the frame's side n, scaled to the largest 4:3 area
        return std::min(GetParam().width * 3, GetParam().height * 4) * n / 2400;
    }

    static std::string Mode() {
        std::string out = Shell("xrandr --current");
        size_t at = out.find("current ");
        return at == std::string::npos ? out : out.substr(at + 8, out.find(',', at) - at - 8);
    }

    // Starts the probe and waits until its frame (or black, loading) shows.
    pid_t ShowProbe(std::vector<uint32_t>& shot, bool loading = false) {
        const int w = GetParam().width, h = GetParam().height, x0 = (w - Scale(800)) / 2,
                  y0 = (h - Scale(600)) / 2;
        pid_t pid = loading ? SpawnChild({SCREEN_PROBE, "load"}, {}, dir_)
                            : SpawnChild({SCREEN_PROBE}, {}, dir_);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        for (; pid > 0 && std::chrono::steady_clock::now() < end; usleep(50000))
            if ((shot = Screenshot(w, h)).size() &&
                (loading ? std::count(shot.begin(), shot.end(), 0u) == w * h
                         : shot[(y0 + Scale(150)) * w + x0 + Scale(200)] == 0xff0000 &&
                               shot[(y0 + Scale(450)) * w + x0 + Scale(600)] == 0xffffff))
                break;
        return pid;
    }

    std::string dir_;
    pid_t server_ = -1, wm_ = -1;
};

TEST_P(ScreenTest, FrameFillsTheCentred4To3AreaAndTheModeStays) {
    const int w = GetParam().width, h = GetParam().height;
    if (GetParam().kind == kWeston) {
        for (int run = 0; run < 3; ++run) {
            // The window as the X server has it: SDL reports full screen even
            // where the window manager dropped the request.
            const char* window =
                "xwininfo -name ninefold | awk '/Absolute|Width:|Height:/{printf "
                "\"%s \", $NF}'; xprop -name ninefold _NET_WM_STATE | grep -o _FULLSCREEN";
            const std::string full =
                "0 0 " + std::to_string(w) + " " + std::to_string(h) + " _FULLSCREEN\n";
            pid_t probe = SpawnChild({SCREEN_PROBE});
            for (int i = 0; i < 200 && Shell(window) != full; ++i)
                usleep(50000);
            EXPECT_EQ(Shell(window), full) << "run " << run;
            kill(probe, SIGTERM);
            EXPECT_EQ(WaitChild(probe, 10), 0);
        }
        return;
    }
    if (GetParam().kind == kBare) {
        // Waiting for a manager takes a second; opening in less waited for none.
        ChildResult run = RunChild(SCREEN_PROBE, dir_, {}, 20, {}, {"time"});
        int open_ms = -1;
        std::sscanf(run.err.c_str(), "open %d ms", &open_ms);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_GE(open_ms, 0) << run.err;
        EXPECT_LT(open_ms, 1000);
    }
    const std::string before = Mode();
    ASSERT_EQ(before, std::to_string(w) + " x " + std::to_string(h));
    ASSERT_EQ(Shell("xrandr --current").find("800x600") != std::string::npos,
              GetParam().kind == kOpenbox)
        << "the test server's modes are not as intended";

    // Black while loading, over a desktop that is not; killed there, the
    // desktop keeps its mode.
    std::vector<uint32_t> shot;
    Shell("xsetroot -solid '#ff00ff'");
    pid_t probe = ShowProbe(shot, true);
    EXPECT_EQ(std::count(shot.begin(), shot.end(), 0u), w * h) << "the desktop shows through";
    kill(probe, SIGKILL);
    EXPECT_EQ(WaitChild(probe, 10), 256 + SIGKILL);
    EXPECT_EQ(Mode(), before) << "the mode stayed changed after SIGKILL";

    probe = ShowProbe(shot); // not started: the black of the last shot fails the colours
    ASSERT_FALSE(shot.empty());
    // Three pixels of slack where the scaling filter blends neighbours.
    const int fw = Scale(800), fh = Scale(600), x0 = (w - fw) / 2, y0 = (h - fh) / 2;
    int bar_pixels_lit = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bar_pixels_lit += (x < x0 - 3 || x >= x0 + fw + 3 || y < y0 - 3 || y >= y0 + fh + 3) &&
                              shot[y * w + x] != 0;
    EXPECT_EQ(bar_pixels_lit, 0);
    // Each quadrant's colour four pixels inside its corners.
    const uint32_t colours[2][2] = {{0xff0000, 0x00ff00}, {0x0000ff, 0xffffff}};
    for (int i = 0; i < 16; ++i) {
        const int row = i >> 3, col = i >> 2 & 1;
        const int x = x0 + col * fw / 2 + (i & 1 ? fw / 2 - 4 : 4);
        const int y = y0 + row * fh / 2 + (i & 2 ? fh / 2 - 4 : 4);
        EXPECT_EQ(shot[y * w + x], colours[row][col]) << "at " << x << "," << y;
    }
    EXPECT_EQ(Mode(), before) << "the mode changed while the demo showed";

    Shell("xdotool key Escape");
    EXPECT_EQ(WaitChild(probe, 10), 0) << "Escape did not end the program with status 0";
    EXPECT_EQ(Mode(), before);
}

INSTANTIATE_TEST_SUITE_P(Desktops, ScreenTest,
                         ::testing::Values(Desktop{"Openbox800x600LargeIcon", 1920, 1080, kOpenbox},
                                           Desktop{"Bare1280x1024StaleWindowManager", 1280, 1024,
                                                   kBare},
                                           Desktop{"Weston", 1920, 1080, kWeston}),
                         [](const auto& info) { return std::string(info.param.name); });

// Over ssh, su or from a service: nothing to show on, or a stale DISPLAY
// without a runtime directory; nothing is loaded or played; one line says why.
TEST(NoDisplay, OneLineAndStatusOne) {
    for (const char* display : {"DISPLAY=", "DISPLAY=:4093"}) {
        ChildResult run =
            RunChild(NINEFOLD_BIN, "/", {display, "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR="}, 20);
        EXPECT_TRUE(run.exited);
        EXPECT_EQ(run.status, 1);
        EXPECT_LT(run.seconds, 5);
        EXPECT_NE(run.err.find("no display"), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

} // namespace
