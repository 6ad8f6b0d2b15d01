// The demo's display on a real X server (Xorg with the dummy driver) at a
// 1920x1080 desktop, with and without an 800x600 mode and a window manager:
// the frame fills the largest centred 4:3 area with black bars beside it,
// and the desktop keeps its mode after Escape and after SIGKILL.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct ScreenCase {
    const char* name;
    bool has_800x600;
    bool window_manager;
};

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

// Starts a program with this process's environment (DISPLAY set by the test).
pid_t Spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

// Waits up to limit_s for the child; its exit status, or -1 if it did not exit.
int WaitExit(pid_t pid, double limit_s) {
    auto end = Clock::now() + std::chrono::duration<double>(limit_s);
    int status = 0;
    while (Clock::now() < end) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb; // 0xRRGGBB
    uint32_t at(int x, int y) const { return rgb[size_t(y) * width + x]; }
};

uint32_t Be32(const std::string& s, size_t at) {
    auto b = [&](size_t i) { return uint32_t(uint8_t(s[at + i])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

// The root window as xwd writes it: a big-endian header, colour entries,
// then 32-bit pixels in the server's byte order.
Screenshot Capture() {
    Screenshot shot;
    std::string f = Shell("xwd -root -silent");
    if (f.size() < 100) return shot;
    uint32_t header = Be32(f, 0), w = Be32(f, 16), h = Be32(f, 20), order = Be32(f, 28);
    uint32_t bpp = Be32(f, 44), line = Be32(f, 48), ncolors = Be32(f, 76);
    size_t data = size_t(header) + size_t(ncolors) * 12;
    if (bpp != 32 || f.size() < data + size_t(line) * h) return shot;
    shot.width = int(w);
    shot.height = int(h);
    shot.rgb.resize(size_t(w) * h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            size_t p = data + size_t(y) * line + size_t(x) * 4;
            uint32_t v = order ? Be32(f, p) : __builtin_bswap32(Be32(f, p));
            shot.rgb[size_t(y) * w + x] = v & 0xffffff;
        }
    return shot;
}

class ScreenTest : public ::testing::TestWithParam<ScreenCase> {
  protected:
    void SetUp() override {
        if (Shell("command -v Xorg").empty() || Shell("command -v xwd").empty())
            GTEST_SKIP() << "Xorg or xwd is not installed";
        dir_ = "/tmp/ninefold-screen-XXXXXX";
        if (!mkdtemp(&dir_[0])) GTEST_SKIP() << "no temporary directory";
        StartServer();
        if (display_.empty()) GTEST_SKIP() << "Xorg with the dummy driver did not start";
        if (GetParam().window_manager) StartWindowManager();
    }
    void TearDown() override {
        for (pid_t pid : {wm_, server_})
            if (pid > 0) {
                kill(pid, SIGTERM);
                if (WaitExit(pid, 10) < 0) kill(pid, SIGKILL), WaitExit(pid, 5);
            }
        if (!dir_.empty()) Shell("rm -rf " + dir_);
    }

    // Sync and refresh ranges decide which modes the dummy screen offers:
    // 67-68 kHz at 59.5-60.5 Hz leaves only 1920x1080.
    void StartServer() {
        bool small = GetParam().has_800x600;
        std::ofstream(dir_ + "/xorg.conf")
            << "Section \"Device\"\n Identifier \"d\"\n Driver \"dummy\"\n VideoRam 65536\nEndSection\n"
            << "Section \"Monitor\"\n Identifier \"m\"\n"
            << (small ? " HorizSync 30-70\n VertRefresh 50-75\n" : " HorizSync 67-68\n VertRefresh 59.5-60.5\n")
            << "EndSection\n"
            << "Section \"Screen\"\n Identifier \"s\"\n Device \"d\"\n Monitor \"m\"\n DefaultDepth 24\n"
            << " SubSection \"Display\"\n  Depth 24\n  Modes \"1920x1080\"" << (small ? " \"800x600\"" : "")
            << "\n  Virtual 1920 1080\n EndSubSection\nEndSection\n";
        int fds[2];
        if (pipe(fds) != 0) return;
        server_ = Spawn({"Xorg", "-config", dir_ + "/xorg.conf", "-noreset", "-nolisten", "tcp",
                         "-logfile", dir_ + "/xorg.log", "-displayfd", std::to_string(fds[1])});
        close(fds[1]);
        pollfd p = {fds[0], POLLIN, 0};
        char buf[16] = {};
        if (server_ > 0 && poll(&p, 1, 20000) == 1 && read(fds[0], buf, sizeof buf - 1) > 0)
            display_ = ":" + std::to_string(std::atoi(buf));
        close(fds[0]);
        setenv("DISPLAY", display_.c_str(), 1);
    }

    void StartWindowManager() {
        wm_ = Spawn({"openbox"});
        // The manager announces itself on the root window once it runs.
        for (int i = 0; i < 200; ++i) {
            if (Shell("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ADD_FAILURE() << "openbox did not start";
    }

    std::string Mode() {
        std::string out = Shell("xrandr --current");
        size_t at = out.find("current ");
        return at == std::string::npos ? out : out.substr(at + 8, out.find(',', at) - at - 8);
    }

    // Starts the probe and waits until its frame is on screen.
    pid_t ShowProbe(Screenshot& shot) {
        pid_t pid = Spawn({SCREEN_PROBE});
        for (int i = 0; i < 300 && pid > 0; ++i) {
            shot = Capture();
            if (shot.width == 1920 && shot.at(600, 270) == 0xff0000 && shot.at(1320, 810) == 0xffffff)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return pid;
    }

    std::string dir_, display_; // the server's display, also in DISPLAY
    pid_t server_ = -1, wm_ = -1;
};

TEST_P(ScreenTest, FrameFillsTheCentred4To3AreaAndTheModeStays) {
    const std::string before = Mode();
    ASSERT_EQ(before, "1920 x 1080");
    const bool lists_800x600 = Shell("xrandr --current").find("800x600") != std::string::npos;
    ASSERT_EQ(lists_800x600, GetParam().has_800x600) << "the test server's modes are not as intended";

    Screenshot shot;
    pid_t probe = ShowProbe(shot);
    ASSERT_GT(probe, 0);
    ASSERT_EQ(shot.width, 1920);
    // 800x600 scaled by 1080/600 = 1.8 is 1440x1080, from x = 240 to 1680.
    // Three pixels of slack where the scaling filter blends neighbours.
    int bar_pixels_lit = 0;
    for (int y = 0; y < 1080; ++y)
        for (int x : {0, 120, 236, 1683, 1800, 1919})
            bar_pixels_lit += shot.at(x, y) != 0;
    EXPECT_EQ(bar_pixels_lit, 0);
    struct Expect {
        int x, y;
        uint32_t rgb;
    } inside[] = {{243, 3, 0xff0000},    {956, 536, 0xff0000}, {964, 3, 0x00ff00},
                  {1676, 536, 0x00ff00}, {243, 1076, 0x0000ff}, {956, 544, 0x0000ff},
                  {1676, 1076, 0xffffff}, {964, 544, 0xffffff}};
    for (const Expect& e : inside)
        EXPECT_EQ(shot.at(e.x, e.y), e.rgb) << "at " << e.x << "," << e.y;
    EXPECT_EQ(Mode(), before) << "the mode changed while the demo showed";

    Shell("xdotool key Escape");
    EXPECT_EQ(WaitExit(probe, 10), 0) << "Escape did not end the program with status 0";
    EXPECT_EQ(Mode(), before);

    probe = ShowProbe(shot);
    ASSERT_GT(probe, 0);
    kill(probe, SIGKILL);
    EXPECT_EQ(WaitExit(probe, 10), 128 + SIGKILL);
    EXPECT_EQ(Mode(), before);
}

// Over ssh or from a service: nothing to show on, so nothing is loaded or
// played; one line says why.
TEST(NoDisplay, OneLineAndStatusOne) {
    ChildResult run = RunChild(NINEFOLD_BIN, "/", {"DISPLAY=", "WAYLAND_DISPLAY="}, 20);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.status, 1);
    EXPECT_LT(run.seconds, 5);
    EXPECT_NE(run.err.find("no display"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Desktops, ScreenTest,
                         ::testing::Values(ScreenCase{"Bare800x600", true, false},
                                           ScreenCase{"BareNative", false, false},
                                           ScreenCase{"Openbox800x600", true, true},
                                           ScreenCase{"OpenboxNative", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
