// The one stream ffmpeg reads: Matroska carrying raw RGB24 pictures (track 1)
// and 44100 Hz stereo s16le sound (track 2), each block in a cluster of its
// own, written in the order of demo time. ffmpeg demuxes it front to back, so
// it never waits for one kind of data while the other fills a pipe. Times are
// whole milliseconds from the first written frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum { kMkvVideoTrack = 1, kMkvSoundTrack = 2 };

// EBML header, a segment of unknown length and the tracks.
std::string MkvHeader(int width, int height, int fps, bool sound);
// The bytes before a block's payload of the given size.
std::string MkvBlockHead(int track, int32_t ms, size_t payload_bytes);
