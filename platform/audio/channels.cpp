// The main thread's half of the mixer: sounds, the channel handle table and
// the channel operations. Every call first takes back the slots the audio
// thread has finished with and drops sample references it no longer reads.
#include "platform/audio/mixer.h"
#include "platform/clock.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Sounds live until their owner deletes them (the demo's, until exit);
// holding them here keeps them reachable for a leak check at exit.
std::vector<TSound*>& LiveSounds() {
    static auto* sounds = new std::vector<TSound*>;
    return *sounds;
}

void TakeBackFinished(Mixer& m) {
    uint16_t slot;
    while (m.finished.Pop(slot)) {
        SlotOwner& owner = m.owner[slot];
        owner.in_use = false;
        ReleaseMixerSample(owner.sample);
        owner.sample = nullptr;
        m.free_slots[m.free_count++] = slot;
    }
    auto done = [&m](const DeferredRelease& d) {
        uint32_t taken = m.control[d.slot].taken_serial.load(std::memory_order_acquire);
        if (m.owner[d.slot].in_use && int32_t(taken - d.serial) < 0) return false;
        ReleaseMixerSample(d.sample);
        return true;
    };
    m.deferred.erase(std::remove_if(m.deferred.begin(), m.deferred.end(), done), m.deferred.end());
}

// The mixer and the slot of a live handle, or null.
Mixer* Lookup(TChannel channel, int* slot) {
    Mixer* m = ActiveMixer();
    if (!m) return nullptr;
    TakeBackFinished(*m);
    *slot = LiveSlot(*m, channel);
    return *slot ? m : nullptr;
}

int Allocate(Mixer& m) {
    TakeBackFinished(m);
    if (m.free_count == 0) return 0;
    int slot = m.free_slots[--m.free_count];
    SlotOwner& owner = m.owner[slot];
    ++owner.generation;
    owner.in_use = true;
    // The audio thread no longer reads this slot, so its words can be reset.
    SlotControl& c = m.control[slot];
    c.volume.store(uint16_t(kUnitVolume), std::memory_order_relaxed);
    c.pan.store(0, std::memory_order_relaxed);
    c.rate.store(kUnitRate, std::memory_order_relaxed);
    c.paused.store(false, std::memory_order_relaxed);
    return slot;
}

void Free(Mixer& m, int slot) {
    m.owner[slot].in_use = false;
    m.free_slots[m.free_count++] = uint16_t(slot);
}

TChannel Start(TSound* sound, TChannel channel, bool given, bool paused,
               int32_t request_ms = MilliSecs()) {
    Mixer* m = ActiveMixer();
    if (!m || !sound || !sound->mixer_sample) return TChannel{};
    int slot = 0;
    if (given) {
        if (!Lookup(channel, &slot)) return channel;
    } else {
        slot = Allocate(*m);
        if (slot == 0) return TChannel{}; // every handle is in use
    }
    SlotOwner& owner = m->owner[slot];
    SlotControl& c = m->control[slot];
    bool was_paused = c.paused.exchange(paused, std::memory_order_relaxed);
    MixerStart start;
    start.handle = MakeHandle(slot, owner.generation);
    start.serial = owner.serial + 1;
    start.sample = sound->mixer_sample;
    start.request_ms = request_ms;
    if (!m->started.Push(start)) {
        c.paused.store(was_paused, std::memory_order_relaxed);
        if (!given) Free(*m, slot);
        return given ? channel : TChannel{};
    }
    owner.serial = start.serial;
    RetainMixerSample(sound->mixer_sample);
    if (owner.sample) m->deferred.push_back({slot, owner.serial, owner.sample});
    owner.sample = sound->mixer_sample;
    return TChannel{start.handle};
}

// Float to a clamped integer, truncating toward zero; NaN gives 0.
int32_t Fixed(float value, float scale, int32_t lo, int32_t hi) {
    if (!(value == value)) return 0;
    double scaled = std::trunc(double(value) * scale);
    return int32_t(std::clamp(scaled, double(lo), double(hi)));
}

} // namespace

int LiveSlot(const Mixer& m, TChannel channel) {
    const uint32_t slot = channel.handle & kSlotMask;
    const SlotOwner& owner = m.owner[slot];
    if (slot == 0 || !owner.in_use || MakeHandle(int(slot), owner.generation) != channel.handle)
        return 0;
    return int(slot);
}

TSound::~TSound() {
    std::vector<TSound*>& live = LiveSounds();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    ReleaseMixerSample(mixer_sample); // the decoded frames go with the last channel
}

TSound* CreateSound(TAudioSample* sample, int flags) {
    ActiveMixer(); // the first audio call picks the driver
    if (!sample) return nullptr;
    TMixerSample* mixer_sample = CreateMixerSample(sample, flags & 1);
    if (!mixer_sample) {
        delete sample;
        return nullptr;
    }
    auto* sound = new TSound;
    sound->sample = sample;
    sound->loop = flags & 1;
    sound->mixer_sample = mixer_sample;
    LiveSounds().push_back(sound);
    return sound;
}

TSound* LoadSound(const char* path, int flags) {
    ActiveMixer();
    TAudioSample* sample = LoadAudioSample(path);
    return sample ? CreateSound(sample, flags) : nullptr;
}

TChannel PlaySound(TSound* sound) {
    return Start(sound, TChannel{}, false, false);
}
TChannel PlaySound(TSound* sound, TChannel channel) {
    return Start(sound, channel, true, false);
}
TChannel PlaySoundAt(TSound* sound, int32_t start_ms) {
    return Start(sound, TChannel{}, false, false, int32_t(uint32_t(start_ms) - kStartLatencyMs));
}
TChannel CueSound(TSound* sound) {
    return Start(sound, TChannel{}, false, true);
}
TChannel CueSound(TSound* sound, TChannel channel) {
    return Start(sound, channel, true, true);
}

void SetChannelVolume(TChannel channel, float volume) {
    int slot;
    Mixer* m = Lookup(channel, &slot);
    if (!m) return;
    SlotControl& c = m->control[slot];
    // A paused channel takes the volume at once; a playing one ramps to it.
    uint32_t word = uint16_t(int16_t(Fixed(volume, 4096.0f, -32768, 32767)));
    if (c.paused.load(std::memory_order_relaxed)) word |= kVolumeNow;
    c.volume.store(word, std::memory_order_relaxed);
}

void ResumeChannel(TChannel channel) {
    int slot;
    // Release: the mixer that sees the channel playing sees the volume and
    // pan set before (the ending sets the volume of a cued channel first).
    if (Mixer* m = Lookup(channel, &slot))
        m->control[slot].paused.store(false, std::memory_order_release);
}

int ChannelPlaying(TChannel channel) {
    int slot;
    Mixer* m = Lookup(channel, &slot);
    if (!m) return 0;
    // A channel that has stopped is already released: its handle is stale.
    return m->control[slot].paused.load(std::memory_order_relaxed) ? 0 : 1;
}
