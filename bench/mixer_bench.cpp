// Mixer throughput: seconds of 44100 Hz stereo output mixed per second of
// wall time on this thread, for 1 and for 101 looping channels (the ending
// plays up to 101 copies of the soundtrack, started one block apart), at the
// sound's own rate and with interpolation (a 22050 Hz source). Pulls
// 1024-frame blocks, as the output does.
#include "platform/audio/audio.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace {

TSound* MakeLoop(int rate) {
    auto* sample = new TAudioSample;
    sample->length = rate * 10;
    sample->rate = rate;
    sample->channels = 2;
    sample->samples = new int16_t[(size_t(sample->length) + 1) * 2]; // spare frame for the mixer
    uint32_t noise = 12345;
    for (int i = 0; i < sample->length * 2; ++i) {
        noise = noise * 1664525u + 1013904223u;
        sample->samples[i] = int16_t(noise >> 16);
    }
    return CreateSound(sample, 1);
}

// Multiple of real time for channels copies of a sound with the given rate.
double Measure(int channels, int rate, double audio_seconds) {
    SetAudioDriver("Manual");
    TSound* sound = MakeLoop(rate);
    for (int i = 0; i < channels; ++i) {
        TChannel ch = CueSound(sound);
        SetChannelVolume(ch, 1.0f / float(channels));
        ResumeChannel(ch);
    }
    static int16_t block[2 * 1024];
    const long blocks = long(audio_seconds * 44100 / 1024);
    AudioMixBlock(block, 1024); // takes the channels in
    auto start = std::chrono::steady_clock::now();
    for (long b = 0; b < blocks; ++b)
        AudioMixBlock(block, 1024);
    std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    ShutdownAudio();
    delete sound;
    return double(blocks) * 1024 / 44100 / wall.count();
}

} // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 600.0;
    for (int rate : {44100, 22050}) {
        double one = Measure(1, rate, seconds);
        double many = Measure(101, rate, seconds / 20);
        std::printf("%5d Hz source:   1 channel %9.0fx real time   101 channels %7.0fx real time"
                    "   ratio %.1f\n",
                    rate, one, many, one / many);
    }
    return 0;
}
