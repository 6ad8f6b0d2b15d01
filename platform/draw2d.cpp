// The 2D drawing layer: drawing state, textures made from pixel maps, quads,
// lines and clearing, all in the fixed-function pipeline.
#include "platform/draw2d.h"

#include "platform/graphics.h"

#include <SDL_opengl.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct Draw2DState {
    uint8_t color[4] = {255, 255, 255, 255}; // sent as one array by glColor4ubv
    int blend = kMaskBlend;
    bool blend_known = false; // false: GL blend state unknown, apply on next SetBlend
    float line_width = 1;
    float rotation = 0, scale_x = 1, scale_y = 1;
    float ix = 1, iy = 0, jx = 0, jy = 1;
    GLuint bound_texture = 0;
    bool texture_known = false;
    bool texturing = false;
    bool texturing_known = false;
    // Global image settings.
    int default_flags = MASKEDIMAGE | FILTEREDIMAGE;
    bool auto_mid_handle = false;
};

Draw2DState drawing;

// Pictures live until exit; holding them here keeps them reachable.
std::vector<TImage*>& LoadedImages() {
    static auto* images = new std::vector<TImage*>;
    return *images;
}

void BindTexture(GLuint name) {
    if (drawing.texture_known && drawing.bound_texture == name) return;
    glBindTexture(GL_TEXTURE_2D, name);
    drawing.bound_texture = name;
    drawing.texture_known = true;
}

void SetTexturing(bool on) {
    if (drawing.texturing_known && drawing.texturing == on) return;
    if (on)
        glEnable(GL_TEXTURE_2D);
    else
        glDisable(GL_TEXTURE_2D);
    drawing.texturing = on;
    drawing.texturing_known = true;
}

void ApplyBlend(int mode) {
    switch (mode) {
    case kMaskBlend:
        glDisable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GEQUAL, 0.5f);
        break;
    case kAlphaBlend:
    case kLightBlend:
    case kShadeBlend:
        glEnable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        if (mode == kAlphaBlend) glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        if (mode == kLightBlend) glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        if (mode == kShadeBlend) glBlendFunc(GL_DST_COLOR, GL_ZERO);
        break;
    default: // kSolidBlend, and any unknown mode
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        break;
    }
}

void UpdateMatrix() {
    double rad = double(drawing.rotation) * 0.017453292519943295;
    float c = float(std::cos(rad)), sn = float(std::sin(rad));
    drawing.ix = c * drawing.scale_x;
    drawing.iy = -sn * drawing.scale_y;
    drawing.jx = sn * drawing.scale_x;
    drawing.jy = c * drawing.scale_y;
}

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

void MakeTexture(TImage* image) {
    int tw = 0, th = 0, used_w = 0, used_h = 0;
    TextureSize(image->pixmap->width, image->pixmap->height, &tw, &th);
    TPixmap* pixels = TexturePixels(image->pixmap, tw, th, &used_w, &used_h);
    if (!pixels) return;
    bool filtered = image->flags & FILTEREDIMAGE, mipmapped = image->flags & MIPMAPPEDIMAGE;
    GLuint name = 0;
    glGenTextures(1, &name);
    BindTexture(name);
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
    image->texture = name;
    image->tex_width = tw;
    image->tex_height = th;
    image->umax = float(used_w) / float(tw);
    image->vmax = float(used_h) / float(th);
}

} // namespace

TImage* LoadImage(const char* path, int flags) {
    if (flags == DEFAULTIMAGEFLAGS) flags = drawing.default_flags;
    TPixmap* pm = LoadPixmapPNG(path);
    if (!pm) return nullptr;
    if ((flags & MASKEDIMAGE) && pm->format != PF_RGBA8888) {
        TPixmap* masked = MaskPixmap(pm, 0, 0, 0);
        delete pm;
        if (!masked) return nullptr;
        pm = masked;
    }
    auto* image = new TImage;
    image->width = pm->width;
    image->height = pm->height;
    image->flags = flags;
    image->pixmap = pm;
    if (drawing.auto_mid_handle) MidHandleImage(image);
    LoadedImages().push_back(image);
    return image;
}

void MidHandleImage(TImage* image) {
    if (!image) return;
    image->handle_x = image->width * 0.5f;
    image->handle_y = image->height * 0.5f;
}

void AutoMidHandle(int enable) {
    drawing.auto_mid_handle = enable != 0;
}

void DrawImage(TImage* image, float x, float y, int) {
    if (!image || !image->pixmap) return;
    if (!image->texture) MakeTexture(image);
    if (!image->texture) return;
    BindTexture(image->texture);
    SetTexturing(true);
    float x0 = -image->handle_x, y0 = -image->handle_y;
    float x1 = x0 + image->width, y1 = y0 + image->height;
    float u = image->umax, v = image->vmax;
    auto vertex = [x, y](float px, float py) {
        glVertex2f(px * drawing.ix + py * drawing.iy + x, px * drawing.jx + py * drawing.jy + y);
    };
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    vertex(x0, y0);
    glTexCoord2f(u, 0);
    vertex(x1, y0);
    glTexCoord2f(u, v);
    vertex(x1, y1);
    glTexCoord2f(0, v);
    vertex(x0, y1);
    glEnd();
}

void PrepareImage(TImage* image) {
    if (image && image->pixmap && !image->texture) MakeTexture(image);
}

void SetBlend(int mode) {
    if (drawing.blend_known && drawing.blend == mode) return;
    drawing.blend = mode;
    drawing.blend_known = true;
    ApplyBlend(mode);
}

void SetAlpha(float alpha) {
    // NaN compares false both ways; treat it as transparent.
    float a = alpha >= 1.0f ? 1.0f : alpha > 0.0f ? alpha : 0.0f;
    drawing.color[3] = uint8_t(a * 255.0f);
    glColor4ubv(drawing.color);
}

void SetColor(int r, int g, int b) {
    drawing.color[0] = uint8_t(std::clamp(r, 0, 255));
    drawing.color[1] = uint8_t(std::clamp(g, 0, 255));
    drawing.color[2] = uint8_t(std::clamp(b, 0, 255));
    glColor4ubv(drawing.color);
}

void SetRotation(float degrees) {
    drawing.rotation = degrees;
    UpdateMatrix();
}

void SetScale(float sx, float sy) {
    drawing.scale_x = sx;
    drawing.scale_y = sy;
    UpdateMatrix();
}

void SetLineWidth(float width) {
    drawing.line_width = width;
    glLineWidth(width);
}

void DrawLine(float x, float y, float x2, float y2, int drawLastPixel) {
    SetTexturing(false);
    // The end is turned about the start point.
    float px1 = x2 - x, py1 = y2 - y;
    // The half-pixel offset puts whole coordinates on pixel centres.
    float tx = x + 0.5f, ty = y + 0.5f;
    float ex = px1 * drawing.ix + py1 * drawing.iy + tx,
          ey = px1 * drawing.jx + py1 * drawing.jy + ty;
    glBegin(GL_LINES);
    glVertex2f(tx, ty);
    glVertex2f(ex, ey);
    glEnd();
    if (drawLastPixel) {
        // Lines leave out their last pixel; plot it.
        glBegin(GL_POINTS);
        glVertex2f(ex, ey);
        glEnd();
    }
}

void Cls() {
    glClear(GL_COLOR_BUFFER_BIT);
}

void ResetDraw2D(int width, int height) {
    drawing.blend_known = false;
    drawing.texture_known = false;
    drawing.texturing_known = false;
    // A new display has a new context: the old texture names are gone with
    // it, so pictures make their textures again when next drawn.
    for (TImage* image : LoadedImages())
        image->texture = 0;
    SetTexturing(false);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, width, height);
    // Re-send the kept drawing state to the new context, in a fixed order.
    SetBlend(drawing.blend);
    glColor4ubv(drawing.color); // colour and alpha travel together
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    SetLineWidth(drawing.line_width);
    SetRotation(drawing.rotation);
    SetScale(drawing.scale_x, drawing.scale_y);
    glViewport(0, 0, width, height);
}
