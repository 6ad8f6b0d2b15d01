// MTL parsing into material records, and the line and word scanning shared
// with the OBJ parser.
#include "scene/scene_internal.h"

#include "platform/budget.h"

#include <cmath>
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
    // Checked once the header is read and before the texture is made; RGB
    // pixels kept and OpenGL's RGBA copy.
    std::string over;
    if (!TakeLoadBudget(7 * int64_t(w) * h, &over)) {
        free(pixels);
        return set_error(where, "texture " + path + ": image of " + std::to_string(w) + " x " +
                                    std::to_string(h) + " pixels " + over),
               false;
    }
    pixels_used += int64_t(w) * h;
    drop_texture(m); // a second map_Kd for the material replaces the first
    m->width = w;
    m->height = h;
    m->pixels = pixels;
    make_texture(m);
    return true;
}

// A colour: red, green and blue, or one value for all three.
bool read_colour(const std::string& line, float* rgb, int number) {
    if (!read_floats(line, rgb, 1, 3, mtl_source, number)) return false;
    if (word(line, 2).empty()) return rgb[1] = rgb[2] = rgb[0], true;
    if (!word(line, 3).empty()) return true;
    set_error_at(mtl_source, number, word(line, 0) + " with 2 numbers, needs 1 or 3");
    return false;
}

// Statements of scene files, never of a material library: a library holding
// one is a scene file named by mistake.
bool is_obj_statement(const std::string& kw) {
    for (const char* obj : {"v", "vt", "vn", "f", "o", "g", "usemtl", "mtllib"})
        if (kw == obj) return true;
    return false;
}

// One number field as the formats write it: a sign, digits with at most one
// point, an optional exponent, and nothing more. A decimal comma, nan, inf,
// a hexadecimal float or trailing junk is no number; nor is a value beyond
// single precision.
bool parse_number(const std::string& field, float* out) {
    const char* p = field.c_str();
    auto digits = [&p] {
        const char* from = p;
        while (*p >= '0' && *p <= '9')
            ++p;
        return p - from;
    };
    if (*p == '+' || *p == '-') ++p;
    auto whole = digits();
    auto fraction = *p == '.' ? (++p, digits()) : 0;
    if (whole + fraction == 0) return false;
    if (*p == 'e' || *p == 'E') {
        ++p;
        if (*p == '+' || *p == '-') ++p;
        if (digits() == 0) return false;
    }
    if (*p) return false;
    float v = strtof(field.c_str(), nullptr);
    if (!std::isfinite(v)) return false;
    *out = v;
    return true;
}
} // namespace

bool read_floats(const std::string& line, float* dst, int min_count, int max_count,
                 const std::string& file, int number) {
    std::string kw = word(line, 0), field;
    int n = 0;
    for (; !(field = word(line, n + 1)).empty(); ++n) {
        if (n == max_count)
            return set_error_at(file, number,
                                kw + " with more than " + std::to_string(max_count) +
                                    " numbers ('" + quoted(field) + "' after them)"),
                   false;
        if (!parse_number(field, &dst[n]))
            return set_error_at(file, number, kw + ": '" + quoted(field) + "' is not a number"),
                   false;
    }
    if (n >= min_count) return true;
    set_error_at(file, number,
                 kw + " with " + std::to_string(n) + " numbers, needs " +
                     std::to_string(min_count));
    return false;
}

bool line_reader::next() {
    if (!*at) return false;
    number = next_number;
    line.clear();
    for (;;) {
        const char* end = strchr(at, '\n');
        if (!end) end = at + strlen(at);
        line.append(at, end);
        at = *end ? end + 1 : end;
        ++next_number;
        // A backslash ending a line joins the next one to it, as OBJ and MTL
        // mean it; the joined line keeps the number of its first.
        size_t last = line.find_last_not_of('\r');
        if (last == std::string::npos || line[last] != '\\') return true;
        line.resize(last);
        line += ' ';
        if (!*at) return true;
    }
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
        if (is_obj_statement(kw)) {
            set_error_at(mtl_source, lines.number,
                         "'" + kw + "' is an OBJ statement: not a material library");
            return -1;
        }
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
        if (kw == "map_Kd") {
            if (!load_texture(cur, line, lines.number)) return -1;
        } else if (kw == "Ns" || kw == "d") {
            if (!read_floats(line, kw == "d" ? &cur->d : &cur->ns, 1, 1, mtl_source, lines.number))
                return -1;
        } else if (!read_colour(line,
                                kw == "Kd"   ? cur->kd
                                : kw == "Ks" ? cur->ks
                                             : cur->ka,
                                lines.number)) {
            return -1;
        }
    }
    return 0;
}
