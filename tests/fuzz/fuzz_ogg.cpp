// Ogg Vorbis decoding: any bytes as a soundtrack file.
#include "platform/audio/audio.h"
#include "tests/fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TAudioSample* sample = LoadAudioSample(FuzzFile(data, size));
    if (sample) {
        // Every frame the sample reports must be in its buffer.
        const size_t count = size_t(sample->length) * size_t(sample->channels);
        if (count) {
            volatile int16_t last = sample->samples[count - 1];
            (void)last;
        }
        delete sample;
    }
    return 0;
}
