// 3D scenes: a subset of Wavefront OBJ/MTL with true-colour TGA textures
// (24 or 32 bits, plain or run-length; alpha dropped), loaded into linked
// records and drawn with fixed-function GL.
// OBJ: v, vn, vt, o, g, usemtl, mtllib, f (forms p/t/n and p//n, 1-based).
// MTL: newmtl, Ka, Kd, Ks, Ns, d, map_Kd. Other keywords are skipped.
// Objects named "point..." are directional lights; "pivot_..." objects give a
// hinge (origin, axis) to the objects whose name follows an '_' in theirs.
// Every list holds its records in reverse file order. Names: up to 999 chars.
// Loading needs a current GL context (textures are made while parsing).
// Bad input: load_scene returns null, prints nothing, and scene_error() says
// why, naming file and line.
// Limits, checked before memory is taken or a file is read, so that no file
// can take more than a moment or a few hundred MB: regular files only (a FIFO
// or device is refused unread), OBJ and MTL files of at most 4 MB, one mtllib
// line naming at most 16 libraries, 1024 objects, 4096 groups, 1024 materials, 1024 map_Kd lines,
// and textures of 4096 x 4096 pixels in all, each within OpenGL's maximum size. Names from mtllib
// and map_Kd stay inside the set_path directory: absolute names and ".." components are refused,
// and under data/ a symbolic link that leads out of it is too. A NUL byte in an OBJ or MTL file is
// an error at its line; a UTF-8 byte order mark at the start is skipped.
#pragma once

#include <cstdint>

enum { RENDER_SOLID = 1, RENDER_OUTLINE = 2, RENDER_WIRE = 4, RENDER_UNLIT = 0x1000 };
enum { OBJECT_MESH = 1, OBJECT_PIVOT = 2, OBJECT_LIGHT = 3 };

struct material {
    float ka[4], kd[4], ks[4];
    float d, ns;
    uint32_t texture;
    int32_t width, height;
    uint8_t* pixels; // RGB, null when untextured
    char name[1000];
    char map_kd[1000];
    material* next;
};

struct face {
    int32_t n;
    int32_t* vi;
    int32_t* ni;
    int32_t* ti; // -1 where the reference gives none
    face* next;
};

struct group {
    face* faces;
    struct material* material; // the field keeps the type's name
    int32_t list;              // outline display list, -1 until built
    char name[1000];
    group* next;
};

struct object {
    int32_t type;
    group* groups;
    char name[1000];
    object* next;
    object* pivot;
    float angle;
    float axis[3];
    float origin[3];
};

struct scene {
    float* v;
    float* vn;
    float* vt;
    int32_t nv, nvn, nvt;
    int32_t has_lights;
    object* objects;
    material* materials;
};

// Accepted beyond the strict subset: runs of blanks between face references
// and after the last one. Refused with a message: relative (negative) or
// out-of-range indices, references without exactly two '/', an "f" before any
// "g", a "g" before any "o", a library colour line before any "newmtl", names
// and paths over 999 characters, short or empty TGA files, textures larger
// than OpenGL allows. A group read while no material was current gets a grey
// material (OpenGL's default: Ka 0.2, Kd 0.8, Ks 0, Ns 0, d 1), appended at
// the tail of the material list; library entries start from the same values.
// Every number field is a whole decimal number (no decimal comma, nan, inf or
// trailing junk): v and vn take 3, vt 1 to 3, Ka, Kd and Ks 1 or 3, Ns and d 1.
// A backslash ending a line continues it. A library holding OBJ statements
// is refused, as are TGA files of any other kind (colour-mapped, greyscale,
// 16-bit, right-to-left), each named by its type or depth.
void set_path(const char* path);
scene* load_scene(const char* name);
// The last failure of load_scene, get_scene or tga_load: "file:line: problem".
const char* scene_error();
int get_scene(scene* s, char* text, const char* mtl_text);
void pivot_vectors(scene* s, object* pivot);
object* find_object(scene* s, const char* name);
// Releases a loaded scene whole: its records, texture pixels and textures,
// outline lists and the scene record itself.
void delete_scene(scene* s);

uint8_t* tga_load(const char* path, int32_t* width_out, int32_t* height_out);

// Light objects take GL_LIGHT0 upwards, starting again at GL_LIGHT0 on every
// render_scene; light objects past the eighth are not lit.
void render_scene(scene* s, int32_t flags);
void render_object(scene* s, object* o, int32_t flags);

void glwipe();
void glsetup(float zoom);
// index outside 0..7 does nothing; strength 0 sets the light but leaves it off.
void gllite(int32_t index, float x, float y, float z, float strength);
void gldone();
