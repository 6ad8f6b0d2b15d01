#include "tests/platform/png_files.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

bool WritePng(const std::string& path, const PngLayout& layout) {
    FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(fp);
        return false;
    }
    png_init_io(png, fp);
    png_set_IHDR(png, info, layout.width, layout.height, layout.bit_depth, layout.color_type,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const bool palette = !layout.palette.empty(); // r, g, b triples as png_color holds them
    if (palette)
        png_set_PLTE(png, info, reinterpret_cast<const png_color*>(layout.palette.data()),
                     int(layout.palette.size() / 3));
    png_color_16 grey = {};
    if (!layout.trns.empty() && !palette)
        grey.gray = uint16_t(layout.trns[0] << 8 | layout.trns[1]);
    if (!layout.trns.empty())
        png_set_tRNS(png, info, palette ? layout.trns.data() : nullptr, int(layout.trns.size()),
                     &grey);
    std::vector<png_bytep> rows;
    size_t row_bytes = layout.rows.size() / size_t(layout.height);
    for (int y = 0; y < layout.height; ++y)
        rows.push_back(const_cast<uint8_t*>(layout.rows.data()) + size_t(y) * row_bytes);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(fp);
    return true;
}

PngLayout SolidLayout(int width, int height, int channels, const uint8_t* rgba) {
    PngLayout layout{width, height, channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                     8,     false,  std::vector<uint8_t>(size_t(width) * height * channels),
                     {},    {}};
    for (size_t i = 0; i < layout.rows.size(); ++i)
        layout.rows[i] = rgba[i % channels];
    return layout;
}

void SetPixel(PngLayout& layout, int x, int y, const uint8_t* rgba) {
    int channels = layout.color_type == PNG_COLOR_TYPE_RGBA ? 4 : 3;
    for (int c = 0; c < channels; ++c)
        layout.rows[(size_t(y) * layout.width + x) * channels + c] = rgba[c];
}
