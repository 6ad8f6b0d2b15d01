// Frame times of every section, start-up time and peak memory of the real
// main program at 800x600, run in-process under a scripted clock on a hidden
// display (no vertical-blank wait). Each frame is timed from one presentation
// to the next, with glFinish first so that the renderer's work counts. The
// baseline is a frame that only clears and presents, measured in the same run.
// Usage: frame_bench [frames per section]   (run where data/ is, under X)
// With --breakdown (started by the main run as a fresh process) it times the
// start-up steps one by one instead.
#include "demo/demo.h"
#include "fx/fx.h"
#include "platform/audio/audio.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"
#include "scene/scene.h"

#include <GL/gl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Section {
    const char* name;
    int32_t begin_ms, end_ms; // the section draws while the previous t < end_ms
};
const Section kSections[] = {
    {"1 opening pictures", 0, 15900},       {"2 line ring + effects", 15900, 32045},
    {"3 captions", 32045, 47974},           {"4 3D scenes", 47974, 64030},
    {"5 picture overlays", 64030, 80000},   {"6 zooming numbers", 80000, 96000},
    {"7 shrinking numbers", 96000, 112000}, {"8 closing picture", 112000, 135000},
    {"9 ending", 135000, 136000},
};
const int kSectionCount = int(sizeof kSections / sizeof kSections[0]);
const int32_t kBase = 1234567; // any reading: demo time is relative to the start mark
const int32_t kAfterMs = 136000;

// Also read by the audio thread where there is one: the clock is an atomic.
struct Bench {
    std::atomic<int32_t> now{kBase};
    std::vector<int32_t> times; // demo time of frame k
    std::vector<int> section;   // section drawing frame k
    std::vector<double> frame_ms;
    int frames = 0;
    Clock::time_point last;
    Clock::time_point first_flip;
};
Bench bench;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

int32_t ScriptedClock(void*) {
    return bench.now.load();
}

void OnFlip(void*) {
    glFinish();
    const Clock::time_point now = Clock::now();
    const int k = bench.frames++;
    if (k == 0)
        bench.first_flip = now;
    else
        bench.frame_ms.push_back(Ms(now - bench.last));
    bench.last = now;
    const int next = k + 1;
    const int32_t t = next < int(bench.times.size()) ? bench.times[next] : kAfterMs;
    bench.now.store(kBase + t);
}

// The section loop tests the previous frame's t, so frame k belongs to the
// section whose end lies above times[k-1]; frames past the list are section 9's.
int SectionOfPrevious(int32_t prev_t) {
    for (int s = 0; s < kSectionCount - 1; ++s)
        if (prev_t < kSections[s].end_ms) return s;
    return kSectionCount - 1;
}

void BuildScript(int per_section) {
    bench.times.clear();
    for (int s = 0; s < kSectionCount - 1; ++s) {
        const Section& sec = kSections[s];
        for (int i = 0; i < per_section; ++i)
            bench.times.push_back(sec.begin_ms +
                                  int32_t(int64_t(sec.end_ms - sec.begin_ms) * i / per_section));
    }
}

// Seconds from the process start (as the kernel records it, 10 ms steps) to now.
double SecondsSinceProcessStart() {
    std::FILE* f = std::fopen("/proc/self/stat", "r");
    if (!f) return 0;
    char buf[1024] = {};
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = 0;
    const char* p = std::strrchr(buf, ')'); // the command name may hold blanks
    if (!p) return 0;
    unsigned long long start_ticks = 0;
    int field = 2;
    for (const char* q = p + 1; *q && field < 22; ++q)
        if (*q == ' ' && ++field == 22) start_ticks = std::strtoull(q + 1, nullptr, 10);
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9 - double(start_ticks) / sysconf(_SC_CLK_TCK);
}

long StatusKb(const char* key) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    const size_t len = std::strlen(key);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, len) == 0) kb = std::atol(line + len + 1);
    std::fclose(f);
    return kb;
}

struct Stats {
    int n = 0;
    double median = 0, worst = 0;
};

Stats Summarise(std::vector<double> v) {
    Stats s;
    s.n = int(v.size());
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    s.median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    s.worst = v.back();
    return s;
}

// A frame that only clears and presents, through the same hook.
Stats MeasureBaseline(int frames) {
    bench.times.clear();
    bench.frame_ms.clear();
    bench.frames = 0;
    SetHiddenDisplay(true);
    SetGraphicsDriver(GL2DDriver(), 2);
    Graphics(800, 600, 32, 0, 10);
    for (int i = 0; i <= frames; ++i) {
        Cls();
        Flip(-1);
    }
    EndGraphics();
    return Summarise(bench.frame_ms);
}

int FrameRun(int per_section, const char* self) {
    const double to_main_s = SecondsSinceProcessStart();
    const Clock::time_point main_start = Clock::now();
    BuildScript(per_section);
    SetAudioDriver("Manual");
    SetHiddenDisplay(true);
    SetMilliSecsSource(ScriptedClock, nullptr);
    SetFlipHook(OnFlip, nullptr);
    DemoMain();
    const long hwm_kb = StatusKb("VmHWM:");
    if (bench.frames == 0) {
        std::fprintf(stderr, "frame_bench: the demo presented no frame (is data/ here?)\n");
        return 1;
    }
    std::vector<std::vector<double>> per(kSectionCount);
    for (int k = 1; k < bench.frames; ++k) {
        const int32_t prev = k - 1 < int(bench.times.size()) ? bench.times[k - 1] : kAfterMs;
        per[SectionOfPrevious(prev)].push_back(bench.frame_ms[k - 1]);
    }
    const int demo_frames = bench.frames;
    const Stats base = MeasureBaseline(100);

    std::printf("frame_bench: 800x600, %d frames presented, hidden display, no vsync\n",
                demo_frames);
    std::printf("baseline (Cls + Flip): median %.2f ms, worst %.2f ms over %d frames\n",
                base.median, base.worst, base.n);
    std::printf("%-24s %6s %11s %10s %9s\n", "section", "frames", "median ms", "worst ms",
                "x base");
    for (int s = 0; s < kSectionCount; ++s) {
        const Stats st = Summarise(per[s]);
        std::printf("%-24s %6d %11.2f %10.2f %9.1f%s\n", kSections[s].name, st.n, st.median,
                    st.worst, base.median > 0 ? st.median / base.median : 0.0,
                    st.median > 1000.0 / 60 ? "   over 16.7 ms" : "");
    }
    const double first = Ms(bench.first_flip - main_start);
    std::printf("start-up: process start to main %.0f ms (10 ms steps), main to first frame "
                "%.0f ms, total %.0f ms\n",
                to_main_s * 1000, first, to_main_s * 1000 + first);
    std::printf("peak memory (VmHWM after the whole run): %.1f MB\n", hwm_kb / 1024.0);
    std::fflush(stdout);

    // The breakdown runs in a fresh process, so that it starts as cold as the demo.
    char arg[] = "--breakdown";
    char* child_argv[] = {const_cast<char*>(self), arg, nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, child_argv, environ) != 0) {
        std::fprintf(stderr, "frame_bench: cannot start the breakdown run\n");
        return 1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// The steps of start-up in the demo's order, each timed on its own.
int Breakdown() {
    const double to_main_ms = SecondsSinceProcessStart() * 1000;
    SetAudioDriver("Manual");
    SetHiddenDisplay(true);
    Clock::time_point t0 = Clock::now();
    SetGraphicsDriver(GL2DDriver(), 2);
    Graphics(800, 600, 32, 0, 10);
    Clock::time_point t1 = Clock::now();
    set_path("data/");
    fx_init(800, 600);
    Clock::time_point t2 = Clock::now();
    scene* s1 = load_scene("scene1.obj");
    scene* s2 = load_scene("scene2.obj");
    Clock::time_point t3 = Clock::now();
    TSound* music = LoadSound("data/music.ogg", 0);
    Clock::time_point t4 = Clock::now();
    int pictures = 0;
    for (int slot = 0; slot < 30; ++slot) {
        char path[32];
        std::snprintf(path, sizeof path, "data/img%02d.png", slot);
        pictures += LoadImage(path, -1) != nullptr;
    }
    Clock::time_point t5 = Clock::now();
    EndGraphics();
    if (!s1 || !s2 || !music || pictures != 30) {
        std::fprintf(stderr, "frame_bench: start-up data missing or unreadable in data/\n");
        return 1;
    }
    std::printf("start-up breakdown (fresh process): to main %.0f ms, display %.1f ms, "
                "fx_init %.1f ms, scenes %.1f ms, soundtrack decode %.1f ms (%.1f s of audio), "
                "30 pictures %.1f ms\n",
                to_main_ms, Ms(t1 - t0), Ms(t2 - t1), Ms(t3 - t2), Ms(t4 - t3),
                double(music->sample->length) / music->sample->rate, Ms(t5 - t4));
    return 0;
}

// The demo reads data/ from the working directory: use the build directory
// above this program when the working directory has none.
void FindData() {
    if (access("data/music.ogg", R_OK) == 0) return;
    char exe[4096] = {};
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return;
    std::string dir(exe, size_t(n));
    dir = dir.substr(0, dir.rfind('/'));
    dir = dir.substr(0, dir.rfind('/'));
    if (chdir(dir.c_str()) != 0) std::perror(dir.c_str());
}

} // namespace

int main(int argc, char** argv) {
    FindData();
    if (argc > 1 && std::strcmp(argv[1], "--breakdown") == 0) return Breakdown();
    const int per_section = argc > 1 ? std::max(2, std::atoi(argv[1])) : 30;
    return FrameRun(per_section, argv[0]);
}
