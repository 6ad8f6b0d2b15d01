// The capture's file streams: a YUV4MPEG2 video of 8-bit 4:4:4 frames
// (BT.601 full range, the only loss being the rounding into Y'CbCr) and a
// WAV file of 44100 Hz stereo signed 16-bit samples whose sizes are filled in
// when it is closed. Writes are checked; the first failure is kept as a
// one-line reason and later writes are skipped.
#pragma once

#include "tools/capture/rgb_image.h"

#include <cstdint>
#include <cstdio>
#include <string>

// One pixel in BT.601 full range: y, cb, cr each rounded and kept in 0..255.
void RgbToYcbcr(uint8_t r, uint8_t g, uint8_t b, uint8_t* y, uint8_t* cb, uint8_t* cr);

struct Y4mWriter {
    FILE* file = nullptr;
    std::string path, error;
    int width = 0, height = 0;
    std::vector<uint8_t> planes; // one frame: Y, then Cb, then Cr
};

// A path of "-" writes to stdout.
bool OpenY4m(Y4mWriter& w, const std::string& path, int width, int height, int fps);
bool WriteY4mFrame(Y4mWriter& w, const RgbImage& frame);
bool CloseY4m(Y4mWriter& w);

struct WavWriter {
    FILE* file = nullptr;
    std::string path, error;
    int64_t frames = 0; // stereo sample frames written
};

bool OpenWav(WavWriter& w, const std::string& path);
bool WriteWav(WavWriter& w, const int16_t* interleaved, int frames);
bool CloseWav(WavWriter& w); // writes the final sizes into the header

const int kWavRate = 44100;
const int kWavHeaderBytes = 44;
