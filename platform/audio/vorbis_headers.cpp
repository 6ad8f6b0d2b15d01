// Vorbis header packets checked bit by bit, as the format packs them.
#include "platform/audio/vorbis_headers.h"

#include "platform/audio/audio.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// A packet's bits, least significant first, as Vorbis packs them.
struct Bits {
    const unsigned char* data;
    uint64_t size; // bits
    uint64_t at = 0;
    bool over = false; // read past the end
    uint32_t Read(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++at) {
            if (at >= size) return over = true, 0;
            v |= uint32_t(data[at >> 3] >> (at & 7) & 1) << i;
        }
        return v;
    }
    void Skip(uint64_t n) {
        if (n > size - std::min(at, size)) over = true;
        at = over ? size : at + n;
    }
};

int BitsFor(uint32_t v) {
    int n = 0;
    for (; v; v >>= 1)
        ++n;
    return n;
}

// Values of a lookup type 1 table: the largest r with r^dimensions <= entries.
uint64_t Lookup1Values(uint32_t entries, uint32_t dimensions) {
    if (dimensions == 0) return 0; // no vectors to look up
    auto fits = [&](uint64_t r) {
        uint64_t p = 1;
        for (uint32_t d = 0; d < dimensions && p <= entries; ++d)
            p *= r;
        return p <= entries;
    };
    uint64_t r = 0;
    while (fits(r + 1))
        ++r;
    return r;
}

// The codebooks of a setup header (after its 7-byte preamble): what libvorbis
// will allocate grows with their entries and dimensions, so those are checked
// against the budget before anything else; "" when within it.
std::string CheckCodebooks(const unsigned char* data, size_t bytes) {
    const std::string damaged = "invalid Vorbis bitstream header";
    Bits b{data, uint64_t(bytes) * 8};
    uint64_t entries_in_all = 0, values_in_all = 0;
    for (uint32_t book = 0, books = b.Read(8) + 1; book < books && !b.over; ++book) {
        if (b.Read(24) != 0x564342) return b.over ? damaged : damaged + " (codebook sync)";
        uint32_t dimensions = b.Read(16), entries = b.Read(24);
        entries_in_all += entries;
        values_in_all += uint64_t(entries) * std::max(dimensions, 1u);
        if (entries_in_all > uint64_t(kMaxCodebookEntries) ||
            values_in_all > uint64_t(kMaxCodebookValues))
            return "Vorbis codebook " + std::to_string(book + 1) + " of " + std::to_string(books) +
                   " has " + std::to_string(entries) + " entries x " + std::to_string(dimensions) +
                   " dimensions, over the decoder's budget of " +
                   std::to_string(kMaxCodebookEntries) + " entries and " +
                   std::to_string(kMaxCodebookValues) + " values in all";
        if (b.Read(1)) { // ordered lengths: runs of one length each, lengths rising
            uint32_t length = b.Read(5) + 1, at = 0;
            for (; at < entries && !b.over; ++length) {
                if (length > 32) return damaged;
                at += b.Read(BitsFor(entries - at));
            }
            if (at > entries) return damaged;
        } else {
            bool sparse = b.Read(1);
            for (uint32_t e = 0; e < entries && !b.over; ++e)
                if (!sparse || b.Read(1)) b.Read(5);
        }
        uint32_t lookup = b.Read(4);
        if (lookup == 1 || lookup == 2) {
            b.Skip(64); // minimum and delta
            uint32_t value_bits = b.Read(4) + 1;
            b.Read(1);
            b.Skip((lookup == 1 ? Lookup1Values(entries, dimensions)
                                : uint64_t(entries) * dimensions) *
                   value_bits);
        } else if (lookup != 0) {
            return damaged;
        }
    }
    return b.over ? damaged : "";
}

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

std::string CheckVorbisHeader(int n, const unsigned char* p, size_t size) {
    if (size < 7 || p[0] != 2 * n + 1 || std::memcmp(p + 1, "vorbis", 6) != 0)
        return n == 0 ? "not Vorbis data" : "invalid Vorbis bitstream header";
    if (n == 0) {
        if (size < 30) return "invalid Vorbis bitstream header";
        if (p[11] < 1 || p[11] > 2) return "only mono and stereo are supported";
        if (Le32(p + 12) < 1 || Le32(p + 12) > 1000000) return "bad sample rate";
    } else if (n == 1) { // every length within the packet
        size_t at = 7;
        auto take = [&](uint64_t bytes) {
            return bytes <= size - at ? (at += bytes, true) : false;
        };
        if (!take(4) || !take(Le32(p + at - 4)) || !take(4)) return "invalid Vorbis comment header";
        for (uint32_t c = 0, count = Le32(p + at - 4); c < count; ++c)
            if (!take(4) || !take(Le32(p + at - 4))) return "invalid Vorbis comment header";
    } else {
        return CheckCodebooks(p + 7, size - 7);
    }
    return "";
}
