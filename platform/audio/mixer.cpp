// The audio thread's half of the mixer: takes new channels from the ring,
// mixes every active voice into the accumulation block, returns finished
// slots, and converts the block to clipped S16.
#include "platform/audio/mixer.h"

#include <algorithm>
#include <cstring>
#include <new>

TMixerSample* CreateMixerSample(TAudioSample* sample, int loop) {
    if (!sample || !sample->samples || sample->length < 0 ||
        (sample->channels != 1 && sample->channels != 2) || sample->rate <= 0)
        return nullptr;
    auto* mixer_sample = new (std::nothrow) TMixerSample;
    if (!mixer_sample) return nullptr;
    int16_t* frames = sample->samples;
    const size_t body = size_t(sample->length) * size_t(sample->channels);
    if (sample->length > 0) {
        const int16_t* extra = loop ? frames : frames + body - sample->channels;
        std::memcpy(frames + body, extra, size_t(sample->channels) * sizeof(int16_t));
    }
    mixer_sample->length = sample->length;
    mixer_sample->rate = sample->rate;
    mixer_sample->channels = sample->channels;
    mixer_sample->loop = loop ? 1 : 0;
    mixer_sample->frames = frames;
    mixer_sample->decoded = sample;
    return mixer_sample;
}

void RetainMixerSample(TMixerSample* sample) {
    if (sample) sample->refs.fetch_add(1, std::memory_order_relaxed);
}

void ReleaseMixerSample(TMixerSample* sample) {
    if (!sample || sample->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    delete sample->decoded;
    delete sample;
}

// Step per output frame for a sample rate in Hz and a 16.16 channel rate.
static uint64_t StepFor(int sample_rate, uint32_t rate) {
    return ((uint64_t(sample_rate) * rate) << 16) / kMixRate;
}

namespace {

struct Gains {
    int32_t left, right;
};

inline Gains PanGains(int32_t volume, int32_t pan) {
    if (pan > 0) return {volume * (4096 - pan) / 4096, volume};
    if (pan < 0) return {volume, volume * (4096 + pan) / 4096};
    return {volume, volume};
}

// Wraps two's complement on purpose: hundreds of loud channels must not be UB.
inline void Accumulate(int32_t& acc, int32_t value) {
    acc = int32_t(uint32_t(acc) + uint32_t(value));
}

inline int32_t Lerp(int32_t s0, int32_t s1, uint64_t position) {
    int64_t frac = int64_t((position >> 16) & 0xffff);
    return s0 + int32_t((int64_t(s1 - s0) * frac) >> 16);
}

template <int kCh>
inline void MixFrame(const int16_t* frames, uint64_t position, Gains g, int32_t* acc) {
    const int16_t* at = frames + (position >> 32) * kCh;
    int32_t left = Lerp(at[0], at[kCh], position);
    int32_t right = kCh == 2 ? Lerp(at[1], at[kCh + 1], position) : left;
    Accumulate(acc[0], (left * g.left) >> 8);
    Accumulate(acc[1], (right * g.right) >> 8);
}

// At or past the end: loops wrap, others stop. Returns false when stopped.
bool PassEnd(Voice& v) {
    const TMixerSample& s = *v.sample;
    if (v.state != kLooping || s.length == 0) {
        v.state = kStopped;
        return false;
    }
    uint64_t whole = (v.position >> 32) % uint64_t(s.length);
    v.position = (whole << 32) | (v.position & 0xffffffffu);
    return true;
}

// Constant volume and step: runs up to the end of the data without a check
// per frame; whole-frame steps on whole positions need no interpolation.
template <int kCh> void MixSteady(Voice& v, int32_t* acc, int n, Gains g) {
    const uint64_t end = uint64_t(v.sample->length) << 32;
    const int16_t* frames = v.sample->frames;
    int done = 0;
    if (v.position >= end && !PassEnd(v)) return;
    while (done < n) {
        uint64_t room = v.step ? (end - v.position + v.step - 1) / v.step : uint64_t(n);
        int run = int(std::min<uint64_t>(room, uint64_t(n - done)));
        int32_t* out = acc + 2 * done;
        if (v.step == (uint64_t(1) << 32) && (v.position & 0xffffffffu) == 0) {
            const int16_t* src = frames + (v.position >> 32) * kCh;
            for (int i = 0; i < run; ++i) {
                Accumulate(out[2 * i], (src[i * kCh] * g.left) >> 8);
                Accumulate(out[2 * i + 1], (src[i * kCh + kCh - 1] * g.right) >> 8);
            }
            v.position += uint64_t(run) << 32;
        } else {
            uint64_t position = v.position;
            const uint64_t step = v.step;
            for (int i = 0; i < run; ++i) {
                MixFrame<kCh>(frames, position, g, out + 2 * i);
                position += step;
            }
            v.position = position;
        }
        done += run;
        if (v.position >= end && !PassEnd(v)) return;
    }
}

// Volume and step move linearly to their targets, with 8 fractional bits.
template <int kCh>
void MixRamp(Voice& v, int32_t* acc, int n, int32_t target_volume, uint64_t target_step,
             int32_t pan) {
    const uint64_t end = uint64_t(v.sample->length) << 32;
    int64_t volume = int64_t(v.volume) * 256;
    int64_t volume_delta = (int64_t(target_volume) - v.volume) * 256 / n;
    int64_t step = int64_t(v.step) * 256;
    int64_t step_delta = (int64_t(target_step) - int64_t(v.step)) * 256 / n;
    v.volume = target_volume;
    v.step = target_step;
    if (v.position >= end && !PassEnd(v)) return;
    for (int i = 0; i < n; ++i) {
        MixFrame<kCh>(v.sample->frames, v.position, PanGains(int32_t(volume >> 8), pan),
                      acc + 2 * i);
        v.position += uint64_t(step >> 8);
        volume += volume_delta;
        step += step_delta;
        if (v.position >= end && !PassEnd(v)) return;
    }
}

void TakeStart(Mixer& m, const MixerStart& start, int32_t heard_ms) {
    int slot = int(start.handle & kSlotMask);
    Voice& v = m.voice[slot];
    // The slot went back to the free ring before this request arrived.
    if (start.handle == v.retired_handle) return;
    SlotControl& c = m.control[slot];
    v.sample = start.sample;
    v.position = 0;
    v.handle = start.handle;
    v.state = start.sample->loop ? kLooping : kPlayingOnce;
    v.volume = int16_t(c.volume.load(std::memory_order_relaxed) & 0xffff);
    v.step = StepFor(start.sample->rate, c.rate.load(std::memory_order_relaxed));
    int32_t delay_ms =
        int32_t(uint32_t(start.request_ms) + uint32_t(kStartLatencyMs) - uint32_t(heard_ms));
    // Negative: the channel should already be sounding, so it starts late
    // and part-way in (following the clock) or late from its first frame.
    v.delay = delay_ms > 0 || m.follow_clock ? int64_t(delay_ms) * kMixRate / 1000 : 0;
    c.taken_serial.store(start.serial, std::memory_order_release);
    if (!v.active) {
        v.active = true;
        m.active[m.active_count++] = uint16_t(slot);
    }
}

void RemoveVoice(Mixer& m, int index) {
    int slot = m.active[index];
    Voice& v = m.voice[slot];
    v.state = kStopped;
    v.active = false;
    m.active[index] = m.active[--m.active_count];
    // Every channel is released when it stops; its handle goes stale when
    // the main thread takes the slot back.
    v.retired_handle = v.handle;
    v.sample = nullptr;
    m.finished.Push(uint16_t(slot)); // cannot fail: a slot is out at most once
}

// Moves a voice on by frames of output without mixing it: first through its
// start delay, then through its sound. False once it has stopped.
bool AdvanceVoice(Voice& v, int64_t frames) {
    if (v.delay >= frames) {
        v.delay -= frames;
        return true;
    }
    frames -= std::max<int64_t>(v.delay, 0);
    v.delay = 0;
    const uint64_t end = uint64_t(v.sample->length) << 32;
    // Wraps at most once per call: a dropped span is shorter than 2^31 frames.
    v.position += v.step * uint64_t(frames);
    return v.position < end || PassEnd(v);
}

// Mixes one voice; returns false once it has stopped.
bool MixVoice(Mixer& m, int slot, int frames) {
    Voice& v = m.voice[slot];
    SlotControl& c = m.control[slot];
    if (c.paused.load(std::memory_order_acquire)) return true; // pairs with ResumeChannel
    uint32_t volume_word = c.volume.load(std::memory_order_relaxed);
    int32_t target_volume = int16_t(volume_word & 0xffff);
    if (volume_word & kVolumeNow) v.volume = target_volume;
    int32_t pan = std::clamp(c.pan.load(std::memory_order_relaxed), -4096, 4096);
    uint64_t target_step = StepFor(v.sample->rate, c.rate.load(std::memory_order_relaxed));
    if (v.delay < 0 && !AdvanceVoice(v, -v.delay)) return false; // started late
    if (v.delay >= frames) {
        v.delay -= frames;
        v.volume = target_volume;
        v.step = target_step;
        return true;
    }
    int first = int(v.delay);
    v.delay = 0;
    int32_t* acc = m.accum + 2 * first;
    int n = frames - first;
    bool stereo = v.sample->channels == 2;
    if (v.volume == target_volume && v.step == target_step) {
        Gains g = PanGains(v.volume, pan);
        stereo ? MixSteady<2>(v, acc, n, g) : MixSteady<1>(v, acc, n, g);
    } else {
        stereo ? MixRamp<2>(v, acc, n, target_volume, target_step, pan)
               : MixRamp<1>(v, acc, n, target_volume, target_step, pan);
    }
    return v.state != kStopped;
}

} // namespace

Mixer* CreateMixer(uint32_t generation_floor) {
    auto* m = new Mixer;
    for (int slot = 0; slot < kSlotCount; ++slot)
        m->owner[slot].generation = generation_floor;
    // Lowest slots first; slot 0 is never handed out.
    for (int slot = kSlotCount - 1; slot >= 1; --slot)
        m->free_slots[m->free_count++] = uint16_t(slot);
    m->deferred.reserve(64);
    return m;
}

uint32_t DestroyMixer(Mixer* m) {
    uint32_t next = 0;
    for (SlotOwner& owner : m->owner) {
        next = std::max(next, owner.generation + 1);
        ReleaseMixerSample(owner.sample);
    }
    for (const DeferredRelease& d : m->deferred)
        ReleaseMixerSample(d.sample);
    delete m;
    return next;
}

void MixBlock(Mixer& m, int16_t* out, int frames, int32_t heard_ms) {
    frames = std::clamp(frames, 0, kMixMaxFrames);
    MixerStart start;
    while (m.started.Pop(start))
        TakeStart(m, start, heard_ms);
    for (int i = 0; i < m.active_count;) {
        if (MixVoice(m, m.active[i], frames))
            ++i;
        else
            RemoveVoice(m, i);
    }
    for (int i = 0; m.fade_left > 0 && i < frames; ++i, --m.fade_left) {
        const int32_t gain = kJumpFadeFrames - m.fade_left; // of kJumpFadeFrames
        m.accum[2 * i] = int32_t(int64_t(m.accum[2 * i]) * gain / kJumpFadeFrames);
        m.accum[2 * i + 1] = int32_t(int64_t(m.accum[2 * i + 1]) * gain / kJumpFadeFrames);
    }
    for (int i = 0; i < 2 * frames; ++i) {
        out[i] = int16_t(std::clamp(m.accum[i] >> 4, -32768, 32767));
        m.accum[i] = 0;
    }
}

void SkipFrames(Mixer& m, int64_t frames) {
    if (frames <= 0) return;
    for (int i = 0; i < m.active_count;) {
        Voice& v = m.voice[m.active[i]];
        const SlotControl& c = m.control[m.active[i]];
        if (c.paused.load(std::memory_order_acquire) || AdvanceVoice(v, frames))
            ++i;
        else
            RemoveVoice(m, i);
    }
    m.fade_left = kJumpFadeFrames;
}
