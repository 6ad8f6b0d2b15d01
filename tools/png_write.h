// Writes 8-bit RGB or RGBA pictures as PNG files: the one PNG writer of the
// content generator and the capture tool. Rows run top to bottom, tightly
// packed. On failure returns false with a one-line reason naming the file.
#pragma once

#include <cstdint>
#include <string>

// channels is 3 (RGB) or 4 (RGBA); level is the zlib compression level 0-9.
bool WritePng8(const std::string& path, int width, int height, int channels, const uint8_t* pixels,
               int level, std::string* error);
