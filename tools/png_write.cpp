#include "tools/png_write.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

// The failed write's errno, kept outside the frame setjmp returns to.
thread_local int png_write_errno = 0;

// libpng would print its message; the caller reports the system's reason.
void OnPngError(png_structp png, png_const_charp) {
    png_write_errno = errno;
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

} // namespace

bool WritePng8(const std::string& path, int width, int height, int channels, const uint8_t* pixels,
               int level, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        *error = path + ": cannot create file: " + std::strerror(errno);
        return false;
    }
    png_write_errno = 0;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        *error = path + ": out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        *error = path + ": write failed: " + std::strerror(png_write_errno ? png_write_errno : EIO);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, std::clamp(level, 0, 9));
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t row_bytes = size_t(width) * channels;
    for (int y = 0; y < height; ++y)
        png_write_row(png, pixels + size_t(y) * row_bytes);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        *error = path + ": write failed: " + std::strerror(errno);
        return false;
    }
    return true;
}
