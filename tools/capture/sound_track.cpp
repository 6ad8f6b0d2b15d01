#include "tools/capture/sound_track.h"

#include "tools/capture/frames.h"

#include "platform/audio/audio.h"

#include <algorithm>

void MixInterval(SoundTrack& s, std::atomic<int32_t>& clock, int32_t clock_base, int32_t from_ms,
                 int32_t to_ms, bool keep, JobQueue& queue) {
    clock.store(clock_base + from_ms);
    int64_t frames = AudioFrameAt(to_ms) - AudioFrameAt(from_ms);
    Job job;
    job.t = from_ms;
    s.mix.resize(4096 * 2);
    while (frames > 0) {
        const int n = int(std::min<int64_t>(frames, 4096));
        AudioMixBlock(s.mix.data(), n);
        if (keep) job.sound.insert(job.sound.end(), s.mix.begin(), s.mix.begin() + 2 * n);
        frames -= n;
    }
    if (job.sound.empty()) return;
    if (!s.held.sound.empty()) queue.Push(std::move(s.held));
    s.held = std::move(job);
}

void EndSoundTrack(SoundTrack& s, JobQueue& queue) {
    if (s.held.sound.empty()) return;
    FadeOut(s.held.sound);
    queue.Push(std::move(s.held));
    s.held = Job();
}

void FadeOut(std::vector<int16_t>& interleaved) {
    const int frames = int(interleaved.size() / 2);
    const int n = std::min(frames, kFadeOutFrames);
    for (int i = 0; i < n; ++i) {
        const int64_t gain = n - 1 - i; // in n-ths; the last frame is silent
        for (int c = 0; c < 2; ++c) {
            int16_t& v = interleaved[size_t(frames - n + i) * 2 + size_t(c)];
            v = int16_t(v * gain / n);
        }
    }
}
