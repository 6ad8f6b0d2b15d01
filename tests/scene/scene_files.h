// Test helpers: a private temporary directory for scene, library and TGA
// files, and TGA files built from pixel rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Bgr {
    uint8_t b, g, r;
};

// A fresh directory under /tmp; its path ends with '/'.
std::string MakeTempDir();
void WriteFile(const std::string& path, const std::string& bytes);

// An uncompressed 24-bit TGA, rows in file order.
std::string TgaBytes(int width, int height, const std::vector<Bgr>& rows);
// Writes s.obj, s.mtl and (when not empty) t.tga to a fresh directory and
// loads s.obj from there; null on failure.
struct scene* LoadFiles(const std::string& obj, const std::string& mtl,
                        const std::string& tga = "", std::string* dir = nullptr);

// Loads OBJ text (and MTL text when given) through get_scene; null when it
// fails. The text is copied, since get_scene may modify it.
struct scene* ParseScene(const std::string& obj, const char* mtl = nullptr);
// delete_scene leaves the record itself and the texture pixels alone; a
// test that loaded or parsed a scene releases them too.
void FreeScene(struct scene* s);
