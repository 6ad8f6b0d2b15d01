// Ogg Vorbis decoding: the whole first logical stream into 16-bit host-order
// frames. The sample ends where the stream's data ends, even when the stream
// announced more; a decoding error, or more than two channels, fails the load.
#include "platform/audio/audio.h"

#include "platform/datadir.h"

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

size_t ReadFile(void* buffer, size_t size, size_t count, void* file) {
    return std::fread(buffer, size, count, static_cast<FILE*>(file));
}
int SeekFile(void* file, ogg_int64_t offset, int whence) {
    return fseeko(static_cast<FILE*>(file), off_t(offset), whence);
}
int CloseFile(void* file) {
    return std::fclose(static_cast<FILE*>(file));
}
long TellFile(void* file) {
    return long(ftello(static_cast<FILE*>(file)));
}

bool IsBigEndianHost() {
    const uint16_t probe = 1;
    return *reinterpret_cast<const uint8_t*>(&probe) == 0;
}

// libvorbisfile's meaning of its error codes.
const char* VorbisReason(long code) {
    switch (code) {
    case OV_EREAD: return "read error";
    case OV_ENOTVORBIS: return "not Vorbis data";
    case OV_EVERSION: return "Vorbis version mismatch";
    case OV_EBADHEADER: return "invalid Vorbis bitstream header";
    case OV_EFAULT: return "internal logic fault in the decoder";
    case OV_HOLE: return "interruption in the data (a damaged or missing page)";
    case OV_EBADLINK: return "invalid stream section";
    default: return "corrupt or unreadable Vorbis data";
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
        size_t want = std::min({Blocks::kSamples - in_block, max_samples - out.total,
                                size_t(1) << 15});
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

TAudioSample* LoadAudioSample(const char* path) {
    sound_error.clear();
    std::string reason;
    int64_t bytes = 0;
    FILE* file = OpenDataFile(path, kMaxSoundFileBytes, &bytes, &reason);
    if (!file) return Fail(path, reason);
    OggVorbis_File vf;
    ov_callbacks callbacks = {ReadFile, SeekFile, CloseFile, TellFile};
    if (int rc = ov_open_callbacks(file, &vf, nullptr, 0, callbacks)) {
        std::fclose(file);
        return Fail(path, VorbisReason(rc));
    }
    // From here ov_clear closes the file.
    vorbis_info* info = ov_info(&vf, 0);
    ogg_int64_t length = ov_pcm_total(&vf, 0);
    if (!info || length < 0)
        reason = "cannot read the stream length";
    else if (info->channels < 1 || info->channels > 2)
        reason = "only mono and stereo are supported";
    else if (info->rate <= 0 || info->rate > 1000000)
        reason = "bad sample rate";
    else if (length > kMaxSoundFrames)
        reason = "stream announces " + std::to_string(length) + " frames (" +
                 std::to_string(length / info->rate / 60) + " minutes), over the limit of " +
                 std::to_string(kMaxSoundFrames) + " (5 minutes at 48000 Hz)";
    if (!reason.empty()) {
        ov_clear(&vf);
        return Fail(path, reason);
    }
    const int channels = info->channels, rate = int(info->rate);
    Blocks blocks;
    long rc = DecodeAll(vf, size_t(length) * size_t(channels), blocks);
    ov_clear(&vf);
    if (rc != 0) return Fail(path, rc == OV_EFAULT ? "out of memory" : VorbisReason(rc));
    int16_t* samples = Join(blocks, channels);
    if (!samples) return Fail(path, "out of memory");
    auto* sample = new TAudioSample;
    sample->length = int(blocks.total / size_t(channels));
    sample->rate = rate;
    sample->channels = channels;
    sample->samples = samples;
    return sample;
}
