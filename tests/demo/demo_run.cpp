#include "tests/demo/demo_run.h"

#include "demo/demo.h"
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"
#include "platform/keyboard.h"

#include <atomic>

namespace {

// Any fixed reading: demo time is relative to the start mark.
const int32_t kBase = kScriptStartMark;

struct RunState {
    const Script* script = nullptr;
    std::atomic<int32_t> now{kBase};
    int frames = 0;
};

int32_t TimeOf(const Script& s, int frame) {
    return frame < int(s.times.size()) ? s.times[frame] : s.after_ms;
}

// Also called from the audio thread: only atomics here.
int32_t ScriptedClock(void* user) {
    return static_cast<RunState*>(user)->now.load();
}

void OnFlip(void* user) {
    auto* st = static_cast<RunState*>(user);
    const int k = st->frames++;
    if (st->script->on_frame) st->script->on_frame(k, TimeOf(*st->script, k));
    if (k == st->script->escape_at) {
        InjectKeyDown(27);
        InjectKeyUp(27);
    }
    st->now.store(kBase + TimeOf(*st->script, k + 1));
}

// The 2D layer keeps its drawing state across displays: give every run the
// state of a fresh process.
void FreshDrawState() {
    AutoMidHandle(0);
    SetRotation(0);
    SetScale(1, 1);
    SetColor(255, 255, 255);
    SetAlpha(1);
    SetLineWidth(1);
}

} // namespace

// A second of silence for the soundtrack (linked with --wrap): decoding the
// whole music would take most of a start-up, and what the demo does with
// the sound does not depend on what it holds.
extern "C" TSound* __wrap__Z9LoadSoundPKci(const char*, int flags) {
    auto* sample = new TAudioSample;
    sample->length = sample->rate = 44100;
    sample->channels = 2;
    sample->samples = new int16_t[2 * (44100 + 1)]();
    return CreateSound(sample, flags);
}

RunResult RunDemo(const Script& script) {
    static RunState st;
    st.script = &script;
    st.now.store(kBase);
    st.frames = 0;
    SetAudioDriver("Manual");
    FreshDrawState();
    // Flip never waits, and a hidden window never gains the focus, which
    // would clear the injected keys.
    SetHiddenDisplay(true);
    SetMilliSecsSource(ScriptedClock, &st);
    SetFlipHook(OnFlip, &st);
    DemoMain();
    SetFlipHook(nullptr, nullptr);
    SetMilliSecsSource(nullptr, nullptr);
    RunResult r;
    r.frames = st.frames;
    r.display_closed = GraphicsWidth() == 0;
    return r;
}
