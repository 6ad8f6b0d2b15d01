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
// /tmp (its path, ending in '/', into *dir) and loads s.obj; null on failure.
// The directory is removed before it returns.
struct scene* LoadFiles(const std::string& obj, const std::string& mtl = "",
                        const std::string& tga = "", std::string* dir = nullptr);
