#include "tests/platform/png_files.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

TempDir::TempDir() {
    char name[] = "/tmp/draw2d_test.XXXXXX";
    if (mkdtemp(name)) dir_ = name;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}

namespace {
bool write_png(FILE* fp, const PngLayout& layout, png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, fp);
    png_set_IHDR(png, info, layout.width, layout.height, layout.bit_depth, layout.color_type,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty()) {
        std::vector<png_color> colors(layout.palette.size() / 3);
        for (size_t i = 0; i < colors.size(); ++i)
            colors[i] = {layout.palette[3 * i], layout.palette[3 * i + 1], layout.palette[3 * i + 2]};
        png_set_PLTE(png, info, colors.data(), int(colors.size()));
    }
    if (!layout.trns.empty()) {
        if (layout.color_type == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, layout.trns.data(), int(layout.trns.size()), nullptr);
        } else {
            png_color_16 c = {};
            c.gray = c.red = uint16_t(layout.trns[0] << 8 | layout.trns[1]);
            if (layout.trns.size() >= 6) {
                c.green = uint16_t(layout.trns[2] << 8 | layout.trns[3]);
                c.blue = uint16_t(layout.trns[4] << 8 | layout.trns[5]);
            }
            png_set_tRNS(png, info, nullptr, 0, &c);
        }
    }
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}
} // namespace

bool WritePng(const std::string& path, const PngLayout& layout) {
    size_t row_bytes = layout.rows.size() / size_t(layout.height);
    std::vector<png_bytep> rows(size_t(layout.height));
    auto* base = const_cast<uint8_t*>(layout.rows.data());
    for (int y = 0; y < layout.height; ++y)
        rows[size_t(y)] = base + size_t(y) * row_bytes;
    FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp) return false;
    bool ok = write_png(fp, layout, rows.data());
    std::fclose(fp);
    return ok;
}

PngLayout SolidLayout(int width, int height, int channels, const uint8_t* rgba) {
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    layout.color_type = channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    layout.rows.resize(size_t(width) * height * channels);
    for (size_t i = 0; i < layout.rows.size(); ++i)
        layout.rows[i] = rgba[i % channels];
    return layout;
}

void SetPixel(PngLayout& layout, int x, int y, const uint8_t* rgba) {
    int channels = layout.color_type == PNG_COLOR_TYPE_RGBA ? 4 : 3;
    for (int c = 0; c < channels; ++c)
        layout.rows[(size_t(y) * layout.width + x) * channels + c] = rgba[c];
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
