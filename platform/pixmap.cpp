// Pixel maps for the 2D layer: PNG decoding with libpng and the conversions
// a picture needs on its way to a texture (masking, resizing, edge padding).
#include "platform/pixmap.h"

#include "platform/budget.h"
#include "platform/datadir.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

TPixmap::~TPixmap() {
    delete[] pixels;
}

TPixmap* CreatePixmap(int width, int height, int format) {
    if (width <= 0 || height <= 0 || width > kMaxPixmapSide || height > kMaxPixmapSide)
        return nullptr;
    if (format != PF_I8 && format != PF_RGB888 && format != PF_RGBA8888) return nullptr;
    auto* pm = new (std::nothrow) TPixmap;
    if (!pm) return nullptr;
    size_t pitch = size_t(width) * size_t(format);
    pm->pixels = new (std::nothrow) uint8_t[pitch * size_t(height)]();
    if (!pm->pixels) {
        delete pm;
        return nullptr;
    }
    pm->width = width;
    pm->height = height;
    pm->format = format;
    pm->pitch = int(pitch);
    return pm;
}

namespace {

std::string picture_error; // "path: reason" of the last failed load

// One decoding: what must be released when libpng jumps out of it. It lives
// in the caller's frame, so its fields keep their values across the jump.
struct PngJob {
    TPixmap* pixmap = nullptr;
    size_t rows_left = 0; // rows of every pass still to come
    bool interlaced = false;
    bool complete = false;
    std::string reason;
};

void PngFail(png_structp png, png_const_charp message) {
    static_cast<PngJob*>(png_get_error_ptr(png))->reason = message;
    png_longjmp(png, 1);
}
void PngQuiet(png_structp, png_const_charp) {}

PngJob& JobOf(png_structp png) {
    return *static_cast<PngJob*>(png_get_progressive_ptr(png));
}

// Sets the transforms (16-bit channels stripped; palette, low-bit grey and
// transparency expanded; grey with alpha into RGBA) and makes the pixel map
// of the result's format that the rows decode straight into.
std::string StartImage(png_structp png, png_infop info, PngJob& job) {
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    if (w > png_uint_32(kMaxPictureSide) || h > png_uint_32(kMaxPictureSide))
        return "picture of " + std::to_string(w) + " x " + std::to_string(h) +
               " pixels, over the limit of " + std::to_string(kMaxPictureSide) + " x " +
               std::to_string(kMaxPictureSide);
    std::string over;
    if (!TakeLoadBudget(PictureBudgetBytes(int(w), int(h)), &over))
        return "picture of " + std::to_string(w) + " x " + std::to_string(h) + " pixels " + over;
    int type = png_get_color_type(png, info);
    png_set_strip_16(png);
    png_set_expand(png);
    bool grey = (type & PNG_COLOR_MASK_COLOR) == 0;
    if (grey && ((type & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS)))
        png_set_gray_to_rgb(png);
    // Interlaced passes arrive as they are and are placed below, so that each
    // row of each pass comes exactly once and the last one is known.
    job.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    png_read_update_info(png, info);
    int channels = png_get_channels(png, info);
    if (png_get_bit_depth(png, info) != 8 || channels == 2 ||
        png_get_rowbytes(png, info) != size_t(w) * size_t(channels))
        return "unsupported pixel layout";
    int format = channels == 1 ? PF_I8 : channels == 3 ? PF_RGB888 : PF_RGBA8888;
    job.pixmap = CreatePixmap(int(w), int(h), format);
    if (!job.pixmap) return "out of memory";
    job.rows_left = h;
    if (job.interlaced) {
        job.rows_left = 0;
        for (int pass = 0; pass < 7; ++pass)
            if (PNG_PASS_COLS(w, pass) > 0) job.rows_left += PNG_PASS_ROWS(h, pass);
    }
    return "";
}

void OnInfo(png_structp png, png_infop info) {
    PngJob& job = JobOf(png);
    job.reason = StartImage(png, info, job);
    if (!job.reason.empty()) png_longjmp(png, 1);
}

// The last row ends the decoding: whatever follows the image in the file
// (more deflate data, chunks up to the file limit) is never inflated.
void OnRow(png_structp png, png_bytep row, png_uint_32 y, int pass) {
    PngJob& job = JobOf(png);
    TPixmap* pm = job.pixmap;
    if (job.interlaced) y = PNG_ROW_FROM_PASS_ROW(y, pass);
    if (!row || !pm || y >= png_uint_32(pm->height)) return;
    uint8_t* to = pm->pixels + size_t(y) * size_t(pm->pitch);
    if (!job.interlaced)
        std::memcpy(to, row, size_t(pm->pitch));
    else
        for (png_uint_32 i = 0, n = PNG_PASS_COLS(png_uint_32(pm->width), pass); i < n; ++i)
            std::memcpy(to + size_t(PNG_COL_FROM_PASS_COL(i, pass)) * size_t(pm->format),
                        row + size_t(i) * size_t(pm->format), size_t(pm->format));
    if (job.rows_left > 0 && --job.rows_left == 0) {
        job.complete = true;
        png_longjmp(png, 1);
    }
}

// libpng reports errors by longjmp, and the last row ends the decoding the
// same way; png and info are set before setjmp and not changed after it, so
// both are valid after the jump.
TPixmap* DecodePng(FILE* fp, PngJob& job) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job, PngFail, PngQuiet);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        job.reason = "out of memory";
        return nullptr;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        if (job.complete) return job.pixmap;
        delete job.pixmap;
        return nullptr;
    }
    png_set_progressive_read_fn(png, &job, OnInfo, OnRow, nullptr);
    // Ancillary chunks other than tRNS change nothing here: skipped, not kept,
    // text and profiles cannot make libpng hold what they inflate to.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_byte buffer[16384];
    std::rewind(fp); // the progressive reader checks the signature itself
    while (size_t got = std::fread(buffer, 1, sizeof buffer, fp))
        png_process_data(png, info, buffer, got);
    png_destroy_read_struct(&png, &info, nullptr);
    delete job.pixmap;
    job.reason = "the file ends before the picture's last row";
    return nullptr;
}

} // namespace

TPixmap* LoadPixmapPNG(const char* path) {
    picture_error.clear();
    PngJob job;
    int64_t bytes = 0;
    FILE* fp = OpenDataFile(path, kMaxPictureFileBytes, &bytes, &job.reason);
    TPixmap* pm = nullptr;
    if (fp) {
        png_byte sig[8];
        if (std::fread(sig, 1, 8, fp) != 8 || png_sig_cmp(sig, 0, 8) != 0)
            job.reason = "not a PNG file";
        else
            pm = DecodePng(fp, job);
        std::fclose(fp);
    }
    if (!pm) picture_error = std::string(path ? path : "(null)") + ": " + job.reason;
    return pm;
}

const char* ImageLoadError() {
    return picture_error.c_str();
}

TPixmap* PixmapToRGBA(const TPixmap* src) {
    if (!src || !src->pixels) return nullptr;
    TPixmap* out = CreatePixmap(src->width, src->height, PF_RGBA8888);
    if (!out) return nullptr;
    int bpp = src->format;
    for (int y = 0; y < src->height; ++y) {
        const uint8_t* s = src->pixels + size_t(y) * size_t(src->pitch);
        uint8_t* d = out->pixels + size_t(y) * size_t(out->pitch);
        for (int x = 0; x < src->width; ++x, s += bpp, d += 4) {
            if (bpp == PF_RGBA8888) {
                std::memcpy(d, s, 4);
                continue;
            }
            d[0] = s[0];
            d[1] = bpp == PF_I8 ? s[0] : s[1];
            d[2] = bpp == PF_I8 ? s[0] : s[2];
            d[3] = 255;
        }
    }
    return out;
}

TPixmap* MaskPixmap(const TPixmap* src, int r, int g, int b) {
    TPixmap* out = PixmapToRGBA(src);
    if (!out) return nullptr;
    int w = out->width, h = out->height;
    auto at = [out](int x, int y) { return out->pixels + size_t(y) * size_t(out->pitch) + 4 * x; };
    // Which pixels are the mask colour, decided before any colour is replaced.
    std::vector<uint8_t> masked(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = at(x, y);
            masked[size_t(y) * w + x] = p[0] == r && p[1] == g && p[2] == b;
        }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = at(x, y);
            if (!masked[size_t(y) * w + x]) {
                p[3] = 255;
                continue;
            }
            // Mean colour of the visible neighbours, so filtering at the
            // picture's cut-out edges does not bleed in the mask colour.
            int sum[3] = {0, 0, 0}, n = 0;
            for (int ny = std::max(0, y - 1); ny <= std::min(h - 1, y + 1); ++ny)
                for (int nx = std::max(0, x - 1); nx <= std::min(w - 1, x + 1); ++nx) {
                    if (masked[size_t(ny) * w + nx]) continue;
                    const uint8_t* q = at(nx, ny);
                    sum[0] += q[0];
                    sum[1] += q[1];
                    sum[2] += q[2];
                    ++n;
                }
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t(n ? sum[c] / n : 0);
            p[3] = 0;
        }
    return out;
}

TPixmap* ResizePixmap(const TPixmap* src, int width, int height) {
    if (!src || !src->pixels) return nullptr;
    TPixmap* out = CreatePixmap(width, height, src->format);
    if (!out) return nullptr;
    int bpp = src->format;
    for (int y = 0; y < height; ++y) {
        // Source box [y0, y1) of this row, never empty.
        int y0 = int(int64_t(y) * src->height / height);
        int y1 = std::max(y0 + 1, int(int64_t(y + 1) * src->height / height));
        for (int x = 0; x < width; ++x) {
            int x0 = int(int64_t(x) * src->width / width);
            int x1 = std::max(x0 + 1, int(int64_t(x + 1) * src->width / width));
            uint32_t sum[4] = {0, 0, 0, 0};
            for (int sy = y0; sy < y1; ++sy) {
                const uint8_t* s = src->pixels + size_t(sy) * size_t(src->pitch) + size_t(x0) * bpp;
                for (int sx = x0; sx < x1; ++sx, s += bpp)
                    for (int c = 0; c < bpp; ++c)
                        sum[c] += s[c];
            }
            uint32_t n = uint32_t(x1 - x0) * uint32_t(y1 - y0);
            uint8_t* d = out->pixels + size_t(y) * size_t(out->pitch) + size_t(x) * bpp;
            for (int c = 0; c < bpp; ++c)
                d[c] = uint8_t((sum[c] + n / 2) / n);
        }
    }
    return out;
}

TPixmap* PadPixmap(const TPixmap* src, int width, int height) {
    if (!src || !src->pixels || src->format != PF_RGBA8888) return nullptr;
    if (src->width > width || src->height > height) return nullptr;
    TPixmap* out = CreatePixmap(width, height, PF_RGBA8888);
    if (!out) return nullptr;
    int w = src->width, h = src->height;
    for (int y = 0; y < h; ++y) {
        uint8_t* d = out->pixels + size_t(y) * size_t(out->pitch);
        std::memcpy(d, src->pixels + size_t(y) * size_t(src->pitch), size_t(w) * 4);
        if (w < width) std::memcpy(d + size_t(w) * 4, d + size_t(w - 1) * 4, 4);
    }
    if (h < height) {
        uint8_t* last = out->pixels + size_t(h - 1) * size_t(out->pitch);
        uint8_t* below = last + out->pitch;
        std::memcpy(below, last, size_t(w) * 4);
        if (w < width) std::memcpy(below + size_t(w) * 4, last + size_t(w - 1) * 4, 4);
    }
    return out;
}
