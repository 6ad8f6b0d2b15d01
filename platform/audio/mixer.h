// Software mixer shared by the channel calls (main thread) and the output
// (audio thread). Fixed tables: 4096 channel slots (slot 0 unused), two
// single-producer/single-consumer rings of 4096 entries, one 4096-frame
// accumulation block. The audio thread reads only the atomic control words
// and its own voice records; it never allocates, frees or locks. Sample
// reference counts are touched on the main thread only, so a buffer is never
// freed under the audio thread.
#pragma once

#include "platform/audio/audio.h"

#include <atomic>
#include <cstdint>
#include <vector>

constexpr int kMixRate = 44100;
constexpr int kMixMaxFrames = 4096;
constexpr int kSlotBits = 12;
constexpr int kSlotCount = 1 << kSlotBits;
constexpr uint32_t kSlotMask = kSlotCount - 1;
constexpr int kRingSize = 4096;
constexpr int kStartLatencyMs = 20;
constexpr int32_t kUnitVolume = 4096;
constexpr uint32_t kUnitRate = 65536;     // 16.16
constexpr uint32_t kVolumeNow = 1u << 16; // volume word flag: skip the ramp
// After a dropped span the output fades in over 5 ms, so the jump makes no click.
constexpr int kJumpFadeFrames = kMixRate / 200;

// A sound's decoded frames as the mixer plays them: the frame after the
// last repeats the first (looping) or the last (once), so interpolation at
// the end reads a defined neighbour.
struct TMixerSample {
    std::atomic<int> refs{1};
    int length = 0;
    int rate = 0;
    int channels = 0;
    int loop = 0;
    const int16_t* frames = nullptr; // decoded->samples, (length + 1) * channels
    TAudioSample* decoded = nullptr; // owned
};

// Takes over the decoded sample, whose buffer must hold length + 1 frames,
// and fills its spare frame; null (the caller keeps it) if unusable.
TMixerSample* CreateMixerSample(TAudioSample* sample, int loop);
void RetainMixerSample(TMixerSample* sample);
void ReleaseMixerSample(TMixerSample* sample);

template <typename T> class SpscRing {
  public:
    bool Push(const T& item) {
        uint32_t head = head_.load(std::memory_order_relaxed);
        if (head - tail_.load(std::memory_order_acquire) == kRingSize) return false;
        items_[head % kRingSize] = item;
        head_.store(head + 1, std::memory_order_release);
        return true;
    }
    bool Pop(T& item) {
        uint32_t tail = tail_.load(std::memory_order_relaxed);
        if (tail == head_.load(std::memory_order_acquire)) return false;
        item = items_[tail % kRingSize];
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

  private:
    T items_[kRingSize];
    std::atomic<uint32_t> head_{0};
    std::atomic<uint32_t> tail_{0};
};

// A channel (re)started on the main thread, on its way to the audio thread.
struct MixerStart {
    uint32_t handle = 0;
    uint32_t serial = 0; // per-slot request count
    const TMixerSample* sample = nullptr;
    int32_t request_ms = 0;
};

// Single words the main thread writes and the audio thread reads per block.
struct SlotControl {
    std::atomic<uint32_t> volume{uint16_t(kUnitVolume)}; // int16 target | kVolumeNow
    std::atomic<int32_t> pan{0};                         // -4096 .. 4096
    std::atomic<uint32_t> rate{kUnitRate};
    std::atomic<bool> paused{false};
    // Written by the audio thread.
    std::atomic<uint32_t> taken_serial{0};
};

enum VoiceState : uint8_t { kStopped, kPlayingOnce, kLooping };

// Audio thread only.
struct Voice {
    const TMixerSample* sample = nullptr;
    uint64_t position = 0; // 32.32 frames
    uint64_t step = 0;     // 32.32 frames per output frame
    int32_t volume = 0;    // current, 4096 = 1.0
    int64_t delay = 0;     // output frames before the first sample
    uint32_t handle = 0;
    uint32_t retired_handle = 0; // handle under which the slot went back
    VoiceState state = kStopped;
    bool active = false;
};

// Main thread only.
struct SlotOwner {
    uint32_t generation = 0;
    uint32_t serial = 0;
    TMixerSample* sample = nullptr; // reference held for the latest request
    bool in_use = false;
};

struct DeferredRelease {
    int slot;
    uint32_t serial; // safe once the audio thread took this request
    TMixerSample* sample;
};

struct Mixer {
    SlotControl control[kSlotCount];
    SpscRing<MixerStart> started; // main -> audio
    SpscRing<uint16_t> finished;  // audio -> main: stopped slots

    // Audio thread.
    Voice voice[kSlotCount];
    uint16_t active[kSlotCount];
    int active_count = 0;
    int32_t accum[2 * kMixMaxFrames] = {};
    // Set before the first block: a channel started late (the device was
    // away) begins part-way in, where the clock says it is, instead of at its
    // first frame. Off for the Manual driver, whose blocks are exact.
    bool follow_clock = false;
    int fade_left = 0; // frames of the fade-in after a dropped span

    // Main thread.
    SlotOwner owner[kSlotCount];
    uint16_t free_slots[kSlotCount];
    int free_count = 0;
    std::vector<DeferredRelease> deferred;
};

// generation_floor: first generation count, so handles of an earlier mixer stay stale.
Mixer* CreateMixer(uint32_t generation_floor);
// Releases every sample reference; returns the next unused generation count.
uint32_t DestroyMixer(Mixer* mixer);
// Audio thread: mixes frames (1 .. 4096) into interleaved stereo S16;
// heard_ms is the MilliSecs time at which the block's first frame is heard,
// which places the channels started since the last block.
void MixBlock(Mixer& mixer, int16_t* out, int frames, int32_t heard_ms);
// Audio thread: drops the next frames of every playing channel (a span the
// output could not play in time) and fades the next block in.
void SkipFrames(Mixer& mixer, int64_t frames);

// Main thread side of the channel table (channels.cpp); output.cpp owns the instance.
Mixer* ActiveMixer(); // null under the Null driver

// A channel's handle: its slot in the low bits, the slot's generation above.
inline uint32_t MakeHandle(int slot, uint32_t generation) {
    return (generation << kSlotBits) | uint32_t(slot);
}
// The slot of a live handle, or 0 (main thread).
int LiveSlot(const Mixer& m, TChannel channel);

// --- Test interface ------------------------------------------------------
// The demo never asks whether a channel plays; the tests do.
int ChannelPlaying(TChannel channel);
