#include "tools/gen/image.h"

#include "tools/png_write.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

Image::Image(int width, int height, Rgba c) : w(width), h(height), px(size_t(width) * height * 4) {
    for (size_t i = 0; i < px.size(); i += 4) {
        px[i] = c.r, px[i + 1] = c.g, px[i + 2] = c.b, px[i + 3] = c.a;
    }
}

uint32_t Rng::next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
}

float Rng::uniform() {
    return float(next() >> 8) / 16777216.f;
}

float smoothstep(float e0, float e1, float x) {
    float t = std::clamp((x - e0) / (e1 - e0), 0.f, 1.f);
    return t * t * (3 - 2 * t);
}

float mixf(float a, float b, float t) {
    return a + (b - a) * t;
}

Rgba mix(Rgba a, Rgba b, float t) {
    return {mixf(a.r, b.r, t), mixf(a.g, b.g, t), mixf(a.b, b.b, t), mixf(a.a, b.a, t)};
}

Rgba rgb(int hex, float a) {
    return {float((hex >> 16) & 255) / 255.f, float((hex >> 8) & 255) / 255.f,
            float(hex & 255) / 255.f, a};
}

static float lattice(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return float((h ^ (h >> 16)) & 0xffffff) / 16777215.f;
}

float value_noise(float x, float y, uint32_t seed) {
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    float fx = x - ix, fy = y - iy;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    float a = lattice(ix, iy, seed), b = lattice(ix + 1, iy, seed);
    float c = lattice(ix, iy + 1, seed), d = lattice(ix + 1, iy + 1, seed);
    return mixf(mixf(a, b, fx), mixf(c, d, fx), fy);
}

float fbm(float x, float y, uint32_t seed, int octaves) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * value_noise(x, y, seed + uint32_t(i) * 101u);
        norm += amp;
        x *= 2.03f, y *= 2.03f, amp *= 0.5f;
    }
    return sum / norm;
}

void fill(Image& img, const std::function<Rgba(float, float)>& f) {
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            Rgba c = f(x + 0.5f, y + 0.5f);
            float* p = img.at(x, y);
            p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = c.a;
        }
}

// Straight-alpha "over" of one pixel.
static void blend_pixel(float* p, Rgba c, float cov) {
    float sa = std::clamp(c.a * cov, 0.f, 1.f);
    if (sa <= 0) return;
    float da = p[3], oa = sa + da * (1 - sa);
    for (int k = 0; k < 3; ++k) {
        float sc = (&c.r)[k];
        p[k] = (sc * sa + p[k] * da * (1 - sa)) / oa;
    }
    p[3] = oa;
}

void paint_fn(Image& img, const Mask& m, const std::function<Rgba(float, float)>& f, int ox,
              int oy) {
    for (int y = 0; y < m.h; ++y) {
        int dy = y + oy;
        if (dy < 0 || dy >= img.h) continue;
        for (int x = 0; x < m.w; ++x) {
            int dx = x + ox;
            float cov = m.at(x, y);
            if (dx < 0 || dx >= img.w || cov <= 0) continue;
            blend_pixel(img.at(dx, dy), f(dx + 0.5f, dy + 0.5f), cov);
        }
    }
}

void paint(Image& img, const Mask& m, Rgba c, int ox, int oy) {
    paint_fn(
        img, m, [c](float, float) { return c; }, ox, oy);
}

void glow(Image& img, const Mask& m, Rgba c, int ox, int oy) {
    for (int y = 0; y < m.h; ++y) {
        int dy = y + oy;
        if (dy < 0 || dy >= img.h) continue;
        for (int x = 0; x < m.w; ++x) {
            int dx = x + ox;
            float cov = m.at(x, y) * c.a;
            if (dx < 0 || dx >= img.w || cov <= 0) continue;
            float* p = img.at(dx, dy);
            // Light added where the canvas is transparent shows as coloured haze.
            float na = std::min(1.f, p[3] + cov);
            for (int k = 0; k < 3; ++k)
                p[k] = std::min(1.f, (p[k] * p[3] + (&c.r)[k] * cov) / std::max(na, 1e-6f));
            p[3] = na;
        }
    }
}

void over(Image& dst, const Image& src, int ox, int oy) {
    for (int y = 0; y < src.h; ++y) {
        int dy = y + oy;
        if (dy < 0 || dy >= dst.h) continue;
        for (int x = 0; x < src.w; ++x) {
            int dx = x + ox;
            if (dx < 0 || dx >= dst.w) continue;
            const float* s = src.at(x, y);
            blend_pixel(dst.at(dx, dy), {s[0], s[1], s[2], s[3]}, 1.f);
        }
    }
}

void fill_polygon(Mask& m, const std::vector<Vec2>& pts, float value) {
    if (pts.size() < 3) return;
    float minx = 1e9f, miny = 1e9f, maxx = -1e9f, maxy = -1e9f;
    for (Vec2 p : pts) {
        minx = std::min(minx, p.x), maxx = std::max(maxx, p.x);
        miny = std::min(miny, p.y), maxy = std::max(maxy, p.y);
    }
    int x0 = std::max(0, int(minx)), x1 = std::min(m.w - 1, int(maxx) + 1);
    int y0 = std::max(0, int(miny)), y1 = std::min(m.h - 1, int(maxy) + 1);
    const int S = 4; // 4x4 samples per pixel
    size_t n = pts.size();
    for (int y = y0; y <= y1; ++y)
        for (int sy = 0; sy < S; ++sy) {
            float fy = y + (sy + 0.5f) / S;
            // Crossings of this sample row, with winding direction.
            std::vector<std::pair<float, int>> xs;
            for (size_t i = 0; i < n; ++i) {
                Vec2 a = pts[i], b = pts[(i + 1) % n];
                if ((a.y <= fy) == (b.y <= fy)) continue;
                float t = (fy - a.y) / (b.y - a.y);
                xs.push_back({a.x + t * (b.x - a.x), b.y > a.y ? 1 : -1});
            }
            std::sort(xs.begin(), xs.end());
            int wind = 0;
            for (size_t k = 0; k + 1 < xs.size(); ++k) {
                wind += xs[k].second;
                if (!wind) continue;
                float xa = xs[k].first, xb = xs[k + 1].first;
                for (int x = std::max(x0, int(xa)); x <= std::min(x1, int(xb)); ++x)
                    for (int sx = 0; sx < S; ++sx) {
                        float fx = x + (sx + 0.5f) / S;
                        if (fx >= xa && fx < xb) m.at(x, y) += value / (S * S);
                    }
            }
        }
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            m.at(x, y) = std::min(m.at(x, y), 1.f);
}

void fill_circle(Mask& m, float cx, float cy, float r, float value) {
    int x0 = std::max(0, int(cx - r - 2)), x1 = std::min(m.w - 1, int(cx + r + 2));
    int y0 = std::max(0, int(cy - r - 2)), y1 = std::min(m.h - 1, int(cy + r + 2));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
            float c = std::clamp(r - d + 0.5f, 0.f, 1.f) * value;
            m.at(x, y) = std::max(m.at(x, y), c);
        }
}

void fill_ring(Mask& m, float cx, float cy, float r, float width, float value) {
    float ro = r + width / 2;
    int x0 = std::max(0, int(cx - ro - 2)), x1 = std::min(m.w - 1, int(cx + ro + 2));
    int y0 = std::max(0, int(cy - ro - 2)), y1 = std::min(m.h - 1, int(cy + ro + 2));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float d = std::fabs(std::hypot(x + 0.5f - cx, y + 0.5f - cy) - r);
            float c = std::clamp(width / 2 - d + 0.5f, 0.f, 1.f) * value;
            m.at(x, y) = std::max(m.at(x, y), c);
        }
}

void stroke_line(Mask& m, Vec2 a, Vec2 b, float width, float value) {
    float dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
    if (len <= 0) return;
    float nx = -dy / len * width / 2, ny = dx / len * width / 2;
    fill_polygon(
        m, {{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}},
        value);
}

static void box_pass(std::vector<float>& v, int w, int h, int r, bool horizontal) {
    std::vector<float> line(std::max(w, h));
    int n = horizontal ? w : h, lines = horizontal ? h : w;
    for (int l = 0; l < lines; ++l) {
        auto idx = [&](int i) { return horizontal ? size_t(l) * w + i : size_t(i) * w + l; };
        float sum = 0;
        for (int i = -r; i <= r; ++i)
            sum += (i >= 0 && i < n) ? v[idx(i)] : 0.f;
        for (int i = 0; i < n; ++i) {
            line[i] = sum / float(2 * r + 1);
            int add = i + r + 1, sub = i - r;
            if (add < n) sum += v[idx(add)];
            if (sub >= 0) sum -= v[idx(sub)];
        }
        for (int i = 0; i < n; ++i)
            v[idx(i)] = line[i];
    }
}

Mask blur(const Mask& m, int radius) {
    Mask out = m;
    if (radius <= 0) return out;
    int r = std::max(1, radius / 2);
    for (int pass = 0; pass < 3; ++pass) {
        box_pass(out.v, out.w, out.h, r, true);
        box_pass(out.v, out.w, out.h, r, false);
    }
    return out;
}

Mask grow(const Mask& m, int pad) {
    Mask out(m.w + 2 * pad, m.h + 2 * pad);
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x)
            out.at(x + pad, y + pad) = m.at(x, y);
    return out;
}

Image scaled(const Image& src, int w, int h) {
    Image out(w, h);
    float sx = float(src.w) / w, sy = float(src.h) / h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Average the source footprint of this pixel (premultiplied).
            int x0 = int(x * sx), x1 = std::max(x0 + 1, int((x + 1) * sx));
            int y0 = int(y * sy), y1 = std::max(y0 + 1, int((y + 1) * sy));
            float acc[4] = {0, 0, 0, 0};
            int cnt = 0;
            for (int yy = y0; yy < std::min(y1, src.h); ++yy)
                for (int xx = x0; xx < std::min(x1, src.w); ++xx, ++cnt) {
                    const float* p = src.at(xx, yy);
                    for (int k = 0; k < 3; ++k)
                        acc[k] += p[k] * p[3];
                    acc[3] += p[3];
                }
            float* o = out.at(x, y);
            o[3] = cnt ? acc[3] / cnt : 0;
            for (int k = 0; k < 3; ++k)
                o[k] = acc[3] > 0 ? acc[k] / acc[3] : 0;
        }
    return out;
}

bool write_png(const std::string& path, const Image& img, bool alpha) {
    const int ch = alpha ? 4 : 3;
    std::vector<uint8_t> bytes(size_t(img.w) * img.h * ch);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            const float* p = img.at(x, y);
            uint8_t* o = &bytes[(size_t(y) * img.w + x) * ch];
            for (int k = 0; k < ch; ++k)
                o[k] = uint8_t(std::lround(std::clamp(p[k], 0.f, 1.f) * 255));
        }
    std::string error;
    // zlib's default level, as libpng uses when none is set.
    if (WritePng8(path, img.w, img.h, ch, bytes.data(), 6, &error)) return true;
    std::fprintf(stderr, "ninefold_gen: %s\n", error.c_str());
    return false;
}
