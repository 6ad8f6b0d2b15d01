// OBJ and MTL loading through the real file path, as the demo reads data/:
// the input up to its first zero byte as s.obj, the rest as m.mtl, beside a
// texture t.tga and a 32768 x 32768 TGA header big.tga, in a folder under
// $TMPDIR removed at exit.
#include "scene/scene.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

std::string dir;

void Write(const std::string& name, const void* bytes, size_t size) {
    std::FILE* f = std::fopen((dir + name).c_str(), "wb");
    if (!f || (size && std::fwrite(bytes, 1, size, f) != size)) std::abort();
    std::fclose(f);
}

void MakeScratchDir() {
    if (!dir.empty()) return;
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-scene-XXXXXX";
    if (!mkdtemp(&tmpl[0])) std::abort();
    dir = tmpl + "/";
    std::atexit([] { std::filesystem::remove_all(dir); });
    // 2 x 1 pixels, 24-bit, bottom row first.
    const unsigned char tga[] = {0, 0, 2, 0, 0,  0, 0,  0,  0,  0,  0,  0,
                                 2, 0, 1, 0, 24, 0, 10, 20, 30, 40, 50, 60};
    Write("t.tga", tga, sizeof tga);
    const unsigned char big[] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0x80, 24, 0};
    Write("big.tga", big, sizeof big);
    set_path(dir.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MakeScratchDir();
    const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t obj_size = split ? size_t(split - data) : size;
    Write("s.obj", data, obj_size);
    Write("m.mtl", split ? split + 1 : data, split ? size - obj_size - 1 : 0);
    scene* s = load_scene("s.obj");
    delete_scene(s);
    return 0;
}
