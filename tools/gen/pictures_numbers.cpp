// Countdown numbers, the ring overlay, the icon, the contact sheet, and the
// table that maps every slot to its design.
#include "tools/gen/pictures.h"
#include "tools/gen/text.h"

#include <cmath>
#include <cstdio>

Image make_caption_picture(int slot); // pictures_captions.cpp

namespace {

const float kPi = 3.14159265f;

void ticks(Mask& m, float cx, float cy, float r0, float r1, int count, float width,
           float offset_deg = 0) {
    for (int i = 0; i < count; ++i) {
        float a = (offset_deg + 360.f * i / count) * kPi / 180.f;
        stroke_line(m, {cx + std::sin(a) * r0, cy - std::cos(a) * r0},
                    {cx + std::sin(a) * r1, cy - std::cos(a) * r1}, width);
    }
}

} // namespace

Image picture_number(int digit) {
    // Drawn from 0.003 to 9.375 times its size: a clean shape with a soft halo.
    const int n = 256;
    const Rgba hues[6] = {{},           rgb(0xff4fb4), rgb(0xff8a3d), rgb(0xffd84a), rgb(0x5cff9d),
                          rgb(0x3ff5ff)};
    Rgba hue = hues[digit];
    Image img(n, n);
    Mask disc(n, n);
    fill_circle(disc, 128, 128, 112);
    paint_fn(img, disc, [&](float x, float y) {
        float r = std::hypot(x - 128, y - 128) / 112.f;
        Rgba c = mix(rgb(0x1a0836), rgb(0x05020f), r);
        c.a = 0.35f + 0.4f * r * r;
        return c;
    });
    Mask ring(n, n);
    fill_ring(ring, 128, 128, 112, 4);
    ticks(ring, 128, 128, 96, 106, 9, 3);
    glow(img, blur(ring, 10), {hue.r, hue.g, hue.b, 0.8f});
    paint(img, ring, mix(hue, rgb(0xffffff), 0.3f));
    char s[2] = {char('0' + digit), 0};
    const int px = 190;
    Mask m = text_mask(s, SANS_BOLD, px);
    int ox = 128 - m.w / 2, oy = 128 - m.h / 2 + 4;
    paint(img, blur(m, 8), {0, 0, 0.05f, 0.6f}, ox + 4, oy + 6);
    glow(img, blur(m, 16), {hue.r, hue.g, hue.b, 0.9f}, ox, oy);
    paint_fn(
        img, m,
        [&](float, float y) {
            return mix(rgb(0xffffff), mix(hue, rgb(0xffffff), 0.2f), (y - 40) / 180.f);
        },
        ox, oy);
    bleed_edges(img);
    return img;
}

Image picture_ring() { // slot 29: sharp, over the zooming numbers
    const int n = 560;
    const float c = n / 2.f;
    Image img(n, n);
    Mask band(n, n);
    fill_ring(band, c, c, 248, 40);
    paint(img, band, {0.04f, 0.02f, 0.12f, 0.7f});
    Mask lines(n, n);
    fill_ring(lines, c, c, 268, 2.5f);
    fill_ring(lines, c, c, 228, 2.5f);
    fill_ring(lines, c, c, 210, 1.2f);
    ticks(lines, c, c, 200, 222, 9, 4);
    ticks(lines, c, c, 214, 222, 72, 1.5f, 2.5f);
    glow(img, blur(lines, 12), {0.25f, 0.9f, 1.f, 0.8f});
    paint(img, lines, rgb(0xbff8ff));
    Mask marks(n, n);
    for (int i = 0; i < 9; ++i) { // nine small folded triangles on the outer edge
        float a = (20.f + 40.f * i) * kPi / 180.f;
        float ca = std::cos(a), sa = std::sin(a);
        Vec2 tip{c + sa * 272, c - ca * 272}, l{c + sa * 286 - ca * 8, c - ca * 286 - sa * 8};
        Vec2 r{c + sa * 286 + ca * 8, c - ca * 286 + sa * 8};
        fill_polygon(marks, {tip, r, l});
    }
    glow(img, blur(marks, 8), {1.f, 0.3f, 0.7f, 0.9f});
    paint(img, marks, rgb(0xff7fc8));
    Mask txt(n, n);
    const std::string words = "NINEFOLD \u00b7 COUNTDOWN \u00b7 NINEFOLD \u00b7 COUNTUP \u00b7 ";
    // Spread the letters so that the words close the circle exactly.
    float room = 2 * kPi * 240 - text_width(words, SANS_CONDENSED_BOLD, 22);
    float glyphs = 0;
    for (char ch : words)
        glyphs += (ch & 0xc0) != 0x80;
    text_on_circle(txt, words, SANS_CONDENSED_BOLD, 22, c, c, 240, 0, room / glyphs);
    glow(img, blur(txt, 6), {1.f, 0.8f, 0.4f, 0.6f});
    paint(img, txt, rgb(0xfff0c8));
    bleed_edges(img);
    return img;
}

Image make_icon() {
    const int n = 256;
    Image img(n, n);
    Mask sq(n, n);
    const float r = 40;
    std::vector<Vec2> pts;
    for (int k = 0; k < 4; ++k) // rounded square
        for (int i = 0; i <= 8; ++i) {
            float a = (k * 90 + i * 11.25f) * kPi / 180.f;
            float cx = k == 0 || k == 3 ? 256 - 8 - r : 8 + r, cy = k < 2 ? 256 - 8 - r : 8 + r;
            pts.push_back({cx + std::cos(a) * r, cy + std::sin(a) * r});
        }
    fill_polygon(sq, pts);
    paint_fn(img, sq, [](float x, float y) {
        return mix(rgb(0x3a1670), rgb(0x08041c), std::hypot(x - 128, y - 100) / 200.f);
    });
    draw_emblem(img, 128, 128, 190);
    bleed_edges(img);
    return img;
}

Image make_picture(int slot) {
    switch (slot) {
    case 4:
        return picture_mandala();
    case 7:
        return picture_landscape();
    case 14:
        return picture_synthwave();
    case 23:
        return picture_closing();
    case 29:
        return picture_ring();
    default:
        if (slot >= 24 && slot <= 28) return picture_number(5 - (slot - 24));
        return make_caption_picture(slot);
    }
}

static std::vector<Image>& cache() {
    static std::vector<Image> pictures(30);
    return pictures;
}

static const Image& picture(int slot) {
    Image& p = cache()[slot];
    if (!p.w) p = make_picture(slot);
    return p;
}

bool write_pictures(const std::string& dir) {
    for (int slot = 0; slot < 30; ++slot) {
        char name[32];
        std::snprintf(name, sizeof name, "img%02d.png", slot);
        if (!write_png(dir + "/" + name, picture(slot))) return false;
    }
    return write_png(dir + "/icon.png", make_icon()) && fonts_ok();
}

Image make_contact_sheet() {
    const int cols = 6, cw = 260, ch = 230;
    Image sheet(cols * cw, 5 * ch, rgb(0x202028));
    for (int slot = 0; slot < 30; ++slot) {
        int x0 = (slot % cols) * cw, y0 = (slot / cols) * ch;
        const Image& p = picture(slot);
        float k = std::min(float(cw - 20) / p.w, float(ch - 44) / p.h);
        int w = std::max(1, int(p.w * k)), h = std::max(1, int(p.h * k));
        int ox = x0 + (cw - w) / 2, oy = y0 + 8 + (ch - 44 - h) / 2;
        for (int y = 0; y < h; ++y) // checkerboard shows the alpha
            for (int x = 0; x < w; ++x) {
                float v = ((x / 8 + y / 8) % 2) ? 0.42f : 0.3f;
                float* q = sheet.at(ox + x, oy + y);
                q[0] = q[1] = q[2] = v;
            }
        over(sheet, scaled(p, w, h), ox, oy);
        char label[48];
        std::snprintf(label, sizeof label, "%02d  %dx%d", slot, p.w, p.h);
        TextStyle st{SANS, 14, 0, rgb(0xdddddd), rgb(0xdddddd), {0, 0, 0, 0}, 0, 0};
        draw_text_centred(sheet, label, st, x0 + cw / 2, y0 + ch - 30);
    }
    return sheet;
}
