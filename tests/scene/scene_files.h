// Test helpers: scenes loaded from files in a fresh directory, and TGA files
// built from pixel rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Bgr {
    uint8_t b, g, r;
};

// An uncompressed 24-bit TGA, rows in file order.
std::string TgaBytes(int width, int height, const std::vector<Bgr>& rows);
// Writes s.obj, s.mtl and (when not empty) t.tga to a fresh directory under
// /tmp (its path, ending in '/', into *dir), loads s.obj and removes the
// directory; null on failure.
struct scene* LoadFiles(const std::string& obj, const std::string& mtl = "",
                        const std::string& tga = "", std::string* dir = nullptr);
