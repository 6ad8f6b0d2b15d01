#include "tests/scene/scene_files.h"

#include "scene/scene.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

std::string MakeTempDir() {
    char tmpl[] = "/tmp/scene_test_XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    return std::string(tmpl) + "/";
}

void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

std::string TgaBytes(int width, int height, const std::vector<Bgr>& rows, uint8_t descriptor,
                     int id_length) {
    std::string t(18, '\0');
    t[0] = char(id_length);
    t[2] = 2; // uncompressed true colour
    t[12] = char(width & 255), t[13] = char(width >> 8);
    t[14] = char(height & 255), t[15] = char(height >> 8);
    t[16] = 24;
    t[17] = char(descriptor);
    t += std::string(id_length, 'I');
    for (const Bgr& p : rows)
        t += {char(p.b), char(p.g), char(p.r)};
    return t;
}

scene* ParseScene(const std::string& obj, const char* mtl) {
    std::vector<char> text(obj.begin(), obj.end());
    text.push_back(0);
    scene* s = static_cast<scene*>(calloc(1, sizeof(scene)));
    if (get_scene(s, text.data(), mtl) != 0) {
        delete_scene(s);
        free(s);
        return nullptr;
    }
    return s;
}

void FreeScene(scene* s) {
    for (material* m = s ? s->materials : nullptr; m; m = m->next)
        free(m->pixels);
    delete_scene(s);
    free(s);
}
