#include "tests/audio/ogg_writer.h"

#include "tools/vorbis_write.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

std::vector<int16_t> SynthesizePcm(int frames, int channels, int rate, int amplitude,
                                   double base_hz) {
    std::vector<int16_t> pcm(size_t(frames) * size_t(channels));
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            double hz = base_hz * (1.0 + 0.5 * c);
            double phase = 2.0 * M_PI * hz * i / rate + 0.7 + c;
            pcm[size_t(i) * channels + c] = int16_t(std::lround(amplitude * std::sin(phase)));
        }
    }
    return pcm;
}

bool WriteOgg(const std::string& path, const std::vector<int16_t>& pcm, int channels, int rate) {
    std::vector<float> samples(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i)
        samples[i] = pcm[i] / 32768.0f;
    VorbisSettings settings;
    settings.channels = channels;
    settings.rate = rate;
    settings.quality = 0.6f;
    settings.serial = 1234;
    std::string error;
    return WriteVorbis(path, samples.data(), pcm.size() / size_t(channels), settings, &error);
}

std::string TempAudioPath(const std::string& name) {
    return testing::TempDir() + "audio_" + std::to_string(getpid()) + "_" + name;
}

std::unique_ptr<TSound> MakeSound(const std::string& name, int frames, int channels, int rate,
                                  int amplitude, int flags, double base_hz) {
    std::string path = TempAudioPath(name + ".ogg");
    if (!WriteOgg(path, SynthesizePcm(frames, channels, rate, amplitude, base_hz), channels, rate))
        return nullptr;
    std::unique_ptr<TSound> sound(LoadSound(path.c_str(), flags));
    std::remove(path.c_str());
    return sound;
}
