// Test support: synthesized PCM encoded to Ogg Vorbis files with libvorbisenc,
// so the tests need no committed audio. Files go to the test temp directory.
#pragma once

#include "platform/audio/audio.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Interleaved sines, base_hz times 1, 1.5, 2 ... per channel, starting away from zero.
std::vector<int16_t> SynthesizePcm(int frames, int channels, int rate, int amplitude,
                                   double base_hz = 440.0);
// Writes an Ogg Vorbis file; false on any encoder error.
bool WriteOgg(const std::string& path, const std::vector<int16_t>& pcm, int channels, int rate);
// A fresh file name in the test temp directory.
std::string TempAudioPath(const std::string& name);
// Synthesizes, encodes and loads a sound (flags as LoadSound); null on failure.
std::unique_ptr<TSound> MakeSound(const std::string& name, int frames, int channels, int rate,
                                  int amplitude, int flags = 0, double base_hz = 440.0);
