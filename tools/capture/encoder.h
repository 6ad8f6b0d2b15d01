// ffmpeg as a child process encoding while the demo renders: one Matroska
// stream of RGB24 pictures and PCM sound on its stdin (see mkv_stream.h); out
// come an H.264/AAC MP4 made for video sites (scaled to 4:3 by ffmpeg's own
// scaler, closed GOPs of half a second, at most 2 B-frames, no edit list,
// 48 kHz AAC-LC) and, on request, a lossless master (FFV1 RGB and FLAC in
// Matroska). Its stderr goes to a temporary file: any line there is an error
// (it logs errors only), reported even when it exits 0. It holds no
// descriptor of the tool's but its stdin and that log. Nothing here waits on
// ffmpeg for ever: a write that makes no progress looks at ffmpeg every
// kEncoderPollMs and gives up when it has exited, has logged an error and
// read nothing for a second, has read nothing for kEncoderStallSeconds, or
// the owner's stop test says so.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/types.h>

const int kEncoderStallSeconds = 20;
const int kEncoderPollMs = 100;

struct FfmpegEncoder {
    std::atomic<pid_t> pid{-1}; // also read by the stop-signal watchdog
    int input = -1;             // write end of ffmpeg's stdin, non-blocking
    FILE* log = nullptr;        // ffmpeg's stderr
    bool broken = false;        // ffmpeg stopped reading or was stopped
    bool not_installed = false; // StartEncoder found no ffmpeg in PATH at all
    int status = 0;             // ffmpeg's wait status once reaped
    std::string why;            // why it broke, once it did
    bool (*stop)() = nullptr;   // true: give up waiting (an interrupt)
    std::chrono::steady_clock::time_point last_read;
};

struct EncoderSettings {
    std::string mp4;               // where ffmpeg writes the MP4
    std::string master;            // where it writes the master; empty: none
    int width = 800, height = 600; // of the stream ffmpeg reads
    int mp4_height = 600;          // the MP4's lines; its width is 4/3 of them
    int fps = 60, crf = 18;
    std::string preset = "veryfast";
    bool audio = true;
};

// Starts ffmpeg; false with a reason when ffmpeg or the ffprobe that verifies
// its files is missing or cannot be executed, or it cannot be started.
bool StartEncoder(FfmpegEncoder& e, const EncoderSettings& s, std::string* error);
// Each false once ffmpeg has stopped reading; e.why then says why, and later
// writes are skipped.
bool EncodeFrame(FfmpegEncoder& e, int32_t ms, const uint8_t* rgb, size_t bytes);
bool EncodeSound(FfmpegEncoder& e, int32_t ms, const int16_t* interleaved, int frames);
// Closes the stream and waits for ffmpeg; false with ffmpeg's last line (or
// why it ended), also when it exits 0 but logged an error. A broken encoder
// is stopped instead of waited for.
bool FinishEncoder(FfmpegEncoder& e, std::string* error);
// Stops ffmpeg without waiting for its file (a failed or interrupted run).
void StopEncoder(FfmpegEncoder& e);
