// The soundtrack "ninefold": 120 BPM in A minor, a bar every 2 s, a new part
// every 8 bars to match the picture sections, a soft pad swell at the start
// (it is heard stacked when the ending restarts the track) and a final chord
// at 135 s that rings out to the end at 137 s.
#pragma once

#include <string>
#include <vector>

constexpr double kSongSeconds = 137.0;

// Interleaved stereo float samples, -1..1, 44100 Hz.
std::vector<float> render_song();
// Encodes interleaved stereo float samples as Ogg Vorbis (quality 0.4,
// fixed stream serial number, so the bytes are the same on every run).
bool write_ogg(const std::string& path, const std::vector<float>& stereo);
