#include "tools/capture/rgb_image.h"

#include "platform/pixmap.h"
#include "tools/png_write.h"

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

bool WritePng(const std::string& path, const RgbImage& image, int level, std::string* error) {
    return WritePng8(path, image.width, image.height, 3, image.rgb.data(), level, error);
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
