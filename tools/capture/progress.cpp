#include "tools/capture/progress.h"

#include "tools/capture/frames.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

void StartProgress(Progress& p, int fps, int64_t expected_frames) {
    p.fps = fps;
    p.expected_frames = expected_frames;
    p.started = p.last = std::chrono::steady_clock::now();
}

void ShowProgress(Progress& p, int64_t frames, bool final_line) {
    using namespace std::chrono;
    const auto now = steady_clock::now();
    const bool terminal = isatty(2);
    if (!final_line && now - p.last < milliseconds(terminal ? 250 : 10000)) return;
    p.last = now;
    const double wall = std::max(1e-3, duration<double>(now - p.started).count());
    const double fps = double(frames) / wall;
    const double speed = FrameTimeMs(frames, p.fps) / 1000.0 / wall;
    const int64_t left = std::max<int64_t>(0, p.expected_frames - frames);
    const int eta = fps > 0 ? int(double(left) / fps + 0.5) : 0;
    std::fprintf(stderr, "%sframe %lld/%lld  %.1f fps  %.2fx real time  %d:%02d left   ",
                 terminal ? "\r" : "", static_cast<long long>(frames),
                 static_cast<long long>(p.expected_frames), fps, speed, eta / 60, eta % 60);
    if (final_line || !terminal) std::fputc('\n', stderr);
    std::fflush(stderr);
}
