#include "tests/scene/scene_files.h"

#include "scene/scene.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {
void WriteFile(const std::string& path, const std::string& bytes) {
    if (!(std::ofstream(path, std::ios::binary) << bytes))
        throw std::runtime_error("cannot write " + path);
}
} // namespace

std::string TgaBytes(int width, int height, const std::vector<Bgr>& rows) {
    std::string t(18, '\0');
    t[2] = 2; // uncompressed true colour
    t[12] = char(width & 255), t[13] = char(width >> 8);
    t[14] = char(height & 255), t[15] = char(height >> 8);
    t[16] = 24;
    for (const Bgr& p : rows)
        t += {char(p.b), char(p.g), char(p.r)};
    return t;
}

scene* LoadFiles(const std::string& obj, const std::string& mtl, const std::string& tga,
                 std::string* dir_out) {
    char tmpl[] = "/tmp/scene_test_XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    const std::string dir = std::string(tmpl) + "/";
    WriteFile(dir + "s.obj", obj);
    WriteFile(dir + "s.mtl", mtl);
    if (!tga.empty()) WriteFile(dir + "t.tga", tga);
    if (dir_out) *dir_out = dir;
    set_path(dir.c_str());
    scene* s = load_scene("s.obj");
    set_path("");
    std::filesystem::remove_all(dir); // textures are made by now
    return s;
}
