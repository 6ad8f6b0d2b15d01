// The 2D drawing layer: drawing state, textures made from pixel maps, quads,
// lines and clearing, all in the fixed-function pipeline.
#include "platform/draw2d.h"

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

// The picture's texture, made on first need; false when it cannot be made.
static bool HasTexture(TImage* image) {
    TextureFrame& frame = image->frame;
    if (frame.texture) return true;
    frame = MakeTexture(image->pixmap, image->flags & FILTEREDIMAGE, image->flags & MIPMAPPEDIMAGE);
    if (!frame.texture) return false;
    drawing.bound_texture = frame.texture; // left bound by MakeTexture
    drawing.texture_known = true;
    return true;
}

void DrawImage(TImage* image, float x, float y, int) {
    if (!image || !image->pixmap || !HasTexture(image)) return;
    TextureFrame& frame = image->frame;
    BindTexture(frame.texture);
    SetTexturing(true);
    float x0 = -image->handle_x, y0 = -image->handle_y;
    float x1 = x0 + image->width, y1 = y0 + image->height;
    float u = frame.umax, v = frame.vmax;
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
    if (image && image->pixmap) HasTexture(image);
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

void SetCentredProjection(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-width / 2, width / 2, height / 2, -height / 2, 0, 1000);
    glMatrixMode(GL_MODELVIEW);
}

void ResetDraw2D(int width, int height) {
    drawing.blend_known = false;
    drawing.texture_known = false;
    drawing.texturing_known = false;
    // A new display has a new context: the old texture names are gone with
    // it, so pictures make their textures again when next drawn.
    for (TImage* image : LoadedImages())
        image->frame.texture = 0;
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
