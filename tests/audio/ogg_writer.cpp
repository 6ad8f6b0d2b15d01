#include "tests/audio/ogg_writer.h"

#include "tools/vorbis_write.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

std::vector<int16_t> SynthesizePcm(int frames, int amplitude, double base_hz) {
    std::vector<int16_t> pcm(size_t(frames) * 2);
    for (size_t i = 0; i < pcm.size(); ++i) {
        const double hz = base_hz * (1.0 + 0.5 * double(i % 2)), k = double(i / 2);
        pcm[i] =
            int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * k / 44100 + 0.7 + i % 2)));
    }
    return pcm;
}

bool WriteOgg(const std::string& path, const std::vector<int16_t>& pcm) {
    std::vector<float> samples(pcm.begin(), pcm.end());
    for (float& s : samples)
        s /= 32768.0f;
    VorbisSettings settings; // stereo, 44100 Hz
    settings.quality = 0.6f;
    std::string error;
    return WriteVorbis(path, samples.data(), pcm.size() / 2, settings, &error);
}

std::string TempAudioPath(const std::string& name) {
    return testing::TempDir() + "audio_" + std::to_string(getpid()) + "_" + name;
}

std::unique_ptr<TSound> MakeSound(const std::string& name, int frames, int amplitude,
                                  double base_hz) {
    std::string path = TempAudioPath(name + ".ogg");
    if (!WriteOgg(path, SynthesizePcm(frames, amplitude, base_hz))) return nullptr;
    std::unique_ptr<TSound> sound(LoadSound(path.c_str(), 0));
    std::remove(path.c_str());
    return sound;
}
