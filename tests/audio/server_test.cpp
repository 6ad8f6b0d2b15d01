// Sound through a real PulseAudio server, started here in a private runtime
// folder with a 44.1 kHz null sink, recorded from the sink's monitor with
// parec. The player plays a signal in which every window names its own
// position, so each quarter second of the recording says which moment of the
// show was heard when. One run: in step with the clock from the start, after
// the player was stopped and continued, and after the server was restarted.
#include "platform/clock.h"
#include "tests/audio/server_signal.h"
#include "tests/support/child_process.h"
#include "tests/support/skip.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unordered_map>
#include <utility>

namespace {

constexpr double kFramesPerMs = 44.1;

void Nap(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// One recording of the monitor: its frames and the clock time of the first.
struct Recording {
    std::string path;
    double start_ms = 0;
};

// The server, the recorder and the player, and their folder; everything is
// stopped and removed when the test ends, passed or not.
class SoundServer {
  public:
    SoundServer() : dir_(MakeTempDir()) {
        std::ofstream(dir_ + "/daemon.pa")
            << "load-module module-null-sink sink_name=out rate=44100 channels=2\n"
            << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << dir_
            << "/native\nset-default-sink out\n";
        std::ofstream(dir_ + "/client.conf") << "autospawn = no\n";
        env_ = {"XDG_RUNTIME_DIR=" + dir_, "HOME=" + dir_, "PULSE_SERVER=unix:" + dir_ + "/native",
                "PULSE_CLIENTCONFIG=" + dir_ + "/client.conf", "SDL_AUDIODRIVER=pulseaudio"};
    }
    ~SoundServer() {
        for (int* pid : {&player_, &recorder_, &server_})
            Stop(pid, SIGKILL);
        std::filesystem::remove_all(dir_);
    }
    // Starts the server and parec (false when no sound is recorded within 5
    // s); the recording's first frame is placed from the file's growth.
    bool Start(Recording* r) {
        std::remove((dir_ + "/native").c_str());
        server_ = SpawnChild({"pulseaudio", "-n", "-F", dir_ + "/daemon.pa", "--daemonize=no",
                              "--exit-idle-time=-1", "--log-target=stderr"},
                             env_, dir_, dir_ + "/server.log");
        struct stat st;
        for (int i = 0; i < 500 && stat((dir_ + "/native").c_str(), &st) != 0; ++i)
            Nap(10);
        r->path = dir_ + "/rec" + std::to_string(++recordings_) + ".raw";
        recorder_ = SpawnChild({"parec", "-d", "out.monitor", "--raw", "--format=s16le",
                                "--rate=44100", "--channels=2", "--latency-msec=10", r->path},
                               env_, dir_);
        for (int i = 0; i < 500; ++i, Nap(10)) {
            if (stat(r->path.c_str(), &st) != 0 || st.st_size < 4 * 4410) continue;
            r->start_ms = MilliSecs() - st.st_size / 4 / kFramesPerMs;
            return true;
        }
        return false;
    }
    void StopServer() {
        Stop(&recorder_, SIGTERM);
        Stop(&server_, SIGTERM);
    }
    // Starts the player and returns its start mark (0: it found no output).
    int32_t Play(double seconds) {
        const std::string mark = dir_ + "/mark";
        player_ = SpawnChild({"./tests/audio/sound_player", std::to_string(seconds), mark}, env_);
        for (int i = 0; i < 500 && ReadWholeFile(mark).empty(); ++i)
            Nap(10);
        return std::atoi(ReadWholeFile(mark).c_str());
    }
    int PlayerPid() const { return player_; }
    int WaitPlayer() { // its exit status
        int status = WaitChild(player_, 10);
        player_ = status == -1 ? player_ : 0;
        return status;
    }

  private:
    static void Stop(int* pid, int sig) {
        if (*pid <= 0) return;
        kill(*pid, SIGCONT);
        kill(*pid, sig);
        if (WaitChild(*pid, 5) == -1) {
            kill(*pid, SIGKILL);
            WaitChild(*pid, 5);
        }
        *pid = 0;
    }
    std::string dir_;
    std::vector<std::string> env_;
    int server_ = 0, recorder_ = 0, player_ = 0, recordings_ = 0;
};

// One quarter second heard: when (ms after the mark) and how late against
// the show's own time for the frames in it (20 ms + position), in ms.
struct Heard {
    double at_ms;
    double late_ms;
};

// Places every quarter second of a recording that holds the signal.
std::vector<Heard> Place(const Recording& r, int32_t mark) {
    std::unordered_map<uint64_t, uint32_t> where;
    auto key = [](const int16_t* f) {
        uint64_t k = 0;
        for (int i = 0; i < 4; ++i)
            k = k << 16 | uint16_t(f[i]);
        return k;
    };
    std::vector<int16_t> signal(2 * kServerSignalFrames);
    for (uint32_t i = 0; i < uint32_t(2 * kServerSignalFrames); ++i)
        signal[i] = ServerSignal(i / 2, int(i % 2));
    for (uint32_t i = 0; i + 1 < uint32_t(kServerSignalFrames); ++i)
        where[key(&signal[2 * i])] = i;
    const std::string bytes = ReadWholeFile(r.path);
    const auto* rec = reinterpret_cast<const int16_t*>(bytes.data());
    const long frames = long(bytes.size() / 4), kWindow = 11025, kCheck = 441;
    std::vector<Heard> heard;
    for (long w = 0; w + kWindow <= frames; w += kWindow) {
        // The first frame pair in the window that is a whole run of the signal.
        for (long k = w; k < w + kWindow - kCheck; k += 7) {
            auto at = where.find(key(rec + 2 * k));
            if (at == where.end() || at->second + kCheck > uint32_t(kServerSignalFrames)) continue;
            if (!std::equal(rec + 2 * k, rec + 2 * (k + kCheck), &signal[2 * at->second])) continue;
            const double at_ms = r.start_ms - mark + k / kFramesPerMs;
            heard.push_back({at_ms, at_ms - (20 + at->second / kFramesPerMs)});
            break;
        }
    }
    return heard;
}

// The loudest sample of the first half millisecond of the jump after the
// longest silence once sound was heard: the server may first play out the
// tail it held from before the stop, then comes the sound placed afresh.
int JumpOnset(const Recording& r) {
    std::string bytes = ReadWholeFile(r.path);
    const auto* rec = reinterpret_cast<const int16_t*>(bytes.data());
    const long frames = long(bytes.size() / 4);
    long at = 0, longest = 0;
    for (long k = 0, run = -frames; k + 1 < frames; ++k) {
        run = rec[2 * k] || rec[2 * k + 1] ? 0 : run + 1;
        if (run > longest && (rec[2 * k + 2] || rec[2 * k + 3])) longest = run, at = k + 1;
    }
    // Follow the held tail while it runs on in the signal.
    uint32_t i = 0;
    while (i < uint32_t(kServerSignalFrames) &&
           (ServerSignal(i, 0) != rec[2 * at] || ServerSignal(i, 1) != rec[2 * at + 1]))
        ++i;
    for (; i < uint32_t(kServerSignalFrames) && at < frames && ServerSignal(i, 0) == rec[2 * at];
         ++i)
        ++at;
    int loudest = 0;
    for (long k = 2 * at; k < std::min(2 * at + 44, 2 * frames); ++k)
        loudest = std::max(loudest, std::abs(int(rec[k])));
    return loudest;
}

TEST(SoundServer, HeardInStepThroughAStoppedPlayerAndARestartedServer) {
    if (Shell("command -v pulseaudio && command -v parec").find("parec") == std::string::npos)
        SKIP_OR_FAIL_UNDER_CI("pulseaudio or parec not installed");
    SoundServer s;
    Recording first, second;
    ASSERT_TRUE(s.Start(&first)) << "the sound server or parec did not start";
    const int32_t mark = s.Play(12.5);
    ASSERT_NE(mark, 0) << "the player found no sound output";
    Nap(2500);
    kill(s.PlayerPid(), SIGSTOP);
    Nap(1000);
    const double continued_ms = MilliSecs() - mark;
    kill(s.PlayerPid(), SIGCONT);
    Nap(3000);
    s.StopServer();
    ASSERT_TRUE(s.Start(&second)) << "the sound server or parec did not start again";
    // A fresh null sink sleeps in two-second blocks until a stream asks for
    // less, so it plays nothing, for any client, until then: the server is
    // back when its sink renders, the recording's first frame.
    const double restarted_ms = second.start_ms - mark;
    EXPECT_EQ(s.WaitPlayer(), 0);
    s.StopServer();

    // Noise at up to 8192 fading in over 5 ms: a tenth of that after 0.5 ms
    // (twice that allowed: a fade's first frames may round to silence),
    // where a jump straight into it clicks.
    EXPECT_LT(JumpOnset(first), 8192 / 5);
    std::vector<Heard> heard = Place(first, mark), after = Place(second, mark);
    heard.insert(heard.end(), after.begin(), after.end());
    std::string all;
    for (const Heard& h : heard)
        all += "  at " + std::to_string(int(h.at_ms)) + " ms: " + std::to_string(h.late_ms) +
               " ms late\n";
    ASSERT_GE(heard.size(), 8u) << "too little of the signal recorded\n" << all;
    // Nothing of the start is cut: the first window heard holds the
    // signal's first frames (its position is the show time less 20 ms).
    EXPECT_LT(heard.front().at_ms - heard.front().late_ms - 20, 5) << "the start was cut\n" << all;
    // In step from the first note: the player, like the demo, starts once
    // the output knows its latency. Heard again within a second of each
    // mishap, then in step once the pulls show where the server is. After
    // a stall it plays out what it held from before, then the sound placed
    // afresh behind it: off only where its queue ran dry (a block caught on
    // its way to it plays first, or the queue starts early) until the
    // server's answer counts the refill; a restart is late by none after
    // the block written while the new sink slept.
    const std::pair<double, double> mishaps[] = {{continued_ms, 1000}, {restarted_ms, 200}};
    for (auto [back_ms, settle_ms] : mishaps) {
        auto resumed = std::find_if(heard.begin(), heard.end(),
                                    [&](const Heard& h) { return h.at_ms > back_ms - 20; });
        ASSERT_NE(resumed, heard.end()) << "never heard again after " << back_ms << " ms\n" << all;
        EXPECT_LT(resumed->at_ms - back_ms, 1000) << all;
        heard.erase(resumed, std::find_if(resumed, heard.end(), [&](const Heard& h) {
                        return h.at_ms > back_ms + settle_ms;
                    }));
    }
    // Then in step: within 30 ms of the show's time (a viewer accepts 40
    // early and 60 late; the rig places a window to 20 ms).
    for (const Heard& h : heard)
        EXPECT_LT(std::abs(h.late_ms), 30) << "at " << h.at_ms << " ms\n" << all;
    EXPECT_GT(heard.back().at_ms, 12000) << all;
}

} // namespace
