// Ogg Vorbis decoding: the whole first logical stream into 16-bit host-order
// frames. The sample ends where the stream's data ends, whatever its granule
// positions announce; a decoding error, a stream without audio, or more than
// two channels, fails the load.
// The file is read once into memory and its pages checked with libogg first:
// the headers are checked against the decoder's budget before libvorbis sees
// them, and a chained file (a second
// stream after the first) is refused, so libvorbisfile neither sizes its
// tables from a hostile setup header nor scans a thousand links.
#include "platform/audio/audio.h"

#include "platform/datadir.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

std::string sound_error; // "path: reason" of the last failed load
std::string sound_note;  // "path: what is wrong" of the last load that went on

// The file's bytes as the decoder reads them. No seek: libvorbisfile then
// decodes forward to the data's end and takes no length from a granule
// position.
struct Memory {
    const unsigned char* data;
    size_t size, at = 0;
};
size_t ReadMemory(void* buffer, size_t size, size_t count, void* source) {
    auto* m = static_cast<Memory*>(source);
    size_t n = size == 0 ? 0 : std::min(count, (m->size - m->at) / size);
    std::memcpy(buffer, m->data + m->at, n * size);
    m->at += n * size;
    return n;
}

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

// Header packet n (0 identification, 1 comment, 2 setup); "" when usable.
std::string CheckHeader(int n, const ogg_packet& packet) {
    const unsigned char* p = packet.packet;
    size_t size = size_t(packet.bytes);
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

// What the page check found: why the file is unusable ("" when it is one
// usable stream), and whether its stream ends with an end-of-stream page.
struct StreamCheck {
    std::string reason;
    bool ended = false;
};

// Reads the pages with libogg: the first Vorbis stream's three headers are
// checked, and a stream that begins after data pages (a chained file's second
// link) is refused.
StreamCheck CheckStreams(const unsigned char* data, size_t size) {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    ogg_stream_state stream;
    bool vorbis = false, data_seen = false;
    int headers = 0;
    StreamCheck check;
    std::string& reason = check.reason;
    int64_t offset = 0;
    for (size_t fed = 0;;) {
        ogg_page page;
        long n = ogg_sync_pageseek(&sync, &page);
        if (n == 0) {
            size_t chunk = std::min<size_t>(65536, size - fed);
            char* buffer = chunk ? ogg_sync_buffer(&sync, long(chunk)) : nullptr;
            if (!buffer) break;
            std::memcpy(buffer, data + fed, chunk);
            fed += chunk;
            ogg_sync_wrote(&sync, long(chunk));
            continue;
        }
        offset += n < 0 ? -n : 0;
        if (n < 0) continue;
        if (ogg_page_bos(&page) && data_seen) {
            reason = "a second stream starts at byte " + std::to_string(offset) +
                     " (chained files are not supported)";
            break;
        }
        offset += n;
        data_seen |= !ogg_page_bos(&page);
        if (!vorbis && ogg_page_bos(&page) && page.body_len >= 7 &&
            std::memcmp(page.body, "\x01vorbis", 7) == 0) {
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            vorbis = true;
        }
        if (!vorbis || ogg_page_serialno(&page) != stream.serialno) continue;
        check.ended |= ogg_page_eos(&page) != 0;
        if (headers == 3) continue;
        ogg_stream_pagein(&stream, &page);
        ogg_packet packet;
        while (headers < 3 && reason.empty() && ogg_stream_packetout(&stream, &packet) == 1)
            reason = CheckHeader(headers++, packet);
        if (!reason.empty()) break;
    }
    if (vorbis) ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
    if (reason.empty() && headers < 3)
        reason = vorbis ? "invalid Vorbis bitstream header" : "not Vorbis data";
    return check;
}

bool IsBigEndianHost() {
    const uint16_t probe = 1;
    return *reinterpret_cast<const uint8_t*>(&probe) == 0;
}

// libvorbisfile's meaning of its error codes.
const char* VorbisReason(long code) {
    switch (code) {
    case OV_EREAD:
        return "read error";
    case OV_ENOTVORBIS:
        return "not Vorbis data";
    case OV_EVERSION:
        return "Vorbis version mismatch";
    case OV_EBADHEADER:
        return "invalid Vorbis bitstream header";
    case OV_EFAULT:
        return "internal logic fault in the decoder";
    case OV_HOLE:
        return "interruption in the data (a damaged or missing page)";
    case OV_EBADLINK:
        return "invalid stream section";
    default:
        return "corrupt or unreadable Vorbis data";
    }
}

TAudioSample* Fail(const char* path, const std::string& reason) {
    sound_error = std::string(path ? path : "(null)") + ": " + reason;
    return nullptr;
}

// Decoded samples held in blocks as they come, so that memory follows what
// the stream holds rather than the length its last page announces.
struct Blocks {
    static constexpr size_t kSamples = size_t(1) << 20; // a multiple of any frame
    std::vector<std::unique_ptr<int16_t[]>> blocks;
    size_t total = 0; // samples
};

// Reads until max_samples or the end of the first stream; 0, or the error code.
long DecodeAll(OggVorbis_File& vf, size_t max_samples, Blocks& out) {
    const int big_endian = IsBigEndianHost() ? 1 : 0;
    while (out.total < max_samples) {
        size_t in_block = out.total % Blocks::kSamples;
        if (in_block == 0) {
            out.blocks.emplace_back(new (std::nothrow) int16_t[Blocks::kSamples]);
            if (!out.blocks.back()) return OV_EFAULT;
        }
        // Whole frames only: both limits are multiples of the frame size.
        size_t want =
            std::min({Blocks::kSamples - in_block, max_samples - out.total, size_t(1) << 15});
        char* at = reinterpret_cast<char*>(out.blocks.back().get() + in_block);
        int stream = 0;
        long got = ov_read(&vf, at, int(want * 2), big_endian, 2, 1, &stream);
        if (got < 0) return got;
        if (got == 0 || stream != 0) break; // the data ends here
        out.total += size_t(got) / 2;
    }
    return 0;
}

// One buffer of the decoded samples and one zero frame more (the mixer's
// spare frame, so the sound needs no second copy); each block is freed once
// copied.
int16_t* Join(Blocks& in, int channels) {
    auto* samples = new (std::nothrow) int16_t[in.total + size_t(channels)]();
    if (!samples) return nullptr;
    for (size_t b = 0, at = 0; at < in.total; ++b) {
        size_t n = std::min(Blocks::kSamples, in.total - at);
        std::memcpy(samples + at, in.blocks[b].get(), n * sizeof(int16_t));
        in.blocks[b].reset();
        at += n;
    }
    return samples;
}

} // namespace

TAudioSample::~TAudioSample() {
    delete[] samples;
}

const char* SoundLoadError() {
    return sound_error.c_str();
}

const char* SoundLoadNote() {
    return sound_note.c_str();
}

// The file is read once: the headers are checked on those bytes and the
// decoder reads the same copy, so a file rewritten in between cannot carry
// anything past the check. The length is what decodes, whatever the granule
// positions announce.
TAudioSample* LoadAudioSample(const char* path) {
    sound_error.clear();
    sound_note.clear();
    std::string reason;
    int64_t bytes = 0;
    FILE* file = OpenDataFile(path, kMaxSoundFileBytes, &bytes, &reason);
    if (!file) return Fail(path, reason);
    std::vector<unsigned char> data(size_t(bytes) + 1);
    size_t got = std::fread(data.data(), 1, data.size(), file);
    std::fclose(file);
    if (got != size_t(bytes)) return Fail(path, "read error (the file changed while read)");
    StreamCheck check = CheckStreams(data.data(), got);
    if (!check.reason.empty()) return Fail(path, check.reason);
    Memory memory{data.data(), got};
    OggVorbis_File vf;
    ov_callbacks callbacks = {ReadMemory, nullptr, nullptr, nullptr};
    if (int rc = ov_open_callbacks(&memory, &vf, nullptr, 0, callbacks))
        return Fail(path, VorbisReason(rc));
    vorbis_info* info = ov_info(&vf, 0);
    if (!info)
        reason = "cannot read the stream header";
    else if (info->channels < 1 || info->channels > 2)
        reason = "only mono and stereo are supported";
    else if (info->rate <= 0 || info->rate > 1000000)
        reason = "bad sample rate";
    if (!reason.empty()) {
        ov_clear(&vf);
        return Fail(path, reason);
    }
    const int channels = info->channels, rate = int(info->rate);
    // One frame past the limit tells a stream that is too long.
    Blocks blocks;
    long rc = DecodeAll(vf, size_t(kMaxSoundFrames + 1) * size_t(channels), blocks);
    ov_clear(&vf);
    if (rc != 0) return Fail(path, rc == OV_EFAULT ? "out of memory" : VorbisReason(rc));
    size_t frames = blocks.total / size_t(channels);
    if (frames == 0) return Fail(path, "no audio in the stream (headers only)");
    if (frames > size_t(kMaxSoundFrames))
        return Fail(path, "longer than the limit of " + std::to_string(kMaxSoundFrames) +
                              " frames (5 minutes at 48000 Hz)");
    int16_t* samples = Join(blocks, channels);
    if (!samples) return Fail(path, "out of memory");
    if (!check.ended)
        sound_note = std::string(path) + ": the soundtrack is cut short (no end-of-stream " +
                     "page); it plays the " + std::to_string(frames / size_t(rate)) + " s it holds";
    auto* sample = new TAudioSample;
    sample->length = int(frames);
    sample->rate = rate;
    sample->channels = channels;
    sample->samples = samples;
    return sample;
}
