// Encodes float PCM (interleaved, -1..1) as an Ogg Vorbis file with
// libvorbisenc: the one encoder of the content generator and the tests.
// The same samples and settings give the same bytes on every run (the Ogg
// serial number is a parameter). On failure returns false with a reason.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

struct VorbisSettings {
    int channels = 2;
    int rate = 44100;
    float quality = 0.4f; // libvorbisenc VBR quality, -0.1 to 1
    int serial = 1;
    std::vector<std::pair<std::string, std::string>> tags; // e.g. {"TITLE", "ninefold"}
};

bool WriteVorbis(const std::string& path, const float* interleaved, size_t frames,
                 const VorbisSettings& settings, std::string* error);
