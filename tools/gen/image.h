// Pictures of the generator: float RGBA canvases (straight alpha, 0..1) and
// single-channel coverage masks, with the few drawing primitives the picture
// designs need (fills, soft shapes, polygons, blur, compositing) and a PNG
// writer. Everything is deterministic: no clock, no threads, fixed seeds.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Rgba {
    float r, g, b, a;
};

struct Image {
    int w = 0, h = 0;
    std::vector<float> px; // RGBA per pixel, straight alpha
    Image() = default;
    Image(int width, int height, Rgba fill = {0, 0, 0, 0});
    float* at(int x, int y) { return &px[(size_t(y) * w + x) * 4]; }
    const float* at(int x, int y) const { return &px[(size_t(y) * w + x) * 4]; }
};

struct Mask {
    int w = 0, h = 0;
    std::vector<float> v;
    Mask() = default;
    Mask(int width, int height) : w(width), h(height), v(size_t(width) * height, 0.f) {}
    float& at(int x, int y) { return v[size_t(y) * w + x]; }
    float at(int x, int y) const { return v[size_t(y) * w + x]; }
};

struct Vec2 {
    float x, y;
};

// Deterministic pseudo-random numbers (xorshift); the same seed, the same picture.
struct Rng {
    uint32_t s;
    explicit Rng(uint32_t seed) : s(seed ? seed : 1) {}
    uint32_t next();
    float uniform(); // 0..1
    float range(float a, float b) { return a + (b - a) * uniform(); }
};

float smoothstep(float e0, float e1, float x);
float mixf(float a, float b, float t);
Rgba mix(Rgba a, Rgba b, float t);
Rgba rgb(int hex, float a = 1.f);
float value_noise(float x, float y, uint32_t seed); // smooth noise, 0..1
float fbm(float x, float y, uint32_t seed, int octaves);

// Fills every pixel with f(x, y) (pixel centres at +0.5).
void fill(Image& img, const std::function<Rgba(float x, float y)>& f);
// Paints colour c over img where the mask covers it, mask moved by (ox, oy).
void paint(Image& img, const Mask& m, Rgba c, int ox = 0, int oy = 0);
// Paints with a colour that varies with the position.
void paint_fn(Image& img, const Mask& m, const std::function<Rgba(float x, float y)>& f, int ox = 0,
              int oy = 0);
// Additive light: adds c * coverage to the colour and raises alpha.
void glow(Image& img, const Mask& m, Rgba c, int ox = 0, int oy = 0);
void over(Image& dst, const Image& src, int ox, int oy); // src over dst

// Antialiased polygon coverage (non-zero winding), added into the mask.
void fill_polygon(Mask& m, const std::vector<Vec2>& pts, float value = 1.f);
void fill_circle(Mask& m, float cx, float cy, float r, float value = 1.f);
void fill_ring(Mask& m, float cx, float cy, float r, float width, float value = 1.f);
void stroke_line(Mask& m, Vec2 a, Vec2 b, float width, float value = 1.f);
Mask blur(const Mask& m, int radius); // three box passes, about Gaussian
Mask grow(const Mask& m, int pad);    // same content with a transparent border

// Writes 8-bit RGBA (or RGB when alpha is false) PNG; false on failure.
bool write_png(const std::string& path, const Image& img, bool alpha = true);
Image scaled(const Image& src, int w, int h); // box/bilinear resample
