#include "tools/capture/capture.h"

#include "tools/capture/frames.h"
#include "tools/capture/progress.h"
#include "tools/capture/read_back.h"
#include "tools/capture/sound_track.h"
#include "tools/capture/writer.h"

#include "demo/demo.h"
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/graphics.h"
#include "platform/keyboard.h"
#include "platform/stop_signal.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

// Any fixed reading will do (demo time is relative to the start mark), but
// section 2's split angle follows the raw reading: this one gives a clear,
// moving colour separation.
const int32_t kClockBase = 600000;
// A stop signal ends the demo at its next frame; when none comes within
// this, the watchdog removes the unfinished outputs and exits by itself.
const int kStopGraceMs = 700;
// Once the main thread is naming the outputs, the watchdog leaves the exit
// to it for this long (renames take microseconds).
const int kNamingGraceSeconds = 5;

struct CaptureRun {
    const CaptureOptions* options = nullptr;
    std::atomic<int32_t> now{kClockBase};
    int64_t frame = 0;        // frames presented so far
    int64_t last_needed = -1; // stop after this frame (-1: run to the end)
    int64_t written = 0;
    std::string error; // the rendering thread's own failure
    ReadBack read_back;
    SoundTrack sound;
    Progress progress;
    JobQueue queue;
    Outputs out;
};

// The flip hook, the clock and the stop handlers see it for the whole run.
CaptureRun capture_run;
std::atomic<int> stop_signal{0};
// Who prints the last line and ends the process; whoever comes second
// leaves it to the first.
enum ExitOwner { kNobodyYet, kMainThread, kWatchdog };
std::atomic<int> exit_owner{kNobodyYet};
// The status the main thread decided on, for the watchdog (-1: none yet).
std::atomic<int> decided_status{-1};

bool Stopping() {
    return stop_signal.load() != 0;
}

bool ClaimExit(ExitOwner who) {
    int none = kNobodyYet;
    return exit_owner.compare_exchange_strong(none, who);
}

int SignalStatus(int sig) {
    return 128 + sig;
}

std::string InterruptedLine(int sig) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "ninefold_capture: interrupted at %.1f s of demo time by SIG%s; "
                  "unfinished outputs removed\n",
                  (capture_run.now.load() - kClockBase) / 1000.0, sigabbrev_np(sig));
    return line;
}

// Escape ends the demo through its common exit after the current frame.
void EndDemo() {
    InjectKeyDown(kEscapeKey);
    InjectKeyUp(kEscapeKey);
}

// Main thread, at the next frame or key test; the writer stops writing.
void StopAtPoll(int sig) {
    int none = 0;
    stop_signal.compare_exchange_strong(none, sig);
    EndDemo();
}

// Watchdog thread: no frame came in time (a load, a blocked write, ffmpeg's
// last seconds).
void StopLate(int sig) {
    if (!ClaimExit(kWatchdog)) {
        sleep(kNamingGraceSeconds); // the main thread is finishing; it ends the process first
        const int status = decided_status.load();
        _exit(status >= 0 ? status : SignalStatus(sig));
    }
    if (const pid_t ffmpeg = capture_run.out.video.encoder.pid.load(); ffmpeg > 0)
        kill(ffmpeg, SIGKILL);
    RemoveUnfinished(capture_run.out);
    const std::string line = InterruptedLine(sig);
    (void)!write(2, line.data(), line.size());
    _exit(SignalStatus(sig));
}

int32_t VirtualClock(void* user) {
    return static_cast<CaptureRun*>(user)->now.load();
}

bool IsWritten(const CaptureRun& r, int32_t t) {
    const CaptureOptions& o = *r.options;
    if (!o.frames_at()) return o.from_ms <= t && t <= o.to_ms;
    for (int32_t at : o.frames_at_ms)
        if (FirstFrameAtOrAfter(at, o.fps) == r.frame) return true;
    return false;
}

void OnFlip(void* user) {
    auto& r = *static_cast<CaptureRun*>(user);
    const CaptureOptions& o = *r.options;
    const int32_t t = FrameTimeMs(r.frame, o.fps);
    const int32_t next_t = FrameTimeMs(r.frame + 1, o.fps);
    const bool written = IsWritten(r, t);
    const bool last =
        r.frame == r.last_needed || !r.error.empty() || r.out.failed.load() || Stopping();
    bool mapped = true;
    if (written) {
        mapped = ReadFrameBack(r.read_back, r.queue, r.frame, t);
        ++r.written;
    }
    MixInterval(r.sound, r.now, kClockBase, t, next_t, o.audio && (o.frames_at() || written),
                r.queue);
    // The ending's frames are read back at once: any of them may be the last
    // before the demo closes the display, and with it the pixel buffers.
    if (last || t >= kEndingStartMs) mapped = FinishReadBack(r.read_back, r.queue) && mapped;
    if (!mapped && r.error.empty()) r.error = "cannot map the read-back pixel buffer";
    r.now.store(kClockBase + next_t);
    if (last) EndDemo();
    ++r.frame;
    ShowProgress(r.progress, r.frame, false);
}

// The last frame the options need, or -1 when the capture runs to the end.
int64_t LastNeededFrame(const CaptureOptions& o) {
    if (o.frames_at()) {
        int64_t last = 0;
        for (int32_t at : o.frames_at_ms)
            last = std::max(last, FirstFrameAtOrAfter(at, o.fps));
        return last;
    }
    if (o.to_ms == INT32_MAX) return -1;
    int64_t k = FirstFrameAtOrAfter(o.to_ms, o.fps);
    return FrameTimeMs(k, o.fps) > o.to_ms ? k - 1 : k;
}

// What a capture without its MP4 left behind.
std::string WrittenInstead(const CaptureRun& r) {
    const CaptureOptions& o = *r.options;
    std::string list;
    auto add = [&](const std::string& what) { list += (list.empty() ? "" : ", ") + what; };
    if (o.png && r.written > 0) add("frame_*.png");
    if (!o.y4m_path.empty()) add(o.y4m_path == "-" ? "y4m on stdout" : o.y4m_path);
    if (o.audio) add("ninefold.wav");
    if (!r.out.streams.sheet.thumbs.empty()) add("contact_sheet.png");
    return list.empty() ? "nothing else" : list;
}

int Failed(const std::string& why) {
    RemoveUnfinished(capture_run.out);
    std::fprintf(stderr, "ninefold_capture: %s; unfinished outputs removed\n", why.c_str());
    return kCaptureFailed;
}

int Interrupted(int sig) {
    RemoveUnfinished(capture_run.out);
    std::fputs(InterruptedLine(sig).c_str(), stderr);
    return SignalStatus(sig);
}

// The run's first failure, empty when every frame asked for is written.
std::string Failure(const CaptureRun& r) {
    const CaptureOptions& o = *r.options;
    if (!r.error.empty()) return r.error;
    if (!r.out.error.empty()) return r.out.error;
    if (r.frame == 0) return "the demo stopped before its first frame";
    if (o.frames_at() && r.frame <= r.last_needed) {
        char why[128];
        std::snprintf(why, sizeof why,
                      "--frames-at: the demo ended at %.3f s, before the last time asked for",
                      FrameTimeMs(r.frame - 1, o.fps) / 1000.0);
        return why;
    }
    return "";
}

void PrintSummary(const CaptureRun& r) {
    const CaptureOptions& o = *r.options;
    std::fprintf(stderr, "ninefold_capture: %lld frames drawn, %lld written to %s\n",
                 static_cast<long long>(r.frame), static_cast<long long>(r.written),
                 o.out_dir.c_str());
    if (o.frames_at()) return;
    if (r.out.video.on) {
        std::fprintf(stderr, "ninefold_capture: video: %s/ninefold.mp4%s\n", o.out_dir.c_str(),
                     o.master ? " and ninefold.mkv" : "");
        return;
    }
    // Without ffmpeg the lossless outputs are what was asked for.
    std::fprintf(stderr, "ninefold_capture: %s: no MP4; written instead: %s\n",
                 r.out.video.none_because.c_str(), WrittenInstead(r).c_str());
}

// The exit is the main thread's from here on, unless the watchdog took it:
// then this thread waits for it to end the process.
void TakeExit() {
    if (!ClaimExit(kMainThread))
        for (;;)
            pause();
}

// After the demo, every output closed: named, or removed. A signal before
// the naming starts removes them; one during it lets it complete.
int Conclude() {
    TakeExit();
    PollStopSignal(); // no frame polls any more
    if (const int sig = stop_signal.load()) return Interrupted(sig);
    const std::string failure = Failure(capture_run);
    if (!failure.empty()) return Failed(failure);
    decided_status = kCaptureDone;
    if (!NameOutputs(capture_run.out)) {
        decided_status = kCaptureFailed;
        return Failed(capture_run.out.error);
    }
    UnlockOutputDir(capture_run.out.files.lock);
    PrintSummary(capture_run);
    PollStopSignal();
    if (const int sig = stop_signal.load())
        std::fprintf(stderr,
                     "ninefold_capture: SIG%s came while the outputs were named; they "
                     "are complete\n",
                     sigabbrev_np(sig));
    return kCaptureDone;
}

// Before the first frame: the directory, the names, the files and ffmpeg.
// A failure, or a signal that came meanwhile, ends the run here; -1 goes on.
int Prepare(CaptureRun& r) {
    const bool opened = OpenOutputs(r.out);
    PollStopSignal(); // no frame polls yet
    if (opened && !Stopping()) return -1;
    TakeExit();
    if (r.out.video.on) StopEncoder(r.out.video.encoder);
    if (const int sig = stop_signal.load()) return Interrupted(sig);
    return Failed(r.out.error);
}

} // namespace

int RunCapture(const CaptureOptions& o) {
    CaptureRun& r = capture_run;
    r.options = r.out.options = &o;
    r.out.stopping = Stopping;
    r.last_needed = LastNeededFrame(o);
    PlanOutputs(r.out);            // every name the watchdog may remove, before it exists
    std::signal(SIGPIPE, SIG_IGN); // a reader that stops shows as a failed write
    std::signal(SIGXFSZ, SIG_IGN); // a file over its size limit too
    SetStopHandlers(StopAtPoll, StopLate, kStopGraceMs);
    InstallStopSignals();
    if (const int status = Prepare(r); status >= 0) return status;
    std::thread writer(WriterLoop, &r.queue, &r.out);

    SetAudioDriver("Manual");
    SetHiddenDisplay(true);
    SetMilliSecsSource(VirtualClock, &r);
    SetFlipHook(OnFlip, &r);
    StartProgress(r.progress, o.fps,
                  r.last_needed >= 0 ? r.last_needed + 1 : DemoFrameCount(o.fps));
    DemoMain();
    SetFlipHook(nullptr, nullptr);
    if (r.read_back.pending_frame >= 0 && r.error.empty() && !r.out.failed.load())
        r.error = "the demo closed its display before the last frame was read back";
    EndSoundTrack(r.sound, r.queue);
    SetMilliSecsSource(nullptr, nullptr);
    ShowProgress(r.progress, r.frame, true);
    r.queue.Close();
    writer.join();
    CloseOutputs(r.out);
    return Conclude();
}
