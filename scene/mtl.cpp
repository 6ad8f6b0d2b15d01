// MTL parsing into material records, and the line and word scanning shared
// with the OBJ parser.
#include "scene/scene_internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
std::string mtl_source; // file named in messages about library lines

bool load_texture(material* m, const std::string& line, int number) {
    std::string name = word(line, 1), path;
    std::string where = mtl_source + ":" + std::to_string(number);
    if (name.empty()) return set_error(where, "map_Kd without a file name"), false;
    if (!copy_name(m->map_kd, name, mtl_source, number)) return false;
    if (!join_data_name(m->map_kd, path, where)) return false;
    // Every texture read counts, replaced ones too, so the limits bound time as well.
    if (!count_record(counts().textures, max_textures, "textures", mtl_source, number))
        return false;
    int64_t& pixels_used = counts().texture_pixels;
    int32_t w = 0, h = 0;
    uint8_t* pixels = read_tga(path.c_str(), &w, &h, max_texture_pixels - pixels_used);
    if (!pixels) return set_error(where, std::string("texture ") + scene_error()), false;
    pixels_used += int64_t(w) * h;
    drop_texture(m); // a second map_Kd for the material replaces the first
    m->width = w;
    m->height = h;
    m->pixels = pixels;
    make_texture(m);
    return true;
}
} // namespace

void read_floats(const std::string& line, float* dst, int count) {
    size_t p = line.find_first_not_of(" \t\r\v\f");
    p = line.find_first_of(" \t\r\v\f", p);
    if (p == std::string::npos) return;
    if (count == 3)
        sscanf(line.c_str() + p, "%f%f%f", &dst[0], &dst[1], &dst[2]);
    else
        sscanf(line.c_str() + p, "%f", &dst[0]);
}

bool line_reader::next() {
    if (!*at) return false;
    const char* end = strchr(at, '\n');
    if (!end) end = at + strlen(at);
    line.assign(at, end);
    at = *end ? end + 1 : end;
    ++number;
    return true;
}

std::string word(const std::string& line, int k) {
    size_t p = 0, n = line.size();
    for (int i = 0;; ++i) {
        while (p < n && is_blank(line[p]))
            ++p;
        size_t start = p;
        while (p < n && !is_blank(line[p]))
            ++p;
        if (start == p) return std::string();
        if (i == k) return line.substr(start, p - start);
    }
}

bool copy_name(char* field, const std::string& w, const std::string& file, int line) {
    if (w.size() > name_max) {
        set_error_at(file, line,
                     "name of " + std::to_string(w.size()) + " characters, longer than 999");
        return false;
    }
    memcpy(field, w.c_str(), w.size() + 1);
    return true;
}

void set_default_material(material* m) {
    const float ka[4] = {0.2f, 0.2f, 0.2f, 1.0f}, kd[4] = {0.8f, 0.8f, 0.8f, 1.0f},
                ks[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    memcpy(m->ka, ka, sizeof ka);
    memcpy(m->kd, kd, sizeof kd);
    memcpy(m->ks, ks, sizeof ks);
    m->d = 1.0f;
    m->ns = 0.0f;
}

void set_mtl_source(const std::string& file) {
    mtl_source = file;
}

int get_mtl(scene* s, const char* text) {
    material* cur = nullptr;
    line_reader lines(text);
    while (lines.next()) {
        const std::string& line = lines.line;
        std::string kw = word(line, 0);
        if (kw.empty() || kw[0] == '#') continue;
        if (kw == "newmtl") {
            if (!count_record(counts().materials, max_materials, "materials", mtl_source,
                              lines.number))
                return -1;
            material* m = static_cast<material*>(calloc(1, sizeof(material)));
            if (!m) return set_error_at(mtl_source, lines.number, "out of memory"), -1;
            if (!copy_name(m->name, word(line, 1), mtl_source, lines.number)) {
                free(m);
                return -1;
            }
            set_default_material(m);
            m->next = s->materials;
            s->materials = cur = m;
            continue;
        }
        bool known =
            kw == "Kd" || kw == "Ks" || kw == "Ka" || kw == "Ns" || kw == "d" || kw == "map_Kd";
        if (!known) continue;
        if (!cur) {
            set_error_at(mtl_source, lines.number, kw + " before any newmtl");
            return -1;
        }
        if (kw == "Kd") read_floats(line, cur->kd, 3);
        if (kw == "Ks") read_floats(line, cur->ks, 3);
        if (kw == "Ka") read_floats(line, cur->ka, 3);
        if (kw == "Ns") read_floats(line, &cur->ns, 1);
        if (kw == "d") read_floats(line, &cur->d, 1);
        if (kw == "map_Kd" && !load_texture(cur, line, lines.number)) return -1;
    }
    return 0;
}
