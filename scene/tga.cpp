// TGA reading (uncompressed 24-bit true colour) and texture creation.
#include "scene/scene_internal.h"

#include <cerrno>
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
// is read as 24-bit uncompressed. Its length is checked against the sizes in
// the header before anything is allocated, so no header can make the reader
// allocate more than the file holds or leave bytes unread.
uint8_t* tga_load(const char* path, int32_t* width_out, int32_t* height_out) {
    file_closer file{fopen(path, "rb")};
    if (!file.f) {
        set_error(path, std::string("cannot open (") + strerror(errno) + ")");
        return nullptr;
    }
    uint8_t h[header_size];
    long length = -1;
    if (fseek(file.f, 0, SEEK_END) == 0) length = ftell(file.f);
    if (length < 0 || fseek(file.f, 0, SEEK_SET) != 0) {
        set_error(path, "cannot read");
        return nullptr;
    }
    if (length < header_size || fread(h, 1, header_size, file.f) != size_t(header_size)) {
        set_error(path, "file of " + std::to_string(length) + " bytes, shorter than a header");
        return nullptr;
    }
    int id_length = h[0];
    int width = h[12] | h[13] << 8, height = h[14] | h[15] << 8;
    bool top_first = h[17] & 0x80; // only bit 7 decides the row order
    if (width == 0 || height == 0) {
        set_error(path,
                  "image of " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
        return nullptr;
    }
    size_t row = size_t(width) * 3, size = row * size_t(height);
    long needed = header_size + id_length + long(size);
    if (length < needed) {
        set_error(path, "file of " + std::to_string(length) + " bytes, " + std::to_string(width) +
                            " x " + std::to_string(height) + " pixels need " +
                            std::to_string(needed));
        return nullptr;
    }
    uint8_t* pixels = static_cast<uint8_t*>(malloc(size));
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
    for (size_t p = 0; p < size; p += 3) {
        uint8_t b = pixels[p];
        pixels[p] = pixels[p + 2];
        pixels[p + 2] = b;
    }
    *width_out = width;
    *height_out = height;
    return pixels;
}

void drop_texture(material* m) {
    if (!m->pixels) return;
    glDeleteTextures(1, &m->texture);
    free(m->pixels);
    m->pixels = nullptr;
}

bool make_texture(material* m, const std::string& path) {
    // Larger images would leave an incomplete texture that draws as white.
    GLint max = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
    if (max > 0 && (m->width > max || m->height > max)) {
        set_error(path, "image of " + std::to_string(m->width) + " x " + std::to_string(m->height) +
                            " pixels, over this OpenGL's " + std::to_string(max));
        return false;
    }
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
    return true;
}
