// TGA reading (true colour, 24 or 32 bits, plain or run-length) and texture
// creation.
#include "scene/scene_internal.h"

#include "platform/datadir.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <GL/gl.h>

namespace {
constexpr long header_size = 18;

struct file_closer {
    FILE* f;
    ~file_closer() {
        if (f) fclose(f);
    }
};

// Why a header is not one the reader decodes exactly; "" when it is.
std::string unsupported_kind(const uint8_t* h) {
    int map_type = h[1], type = h[2], depth = h[16];
    switch (type) {
    case 2:
    case 10:
        break;
    case 1:
    case 9:
        return "colour-mapped TGA (image type " + std::to_string(type) + ") not supported";
    case 3:
    case 11:
        return "greyscale TGA (image type " + std::to_string(type) + ") not supported";
    case 0:
        return "TGA without image data (image type 0)";
    default:
        return "TGA image type " + std::to_string(type) + " not supported";
    }
    if (map_type > 1) return "not a TGA file (colour-map type " + std::to_string(map_type) + ")";
    if (depth != 24 && depth != 32)
        return std::to_string(depth) + "-bit TGA pixels not supported (24 or 32 only)";
    if (h[17] & 0x10) return "right-to-left TGA pixel order not supported";
    return "";
}

// Run-length packets (a count byte, then one pixel repeated or count raw
// pixels) into `pixels` pixels of `depth` bytes; packets may run across rows.
// False when the data ends before the last pixel.
bool unpack_rle(const uint8_t* in, size_t in_size, uint8_t* out, size_t pixels, int depth) {
    size_t at = 0, done = 0;
    while (done < pixels) {
        if (at >= in_size) return false;
        uint8_t head = in[at++];
        size_t run = std::min<size_t>((head & 0x7f) + 1, pixels - done);
        size_t take = head & 0x80 ? size_t(depth) : run * size_t(depth);
        if (take > in_size - at) return false;
        for (size_t k = 0; k < run; ++k, ++done)
            memcpy(out + done * size_t(depth), in + at + (head & 0x80 ? 0 : k * size_t(depth)),
                   size_t(depth));
        at += take;
    }
    return true;
}

// The `bytes` of pixel data at `start` into `pixels`, red, green, blue, rows
// in the buffer's order; "" when done, else why not.
std::string read_pixels(FILE* f, const uint8_t* h, int64_t start, size_t bytes, uint8_t* pixels) {
    size_t width = h[12] | h[13] << 8, height = h[14] | h[15] << 8, depth = h[16] / 8;
    bool rle = h[2] == 10, top_first = h[17] & 0x80; // only bit 7 decides the row order
    std::vector<uint8_t> data, unpacked;
    try {
        data.resize(bytes);
        if (rle) unpacked.resize(width * height * depth);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
    if (fseeko(f, start, SEEK_SET) != 0 || fread(data.data(), 1, bytes, f) != bytes)
        return "read failed";
    if (rle && !unpack_rle(data.data(), bytes, unpacked.data(), width * height, int(depth)))
        return "run-length data ends before the last pixel";
    const uint8_t* from = rle ? unpacked.data() : data.data();
    // Blue, green, red (, alpha) in the file.
    for (size_t i = 0; i < height; ++i) {
        uint8_t* dst = pixels + 3 * width * (top_first ? i : height - 1 - i);
        const uint8_t* src = from + i * width * depth;
        for (size_t x = 0; x < width; ++x, dst += 3, src += depth)
            dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
    }
    return "";
}
} // namespace

// Uncompressed (type 2) and run-length (type 10) true colour of 24 or 32
// bits; a 32-bit file's alpha is dropped, as textures are drawn opaque from
// RGB. Other kinds are refused by name, never read as something they are
// not. The sizes in the header are checked against the limits, OpenGL's
// maximum and the file's length before anything is allocated or read, so no
// header can make the reader take more memory or time than a texture within
// the limits.
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
    if (std::string kind = unsupported_kind(h); !kind.empty()) {
        set_error(path, kind);
        return nullptr;
    }
    int width = h[12] | h[13] << 8, height = h[14] | h[15] << 8, depth = h[16] / 8;
    bool rle = h[2] == 10;
    // A true-colour file may carry a colour map, unused, between ID and pixels.
    int64_t map_bytes = h[1] ? int64_t(h[5] | h[6] << 8) * ((h[7] + 7) / 8) : 0;
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
    size_t count = size_t(width) * size_t(height);
    int64_t start = header_size + h[0] + map_bytes, plain = int64_t(count) * depth;
    // Run-length data takes at most one count byte per pixel more.
    int64_t wanted =
        rle ? std::min(length - std::min(length, start), plain + int64_t(count)) : plain;
    if (!rle && length < start + plain) {
        set_error(path, "file of " + std::to_string(length) + " bytes, " + size + " need " +
                            std::to_string(start + plain));
        return nullptr;
    }
    uint8_t* pixels = static_cast<uint8_t*>(malloc(count * 3));
    std::string failed =
        pixels ? read_pixels(file.f, h, start, size_t(wanted), pixels) : "out of memory";
    if (!failed.empty()) {
        free(pixels);
        set_error(path, failed);
        return nullptr;
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
