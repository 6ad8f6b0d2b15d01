// Read-only view of the channel table for tests and capture tools.
#include "platform/audio/mixer.h"

namespace {

const SlotControl* LiveControl(TChannel channel) {
    const Mixer* m = ActiveMixer();
    const int slot = m ? LiveSlot(*m, channel) : 0;
    return slot ? &m->control[slot] : nullptr;
}

} // namespace

int ListChannels(TChannel* out, int max) {
    Mixer* m = ActiveMixer();
    if (!m) return 0;
    int n = 0;
    for (uint32_t slot = 1; slot < uint32_t(kSlotCount); ++slot) {
        const SlotOwner& owner = m->owner[slot];
        if (!owner.in_use) continue;
        if (n < max) out[n].handle = MakeHandle(int(slot), owner.generation);
        ++n;
    }
    return n;
}

float ChannelVolume(TChannel channel) {
    const SlotControl* c = LiveControl(channel);
    if (!c) return -1;
    return float(int16_t(uint16_t(c->volume.load(std::memory_order_relaxed)))) / kUnitVolume;
}

int ChannelPaused(TChannel channel) {
    const SlotControl* c = LiveControl(channel);
    if (!c) return -1;
    return c->paused.load(std::memory_order_relaxed) ? 1 : 0;
}
