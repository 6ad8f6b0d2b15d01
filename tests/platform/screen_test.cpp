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
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
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

// The child's exit status (128 + signal when killed), or -1 if it ran on.
int WaitExit(pid_t pid, int limit_s) {
    for (int i = 0, status = 0; i < limit_s * 50; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

uint32_t Be32(const std::string& s, size_t at) {
    auto b = [&](size_t i) { return uint32_t(uint8_t(s[at + i])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

// The 1920x1080 root window as 0xRRGGBB (empty if it is not that): xwd
// writes a big-endian header, colour entries, then 32-bit pixels in the
// server's byte order.
std::vector<uint32_t> Screenshot() {
    std::string f = Shell("xwd -root -silent");
    if (f.size() < 100 || Be32(f, 16) != 1920 || Be32(f, 20) != 1080 || Be32(f, 44) != 32)
        return {};
    const size_t data = Be32(f, 0) + size_t(Be32(f, 76)) * 12, line = Be32(f, 48);
    if (f.size() < data + line * 1080) return {};
    std::vector<uint32_t> rgb(1920 * 1080);
    for (size_t y = 0; y < 1080; ++y)
        for (size_t x = 0; x < 1920; ++x) {
            uint32_t v = Be32(f, data + y * line + x * 4);
            rgb[y * 1920 + x] = (Be32(f, 28) ? v : __builtin_bswap32(v)) & 0xffffff;
        }
    return rgb;
}

struct Desktop {
    const char* name;
    bool has_800x600, window_manager;
};

class ScreenTest : public ::testing::TestWithParam<Desktop> {
  protected:
    void SetUp() override {
        if (Shell("for t in Xorg xwd xdotool xrandr; do command -v $t; done | wc -l") != "4\n")
            GTEST_SKIP() << "Xorg, xwd, xdotool or xrandr is not installed";
        dir_ = "/tmp/ninefold-screen-XXXXXX";
        if (!mkdtemp(&dir_[0])) GTEST_SKIP() << "no temporary directory";
        StartServer();
        if (server_ < 0) GTEST_SKIP() << "Xorg with the dummy driver did not start";
        if (GetParam().window_manager) StartWindowManager();
    }
    void TearDown() override {
        for (pid_t pid : {wm_, server_})
            if (pid > 0 && (kill(pid, SIGTERM), WaitExit(pid, 10) < 0))
                kill(pid, SIGKILL), WaitExit(pid, 5);
        Shell("rm -rf " + dir_);
    }

    // Sync and refresh ranges decide which modes the dummy screen offers:
    // 67-68 kHz at 59.5-60.5 Hz leaves only 1920x1080.
    void StartServer() {
        const bool small = GetParam().has_800x600;
        std::ofstream(dir_ + "/xorg.conf")
            << "Section \"Device\"\n Identifier \"d\"\n Driver \"dummy\"\n VideoRam "
               "65536\nEndSection\n"
            << "Section \"Monitor\"\n Identifier \"m\"\n"
            << (small ? " HorizSync 30-70\n VertRefresh 50-75\n"
                      : " HorizSync 67-68\n VertRefresh 59.5-60.5\n")
            << "EndSection\nSection \"Screen\"\n Identifier \"s\"\n Device \"d\"\n Monitor \"m\"\n"
            << " DefaultDepth 24\n SubSection \"Display\"\n  Depth 24\n  Modes \"1920x1080\""
            << (small ? " \"800x600\"" : "")
            << "\n  Virtual 1920 1080\n EndSubSection\nEndSection\n";
        int fds[2];
        if (pipe(fds) != 0) return;
        server_ = Spawn({"Xorg", "-config", dir_ + "/xorg.conf", "-noreset", "-nolisten", "tcp",
                         "-logfile", dir_ + "/xorg.log", "-displayfd", std::to_string(fds[1])});
        close(fds[1]);
        pollfd p = {fds[0], POLLIN, 0};
        char number[16] = {};
        if (server_ > 0 && poll(&p, 1, 20000) == 1 && read(fds[0], number, sizeof number - 1) > 0)
            setenv("DISPLAY", (":" + std::to_string(std::atoi(number))).c_str(), 1);
        else if (server_ > 0)
            kill(server_, SIGKILL), WaitExit(server_, 5), server_ = -1;
        close(fds[0]);
    }

    void StartWindowManager() {
        wm_ = Spawn({"openbox"});
        // The manager announces itself on the root window once it runs.
        for (int i = 0; i < 200; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(50)))
            if (Shell("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") !=
                std::string::npos)
                return;
        ADD_FAILURE() << "openbox did not start";
    }

    static std::string Mode() {
        std::string out = Shell("xrandr --current");
        size_t at = out.find("current ");
        return at == std::string::npos ? out : out.substr(at + 8, out.find(',', at) - at - 8);
    }

    // Starts the probe and waits until its frame is on screen.
    static pid_t ShowProbe(std::vector<uint32_t>& shot) {
        pid_t pid = Spawn({SCREEN_PROBE});
        for (int i = 0; i < 300 && pid > 0;
             ++i, std::this_thread::sleep_for(std::chrono::milliseconds(50)))
            if ((shot = Screenshot()).size() && shot[270 * 1920 + 600] == 0xff0000 &&
                shot[810 * 1920 + 1320] == 0xffffff)
                break;
        return pid;
    }

    std::string dir_;
    pid_t server_ = -1, wm_ = -1;
};

TEST_P(ScreenTest, FrameFillsTheCentred4To3AreaAndTheModeStays) {
    const std::string before = Mode();
    ASSERT_EQ(before, "1920 x 1080");
    ASSERT_EQ(Shell("xrandr --current").find("800x600") != std::string::npos,
              GetParam().has_800x600)
        << "the test server's modes are not as intended";

    std::vector<uint32_t> shot;
    pid_t probe = ShowProbe(shot);
    ASSERT_GT(probe, 0);
    ASSERT_FALSE(shot.empty());
    // 800x600 scaled by 1080/600 = 1.8 is 1440x1080, from x = 240 to 1680.
    // Three pixels of slack where the scaling filter blends neighbours.
    int bar_pixels_lit = 0;
    for (int y = 0; y < 1080; ++y)
        for (int x : {0, 120, 236, 1683, 1800, 1919})
            bar_pixels_lit += shot[y * 1920 + x] != 0;
    EXPECT_EQ(bar_pixels_lit, 0);
    const int inside[][3] = {{243, 3, 0xff0000},     {956, 536, 0xff0000},  {964, 3, 0x00ff00},
                             {1676, 536, 0x00ff00},  {243, 1076, 0x0000ff}, {956, 544, 0x0000ff},
                             {1676, 1076, 0xffffff}, {964, 544, 0xffffff}};
    for (const auto& e : inside)
        EXPECT_EQ(shot[e[1] * 1920 + e[0]], uint32_t(e[2])) << "at " << e[0] << "," << e[1];
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

INSTANTIATE_TEST_SUITE_P(Desktops, ScreenTest,
                         ::testing::Values(Desktop{"Bare800x600", true, false},
                                           Desktop{"BareNative", false, false},
                                           Desktop{"Openbox800x600", true, true},
                                           Desktop{"OpenboxNative", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

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

} // namespace
