#include "tools/capture/rgb_image.h"

#include "platform/draw2d.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <memory>

RgbImage MakeRgbImage(int width, int height) {
    RgbImage image;
    image.width = std::clamp(width, 0, 16384);
    image.height = std::clamp(height, 0, 16384);
    image.rgb.assign(size_t(image.width) * size_t(image.height) * 3, 0);
    return image;
}

RgbImage DownscaleBox(const RgbImage& src, int factor) {
    if (factor < 1) factor = 1;
    RgbImage dst = MakeRgbImage(src.width / factor, src.height / factor);
    const int area = factor * factor;
    for (int y = 0; y < dst.height; ++y)
        for (int x = 0; x < dst.width; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = 0; j < factor; ++j) {
                    const uint8_t* row = &src.rgb[(size_t(y * factor + j) * src.width) * 3];
                    for (int i = 0; i < factor; ++i)
                        sum += row[(x * factor + i) * 3 + c];
                }
                dst.rgb[(size_t(y) * dst.width + x) * 3 + c] = uint8_t((sum + area / 2) / area);
            }
    return dst;
}

void PasteImage(RgbImage& dst, const RgbImage& src, int x, int y) {
    for (int j = 0; j < src.height; ++j) {
        int dy = y + j;
        if (dy < 0 || dy >= dst.height) continue;
        for (int i = 0; i < src.width; ++i) {
            int dx = x + i;
            if (dx < 0 || dx >= dst.width) continue;
            std::copy_n(&src.rgb[(size_t(j) * src.width + i) * 3], 3,
                        &dst.rgb[(size_t(dy) * dst.width + dx) * 3]);
        }
    }
}

void FillRect(RgbImage& dst, int x, int y, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    int x0 = std::max(x, 0), x1 = std::min(x + w, dst.width);
    int y0 = std::max(y, 0), y1 = std::min(y + h, dst.height);
    for (int j = y0; j < y1; ++j)
        for (int i = x0; i < x1; ++i) {
            uint8_t* p = &dst.rgb[(size_t(j) * dst.width + i) * 3];
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
}

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

} // namespace

bool WritePng(const std::string& path, const RgbImage& image, int level, std::string* error) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        *error = path + ": cannot create file";
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        *error = path + ": out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        *error = path + ": write failed";
        return false;
    }
    png_init_io(png, file.get());
    png_set_compression_level(png, std::clamp(level, 0, 9));
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, &image.rgb[size_t(y) * image.width * 3]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0) {
        *error = path + ": write failed";
        return false;
    }
    return true;
}

bool ReadPng(const std::string& path, RgbImage* image, std::string* error) {
    std::unique_ptr<TPixmap> pixmap(LoadPixmapPNG(path.c_str()));
    if (!pixmap) {
        *error = path + ": missing or not a PNG file";
        return false;
    }
    *image = MakeRgbImage(pixmap->width, pixmap->height);
    const int bpp = pixmap->format;
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x) {
            const uint8_t* s = pixmap->pixels + size_t(y) * pixmap->pitch + size_t(x) * bpp;
            uint8_t* d = &image->rgb[(size_t(y) * image->width + x) * 3];
            for (int c = 0; c < 3; ++c)
                d[c] = bpp == PF_I8 ? s[0] : s[c];
        }
    return true;
}
