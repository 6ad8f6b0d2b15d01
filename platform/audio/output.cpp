// Driver selection and the SDL2 back end: a 44100 Hz stereo S16 device whose
// callback thread pulls blocks of at most 4096 frames from the mixer. When no
// device opens, the silent Null driver (no mixer at all) takes its place.
#include "platform/audio/mixer.h"
#include "platform/graphics.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

enum Driver { kNone, kSDL, kNull, kManual };

struct AudioOutput {
    Driver requested = kSDL;
    Driver running = kNone;
    Mixer* mixer = nullptr;
    SDL_AudioDeviceID device = 0;
    uint32_t generation_floor = 0;
    bool exit_hook = false;
};

AudioOutput g_audio;

void PullBlocks(Mixer& mixer, int16_t* out, int frames) {
    while (frames > 0) {
        int n = std::min(frames, kMixMaxFrames);
        MixBlock(mixer, out, n, MilliSecs());
        out += 2 * n;
        frames -= n;
    }
}

void SDLCALL DeviceCallback(void* user, Uint8* stream, int bytes) {
    PullBlocks(*static_cast<Mixer*>(user), reinterpret_cast<int16_t*>(stream), bytes / 4);
}

bool OpenDevice() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = kMixRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024; // about 23 ms, in step with the 20 ms start delay
    want.callback = DeviceCallback;
    want.userdata = g_audio.mixer;
    SDL_AudioSpec have;
    // No changes allowed: SDL converts if the hardware wants another format.
    g_audio.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (g_audio.device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(g_audio.device, 0);
    return true;
}

void StartAudio() {
    if (!g_audio.exit_hook) {
        std::atexit(ShutdownAudio);
        g_audio.exit_hook = true;
    }
    g_audio.running = kNull;
    if (g_audio.requested == kNull) return;
    g_audio.mixer = CreateMixer(g_audio.generation_floor);
    if (g_audio.requested == kManual) {
        g_audio.running = kManual;
        return;
    }
    if (OpenDevice()) {
        g_audio.running = kSDL;
        return;
    }
    g_audio.generation_floor = DestroyMixer(g_audio.mixer);
    g_audio.mixer = nullptr;
}

} // namespace

Mixer* ActiveMixer() {
    if (g_audio.running == kNone) StartAudio();
    return g_audio.mixer;
}

const char* AudioDriverName() {
    ActiveMixer();
    switch (g_audio.running) {
    case kSDL:
        return "SDL";
    case kManual:
        return "Manual";
    default:
        return "Null";
    }
}

void ShutdownAudio() {
    if (g_audio.device) {
        SDL_CloseAudioDevice(g_audio.device); // waits for the callback to return
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        g_audio.device = 0;
    }
    if (g_audio.mixer) g_audio.generation_floor = DestroyMixer(g_audio.mixer);
    g_audio.mixer = nullptr;
    g_audio.running = kNone;
}

void SetAudioDriver(const char* name) {
    ShutdownAudio();
    if (name && std::strcmp(name, "Null") == 0)
        g_audio.requested = kNull;
    else if (name && std::strcmp(name, "Manual") == 0)
        g_audio.requested = kManual;
    else
        g_audio.requested = kSDL;
}

void AudioMixBlock(int16_t* out, int frames) {
    if (!out || frames <= 0) return;
    Mixer* mixer = ActiveMixer();
    if (g_audio.running == kManual && mixer)
        PullBlocks(*mixer, out, frames);
    else
        std::memset(out, 0, size_t(frames) * 2 * sizeof(int16_t));
}
