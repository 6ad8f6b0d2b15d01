// OBJ parsing into scene records, pivot linking, look-up and release.
#include "scene/scene_internal.h"

#include "platform/datadir.h"

#include <GL/gl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace {
struct loader_state {
    std::string prefix;     // put in front of every file name
    std::string error;      // last failure, "file:line: problem"
    std::string obj_source; // file named in messages about OBJ lines
    load_counts used;       // of the limits, by the get_scene running now
};
loader_state loader;

// Scenes live until exit unless deleted; holding them here keeps them
// reachable for a leak check at exit.
std::vector<scene*>& loaded_scenes() {
    static auto* scenes = new std::vector<scene*>;
    return *scenes;
}

template <typename T> T* make_record() {
    return static_cast<T*>(calloc(1, sizeof(T)));
}

// The integer at p: optional blanks, sign and digits; no digits count as 0.
// Past any index's range it stays there; *text is the number as written.
long long read_int(const char* p, std::string* text) {
    while (*p == ' ' || *p == '\t')
        ++p;
    const char* start = p;
    bool neg = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (v < 1000000000000LL) v = v * 10 + (*p - '0');
    *text = quoted(std::string(start, p));
    return neg ? -v : v;
}

// Checks one 1-based file index (at p) against its array; -1 "none" only when allowed.
bool check_index(const char* p, int count, bool none_ok, const char* what, int line, int32_t& out) {
    std::string written;
    long long idx = read_int(p, &written);
    if (idx == 0 && none_ok) {
        out = -1;
        return true;
    }
    if (idx < 0) {
        set_error_at(loader.obj_source, line,
                     std::string("relative ") + what + " index " + written + " not supported");
        return false;
    }
    if (idx < 1 || idx > count) {
        set_error_at(loader.obj_source, line,
                     std::string(what) + " index " + written + " outside 1.." +
                         std::to_string(count));
        return false;
    }
    out = static_cast<int32_t>(idx - 1);
    return true;
}

// One reference "p/t/n" or "p//n" (the len characters at r) into entry k.
bool parse_reference(const scene* s, const char* r, size_t len, face* f, int k, int line) {
    size_t slashes = 0, first = 0, last = 0;
    for (size_t i = 0; i < len; ++i)
        if (r[i] == '/') {
            if (slashes++ == 0) first = i;
            last = i;
        }
    if (slashes != 2) {
        set_error_at(loader.obj_source, line,
                     "face reference '" + quoted(std::string(r, len)) +
                         "' is not of the form p/t/n or p//n");
        return false;
    }
    return check_index(r, s->nv, false, "face", line, f->vi[k]) &&
           check_index(r + first + 1, s->nvt, true, "texture coordinate", line, f->ti[k]) &&
           check_index(r + last + 1, s->nvn, false, "normal", line, f->ni[k]);
}

// References are the words after the keyword; runs of blanks and a trailing
// blank are accepted as separators. Two passes over the line, so the time
// stays linear in its length however many references it holds.
face* parse_face(const scene* s, const std::string& line, int number) {
    auto next_word = [&line](size_t& p, size_t& start) {
        while (p < line.size() && is_blank(line[p]))
            ++p;
        start = p;
        while (p < line.size() && !is_blank(line[p]))
            ++p;
        return p > start;
    };
    size_t p = 0, start = 0;
    next_word(p, start); // the keyword
    size_t after_keyword = p;
    int n = 0;
    while (next_word(p, start))
        ++n;
    if (n == 0) {
        set_error_at(loader.obj_source, number, "face without vertices");
        return nullptr;
    }
    face* f = make_record<face>();
    // One block for the three index arrays: vi, then ni, then ti.
    if (f) f->vi = static_cast<int32_t*>(calloc(3 * size_t(n), sizeof(int32_t)));
    if (!f || !f->vi) {
        free(f);
        set_error_at(loader.obj_source, number, "out of memory");
        return nullptr;
    }
    f->n = n;
    f->ni = f->vi + n;
    f->ti = f->vi + 2 * size_t(n);
    p = after_keyword;
    for (int k = 0; k < n && next_word(p, start); ++k)
        if (!parse_reference(s, line.c_str() + start, p - start, f, k, number)) {
            free(f->vi), free(f);
            return nullptr;
        }
    return f;
}

bool count_lines(const char* text, int& nv, int& nvn, int& nvt) {
    nv = nvn = nvt = 0;
    line_reader lines(text);
    while (lines.next()) {
        std::string kw = word(lines.line, 0);
        int* c = kw == "v" ? &nv : kw == "vn" ? &nvn : kw == "vt" ? &nvt : nullptr;
        if (c && ++*c > (1 << 28)) {
            set_error_at(loader.obj_source, lines.number, "too many " + kw + " lines");
            return false;
        }
    }
    return true;
}

bool read_library(scene* s, const std::string& line, int number, const char* mtl_text) {
    // One mtllib line per scene: each would be read and parsed whole again.
    if (++counts().libraries > 1) {
        set_error_at(loader.obj_source, number, "a second mtllib line (one library per scene)");
        return false;
    }
    if (mtl_text) {
        set_mtl_source(loader.obj_source + " (library text)");
        return get_mtl(s, mtl_text) == 0;
    }
    std::string where = loader.obj_source + ":" + std::to_string(number);
    if (word(line, 1).empty()) {
        set_error(where, "mtllib without a file name");
        return false;
    }
    // Every library the line names, in order.
    for (int k = 1; !word(line, k).empty(); ++k) {
        std::string path;
        if (k > max_libraries) {
            set_error(where, "more than " + std::to_string(max_libraries) + " material libraries");
            return false;
        }
        if (!join_data_name(word(line, k), path, where)) return false;
        char* text = read_whole(path, where);
        if (!text) return false;
        set_mtl_source(path);
        int rc = get_mtl(s, text);
        free(text);
        if (rc != 0) return false;
    }
    return true;
}

// The fields that the OBJ counting pass leaves to the filling pass.
struct fill_state {
    object* obj = nullptr;
    group* grp = nullptr;
    material* mtl = nullptr;
    int iv = 0, ivn = 0, ivt = 0;
    // The first material of the list with each name, for "usemtl".
    std::unordered_map<std::string, material*> by_name;
};

bool fill_line(scene* s, fill_state& fs, const std::string& line, int number,
               const char* mtl_text) {
    std::string kw = word(line, 0);
    if (kw.empty() || kw[0] == '#') return true;
    if (kw == "mtllib") {
        if (!read_library(s, line, number, mtl_text)) return false;
        fs.mtl = s->materials;
        for (material* m = s->materials; m; m = m->next)
            fs.by_name.emplace(m->name, m);
    } else if (kw == "o") {
        if (!count_record(counts().objects, max_objects, "objects", loader.obj_source, number))
            return false;
        object* o = make_record<object>();
        if (!o) return set_error_at(loader.obj_source, number, "out of memory"), false;
        if (!copy_name(o->name, word(line, 1), loader.obj_source, number)) return free(o), false;
        o->type = OBJECT_MESH;
        if (strncmp(o->name, "pivot_", 6) == 0) o->type = OBJECT_PIVOT;
        if (strncmp(o->name, "point", 5) == 0) o->type = OBJECT_LIGHT, s->has_lights = 1;
        o->next = s->objects, s->objects = o, fs.obj = o;
    } else if (kw == "g") {
        if (!fs.obj)
            return set_error_at(loader.obj_source, number, "group before any object"), false;
        if (!count_record(counts().groups, max_groups, "groups", loader.obj_source, number))
            return false;
        group* g = make_record<group>();
        if (!g) return set_error_at(loader.obj_source, number, "out of memory"), false;
        if (!copy_name(g->name, word(line, 1), loader.obj_source, number)) return free(g), false;
        g->list = -1;
        g->next = fs.obj->groups, fs.obj->groups = g, fs.grp = g;
    } else if (kw == "usemtl") {
        auto found = fs.by_name.find(word(line, 1));
        fs.mtl = found == fs.by_name.end() ? nullptr : found->second;
    } else if (kw == "f") {
        if (!fs.grp) return set_error_at(loader.obj_source, number, "face before any group"), false;
        face* f = parse_face(s, line, number);
        if (!f) return false;
        f->next = fs.grp->faces, fs.grp->faces = f;
        fs.grp->material = fs.mtl;
    } else if (kw == "v") {
        return read_floats(line, &s->v[3 * fs.iv++], 3, 3, loader.obj_source, number);
    } else if (kw == "vn") {
        return read_floats(line, &s->vn[3 * fs.ivn++], 3, 3, loader.obj_source, number);
    } else if (kw == "vt") { // v and w default to 0
        return read_floats(line, &s->vt[3 * fs.ivt++], 1, 3, loader.obj_source, number);
    }
    return true;
}

// Groups read while no material was current share one grey material, kept at
// the tail of the list so that the head stays the library's last material.
bool give_default_materials(scene* s) {
    material* grey = nullptr;
    for (object* o = s->objects; o; o = o->next)
        for (group* g = o->groups; g; g = g->next) {
            if (g->material || !g->faces) continue;
            if (!grey) {
                grey = make_record<material>();
                if (!grey) return set_error(loader.obj_source, "out of memory"), false;
                set_default_material(grey);
                strcpy(grey->name, "(default grey)");
                material** tail = &s->materials;
                while (*tail)
                    tail = &(*tail)->next;
                *tail = grey;
            }
            g->material = grey;
        }
    return true;
}

void link_pivots(scene* s) {
    for (object* p = s->objects; p; p = p->next) {
        if (p->type != OBJECT_PIVOT) continue;
        pivot_vectors(s, p);
        for (object* q = s->objects; q; q = q->next) {
            if (q->type == OBJECT_PIVOT || q->pivot) continue;
            std::string key = std::string("_") + q->name;
            if (strstr(p->name, key.c_str())) q->pivot = p;
        }
    }
}

} // namespace

void set_error(const std::string& where, const std::string& problem) {
    loader.error = where + ": " + problem;
}

void set_error_at(const std::string& file, int line, const std::string& problem) {
    set_error(file + ":" + std::to_string(line), problem);
}

const char* scene_error() {
    return loader.error.c_str();
}

load_counts& counts() {
    return loader.used;
}

bool count_record(int& used, int max, const char* what, const std::string& file, int line) {
    if (++used <= max) return true;
    set_error_at(file, line, "more than " + std::to_string(max) + " " + what);
    return false;
}

bool join_path(const char* name, std::string& out, const std::string& where) {
    out = loader.prefix + name;
    if (out.size() <= name_max) return true;
    set_error(where, "path longer than 999 characters: " + out.substr(0, 40) + "...");
    return false;
}

bool join_data_name(const std::string& name, std::string& out, const std::string& where) {
    if (NameInsideDataDirectory(name)) return join_path(name.c_str(), out, where);
    set_error(where, quoted(name) + ": outside the data directory");
    return false;
}

std::string quoted(const std::string& word) {
    return word.size() <= 40 ? word : word.substr(0, 37) + "...";
}

char* read_whole(const std::string& path, const std::string& where) {
    std::string what = where == path ? "" : path + ": ", reason;
    int64_t bytes = 0;
    FILE* f = OpenDataFile(path.c_str(), max_text_bytes, &bytes, &reason);
    if (!f) {
        set_error(where, what + reason);
        return nullptr;
    }
    char* text = static_cast<char*>(malloc(size_t(bytes) + 1));
    if (!text) {
        set_error(where, what + "out of memory");
        fclose(f);
        return nullptr;
    }
    size_t got = fread(text, 1, size_t(bytes), f);
    text[got] = 0;
    fclose(f);
    // A NUL would end the text early without a word; a BOM would hide the first keyword.
    if (const char* nul = static_cast<const char*>(memchr(text, 0, got))) {
        set_error_at(path, int(std::count(static_cast<const char*>(text), nul, '\n')) + 1,
                     "NUL byte in a text file");
        free(text);
        return nullptr;
    }
    if (got >= 3 && memcmp(text, "\xef\xbb\xbf", 3) == 0) memmove(text, text + 3, got - 2);
    return text;
}

void set_path(const char* path) {
    loader.prefix = path ? path : "";
}

scene* load_scene(const char* name) {
    std::string path;
    loader.obj_source = name ? name : "";
    if (!join_path(loader.obj_source.c_str(), path, loader.obj_source)) return nullptr;
    char* text = read_whole(path, path);
    if (!text) return nullptr;
    scene* s = make_record<scene>();
    if (!s) {
        set_error(path, "out of memory");
        free(text);
        return nullptr;
    }
    loader.obj_source = path;
    int rc = get_scene(s, text, nullptr);
    free(text);
    loader.obj_source.clear();
    if (rc != 0) {
        delete_scene(s);
        return nullptr;
    }
    loaded_scenes().push_back(s);
    return s;
}

namespace {
// Messages about text handed to get_scene directly name it "(scene text)".
struct source_name {
    bool own = loader.obj_source.empty();
    source_name() {
        if (own) loader.obj_source = "(scene text)";
    }
    ~source_name() {
        if (own) loader.obj_source.clear();
    }
};
} // namespace

int get_scene(scene* s, char* text, const char* mtl_text) {
    source_name source;
    loader.used = load_counts{};
    *s = scene{};
    int nv, nvn, nvt;
    if (!count_lines(text, nv, nvn, nvt)) return -1;
    // Zeroed, so a "vt" line with two values leaves a defined third component.
    s->v = static_cast<float*>(calloc(3 * size_t(nv) + 1, sizeof(float)));
    s->vn = static_cast<float*>(calloc(3 * size_t(nvn) + 1, sizeof(float)));
    s->vt = static_cast<float*>(calloc(3 * size_t(nvt) + 1, sizeof(float)));
    s->nv = nv, s->nvn = nvn, s->nvt = nvt;
    if (!s->v || !s->vn || !s->vt) return set_error(loader.obj_source, "out of memory"), -1;
    fill_state fs;
    line_reader lines(text);
    while (lines.next())
        if (!fill_line(s, fs, lines.line, lines.number, mtl_text)) return -1;
    if (!give_default_materials(s)) return -1;
    link_pivots(s);
    return 0;
}

void pivot_vectors(scene* s, object* p) {
    float sum[3] = {0, 0, 0}, corner[3] = {0, 0, 0};
    bool found = false;
    for (face* f = p->groups ? p->groups->faces : nullptr; f; f = f->next) {
        if (f->n > 3) {
            for (int k = 0; k < f->n; ++k)
                for (int c = 0; c < 3; ++c)
                    sum[c] += s->v[3 * f->vi[k] + c];
            for (int c = 0; c < 3; ++c)
                sum[c] /= static_cast<float>(f->n);
        } else if (f->n == 3 && !found) {
            const float* t[3] = {&s->v[3 * f->vi[0]], &s->v[3 * f->vi[1]], &s->v[3 * f->vi[2]]};
            auto dist2 = [](const float* a, const float* b) {
                float dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
                return dx * dx + dy * dy + dz * dz;
            };
            float d12 = dist2(t[0], t[1]), d23 = dist2(t[1], t[2]), d31 = dist2(t[2], t[0]);
            // The corner is the vertex opposite the shortest edge; ties go to T1.
            const float* c = (d12 < d23 && d12 < d31)   ? t[2]
                             : (d31 < d12 && d31 < d23) ? t[1]
                                                        : t[0];
            for (int i = 0; i < 3; ++i)
                corner[i] = c[i];
            found = true;
        }
    }
    for (int c = 0; c < 3; ++c) {
        p->origin[c] = corner[c];
        p->axis[c] = sum[c] - corner[c];
    }
}

object* find_object(scene* s, const char* name) {
    for (object* o = s ? s->objects : nullptr; o; o = o->next)
        if (strcmp(o->name, name) == 0) return o;
    return nullptr;
}

void delete_scene(scene* s) {
    if (!s) return;
    std::vector<scene*>& loaded = loaded_scenes();
    loaded.erase(std::remove(loaded.begin(), loaded.end(), s), loaded.end());
    for (material *m = s->materials, *next; m; m = next) {
        next = m->next;
        drop_texture(m);
        free(m);
    }
    for (object *o = s->objects, *onext; o; o = onext) {
        for (group *g = o->groups, *gnext; g; g = gnext) {
            for (face *f = g->faces, *fnext; f; f = fnext) {
                fnext = f->next;
                free(f->vi), free(f); // ni and ti share vi's block
            }
            gnext = g->next;
            if (g->list != -1) glDeleteLists(GLuint(g->list), 1);
            free(g);
        }
        onext = o->next;
        free(o);
    }
    free(s->v), free(s->vn), free(s->vt);
    free(s);
}
