#include "tools/capture/streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

void RgbToYcbcr(uint8_t r, uint8_t g, uint8_t b, uint8_t* y, uint8_t* cb, uint8_t* cr) {
    // 16-bit fixed point; the offsets keep every sum positive before the shift.
    const int half = 1 << 15, mid = 128 << 16;
    int yv = (19595 * r + 38470 * g + 7471 * b + half) >> 16;
    int cbv = (-11059 * r - 21709 * g + 32768 * b + mid + half) >> 16;
    int crv = (32768 * r - 27439 * g - 5329 * b + mid + half) >> 16;
    *y = uint8_t(std::min(yv, 255));
    *cb = uint8_t(std::min(cbv, 255));
    *cr = uint8_t(std::min(crv, 255));
}

namespace {

// The system's reason for the call that just failed.
std::string Reason() {
    return std::string(": ") + std::strerror(errno);
}

bool StreamFailed(std::string& error, FILE*& file, const std::string& why) {
    if (error.empty()) error = why;
    if (file) std::fclose(file);
    file = nullptr;
    return false;
}

void PutLe(uint8_t* p, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

void WavHeader(uint8_t* h, int64_t frames) {
    const uint32_t data = uint32_t(std::min<int64_t>(frames * 4, 0xffffffffLL - 36));
    std::memcpy(h, "RIFF", 4);
    PutLe(h + 4, 36 + data, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLe(h + 16, 16, 4);           // format chunk size
    PutLe(h + 20, 1, 2);            // PCM
    PutLe(h + 22, 2, 2);            // channels
    PutLe(h + 24, kWavRate, 4);     // sample rate
    PutLe(h + 28, kWavRate * 4, 4); // bytes per second
    PutLe(h + 32, 4, 2);            // bytes per frame
    PutLe(h + 34, 16, 2);           // bits per sample
    std::memcpy(h + 36, "data", 4);
    PutLe(h + 40, data, 4);
}

} // namespace

bool OpenY4m(Y4mWriter& w, const std::string& path, int width, int height, int fps) {
    w.path = path == "-" ? "stdout" : path;
    w.width = width;
    w.height = height;
    w.planes.assign(size_t(width) * size_t(height) * 3, 0);
    w.file = path == "-" ? stdout : std::fopen(path.c_str(), "wbe");
    if (!w.file) return StreamFailed(w.error, w.file, path + ": cannot create file" + Reason());
    if (std::fprintf(w.file, "YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C444 XCOLORRANGE=FULL\n", width,
                     height, fps) < 0)
        return StreamFailed(w.error, w.file, w.path + ": write failed" + Reason());
    return true;
}

bool WriteY4mFrame(Y4mWriter& w, const RgbImage& frame) {
    if (!w.file) return false;
    if (frame.width != w.width || frame.height != w.height)
        return StreamFailed(w.error, w.file, w.path + ": frame size changed");
    const size_t n = size_t(w.width) * size_t(w.height);
    uint8_t* y = w.planes.data();
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = &frame.rgb[i * 3];
        RgbToYcbcr(p[0], p[1], p[2], &y[i], &y[n + i], &y[2 * n + i]);
    }
    if (std::fputs("FRAME\n", w.file) < 0 || std::fwrite(y, 1, 3 * n, w.file) != 3 * n)
        return StreamFailed(w.error, w.file, w.path + ": write failed" + Reason());
    return true;
}

bool CloseY4m(Y4mWriter& w) {
    if (!w.file) return w.error.empty();
    bool ok = std::fclose(w.file) == 0;
    w.file = nullptr;
    if (!ok && w.error.empty()) w.error = w.path + ": write failed" + Reason();
    return ok;
}

bool OpenWav(WavWriter& w, const std::string& path) {
    w.path = path;
    w.frames = 0;
    w.file = std::fopen(path.c_str(), "wbe");
    if (!w.file) return StreamFailed(w.error, w.file, path + ": cannot create file" + Reason());
    uint8_t header[kWavHeaderBytes];
    WavHeader(header, 0);
    if (std::fwrite(header, 1, sizeof header, w.file) != sizeof header)
        return StreamFailed(w.error, w.file, path + ": write failed" + Reason());
    return true;
}

bool WriteWav(WavWriter& w, const int16_t* interleaved, int frames) {
    if (!w.file) return false;
    uint8_t bytes[4096 * 4];
    while (frames > 0) {
        int n = std::min(frames, 4096);
        for (int i = 0; i < 2 * n; ++i)
            PutLe(bytes + 2 * i, uint16_t(interleaved[i]), 2);
        if (std::fwrite(bytes, 4, size_t(n), w.file) != size_t(n))
            return StreamFailed(w.error, w.file, w.path + ": write failed" + Reason());
        w.frames += n;
        interleaved += 2 * n;
        frames -= n;
    }
    return true;
}

bool CloseWav(WavWriter& w) {
    if (!w.file) return w.error.empty();
    uint8_t header[kWavHeaderBytes];
    WavHeader(header, w.frames);
    if (std::fseek(w.file, 0, SEEK_SET) != 0 ||
        std::fwrite(header, 1, sizeof header, w.file) != sizeof header)
        return StreamFailed(w.error, w.file, w.path + ": write failed" + Reason());
    bool ok = std::fclose(w.file) == 0;
    w.file = nullptr;
    if (!ok && w.error.empty()) w.error = w.path + ": write failed" + Reason();
    return ok;
}
