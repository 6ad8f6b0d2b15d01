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

// An uncompressed 24-bit TGA: rows in file order, `id` bytes of image ID.
std::string TgaBytes(int width, int height, const std::vector<Bgr>& rows, uint8_t descriptor,
                     int id_length = 0);

// Loads OBJ text (and MTL text when given) through get_scene; null when it
// fails. The text is copied, since get_scene may modify it.
struct scene* ParseScene(const std::string& obj, const char* mtl = nullptr);
// delete_scene leaves the record itself and the texture pixels alone; a
// test that loaded or parsed a scene releases them too.
void FreeScene(struct scene* s);
