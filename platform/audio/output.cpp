// Driver selection and the SDL2 back end: a 44100 Hz stereo S16 device whose
// callback thread pulls blocks of at most 4096 frames from the mixer, on the
// demo's clock. When SDL has no audio driver at all, the silent Null driver
// (no mixer) takes its place; when a driver has no device, or loses it, a
// watcher thread opens the default device again as soon as there is one,
// and asks a PulseAudio server how late what is written will be heard.
#include "platform/audio/mixer.h"
#include "platform/audio/server_latency.h"
#include "platform/clock.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

enum Driver { kNone, kSDL, kNull, kManual };

// Frames the output asks for at a time, mixed in blocks of at most 4096.
// One period of 1024 frames left the sound server a single 23 ms block in
// hand and dropped out under load; with the demo drawing and both cores
// busy, 4096 (93 ms) still dropped out 3 times a minute and 8192 (186 ms)
// about once. It costs no sync: the clock below accounts for it.
constexpr int kPeriodFrames = 8192;
// A device is checked this often; a lost one is tried again after as long,
// doubling to at most half a second, so a server that is back is heard
// within a second.
constexpr int kWatchMs = 250;
constexpr int kRetryMaxMs = 500;
// At once after a device is opened, and then until the server's answers
// agree, it is asked this often, so its latency is known before the music
// starts, or again steadily after it ran dry; at most this many times in a
// row, so a server that does not answer steadily is asked at the watcher's
// pace.
constexpr int kAskMs = 50;
constexpr int kQuickAsks = 20;

// A device pulls late by this much before the frames due meanwhile are
// dropped: within a short block, and above the clock's own millisecond steps.
constexpr int kLateMs = 20;
// The leads of every this many pulls are compared with the server's
// latency. The second-highest counts for late sound: a pull the scheduler
// held back shows a lower lead with the sound still on time, and one pull
// may come early, catching up. The lowest counts for early sound. A lead
// this far from the latency is sound come late or early, above the spread
// of the server's answers and of the pulls.
constexpr int kLeadPulls = 4;
constexpr double kLeadMarginMs = 15;
// After the clock is placed afresh (one pull let by to settle, but for the
// device's first), two pulls that agree, by twice the margin, are enough:
// about one PulseAudio start in five is heard a latency late, and is in step
// before the music starts; a wrong call is undone by the next window.
constexpr int kSettlePulls = 1;
constexpr int kFirstLeadPulls = 2;
// A queue that ran dry drops what reaches it behind its read point, up to a
// few ms under load: the first block after starts with this much silence,
// so what is dropped is not the fade-in, which would then click.
constexpr int kDryPadFrames = kMixRate / 50;
// Pulls closer than this are one refill burst.
constexpr int kBurstMs = 50;
// A block written at one pull of a burst may not have reached the server
// when the next pull asks: it is asked again this often, this many times.
// The server holds that block meanwhile.
constexpr int kArriveWaitMs = 2;
constexpr int kArriveAsks = 5;

// Where the show is in the output: stream frame f is due at the speaker at
// epoch_ms + f / 44.1 ms. The first block of a device is due when pulled,
// later ones by the frame count; a block pulled after its due time says
// the device ran dry, and the clock is placed afresh there, as far ahead as
// PulseAudio says it still holds (a new stream, or one run dry: its
// latency), and checked with it again once the refill is written.
// The server may hold more than that: PulseAudio at times queues 100 ms
// more from the start, and a short underrun may not show in the pulls at
// all. It asks for blocks when its queue is down to a level of its own, so
// the lead a prompt pull shows in steady play (how far ahead of its due
// time the block is) is that level when the clock is right, and lower by
// as much as the sound is late, or higher by as much as it is early. The
// level is the latency the server reports for the stream where it reports
// one (PulseAudio, asked by the watcher); elsewhere (native PipeWire, and
// PipeWire's PulseAudio layer, which reports none) the highest level seen,
// right unless the sound was late from the start. PipeWire's layer starts
// about one stream in four a whole level late, its leads near 0 throughout,
// so there the level its buffer attributes ask at, which its own is not
// below, stands in until a higher one is seen; such a start keeps at most
// the graph's cycle late. Late sound drops the difference; early sound,
// which only a reported latency shows, is held back by as much silence.
// Audio thread only (one device thread at a time), but for the watcher's
// answer.
struct OutputClock {
    bool started = false;
    std::atomic<bool> follow{}; // a device that plays in real time
    int32_t epoch_ms = 0;
    int64_t frame = 0;
    std::atomic<bool> resync{};                // a new device: place the next block afresh
    int pulls = 0;                             // in this window, the settling one too
    int window = kFirstLeadPulls;              // pulls compared at a time
    double lowest = 0;                         // the lowest lead of the pulls so far
    int64_t hold = 0;                          // frames of silence still to write
    int pad = 0;                               // frames of silence, in show time, to write
    bool holding = false;                      // the sound before them faded out
    double leads[2] = {};                      // the two highest of the pulls so far
    double last_lead = -1;                     // the last window's second-highest
    double steady_lead = -1;                   // the highest steady second-highest, or -1
    int32_t last_pull_ms = 0;                  // when the device last pulled
    bool check = false;                        // placed after a stall: the server is asked again
    double placed_gap_ms = 0;                  // the server's queue less the lead, when placed
    std::atomic<double> server_latency_ms{-1}; // the server's steady latency, or -1
    std::atomic<double> refill_ms{-1};         // the last steady one from any device, or -1
    std::atomic<double> asks_ms{-1};           // with no latency reported, where it asks, or -1
    bool compared = false;                     // a new device's first window was compared
    // Published after each block, for the main thread.
    std::atomic<bool> known{};            // compared, and next_heard_ms after it
    std::atomic<int32_t> next_heard_ms{}; // when the next block pulled is heard
};

struct AudioOutput {
    Driver requested = kSDL;
    Driver running = kNone;
    Mixer* mixer = nullptr;
    SDL_AudioDeviceID device = 0; // the watcher's while it runs
    uint32_t generation_floor = 0;
    bool exit_hook = false;
    OutputClock clock;
    std::atomic<bool> playing{};
    std::thread watcher;
    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;   // under lock
    bool ask_server = false; // a PulseAudio stream: the watcher asks its latency
    double answers[2] = {};  // the watcher's last, oldest first
    int answer_count = 0;
    int quick_asks = 0; // since the device opened or the answers were steady
};

AudioOutput audio_output;

void PullBlocks(Mixer& mixer, int16_t* out, int frames) {
    while (frames > 0) {
        int n = std::min(frames, kMixMaxFrames);
        MixBlock(mixer, out, n, MilliSecs());
        out += 2 * n;
        frames -= n;
    }
}

// The clock was placed afresh: the next window is a short one, and no
// window before this compares with the next.
void Placed(OutputClock& c) {
    c.pulls = 0;
    c.window = kFirstLeadPulls;
    c.last_lead = -1e9;
    c.check = false;
}

// Sound found late by late_ms drops that much; sound found early (late_ms
// below 0) is held back by as much silence. The clock is then placed afresh.
void Correct(OutputClock& c, Mixer& mixer, double late_ms) {
    if (late_ms > 0) {
        const int64_t late = int64_t(late_ms * kMixRate / 1000);
        SkipFrames(mixer, late);
        c.frame += late;
    } else {
        c.hold = int64_t(-late_ms * kMixRate / 1000);
    }
    Placed(c);
}

// How long after now the next block written will be heard, as PulseAudio
// says for our stream, and of it what the stream's queue holds; false
// without a figure. Asked from the device's thread, after a stall only.
bool HeardAfterMs(int32_t now, double* ms, double* queued_ms) {
    if (!ServerLatencyMs(ms, queued_ms) || *ms <= 0) return false;
    *ms += int32_t(uint32_t(MilliSecs()) - uint32_t(now));
    return true;
}

// When the device pulled late (an underrun, a stall, a suspended sink, the
// process stopped) the frames due in the meantime are dropped, so the next
// block is heard when the clock says; a block pulled early is left alone,
// the device's buffer holds it. A pull up to kLateMs late is jitter the
// device's buffer absorbs.
void KeepInStep(OutputClock& c, Mixer& mixer, int32_t now) {
    const bool resync = c.resync.exchange(false, std::memory_order_acquire);
    if (!c.started) {
        c.started = true;
        c.epoch_ms = now;
        return;
    }
    const int32_t since_epoch = int32_t(uint32_t(now) - uint32_t(c.epoch_ms));
    // How far ahead of its due time the block at the clock's frame is.
    const auto lead_now = [&] { return c.frame * 1000.0 / kMixRate - since_epoch; };
    const double lead_ms = lead_now();
    const int32_t since_pull = int32_t(uint32_t(now) - uint32_t(c.last_pull_ms));
    c.last_pull_ms = now;
    if (!c.follow) {
        c.compared = true;
        return;
    }
    if (resync || lead_ms < -kLateMs) {
        // A PulseAudio stream that is new or ran dry plays nothing until it
        // holds its latency again, so the next block is due that much later.
        // One that stopped short of empty (by up to a block) first plays out
        // what it still holds, which it says when asked now.
        double ahead_ms = std::max(0.0, c.refill_ms.load(std::memory_order_relaxed));
        double heard_ms = 0, queued_ms = 0;
        const bool answered =
            !resync && audio_output.ask_server && HeardAfterMs(now, &heard_ms, &queued_ms);
        if (answered && queued_ms > 0) ahead_ms = heard_ms;
        const int64_t due = int64_t((since_epoch + ahead_ms) * kMixRate / 1000);
        if (due > c.frame) {
            SkipFrames(mixer, due - c.frame);
            c.frame = due;
        }
        c.pad = kDryPadFrames;
        c.hold = 0;
        Placed(c);
        // PipeWire's layer, which says nothing of its queue, first plays out
        // what it held, up to a level; the pulls that follow show it at
        // once, with no refill burst to let by.
        if (!answered && c.asks_ms.load(std::memory_order_relaxed) > 0) c.pulls = kSettlePulls;
        c.check = answered;
        c.placed_gap_ms = queued_ms - lead_now();
        return;
    }
    // After a stall the block placed afresh may be heard otherwise than the
    // server said: a block still on its way to it when the process stopped
    // plays first, and a queue run dry may start before its whole latency.
    // The server shows it as soon as its answer counts every block written
    // since, often at the refill's second pull, well before the next
    // window: this block is heard once what the server holds now has played.
    if (c.check) {
        const bool burst = since_pull < kBurstMs;
        double heard_ms = 0, queued_ms = 0;
        // The lead grows by what is written and shrinks with the time; the
        // queue, which plays no faster than the time, keeps up unless a
        // block has not yet arrived.
        bool counted = false;
        for (int ask = 0; ask < kArriveAsks; ++ask) {
            const bool answered = HeardAfterMs(now, &heard_ms, &queued_ms);
            counted = answered && queued_ms - lead_ms >= c.placed_gap_ms - 2 * kLeadMarginMs;
            if (!answered || counted || !burst) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(kArriveWaitMs));
        }
        if (counted || !burst) c.check = false;
        if (counted && std::abs(heard_ms - lead_ms) > 2 * kLeadMarginMs) {
            Correct(c, mixer, heard_ms - lead_ms);
            return;
        }
    }
    if (++c.pulls <= kSettlePulls) return;
    if (c.pulls == kSettlePulls + 1) c.leads[0] = c.leads[1] = -1e9, c.lowest = 1e9;
    if (lead_ms > c.leads[1]) c.leads[1] = lead_ms;
    if (c.leads[1] > c.leads[0]) std::swap(c.leads[0], c.leads[1]);
    c.lowest = std::min(c.lowest, lead_ms);
    if (c.pulls < kSettlePulls + c.window) return;
    // In a window of two pulls, both must show it.
    const bool first = c.window == kFirstLeadPulls;
    const double margin_ms = first ? 2 * kLeadMarginMs : kLeadMarginMs;
    c.pulls = kSettlePulls;
    c.window = kLeadPulls;
    const double server_ms = c.server_latency_ms.load(std::memory_order_relaxed);
    const double level = server_ms > 0
                             ? server_ms
                             : std::max(c.steady_lead, c.asks_ms.load(std::memory_order_relaxed));
    const double late_ms = level - c.leads[first ? 0 : 1];
    // A PulseAudio stream is known once its server's level is; a stream
    // with no server to ask has no truer reference than its own pulls.
    if (level >= 0 || !audio_output.ask_server) c.compared = true;
    // A window of blocks pulled in a burst (a server going away) shows a
    // lead no steady play does; two windows in a row that agree are steady.
    if (std::abs(c.leads[1] - c.last_lead) <= kLeadMarginMs)
        c.steady_lead = std::max(c.steady_lead, std::min(c.leads[1], c.last_lead));
    c.last_lead = c.leads[1];
    if (level >= 0 && late_ms > margin_ms) {
        Correct(c, mixer, late_ms);
    } else if (server_ms > 0 && c.lowest - server_ms > margin_ms) {
        // Only the server's own latency shows early sound: the highest
        // level seen rises with it.
        Correct(c, mixer, server_ms - c.lowest);
    }
}

// When the block at the clock's frame is heard, on MilliSecs.
int32_t HeardMs(const OutputClock& c) {
    return int32_t(uint32_t(c.epoch_ms) + uint32_t(c.frame * 1000 / kMixRate));
}

void FillBlock(void* user, Uint8* stream, int bytes) {
    Mixer& mixer = *static_cast<Mixer*>(user);
    OutputClock& c = audio_output.clock;
    KeepInStep(c, mixer, MilliSecs());
    auto* out = reinterpret_cast<int16_t*>(stream);
    int frames = bytes / 4;
    if (c.pad > 0) {
        const int n = std::min(c.pad, frames);
        std::memset(out, 0, size_t(n) * 2 * sizeof(int16_t));
        SkipFrames(mixer, n); // and the sound fades in after it
        c.frame += n;
        out += 2 * n;
        frames -= n;
        c.pad -= n;
    }
    if (c.hold > 0 || c.holding) {
        // Sound found early: silence that carries no show time, after the
        // sound before it faded out, and the sound after it fades in.
        if (!c.holding) {
            const int fade = std::min(frames, kJumpFadeFrames);
            MixBlock(mixer, out, fade, HeardMs(c));
            for (int i = 0; i < 2 * fade; ++i)
                out[i] = int16_t(out[i] * (fade - 1 - i / 2) / fade);
            c.frame += fade;
            out += 2 * fade;
            frames -= fade;
            c.holding = true;
        }
        const int n = int(std::min<int64_t>(c.hold, frames));
        std::memset(out, 0, size_t(n) * 2 * sizeof(int16_t));
        out += 2 * n;
        frames -= n;
        c.hold -= n;
        if (c.hold == 0) {
            c.holding = false;
            mixer.fade_left = kJumpFadeFrames;
        }
    }
    while (frames > 0) {
        int n = std::min(frames, kMixMaxFrames);
        MixBlock(mixer, out, n, HeardMs(c));
        c.frame += n;
        out += 2 * n;
        frames -= n;
    }
}

void SDLCALL DeviceCallback(void* user, Uint8* stream, int bytes) {
    OutputClock& c = audio_output.clock;
    FillBlock(user, stream, bytes);
    c.next_heard_ms.store(HeardMs(c), std::memory_order_relaxed);
    if (c.compared) c.known.store(true, std::memory_order_release);
}

// libasound reports a missing card on stderr, eight lines of its own;
// the demo says it once, in its words. SDL loads the same library, so the
// handler set here is the one it uses.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa() {
    using SetHandler = int (*)(void (*)(const char*, int, const char*, int, const char*, ...));
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!alsa) return;
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(QuietAlsaErrors);
}

// Opens the default device for the mixer.
bool OpenDevice() {
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = kMixRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kPeriodFrames;
    want.callback = DeviceCallback;
    want.userdata = audio_output.mixer;
    // Set before the device's thread exists, which then sees them.
    const char* name = SDL_GetCurrentAudioDriver();
    // The disk and dummy drivers keep no time of their own: whatever they
    // are fed is the recording, so nothing is dropped there.
    audio_output.clock.follow =
        name && std::strcmp(name, "disk") != 0 && std::strcmp(name, "dummy") != 0;
    audio_output.mixer->follow_clock = audio_output.clock.follow;
    audio_output.ask_server = name && std::strcmp(name, "pulseaudio") == 0;
    audio_output.clock.server_latency_ms.store(-1);
    audio_output.clock.asks_ms.store(-1);
    audio_output.answer_count = 0; // the watcher's, not running or this is it
    audio_output.quick_asks = 0;
    audio_output.clock.compared = false;
    audio_output.clock.known.store(false);
    audio_output.clock.resync.store(true, std::memory_order_release);
    SDL_AudioSpec have;
    // No changes allowed: SDL converts if the hardware wants another format.
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) return false;
    audio_output.device = device;
    audio_output.playing.store(true);
    SDL_PauseAudioDevice(device, 0);
    return true;
}

// The server's latency for our stream, once two answers in a row agree: it
// moves by a few ms with the sink's own buffer, and for a while after a
// stream starts or runs dry it falls as fast as the queue plays out (a
// null sink's first second can hold 850 ms). True while it should be asked
// again soon. Watcher thread only.
bool AskServer() {
    double* answers = audio_output.answers;
    int& count = audio_output.answer_count;
    double ms = 0, asks_ms = 0;
    if (!ServerLatencyMs(&ms, nullptr, &asks_ms)) {
        count = 0;
        audio_output.clock.server_latency_ms.store(-1, std::memory_order_relaxed);
        return ++audio_output.quick_asks < kQuickAsks;
    }
    audio_output.clock.asks_ms.store(asks_ms > 0 ? asks_ms : -1, std::memory_order_relaxed);
    answers[0] = answers[1];
    answers[1] = ms;
    count = std::min(count + 1, 2);
    const bool steady = count == 2 && std::abs(answers[1] - answers[0]) <= kLeadMarginMs;
    const double latency_ms = steady ? (answers[0] + answers[1]) / 2 : -1;
    audio_output.clock.server_latency_ms.store(latency_ms, std::memory_order_relaxed);
    if (steady) audio_output.clock.refill_ms.store(latency_ms, std::memory_order_relaxed);
    if (steady) audio_output.quick_asks = 0;
    return !steady && ++audio_output.quick_asks < kQuickAsks;
}

// Background thread: a device that stopped (the server went away, the card
// was unplugged) is closed, and the default device is tried again, with the
// driver started afresh so a server that came back is found. Never on the
// render thread: an open can take a while.
void WatchDevice() {
    std::unique_lock<std::mutex> hold(audio_output.lock);
    int wait_ms = kAskMs; // the device was just opened: ask at once
    while (!audio_output.stopping) {
        audio_output.wake.wait_for(hold, std::chrono::milliseconds(wait_ms));
        if (audio_output.stopping) break;
        if (audio_output.device &&
            SDL_GetAudioDeviceStatus(audio_output.device) == SDL_AUDIO_PLAYING) {
            wait_ms = kWatchMs;
            if (audio_output.ask_server) {
                hold.unlock();
                // Known before the first comparison of leads.
                if (AskServer()) wait_ms = kAskMs;
                hold.lock();
            }
            continue;
        }
        hold.unlock();
        CloseServerLatency();
        if (audio_output.device) {
            audio_output.playing.store(false);
            SDL_CloseAudioDevice(audio_output.device);
            audio_output.device = 0;
        }
        SDL_AudioQuit();
        bool opened = SDL_AudioInit(nullptr) == 0 && OpenDevice();
        hold.lock();
        wait_ms = opened ? kAskMs : std::clamp(2 * wait_ms, kWatchMs, kRetryMaxMs);
    }
}

void StartWatcher() {
    audio_output.stopping = false;
    audio_output.watcher = std::thread(WatchDevice);
}

void StopWatcher() {
    if (!audio_output.watcher.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(audio_output.lock);
        audio_output.stopping = true;
    }
    audio_output.wake.notify_all();
    audio_output.watcher.join();
    CloseServerLatency();
}

void StartAudio() {
    if (!audio_output.exit_hook) {
        std::atexit(ShutdownAudio);
        audio_output.exit_hook = true;
    }
    audio_output.running = kNull;
    if (audio_output.requested == kNull) return;
    audio_output.mixer = CreateMixer(audio_output.generation_floor);
    if (audio_output.requested == kManual) {
        audio_output.running = kManual;
        return;
    }
    SilenceAlsa();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        audio_output.running = kSDL;
        audio_output.clock.started = false;
        audio_output.clock.frame = 0;
        audio_output.clock.steady_lead = -1;
        audio_output.clock.refill_ms.store(-1);
        Placed(audio_output.clock);
        audio_output.clock.pulls = kSettlePulls; // the first pulls tell
        audio_output.clock.hold = 0;
        audio_output.clock.pad = 0;
        audio_output.clock.holding = false;
        OpenDevice(); // or the watcher keeps trying
        StartWatcher();
        return;
    }
    audio_output.generation_floor = DestroyMixer(audio_output.mixer);
    audio_output.mixer = nullptr;
}

} // namespace

Mixer* ActiveMixer() {
    if (audio_output.running == kNone) StartAudio();
    return audio_output.mixer;
}

const char* AudioDriverName() {
    ActiveMixer();
    switch (audio_output.running) {
    case kSDL:
        return "SDL";
    case kManual:
        return "Manual";
    default:
        return "Null";
    }
}

bool AudioDeviceOpen() {
    ActiveMixer();
    return audio_output.running == kManual || audio_output.playing.load();
}

int32_t SoundStartMs(int max_wait_ms) {
    ActiveMixer();
    const OutputClock& c = audio_output.clock;
    const auto timed = [&] {
        return audio_output.running == kSDL && audio_output.playing.load() &&
               c.follow.load(std::memory_order_relaxed);
    };
    // Real time: a scripted MilliSecs may stand still.
    const int64_t until_ns = MonotonicNs() + int64_t(max_wait_ms) * 1000000;
    while (timed() && !c.known.load(std::memory_order_acquire) && MonotonicNs() < until_ns)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const int32_t soon = int32_t(uint32_t(MilliSecs()) + kStartLatencyMs);
    if (!timed() || !c.known.load(std::memory_order_acquire)) return soon;
    // The block after the next: the next may be pulled before the start
    // reaches the mixer.
    const int32_t after_next = int32_t(uint32_t(c.next_heard_ms.load(std::memory_order_acquire)) +
                                       uint32_t(kPeriodFrames * 1000 / kMixRate + 1));
    return int32_t(uint32_t(after_next) - uint32_t(soon)) > 0 ? after_next : soon;
}

void ShutdownAudio() {
    StopWatcher();
    if (audio_output.running == kSDL) {
        audio_output.playing.store(false);
        if (audio_output.device) SDL_CloseAudioDevice(audio_output.device); // joins the callback
        audio_output.device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (audio_output.mixer) audio_output.generation_floor = DestroyMixer(audio_output.mixer);
    audio_output.mixer = nullptr;
    audio_output.running = kNone;
}

void SetAudioDriver(const char* name) {
    ShutdownAudio();
    if (name && std::strcmp(name, "Null") == 0)
        audio_output.requested = kNull;
    else if (name && std::strcmp(name, "Manual") == 0)
        audio_output.requested = kManual;
    else
        audio_output.requested = kSDL;
}

void AudioMixBlock(int16_t* out, int frames) {
    if (!out || frames <= 0) return;
    Mixer* mixer = ActiveMixer();
    if (audio_output.running == kManual && mixer)
        PullBlocks(*mixer, out, frames);
    else
        std::memset(out, 0, size_t(frames) * 2 * sizeof(int16_t));
}
