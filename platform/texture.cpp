#include "platform/texture.h"

#include "platform/process.h"

#include <SDL_opengl.h>

#include <algorithm>

namespace {

// Smallest power of two not below n.
int Pow2AtLeast(int n) {
    int t = 1;
    while (t < n)
        t *= 2;
    return t;
}

// Texture size the GL accepts, halving from the power-of-two fit.
void TextureSize(int width, int height, int* tw, int* th) {
    int w = Pow2AtLeast(width), h = Pow2AtLeast(height);
    for (;;) {
        glTexImage2D(GL_PROXY_TEXTURE_2D, 0, 4, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        GLint got = 0;
        glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &got);
        if (got != 0) break;
        if (w == 1 && h == 1) RuntimeError("Unable to calculate tex size");
        if (w > 1) w /= 2;
        if (h > 1) h /= 2;
    }
    *tw = w;
    *th = h;
}

void UploadLevel(int level, const TPixmap* pm) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pm->pitch / 4);
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, pm->width, pm->height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, pm->pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

// RGBA map of exactly the texture's size: resized down where the picture is
// larger, padded with its repeated edge where smaller. Sets the used extent.
TPixmap* TexturePixels(const TPixmap* src, int tw, int th, int* used_w, int* used_h) {
    TPixmap* cur = PixmapToRGBA(src);
    if (!cur) return nullptr;
    int w = std::min(cur->width, tw), h = std::min(cur->height, th);
    if (w != cur->width || h != cur->height) {
        TPixmap* smaller = ResizePixmap(cur, w, h);
        delete cur;
        cur = smaller;
        if (!cur) return nullptr;
    }
    if (w != tw || h != th) {
        TPixmap* padded = PadPixmap(cur, tw, th);
        delete cur;
        cur = padded;
    }
    *used_w = w;
    *used_h = h;
    return cur;
}

} // namespace

TextureFrame MakeTexture(const TPixmap* picture, bool filtered, bool mipmapped) {
    int tw = 0, th = 0, used_w = 0, used_h = 0;
    TextureSize(picture->width, picture->height, &tw, &th);
    TPixmap* pixels = TexturePixels(picture, tw, th, &used_w, &used_h);
    if (!pixels) return {};
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filtered ? GL_LINEAR : GL_NEAREST);
    GLint min_filter = filtered ? (mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR)
                                : (mipmapped ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter);
    UploadLevel(0, pixels);
    for (int level = 1; mipmapped && (pixels->width > 1 || pixels->height > 1); ++level) {
        TPixmap* half =
            ResizePixmap(pixels, std::max(1, pixels->width / 2), std::max(1, pixels->height / 2));
        delete pixels;
        pixels = half;
        if (!pixels) break;
        UploadLevel(level, pixels);
    }
    delete pixels;
    return {name, tw, th, float(used_w) / float(tw), float(used_h) / float(th)};
}
