#include "tools/capture/mkv_stream.h"

#include <cstring>

namespace {

// Element sizes always take eight bytes: simple, and any payload fits.
void PutSize(std::string& out, uint64_t n) {
    out += char(0x01);
    for (int shift = 48; shift >= 0; shift -= 8)
        out += char(n >> shift);
}

// ids are written with their length marker, as the format lists them.
std::string Element(uint32_t id, const std::string& body) {
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8)
        if (id >> shift || shift == 0) out += char(id >> shift);
    PutSize(out, body.size());
    return out + body;
}

std::string Uint(uint32_t id, uint64_t v) {
    std::string body;
    for (int shift = 56; shift >= 0; shift -= 8)
        body += char(v >> shift);
    return Element(id, body);
}

std::string Float(uint32_t id, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    std::string body;
    for (int shift = 56; shift >= 0; shift -= 8)
        body += char(bits >> shift);
    return Element(id, body);
}

} // namespace

std::string MkvHeader(int width, int height, int fps, bool sound) {
    std::string out =
        Element(0x1A45DFA3, Uint(0x4286, 1) + Uint(0x42F7, 1) + Uint(0x42F2, 4) + Uint(0x42F3, 8) +
                                Element(0x4282, "matroska") + Uint(0x4287, 4) + Uint(0x4285, 2));
    out += "\x18\x53\x80\x67"; // the segment, its length unknown: it is a pipe
    out += std::string("\x01\xff\xff\xff\xff\xff\xff\xff", 8);
    out += Element(0x1549A966, Uint(0x2AD7B1, 1000000) + Element(0x4D80, "ninefold_capture") +
                                   Element(0x5741, "ninefold_capture"));
    // V_UNCOMPRESSED names its pixel layout by a raw fourcc: 'RGB' 24.
    std::string tracks =
        Element(0xAE, Uint(0xD7, kMkvVideoTrack) + Uint(0x73C5, kMkvVideoTrack) + Uint(0x83, 1) +
                          Element(0x86, "V_UNCOMPRESSED") + Uint(0x9C, 0) +
                          Uint(0x23E383, uint64_t(1000000000.0 / fps + 0.5)) +
                          Element(0xE0, Uint(0xB0, uint64_t(width)) + Uint(0xBA, uint64_t(height)) +
                                            Element(0x2EB524, std::string("RGB\x18", 4))));
    if (sound)
        tracks += Element(
            0xAE, Uint(0xD7, kMkvSoundTrack) + Uint(0x73C5, kMkvSoundTrack) + Uint(0x83, 2) +
                      Element(0x86, "A_PCM/INT/LIT") + Uint(0x9C, 0) +
                      Element(0xE1, Float(0xB5, 44100.0) + Uint(0x9F, 2) + Uint(0x6264, 16)));
    return out + Element(0x1654AE6B, tracks);
}

std::string MkvBlockHead(int track, int32_t ms, size_t payload_bytes) {
    // Track number, time relative to the cluster (0), flags: key frame.
    const std::string block_head = {char(0x80 | track), 0, 0, char(0x80)};
    std::string cluster_body = Uint(0xE7, uint64_t(ms));
    cluster_body += char(0xA3);
    PutSize(cluster_body, block_head.size() + payload_bytes);
    cluster_body += block_head;
    std::string out = "\x1F\x43\xB6\x75";
    PutSize(out, cluster_body.size() + payload_bytes);
    return out + cluster_body;
}
