// OBJ and MTL parsing: the input up to its first zero byte is the scene
// text, the rest the material library that its "mtllib" lines read.
// "map_Kd t.tga" finds a small texture in a scratch directory.
#include "scene/scene.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void MakeScratchDir() {
    static std::string dir;
    if (!dir.empty()) return;
    char tmpl[] = "/tmp/fuzz-scene-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    dir = std::string(tmpl) + "/";
    // 2 x 1 pixels, 24-bit, bottom row first.
    const unsigned char tga[] = {0, 0, 2, 0, 0,  0, 0,  0,  0,  0,  0,  0,
                                 2, 0, 1, 0, 24, 0, 10, 20, 30, 40, 50, 60};
    std::FILE* f = std::fopen((dir + "t.tga").c_str(), "wb");
    if (!f || std::fwrite(tga, 1, sizeof tga, f) != sizeof tga) std::abort();
    std::fclose(f);
    set_path(dir.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MakeScratchDir();
    const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t obj_size = split ? size_t(split - data) : size;
    std::string obj(reinterpret_cast<const char*>(data), obj_size);
    std::string mtl =
        split ? std::string(reinterpret_cast<const char*>(split + 1), size - obj_size - 1)
              : std::string();
    mtl = mtl.c_str(); // up to its own first zero byte
    scene s{};
    get_scene(&s, &obj[0], mtl.c_str());
    for (material* m = s.materials; m; m = m->next)
        free(m->pixels);
    delete_scene(&s);
    return 0;
}
