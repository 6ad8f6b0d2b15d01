// Frame times of every section, start-up time and peak memory of the real
// main program at 800x600, run in-process under a scripted clock on a hidden
// display (no vertical-blank wait). Each frame is timed from one presentation
// to the next, with glFinish first so that the renderer's work counts. The
// baseline is a frame that only clears and presents, measured in the same run.
// Usage: frame_bench [frames per section] [--changes] [--hashes FILE]   (under X)
// With --breakdown (started by the main run as a fresh process) it times the
// start-up steps one by one instead; with --hashes FILE it also writes one
// checksum of the presented picture per frame, to compare two builds' pixels.
#include "demo/demo.h"
#include "fx/fx.h"
#include "platform/audio/audio.h"
#include "platform/clock.h"
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
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
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
const size_t kFirstFrames = 4; // printed for each section

// Also read by the audio thread where there is one: the clock is an atomic.
struct Bench {
    std::atomic<int32_t> now{kBase};
    std::vector<int32_t> times; // demo time of frame k
    std::vector<double> frame_ms;
    std::vector<double> cpu_ms; // CPU time of all threads (the renderer's included)
    int frames = 0;
    Clock::time_point last;
    double last_cpu = 0;
    Clock::time_point first_flip;
    double first_flip_cpu = 0;
    std::FILE* hashes = nullptr;
};
Bench bench;

// Process CPU time of all threads: unlike wall time, not inflated when other
// programs share the cores.
double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000 + ts.tv_nsec * 1e-6;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

int32_t ScriptedClock(void*) {
    return bench.now.load();
}

// FNV-1a over the whole back buffer, read outside the timed span.
void WriteHash(int frame) {
    static std::vector<uint8_t> pixels(800 * 600 * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : pixels)
        h = (h ^ b) * 1099511628211ull;
    const int32_t t = frame < int(bench.times.size()) ? bench.times[frame] : kAfterMs;
    std::fprintf(bench.hashes, "%d %d %016llx\n", frame, t, (unsigned long long)h);
}

void OnFlip(void*) {
    glFinish();
    const Clock::time_point now = Clock::now();
    const double cpu = CpuMs();
    const int k = bench.frames++;
    if (k == 0) {
        bench.first_flip = now;
        bench.first_flip_cpu = cpu;
    } else {
        bench.frame_ms.push_back(Ms(now - bench.last));
        bench.cpu_ms.push_back(cpu - bench.last_cpu);
    }
    bench.last = now;
    bench.last_cpu = cpu;
    if (bench.hashes) {
        WriteHash(k);
        bench.last = Clock::now(); // the read-back is not the frame's cost
        bench.last_cpu = CpuMs();
    }
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

// Spread over each section, or with --changes at 60 Hz from each section's
// start, as the show reaches it: its first frames are where first uses cost.
void BuildScript(int per_section, bool at_changes) {
    bench.times.clear();
    for (int s = 0; s < kSectionCount - 1; ++s) {
        const Section& sec = kSections[s];
        const int64_t span =
            at_changes ? int64_t(per_section) * 1000 / 60 : sec.end_ms - sec.begin_ms;
        for (int i = 0; i < per_section; ++i)
            bench.times.push_back(sec.begin_ms + int32_t(span * i / per_section));
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
    double median = 0, worst = 0, cpu_median = 0;
};

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

Stats Summarise(const std::vector<double>& wall, const std::vector<double>& cpu) {
    Stats s;
    s.n = int(wall.size());
    if (wall.empty()) return s;
    s.median = Median(wall);
    s.worst = *std::max_element(wall.begin(), wall.end());
    s.cpu_median = Median(cpu);
    return s;
}

void PrintRow(const char* name, const Stats& st, const Stats& base) {
    std::printf("%-28s %6d %9.2f %9.2f %7.1f %9.2f%s\n", name, st.n, st.median, st.worst,
                base.median > 0 ? st.median / base.median : 0.0, st.cpu_median,
                st.median > 1000.0 / 60 ? "  over 16.7 ms" : "");
}

// Frames that clear, draw one thing and present, through the same hook.
Stats TimeFrames(int frames, void (*draw)()) {
    bench.times.clear();
    bench.frame_ms.clear();
    bench.cpu_ms.clear();
    bench.frames = 0;
    for (int i = 0; i <= frames; ++i) {
        Cls();
        draw();
        Flip(-1);
    }
    return Summarise(bench.frame_ms, bench.cpu_ms);
}

// Section 2's ring alone: 1800 lines of width 4, added.
void DrawRingLines() {
    SetBlend(kLightBlend);
    SetAlpha(0.4f);
    SetLineWidth(4);
    for (int i = 0; i < 360; ++i)
        for (float div : {4.0f, 2.0f, 1.0f, 0.5f, 0.25f}) {
            const float a = float(i) * 0.017453292f, b = a + 0.2f;
            DrawLine(100 * std::sin(a) / div, 100 * std::cos(a) / div, 120 * std::sin(b) / div,
                     120 * std::cos(b) / div, 1);
        }
}

struct Part {
    const char* name;
    void (*draw)();
};
// Each effect as its sections call it, on an empty frame.
const Part kParts[] = {
    {"clear + present (baseline)", [] {}},
    {"ring lines (section 2)", DrawRingLines},
    {"fx_kaleido (section 2)", [] { fx_kaleido(FX_ADD, 1.0f); }},
    {"fx_shine x5 (section 2)", [] { fx_shine(0.2f, 0.2f, 0.2f, 0.04f, 5.0f); }},
    {"fx_shine x3 (section 7)", [] { fx_shine(0.05f, 0.05f, 0.05f, 0.03f, 3.0f); }},
    {"fx_separatergb (2, 8)", [] { fx_separatergb(0.02f, 0); }},
    {"fx_squareblur (4, 6)",
     [] { fx_squareblur(40.0f, FX_LINEAR, FX_OVER_SHARP, 0.5f, 0.5f, 0.5f); }},
};
const int kPartCount = int(sizeof kParts / sizeof kParts[0]);
const int kScreenSizes = 2; // the scaling pass onto an 800x600 and a 1920x1080 screen

// On a display opened as the demo opens it, with its centred coordinates;
// out has kScreenSizes entries more than kParts, for the scaling pass.
void MeasureParts(int frames, Stats* out) {
    SetHiddenDisplay(true);
    SetGraphicsDriver(GL2DDriver(), kDefaultGraphicsFlags);
    Graphics(800, 600, 32, 0, GRAPHICS_BACKBUFFER | GRAPHICS_DEPTHBUFFER);
    SetCentredProjection(GraphicsWidth(), GraphicsHeight());
    fx_init(800, 600);
    for (int i = 0; i < kPartCount; ++i)
        out[i] = TimeFrames(frames, kParts[i].draw);
    EndGraphics();
    // The same empty frame presented on a screen of 800x600 and of
    // 1920x1080: against the baseline, the cost of the scaling pass.
    const int screens[kScreenSizes][2] = {{800, 600}, {1920, 1080}};
    for (int i = 0; i < kScreenSizes; ++i) {
        SetHiddenDisplay(true, screens[i][0], screens[i][1]);
        Graphics(800, 600, 32, 0, GRAPHICS_BACKBUFFER | GRAPHICS_DEPTHBUFFER);
        out[kPartCount + i] = TimeFrames(frames, [] {});
        EndGraphics();
    }
    SetHiddenDisplay(true);
}

int FrameRun(int per_section, bool at_changes, const char* hash_path, const char* self) {
    const double to_main_s = SecondsSinceProcessStart();
    const Clock::time_point main_start = Clock::now();
    const double start_cpu = CpuMs();
    BuildScript(per_section, at_changes);
    if (hash_path && !(bench.hashes = std::fopen(hash_path, "w"))) {
        std::perror(hash_path);
        return 1;
    }
    SetAudioDriver("Manual");
    SetHiddenDisplay(true);
    SetMilliSecsSource(ScriptedClock, nullptr);
    SetFlipHook(OnFlip, nullptr);
    DemoMain();
    const long hwm_kb = StatusKb("VmHWM:");
    if (bench.hashes) std::fclose(bench.hashes), bench.hashes = nullptr;
    if (bench.frames == 0) {
        std::fprintf(stderr, "frame_bench: the demo presented no frame (is data/ here?)\n");
        return 1;
    }
    std::vector<double> wall[kSectionCount], cpu[kSectionCount];
    for (int k = 1; k < bench.frames; ++k) {
        const int32_t prev = k - 1 < int(bench.times.size()) ? bench.times[k - 1] : kAfterMs;
        wall[SectionOfPrevious(prev)].push_back(bench.frame_ms[k - 1]);
        cpu[SectionOfPrevious(prev)].push_back(bench.cpu_ms[k - 1]);
    }
    const int demo_frames = bench.frames;
    // Before the parts below reuse the frame counter.
    const double first = Ms(bench.first_flip - main_start);
    const double first_cpu = bench.first_flip_cpu - start_cpu;
    Stats parts[kPartCount + kScreenSizes];
    MeasureParts(60, parts);
    const Stats base = parts[0];

    std::printf("frame_bench: 800x600, %d frames presented, hidden display, no vsync\n",
                demo_frames);
    std::printf("%-28s %6s %9s %9s %7s %9s\n", "section", "frames", "median", "worst", "x base",
                "cpu med");
    for (int s = 0; s < kSectionCount; ++s)
        PrintRow(kSections[s].name, Summarise(wall[s], cpu[s]), base);
    std::printf("%-28s %6s %9s %9s %7s %9s  (alone, on an empty frame)\n", "part", "frames",
                "median", "worst", "x base", "cpu med");
    for (int i = 0; i < kPartCount; ++i)
        PrintRow(kParts[i].name, parts[i], base);
    PrintRow("+ scaling onto 800x600", parts[kPartCount], base);
    PrintRow("+ scaling onto 1920x1080", parts[kPartCount + 1], base);
    std::printf("(times in ms; cpu med: median CPU time of all threads per frame)\n");
    // Where first uses hide: the frames that open each section, wall (cpu).
    std::printf("first frames of each section (of section 1, after its first), ms wall (cpu):\n");
    for (int s = 0; s < kSectionCount; ++s) {
        std::printf("  %-26s", kSections[s].name);
        for (size_t i = 0; i < kFirstFrames && i < wall[s].size(); ++i)
            std::printf(" %7.1f (%5.1f)", wall[s][i], cpu[s][i]);
        std::printf("\n");
    }
    std::printf("start-up: process start to main %.0f ms (10 ms steps), main to first frame "
                "%.0f ms (%.0f ms CPU), total %.0f ms\n",
                to_main_s * 1000, first, first_cpu, to_main_s * 1000 + first);
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
    const long rss0 = StatusKb("VmRSS:");
    Clock::time_point t0 = Clock::now();
    SetGraphicsDriver(GL2DDriver(), kDefaultGraphicsFlags);
    Graphics(800, 600, 32, 0, GRAPHICS_BACKBUFFER | GRAPHICS_DEPTHBUFFER);
    Clock::time_point t1 = Clock::now();
    const long rss1 = StatusKb("VmRSS:");
    set_path("data/");
    fx_init(800, 600);
    Clock::time_point t2 = Clock::now();
    scene* s1 = load_scene("scene1.obj");
    scene* s2 = load_scene("scene2.obj");
    Clock::time_point t3 = Clock::now();
    TSound* music = LoadSound("data/music.ogg", 0);
    Clock::time_point t4 = Clock::now();
    const long rss4 = StatusKb("VmRSS:");
    int pictures = 0;
    TImage* images[30] = {};
    for (int slot = 0; slot < 30; ++slot) {
        char path[32];
        std::snprintf(path, sizeof path, "data/img%02d.png", slot);
        images[slot] = LoadImage(path, DEFAULTIMAGEFLAGS);
        pictures += images[slot] != nullptr;
    }
    Clock::time_point t5 = Clock::now();
    const long rss5 = StatusKb("VmRSS:");
    // Textures are made when a picture is first drawn, inside the early frames.
    for (TImage* image : images)
        if (image) DrawImage(image, 0, 0, 0);
    glFinish();
    Clock::time_point t6 = Clock::now();
    const long rss6 = StatusKb("VmRSS:");
    EndGraphics();
    if (!s1 || !s2 || !music || pictures != 30) {
        std::fprintf(stderr, "frame_bench: start-up data missing or unreadable in data/\n");
        return 1;
    }
    std::printf("start-up breakdown (fresh process): to main %.0f ms, display %.1f ms, "
                "fx_init %.1f ms, scenes %.1f ms, soundtrack decode %.1f ms (%.1f s of audio), "
                "30 pictures %.1f ms; their textures on first draw %.1f ms\n",
                to_main_ms, Ms(t1 - t0), Ms(t2 - t1), Ms(t3 - t2), Ms(t4 - t3),
                double(music->sample->length) / music->sample->rate, Ms(t5 - t4), Ms(t6 - t5));
    std::printf("resident memory (fresh process): %.1f MB at main, %.1f MB with the display, "
                "%.1f MB with scenes and soundtrack, %.1f MB with the pictures, %.1f MB with "
                "their textures\n",
                rss0 / 1024.0, rss1 / 1024.0, rss4 / 1024.0, rss5 / 1024.0, rss6 / 1024.0);
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
    int per_section = 30;
    bool at_changes = false;
    const char* hash_path = nullptr;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--hashes") == 0 && i + 1 < argc)
            hash_path = argv[++i];
        else if (std::strcmp(argv[i], "--changes") == 0)
            at_changes = true;
        else
            per_section = std::max(2, std::atoi(argv[i]));
    return FrameRun(per_section, at_changes, hash_path, argv[0]);
}
