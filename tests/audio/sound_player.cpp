// Plays the sound-server test's signal through the default output for the
// given seconds of the clock, after writing its start mark (MilliSecs) to a file.
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "tests/audio/server_signal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const int32_t play_ms = int32_t(std::atof(argv[1]) * 1000);
    auto* sample = new TAudioSample;
    sample->length = kServerSignalFrames;
    sample->rate = 44100;
    sample->channels = 2;
    sample->samples = new int16_t[2 * (kServerSignalFrames + 1)];
    for (uint32_t i = 0; i < uint32_t(2 * kServerSignalFrames); ++i)
        sample->samples[i] = ServerSignal(i / 2, int(i % 2));
    TSound* sound = CreateSound(sample);
    if (!sound || !AudioDeviceOpen()) return 1;
    // As the demo starts its song: heard from its first frame 20 ms after the mark.
    const int32_t first_ms = SoundStartMs(2500);
    const int32_t mark = first_ms - 20;
    PlaySoundAt(sound, first_ms);
    Delay(std::max(0, int(first_ms - 20 - MilliSecs())));
    if (FILE* f = std::fopen(argv[2], "w")) {
        std::fprintf(f, "%d\n", mark);
        std::fclose(f);
    }
    // The clock, not a count of naps, so a stop of the process counts.
    while (int32_t(uint32_t(MilliSecs()) - uint32_t(mark)) < play_ms)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return 0;
}
