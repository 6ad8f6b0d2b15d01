// TGA reading (uncompressed 24-bit true colour) and texture creation.
#include "scene/scene_internal.h"

#include "platform/datadir.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <GL/gl.h>

namespace {
constexpr long header_size = 18;

struct file_closer {
    FILE* f;
    ~file_closer() {
        if (f) fclose(f);
    }
};
} // namespace

// The header's type, colour-map and depth fields are not examined: every file
// is read as 24-bit uncompressed. The sizes in the header are checked against
// the limits, OpenGL's maximum and the file's length before anything is
// allocated or read, so no header can make the reader take more memory or
// time than a texture within the limits.
uint8_t* read_tga(const char* path, int32_t* width_out, int32_t* height_out, int64_t max_pixels) {
    std::string reason;
    int64_t length = 0;
    file_closer file{OpenDataFile(path, INT64_MAX, &length, &reason)};
    if (!file.f) {
        set_error(path, reason);
        return nullptr;
    }
    uint8_t h[header_size];
    if (length < header_size || fread(h, 1, header_size, file.f) != size_t(header_size)) {
        set_error(path, "file of " + std::to_string(length) + " bytes, shorter than a header");
        return nullptr;
    }
    int id_length = h[0];
    int width = h[12] | h[13] << 8, height = h[14] | h[15] << 8;
    bool top_first = h[17] & 0x80; // only bit 7 decides the row order
    std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    // Larger images would leave an incomplete texture that draws as white.
    GLint gl_max = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &gl_max);
    if (width == 0 || height == 0) {
        set_error(path, "image of " + size);
        return nullptr;
    }
    if (gl_max > 0 && (width > gl_max || height > gl_max)) {
        set_error(path, "image of " + size + ", over this OpenGL's " + std::to_string(gl_max));
        return nullptr;
    }
    if (int64_t(width) * height > max_pixels) {
        set_error(path, "image of " + size + ", over the limit of " +
                            std::to_string(max_texture_pixels) + " texture pixels per scene");
        return nullptr;
    }
    size_t row = size_t(width) * 3, bytes = row * size_t(height);
    int64_t needed = header_size + id_length + int64_t(bytes);
    if (length < needed) {
        set_error(path, "file of " + std::to_string(length) + " bytes, " + size + " need " +
                            std::to_string(needed));
        return nullptr;
    }
    uint8_t* pixels = static_cast<uint8_t*>(malloc(bytes));
    if (!pixels) {
        set_error(path, "out of memory");
        return nullptr;
    }
    bool ok = fseek(file.f, header_size + id_length, SEEK_SET) == 0;
    for (int i = 0; ok && i < height; ++i) {
        uint8_t* dst = pixels + row * size_t(top_first ? i : height - 1 - i);
        ok = fread(dst, 1, row, file.f) == row;
    }
    if (!ok) {
        free(pixels);
        set_error(path, "read failed");
        return nullptr;
    }
    for (size_t p = 0; p < bytes; p += 3) {
        uint8_t b = pixels[p];
        pixels[p] = pixels[p + 2];
        pixels[p + 2] = b;
    }
    *width_out = width;
    *height_out = height;
    return pixels;
}

uint8_t* tga_load(const char* path, int32_t* width_out, int32_t* height_out) {
    return read_tga(path, width_out, height_out, max_texture_pixels);
}

void drop_texture(material* m) {
    if (!m->pixels) return;
    glDeleteTextures(1, &m->texture);
    free(m->pixels);
    m->pixels = nullptr;
}

void make_texture(material* m) {
    // The 2D layer caches its binding: put the caller's back afterwards.
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glGenTextures(1, &m->texture);
    glBindTexture(GL_TEXTURE_2D, m->texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    // Rows are packed tightly. With the default unpack alignment of 4 a width
    // that is not a multiple of 4 would make OpenGL read past the buffer, so
    // such an image is uploaded with alignment 1 and the caller's pixel-store
    // state put back; other widths take the plain upload.
    bool packed = m->width % 4 != 0;
    if (packed) {
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, m->width, m->height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 m->pixels);
    if (packed) glPopClientAttrib();
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
}
