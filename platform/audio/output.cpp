// Driver selection and the SDL2 back end: a 44100 Hz stereo S16 device whose
// callback thread pulls blocks of at most 4096 frames from the mixer. When no
// device opens, the silent Null driver (no mixer at all) takes its place.
#include "platform/audio/mixer.h"
#include "platform/clock.h"

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

AudioOutput audio_output;

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
    want.userdata = audio_output.mixer;
    SDL_AudioSpec have;
    // No changes allowed: SDL converts if the hardware wants another format.
    audio_output.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (audio_output.device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(audio_output.device, 0);
    return true;
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
    if (OpenDevice()) {
        audio_output.running = kSDL;
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

void ShutdownAudio() {
    if (audio_output.device) {
        SDL_CloseAudioDevice(audio_output.device); // waits for the callback to return
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audio_output.device = 0;
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
