#include "tests/demo/demo_run.h"

#include "demo/demo.h"
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"

#include <SDL.h>

#include <atomic>
#include <thread>

namespace {

// Any fixed reading: demo time is relative to the start mark.
const int32_t kBase = 1234567;

struct RunState {
    const Script* script = nullptr;
    std::atomic<int32_t> now{kBase};
    std::thread::id main_thread;
    std::atomic<int> main_reads{0};
    int frames = 0;
    int reads_at_escape = -1;
};

int32_t TimeOf(const Script& s, int frame) {
    return frame < int(s.times.size()) ? s.times[frame] : s.after_ms;
}

// Also called from the audio thread: only atomics here.
int32_t ScriptedClock(void* user) {
    auto* st = static_cast<RunState*>(user);
    if (std::this_thread::get_id() == st->main_thread) st->main_reads.fetch_add(1);
    return st->now.load();
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
        st->reads_at_escape = st->main_reads.load();
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
    st.main_thread = std::this_thread::get_id();
    st.main_reads.store(0);
    st.frames = 0;
    st.reads_at_escape = -1;
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
    if (st.reads_at_escape >= 0) r.reads_after_escape = st.main_reads.load() - st.reads_at_escape;
    r.display_closed = GraphicsWidth() == 0;
    return r;
}
