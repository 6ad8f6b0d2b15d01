// ffmpeg as a child process encoding while the demo renders: RGB24 frames on
// its stdin, 44100 Hz stereo s16le sound on a second pipe (its fd 3), one
// H.264/AAC MP4 out. Its stderr goes to a temporary file so that its last
// line can be reported when it fails.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/types.h>

struct FfmpegEncoder {
    pid_t pid = -1;
    int video = -1, audio = -1; // write ends of the pipes
    FILE* log = nullptr;        // ffmpeg's stderr
    bool broken = false;        // a write failed: ffmpeg stopped reading
    bool not_installed = false; // StartEncoder found no ffmpeg in PATH
};

struct EncoderSettings {
    std::string output; // the MP4
    int width = 800, height = 600, fps = 60, crf = 18;
    std::string preset = "veryfast";
    bool audio = true;
};

// Starts ffmpeg; false with a reason when it cannot be started (not in PATH).
bool StartEncoder(FfmpegEncoder& e, const EncoderSettings& s, std::string* error);
// False once ffmpeg has stopped reading (it failed); later writes are skipped.
bool EncodeFrame(FfmpegEncoder& e, const uint8_t* rgb, size_t bytes);
bool EncodeSound(FfmpegEncoder& e, const int16_t* interleaved, int frames);
// Closes the pipes and waits; false with ffmpeg's last stderr line.
bool FinishEncoder(FfmpegEncoder& e, std::string* error);
