// Ogg Vorbis decoding: the whole first logical stream into 16-bit host-order
// frames. The sample ends where the stream's data ends, whatever its granule
// positions announce; a decoding error, a stream without audio, or more than
// two channels, fails the load.
// The file is read once into memory and its pages scanned with libogg first:
// the headers go to the checker before libvorbis sees them, and a chained
// file (a second stream after the first) is refused, so libvorbisfile
// neither sizes its tables from a hostile setup header nor scans a thousand
// links.
#include "platform/audio/audio.h"
#include "platform/audio/vorbis_headers.h"

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
            reason = CheckVorbisHeader(headers++, packet.packet, size_t(packet.bytes));
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

TAudioSample* LoadFailed(const char* path, const std::string& reason) {
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
    if (!file) return LoadFailed(path, reason);
    std::vector<unsigned char> data(size_t(bytes) + 1);
    size_t got = std::fread(data.data(), 1, data.size(), file);
    std::fclose(file);
    if (got != size_t(bytes)) return LoadFailed(path, "read error (the file changed while read)");
    StreamCheck check = CheckStreams(data.data(), got);
    if (!check.reason.empty()) return LoadFailed(path, check.reason);
    Memory memory{data.data(), got};
    OggVorbis_File vf;
    ov_callbacks callbacks = {ReadMemory, nullptr, nullptr, nullptr};
    if (int rc = ov_open_callbacks(&memory, &vf, nullptr, 0, callbacks))
        return LoadFailed(path, VorbisReason(rc));
    vorbis_info* info = ov_info(&vf, 0);
    if (!info)
        reason = "cannot read the stream header";
    else if (info->channels < 1 || info->channels > 2)
        reason = "only mono and stereo are supported";
    else if (info->rate <= 0 || info->rate > 1000000)
        reason = "bad sample rate";
    if (!reason.empty()) {
        ov_clear(&vf);
        return LoadFailed(path, reason);
    }
    const int channels = info->channels, rate = int(info->rate);
    // One frame past the limit tells a stream that is too long.
    Blocks blocks;
    long rc = DecodeAll(vf, size_t(kMaxSoundFrames + 1) * size_t(channels), blocks);
    ov_clear(&vf);
    if (rc != 0) return LoadFailed(path, rc == OV_EFAULT ? "out of memory" : VorbisReason(rc));
    size_t frames = blocks.total / size_t(channels);
    if (frames == 0) return LoadFailed(path, "no audio in the stream (headers only)");
    if (frames > size_t(kMaxSoundFrames))
        return LoadFailed(path, "longer than the limit of " + std::to_string(kMaxSoundFrames) +
                                    " frames (5 minutes at 48000 Hz)");
    int16_t* samples = Join(blocks, channels);
    if (!samples) return LoadFailed(path, "out of memory");
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
