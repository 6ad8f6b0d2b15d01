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
    std::string dir = MakeTempDir();
    WriteFile(dir + "s.obj", obj);
    WriteFile(dir + "s.mtl", mtl);
    if (!tga.empty()) WriteFile(dir + "t.tga", tga);
    if (dir_out) *dir_out = dir;
    set_path(dir.c_str());
    scene* s = load_scene("s.obj");
    set_path("");
    return s;
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
