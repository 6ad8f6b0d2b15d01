#include "tests/scene/scene_files.h"

#include "scene/scene.h"
#include "tests/support/child_process.h"

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
    // Gone on return: the scene holds everything it read.
    const TempDir files;
    if (files.dir().empty()) throw std::runtime_error("no temporary folder");
    const std::string dir = files.dir() + "/";
    WriteFile(dir + "s.obj", obj);
    WriteFile(dir + "s.mtl", mtl);
    if (!tga.empty()) WriteFile(dir + "t.tga", tga);
    if (dir_out) *dir_out = dir;
    set_path(dir.c_str());
    scene* s = load_scene("s.obj");
    set_path("");
    return s;
}
