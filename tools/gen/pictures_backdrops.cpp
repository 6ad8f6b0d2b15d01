// Full-screen backgrounds and the bright backdrop of the line ring.
#include "tools/gen/pictures.h"
#include "tools/gen/text.h"

#include <algorithm>
#include <cmath>

namespace {

const float kPi = 3.14159265f;

// Sky from the zenith colour down to the horizon colour, with stars above.
Rgba sky(float y, float horizon, Rgba zenith, Rgba mid, Rgba low) {
    float t = std::clamp(y / horizon, 0.f, 1.f);
    return t < 0.6f ? mix(zenith, mid, t / 0.6f) : mix(mid, low, (t - 0.6f) / 0.4f);
}

void stars(Image& img, float bottom, int count, uint32_t seed) {
    Rng rng(seed);
    Mask m(img.w, img.h);
    for (int i = 0; i < count; ++i) {
        float x = rng.range(0, float(img.w)), y = rng.uniform();
        y = y * y * bottom; // denser towards the top
        fill_circle(m, x, y, rng.range(0.4f, 1.3f), rng.range(0.3f, 1.f) * (1 - y / bottom));
    }
    glow(img, blur(m, 4), {0.8f, 0.85f, 1.f, 0.6f});
    glow(img, m, {1, 1, 1, 1});
}

// A ridge of flat-shaded triangles: every facet is one fold of the range.
void folded_ridge(Image& img, float base, float height, int peaks, Rgba lit, Rgba shade,
                  uint32_t seed) {
    Rng rng(seed);
    std::vector<Vec2> top;
    float step = float(img.w + 80) / peaks;
    for (int i = 0; i <= peaks; ++i) {
        float x = -40 + i * step + rng.range(-step * 0.3f, step * 0.3f);
        float y = base - height * (i % 2 ? rng.range(0.65f, 1.f) : rng.range(0.15f, 0.45f));
        top.push_back({x, y});
    }
    for (size_t i = 0; i + 1 < top.size(); ++i) {
        Vec2 a = top[i], b = top[i + 1];
        Vec2 foot{(a.x + b.x) / 2 + rng.range(-20, 20), base + 2};
        Mask m1(img.w, img.h), m2(img.w, img.h);
        fill_polygon(m1, {a, b, foot});
        fill_polygon(m2, {a, foot, {a.x, base + 2}});
        fill_polygon(m2, {b, {b.x, base + 2}, foot});
        bool sunward = b.y < a.y; // facets that climb to the right face the light
        float k = rng.range(0.f, 0.25f);
        paint(img, m1, mix(sunward ? lit : shade, shade, k));
        paint(img, m2, mix(shade, sunward ? lit : shade, 0.3f + k));
    }
}

} // namespace

Image picture_mandala() { // slot 4: drawn additively, tinted green: bright on black
    const int n = 1024;
    Image img(n, n);
    fill(img, [](float x, float y) {
        float dx = x - 512, dy = y - 512;
        float r = std::hypot(dx, dy), a = std::atan2(dy, dx);
        float rings = std::pow(0.5f + 0.5f * std::cos(r * 0.09f), 6.f);
        float petals = std::pow(std::fabs(std::cos(a * 4.5f + r * 0.004f)), 3.f);
        float rays = std::pow(0.5f + 0.5f * std::cos(a * 36.f), 12.f) * smoothstep(60, 200, r);
        float core = std::exp(-r * r / (2 * 90.f * 90.f));
        float fade = 1 - smoothstep(380, 512, r);
        float v = core + 0.65f * rings * (0.35f + 0.65f * petals) + 0.5f * rays * petals;
        v = std::min(1.f, v) * fade;
        float w = std::min(1.f, v * 1.15f);
        return Rgba{w, w, w, 1.f};
    });
    return img;
}

Image picture_landscape() { // slot 7: dusk over folded mountains and a lake
    const int w = 800, h = 600;
    const float horizon = 430;
    Image img(w, h);
    fill(img, [&](float x, float y) {
        Rgba c = sky(y, horizon, rgb(0x07051c), rgb(0x3b1660), rgb(0xff7a59));
        float n = fbm(x * 0.006f, y * 0.02f, 7, 4); // thin clouds
        c = mix(c, rgb(0xff9fb4), 0.25f * smoothstep(0.55f, 0.8f, n) * smoothstep(150, 400, y));
        return c;
    });
    stars(img, 300, 260, 17);
    // The sun, cut by horizontal slits that widen towards the horizon.
    Mask sun(w, h);
    fill_circle(sun, 470, 360, 110);
    for (int y = 300; y < 480; ++y) {
        float phase = std::fmod(float(y - 300), 22.f);
        float gap = (y - 300) / 22.f;
        if (phase < gap)
            for (int x = 0; x < w; ++x)
                sun.at(x, y) = 0;
    }
    glow(img, blur(sun, 70), {1.f, 0.55f, 0.35f, 0.7f});
    paint_fn(img, sun, [](float, float y) {
        return mix(rgb(0xfff1a8), rgb(0xff4f7b), std::clamp((y - 250) / 220.f, 0.f, 1.f));
    });
    folded_ridge(img, horizon, 170, 9, rgb(0x6a3c8c), rgb(0x2a1450), 3);
    folded_ridge(img, horizon, 110, 13, rgb(0x8a3f7a), rgb(0x2e1040), 5);
    folded_ridge(img, horizon + 2, 60, 19, rgb(0x3a1a5a), rgb(0x120828), 9);
    // Lake: the sky mirrored, darkened and broken into ripples.
    for (int y = int(horizon); y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float d = y - horizon;
            float ripple = std::sin(d * d * 0.02f + x * 0.015f) * (2 + d * 0.06f);
            int sx = std::clamp(int(x + ripple), 0, w - 1);
            int sy = std::clamp(int(horizon - d * 1.3f - 1), 0, h - 1);
            const float* s = img.at(sx, sy);
            float* p = img.at(x, y);
            float k = 0.55f - 0.35f * d / (h - horizon);
            p[0] = s[0] * k + 0.02f, p[1] = s[1] * k + 0.01f, p[2] = s[2] * k + 0.06f;
            p[3] = 1;
        }
    return img;
}

Image picture_synthwave() { // slot 14: neon grid floor under a striped sun
    const int w = 800, h = 600;
    const float horizon = 350;
    Image img(w, h);
    fill(img, [&](float x, float y) {
        if (y < horizon) return sky(y, horizon, rgb(0x050318), rgb(0x2c0e4a), rgb(0xc2306e));
        // Floor: perspective grid lines, brighter towards the viewer.
        float d = (y - horizon) / (h - horizon);
        float z = 1.f / std::max(d, 0.004f);
        float gx = (x - 400) * z / 140.f, gz = z * 2.f;
        float lx = std::fabs(gx - std::round(gx)), lz = std::fabs(gz - std::round(gz));
        float wpx = 0.02f * z; // line width in grid units, about constant on screen
        float line = std::max(1 - smoothstep(wpx * 0.5f, wpx * 1.5f, lx),
                              1 - smoothstep(0.015f * z, 0.05f * z, lz));
        line *= smoothstep(0.0f, 0.12f, d);
        Rgba floor = mix(rgb(0x14052a), rgb(0x2a0838), d);
        Rgba c = mix(floor, rgb(0xff3fd0), line);
        float haze = std::exp(-d * 9);
        return mix(c, rgb(0xff6fa0), haze * 0.6f);
    });
    stars(img, 260, 200, 23);
    Mask sun(w, h);
    fill_circle(sun, 400, 230, 135);
    for (int y = 180; y < 370; ++y) {
        float band = std::fmod(float(y - 180), 20.f);
        if (band < (y - 180) / 24.f)
            for (int x = 0; x < w; ++x)
                sun.at(x, y) = 0;
    }
    for (int y = int(horizon); y < h; ++y)
        for (int x = 0; x < w; ++x)
            sun.at(x, y) = 0;
    glow(img, blur(sun, 60), {1.f, 0.3f, 0.6f, 0.6f});
    paint_fn(img, sun, [](float, float y) {
        return mix(rgb(0xffe66a), rgb(0xff2f8f), std::clamp((y - 95) / 255.f, 0.f, 1.f));
    });
    // Distant mountain silhouettes on the horizon.
    Mask hills(w, h);
    std::vector<Vec2> pts{{0, horizon}};
    for (int x = 0; x <= w; x += 8) {
        float v = fbm(x * 0.008f, 1.5f, 41, 4);
        float side = std::fabs(x - 400.f) / 400.f;
        pts.push_back({float(x), horizon - (10 + 90 * v * v) * (0.3f + side)});
    }
    pts.push_back({float(w), horizon});
    fill_polygon(hills, pts);
    paint(img, hills, rgb(0x1a0630));
    Mask rim(w, h);
    for (size_t i = 1; i + 2 < pts.size(); ++i)
        stroke_line(rim, pts[i], pts[i + 1], 1.5f);
    glow(img, blur(rim, 6), {0.25f, 0.95f, 1.f, 0.8f});
    paint(img, rim, {0.5f, 1.f, 1.f, 0.9f});
    Mask hline(w, h);
    stroke_line(hline, {0, horizon}, {float(w), horizon}, 2);
    glow(img, blur(hline, 14), {1.f, 0.4f, 0.8f, 1.f});
    return img;
}

Image picture_closing() { // slot 23: drawn solid, swayed into RGB stripes
    const int w = 800, h = 600;
    Image img(w, h);
    fill(img, [](float x, float y) {
        float r = std::hypot(x - 400, (y - 250) * 1.2f) / 520.f;
        Rgba c = mix(rgb(0x3a1670), rgb(0x06041a), std::min(1.f, r));
        float rays = 0.5f + 0.5f * std::cos(std::atan2(y - 250, x - 400) * 9.f);
        c = mix(c, rgb(0x5a2a90), 0.18f * rays * (1 - std::min(1.f, r)));
        return c;
    });
    stars(img, 600, 180, 31);
    Mask halo(w, h);
    fill_circle(halo, 400, 220, 120);
    glow(img, blur(halo, 80), {0.9f, 0.3f, 0.8f, 0.55f});
    for (int k = 0; k < 3; ++k) {
        Mask ring(w, h);
        fill_ring(ring, 400, 220, 150 + k * 14.f, 1.5f);
        glow(img, ring, {0.5f, 0.9f, 1.f, 0.5f - k * 0.13f});
    }
    draw_emblem(img, 400, 220, 230);
    TextStyle t = {SANS_BOLD, 84,  4.f, rgb(0xffffff), rgb(0xffc857), {1.f, 0.3f, 0.7f, 0.6f},
                   12,        0.7f};
    draw_text_centred(img, "NINEFOLD", t, 400, 370);
    TextStyle s = {SERIF_ITALIC, 34, 0.f, rgb(0xfff4e0), rgb(0xbfe9ff), {0.3f, 0.9f, 1.f, 0.5f}, 8,
                   0.6f};
    draw_text_centred(img, "thanks for watching", s, 400, 470);
    TextStyle c = {SANS_CONDENSED_BOLD,     16, 5.f, rgb(0x9fe8ff), rgb(0x9fe8ff),
                   {0.3f, 0.9f, 1.f, 0.3f}, 4,  0.5f};
    draw_text_centred(img, "CODE  \u00b7  MUSIC  \u00b7  GRAPHICS:  THE NINEFOLD TEAM", c, 400,
                      550);
    for (int i = 0; i < w * h; ++i)
        img.px[size_t(i) * 4 + 3] = 1.f;
    return img;
}
