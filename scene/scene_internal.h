// Shared pieces of the scene module's sources: the failure message, whole-file
// reading, word and line scanning bounded by the line, the limits of one load
// and the default material. Not part of the module's interface.
#pragma once

#include "scene/scene.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Names and joined paths fit a 1000-character field with its terminating zero.
constexpr size_t name_max = 999;

// The limits stated in scene.h.
constexpr int64_t max_text_bytes = 4 << 20;
constexpr int max_objects = 1024, max_groups = 4096, max_materials = 1024, max_textures = 1024;
constexpr int max_libraries = 16; // names on the one mtllib line
constexpr int64_t max_texture_pixels = 4096 * 4096;

// What one get_scene has used of the limits; reset when it starts.
struct load_counts {
    int objects = 0, groups = 0, materials = 0, textures = 0, libraries = 0;
    int64_t texture_pixels = 0;
};
load_counts& counts();
// Counts one more of `what` against max; past it, false with "more than max
// what" set at file:line.
bool count_record(int& used, int max, const char* what, const std::string& file, int line);

// Records a failure as "where: problem"; scene_error() returns it.
void set_error(const std::string& where, const std::string& problem);
void set_error_at(const std::string& file, int line, const std::string& problem);

// prefix + name, or false (with the error set) when over name_max characters.
bool join_path(const char* name, std::string& out, const std::string& where);
// prefix + a name read from a file at `where`, which must stay inside prefix.
bool join_data_name(const std::string& name, std::string& out, const std::string& where);

// A word of the file for a message: at most 40 characters.
std::string quoted(const std::string& word);

// Reads a regular file of at most max_text_bytes whole and appends a zero
// byte, less a leading byte order mark. Caller frees. Null on failure, a NUL
// byte in the file included.
char* read_whole(const std::string& path, const std::string& where);

inline bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n';
}

// One line of a text, as a zero-terminated copy with its number (from 1); a
// line ending in a backslash goes on with the next.
struct line_reader {
    const char* at;
    int number = 0, next_number = 1;
    std::string line;
    explicit line_reader(const char* text) : at(text) {}
    bool next();
};

// Word k (0-based) of a line: the "%s" rule, runs of white space between.
// Empty when the line has fewer words.
std::string word(const std::string& line, int k);

// The numbers after the keyword, from min_count to max_count of them, each a
// whole decimal field; otherwise false with the error set at file:line.
bool read_floats(const std::string& line, float* dst, int min_count, int max_count,
                 const std::string& file, int number);

// Copies a word into a name field; false (error set) when over name_max.
bool copy_name(char* field, const std::string& w, const std::string& file, int line);

// Colour values of a material that its library does not set, and the material
// of a group read while none was current: OpenGL's own default material.
void set_default_material(material* m);

int get_mtl(scene* s, const char* text);
void set_mtl_source(const std::string& file); // file named in mtl messages
void drop_texture(material* m);               // releases a material's pixels and texture, if any
void make_texture(material* m);
// tga_load for a texture of at most max_pixels, checked from the header.
uint8_t* read_tga(const char* path, int32_t* width_out, int32_t* height_out, int64_t max_pixels);
