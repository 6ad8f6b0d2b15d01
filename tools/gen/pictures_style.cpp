#include "tools/gen/pictures.h"
#include "tools/gen/text.h"

#include <algorithm>
#include <cmath>

int draw_text(Image& img, const std::string& s, const TextStyle& st, int x, int y) {
    int pad = st.halo_r * 2 + 8;
    Mask m = text_mask(s, Font(st.font), st.px, st.tracking, pad);
    int ox = x - pad, oy = y - pad;
    if (st.shadow > 0) paint(img, blur(m, 5), {0.02f, 0.0f, 0.06f, st.shadow}, ox + 3, oy + 4);
    if (st.halo.a > 0 && st.halo_r > 0) {
        glow(img, blur(m, st.halo_r * 2), st.halo, ox, oy);
        glow(img, blur(m, st.halo_r / 2 + 1), {st.halo.r, st.halo.g, st.halo.b, st.halo.a * 0.6f},
             ox, oy);
    }
    float h = float(m.h - 2 * pad);
    paint_fn(
        img, m,
        [&](float, float py) {
            float t = std::clamp((py - y) / std::max(h, 1.f), 0.f, 1.f);
            return mix(st.top, st.bottom, t);
        },
        ox, oy);
    return m.w - 2 * pad;
}

int draw_text_centred(Image& img, const std::string& s, const TextStyle& st, int cx, int y) {
    int w = text_width(s, Font(st.font), st.px, st.tracking);
    return draw_text(img, s, st, cx - w / 2, y);
}

void draw_emblem(Image& img, float cx, float cy, float size, float opacity) {
    // Cell (i, j) of a 3x3 grid turned 45 degrees; each cell is folded along a
    // diagonal into a lit and a shaded half, the fold direction alternating.
    const Rgba hues[3] = {rgb(0x3ff5ff), rgb(0xff4fb4), rgb(0xffc857)};
    float cell = size / 3.f / std::sqrt(2.f);
    float gap = size * 0.018f;
    auto P = [&](float u, float v) { // grid coordinates -> picture, turned 45 degrees
        float gx = (u - 1.5f) * cell, gy = (v - 1.5f) * cell;
        return Vec2{cx + (gx - gy) * 0.7071f, cy + (gx + gy) * 0.7071f};
    };
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            float g = gap / cell;
            Vec2 a = P(i + g, j + g), b = P(i + 1 - g, j + g), c = P(i + 1 - g, j + 1 - g),
                 d = P(i + g, j + 1 - g);
            float t = (i + j) / 4.f;
            Rgba base = t < 0.5f ? mix(hues[0], hues[1], t * 2) : mix(hues[1], hues[2], t * 2 - 1);
            Rgba lit = mix(base, rgb(0xffffff), 0.35f), dark = mix(base, rgb(0x1a0a3a), 0.45f);
            lit.a = dark.a = opacity;
            Mask m1(img.w, img.h), m2(img.w, img.h);
            if ((i + j) % 2 == 0) {
                fill_polygon(m1, {a, b, c});
                fill_polygon(m2, {a, c, d});
            } else {
                fill_polygon(m1, {a, b, d});
                fill_polygon(m2, {b, c, d});
            }
            paint(img, m1, lit);
            paint(img, m2, dark);
        }
}

void bleed_edges(Image& img) {
    // Premultiplied blur gives each pixel the average colour of what is near.
    Mask ra(img.w, img.h), ga(img.w, img.h), ba(img.w, img.h), aa(img.w, img.h);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            const float* p = img.at(x, y);
            ra.at(x, y) = p[0] * p[3], ga.at(x, y) = p[1] * p[3], ba.at(x, y) = p[2] * p[3];
            aa.at(x, y) = p[3];
        }
    ra = blur(ra, 8), ga = blur(ga, 8), ba = blur(ba, 8), aa = blur(aa, 8);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            float* p = img.at(x, y);
            float a = aa.at(x, y);
            if (p[3] > 0.02f || a <= 1e-5f) continue;
            p[0] = ra.at(x, y) / a, p[1] = ga.at(x, y) / a, p[2] = ba.at(x, y) / a;
        }
}
