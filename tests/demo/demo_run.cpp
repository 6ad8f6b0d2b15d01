#include "tests/demo/demo_run.h"

#include "demo/demo.h"
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"
#include "platform/keyboard.h"

#include <SDL.h>

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

// Gaining the keyboard focus clears the key counters, so a key injected
// before the window manager hands the focus over would be lost. Waits for
// the X server, at most two seconds, while the first frame is presented.
void WaitForFocus() {
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    for (int i = 0; window && i < 200; ++i) {
        SDL_PumpEvents();
        if (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) return;
        SDL_Delay(10);
    }
}

void OnFlip(void* user) {
    auto* st = static_cast<RunState*>(user);
    const int k = st->frames++;
    if (k == 0) WaitForFocus();
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

RunResult RunDemo(const Script& script) {
    static RunState st;
    st.script = &script;
    st.now.store(kBase);
    st.frames = 0;
    SetAudioDriver("Manual");
    FreshDrawState();
    SetHiddenDisplay(false);
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
