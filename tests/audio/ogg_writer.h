// Test support: synthesized PCM encoded to Ogg Vorbis files with libvorbisenc,
// so the tests need no committed audio. Files go to the test temp directory.
#pragma once

#include "platform/audio/audio.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Interleaved stereo 44100 Hz sines, base_hz on the left and 1.5 times it on
// the right, starting away from zero.
std::vector<int16_t> SynthesizePcm(int frames, int amplitude, double base_hz = 440.0);
// Writes a stereo 44100 Hz Ogg Vorbis file; false on any encoder error.
bool WriteOgg(const std::string& path, const std::vector<int16_t>& pcm);
// Copies an Ogg Vorbis file with its setup header's codebooks written in
// other forms an encoder may choose, which decode to the same sound: lookup
// type 1 tables as the equivalent type 2 (every entry's values listed), and
// length lists that rise in entry order as ordered runs. Counts the books
// changed into each form; false on a read or write error.
struct CodebookForms {
    int lookup2 = 0, ordered = 0;
};
bool RewriteCodebooks(const std::string& from, const std::string& to, CodebookForms* done);
// A fresh file name in the test temp directory.
std::string TempAudioPath(const std::string& name);
// Synthesizes, encodes and loads a stereo 44100 Hz sound; null on failure.
std::unique_ptr<TSound> MakeSound(const std::string& name, int frames, int amplitude,
                                  double base_hz = 440.0);
