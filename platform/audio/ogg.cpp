// Ogg Vorbis decoding: the whole first logical stream into 16-bit host-order
// frames. A stream that ends before its announced length leaves the rest
// silent; a decoding error, or more than two channels, fails the load.
#include "platform/audio/audio.h"

#include <vorbis/vorbisfile.h>

#include <climits>
#include <cstdio>
#include <new>

namespace {

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

TAudioSample* Fail(const char* path, const char* what) {
    std::fprintf(stderr, "ninefold: %s: %s\n", path, what);
    return nullptr;
}

// Reads until the buffer is full or the first stream ends; false on an error.
bool DecodeAll(OggVorbis_File& vf, int16_t* samples, size_t bytes) {
    char* at = reinterpret_cast<char*>(samples);
    const int big_endian = IsBigEndianHost() ? 1 : 0;
    while (bytes > 0) {
        int want = bytes > (1 << 16) ? (1 << 16) : int(bytes);
        int stream = 0;
        long got = ov_read(&vf, at, want, big_endian, 2, 1, &stream);
        if (got < 0) return false;
        if (got == 0 || stream != 0) break; // short stream: the rest stays silent
        at += got;
        bytes -= size_t(got);
    }
    return true;
}

} // namespace

TAudioSample::~TAudioSample() {
    delete[] samples;
}

TAudioSample* LoadAudioSample(const char* path) {
    if (!path) return nullptr;
    FILE* file = std::fopen(path, "rb");
    if (!file) return Fail(path, "cannot open file");
    OggVorbis_File vf;
    ov_callbacks callbacks = {ReadFile, SeekFile, CloseFile, TellFile};
    if (ov_open_callbacks(file, &vf, nullptr, 0, callbacks) != 0) {
        std::fclose(file);
        return Fail(path, "not an Ogg Vorbis file");
    }
    // From here ov_clear closes the file.
    vorbis_info* info = ov_info(&vf, 0);
    ogg_int64_t length = ov_pcm_total(&vf, 0);
    const char* error = nullptr;
    if (!info || length < 0)
        error = "cannot read the stream length";
    else if (info->channels < 1 || info->channels > 2)
        error = "only mono and stereo are supported";
    else if (info->rate <= 0 || info->rate > 1000000)
        error = "bad sample rate";
    else if (length > INT_MAX / 4)
        error = "stream too long";
    if (error) {
        ov_clear(&vf);
        return Fail(path, error);
    }
    auto* sample = new TAudioSample;
    sample->length = int(length);
    sample->rate = int(info->rate);
    sample->channels = info->channels;
    size_t count = size_t(length) * size_t(info->channels);
    // One frame more than decoded: the mixer's spare frame, so the sound
    // needs no second copy.
    sample->samples = new (std::nothrow) int16_t[count + size_t(info->channels)]();
    if (!sample->samples)
        error = "out of memory";
    else if (!DecodeAll(vf, sample->samples, count * sizeof(int16_t)))
        error = "decoding error";
    ov_clear(&vf);
    if (error) {
        delete sample;
        return Fail(path, error);
    }
    return sample;
}
