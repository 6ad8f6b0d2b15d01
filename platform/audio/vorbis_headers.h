// The Vorbis header checker: the three header packets of a stream
// (identification, comment, setup), checked as bytes before libvorbis sees
// them. The setup header's codebooks decide what the decoder allocates, so
// their entries and values are held to the budget in audio.h; the
// identification header to mono or stereo at a sane rate; the comment
// header's lengths to the packet.
#pragma once

#include <cstddef>
#include <string>

// Header packet n (0 identification, 1 comment, 2 setup), in stream order;
// "" when usable, else why not.
std::string CheckVorbisHeader(int n, const unsigned char* packet, size_t bytes);
