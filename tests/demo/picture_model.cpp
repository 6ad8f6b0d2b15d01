#include "tests/demo/picture_model.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

struct Texel {
    int r, g, b, a;
    bool operator==(const Texel& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

// As the 2D layer uploads it: pictures without alpha are masked by black.
Texel TexelAt(const TPixmap* p, int x, int y) {
    const uint8_t* s = p->pixels + y * p->pitch + x * p->format;
    Texel t;
    if (p->format == PF_I8) {
        t = {s[0], s[0], s[0], 255};
    } else {
        t = {s[0], s[1], s[2], p->format == PF_RGBA8888 ? s[3] : 255};
    }
    if (p->format != PF_RGBA8888 && t.r == 0 && t.g == 0 && t.b == 0) t.a = 0;
    return t;
}

enum Cover { kOutside, kTexel, kUnknown };

// Neighbouring texels may differ this much for a point to count as flat.
const int kFlat = 6;

bool Near(const Texel& a, const Texel& b) {
    return std::abs(a.r - b.r) <= kFlat && std::abs(a.g - b.g) <= kFlat &&
           std::abs(a.b - b.b) <= kFlat && std::abs(a.a - b.a) <= kFlat;
}

// What layer l shows at the centre of screen pixel (px, py).
Cover Covers(const Layer& l, int px, int py, Texel* texel) {
    const double u = px + 0.5 - l.x, v = py + 0.5 - l.y;
    const int w = l.pic->width, h = l.pic->height;
    if (u < -1 || v < -1 || u > w + 1 || v > h + 1) return kOutside;
    const int tx = int(std::floor(u)), ty = int(std::floor(v));
    if (tx < 1 || ty < 1 || tx > w - 2 || ty > h - 2) return kUnknown; // edge: filtered
    Texel c = TexelAt(l.pic, tx, ty);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (!Near(TexelAt(l.pic, tx + dx, ty + dy), c)) return kUnknown;
    if (l.solid) c.a = 255;
    *texel = c;
    return kTexel;
}

// Effective opacity of layer l at the point, 0 to 1.
double Opacity(const Layer& l, const Texel& c) {
    return c.a / 255.0 * l.alpha;
}

bool Expected(const std::vector<Layer>& stack, int n, int px, int py, Colour* out) {
    for (int i = n - 1; i >= 0; --i) {
        Texel c;
        const Cover cover = Covers(stack[i], px, py, &c);
        if (cover == kOutside) continue;
        if (cover == kUnknown) return false;
        const double a = Opacity(stack[i], c);
        if (c.a <= kFlat) continue; // transparent within filtering error
        if (c.a >= 255 && stack[i].alpha >= 1.0) {
            *out = {c.r, c.g, c.b};
            return true;
        }
        Colour under;
        if (!Expected(stack, i, px, py, &under)) return false;
        *out = {int(std::lround(a * c.r + (1 - a) * under.r)),
                int(std::lround(a * c.g + (1 - a) * under.g)),
                int(std::lround(a * c.b + (1 - a) * under.b))};
        return true;
    }
    *out = {0, 0, 0};
    return true;
}

int Distance(Colour a, Colour b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

const int kMatch = 10; // read-back against expectation

template <typename Fn> void ForSamples(const Layer& top, Fn fn) {
    const int x0 = std::max(0, int(top.x)), y0 = std::max(0, int(top.y));
    const int x1 = std::min(800, int(top.x) + top.pic->width);
    const int y1 = std::min(600, int(top.y) + top.pic->height);
    for (int y = y0 + 2; y < y1 - 2; y += 2)
        for (int x = x0 + 2; x < x1 - 2; x += 2)
            fn(x, y);
}

} // namespace

Layer At(const TPixmap* pic, double demo_x, double demo_y, bool centred, double alpha) {
    double hx = centred ? pic->width / 2.0 : 0, hy = centred ? pic->height / 2.0 : 0;
    return {pic, demo_x + 400 - hx, demo_y + 300 - hy, alpha};
}

bool ExpectedColour(const std::vector<Layer>& stack, int px, int py, Colour* out) {
    return Expected(stack, int(stack.size()), px, py, out);
}

Colour Frame::At(int x, int y) const {
    const uint8_t* p = &rgb[(y * 800 + x) * 3];
    return {p[0], p[1], p[2]};
}

Frame ReadBackFrame() {
    std::vector<uint8_t> raw(800 * 600 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
    Frame f;
    f.rgb.resize(raw.size());
    for (int y = 0; y < 600; ++y)
        std::copy_n(&raw[(599 - y) * 2400], 2400, &f.rgb[y * 2400]);
    return f;
}

Verdict Compare(const Frame& f, const std::vector<Layer>& stack, int i, bool below_known,
                int min_difference) {
    std::vector<Layer> without = stack;
    without.erase(without.begin() + i);
    Verdict v;
    ForSamples(stack[i], [&](int x, int y) {
        Colour a, b = {0, 0, 0};
        Texel unused;
        if (!ExpectedColour(stack, x, y, &a)) return;
        if (below_known) {
            if (!ExpectedColour(without, x, y, &b) || Distance(a, b) < min_difference) return;
        } else {
            if (Covers(stack[i], x, y, &unused) != kTexel || unused.a < 250) return;
        }
        ++v.points;
        const Colour got = f.At(x, y);
        if (Distance(got, a) <= kMatch) ++v.with;
        if (below_known && Distance(got, b) <= kMatch) ++v.without;
        if (below_known && Distance(got, a) < Distance(got, b)) ++v.nearer;
    });
    return v;
}

double EstimateAlpha(const Frame& f, const std::vector<Layer>& stack) {
    std::vector<Layer> with = stack, below = stack;
    with.back().alpha = 1.0;
    below.pop_back();
    double sum = 0;
    int n = 0;
    ForSamples(stack.back(), [&](int x, int y) {
        Colour c, b;
        Texel unused;
        if (Covers(stack.back(), x, y, &unused) != kTexel || unused.a < 128) return;
        if (!ExpectedColour(with, x, y, &c) || !ExpectedColour(below, x, y, &b)) return;
        const Colour got = f.At(x, y);
        const int dc[3] = {c.r - b.r, c.g - b.g, c.b - b.b};
        const int dg[3] = {got.r - b.r, got.g - b.g, got.b - b.b};
        for (int k = 0; k < 3; ++k)
            if (std::abs(dc[k]) >= 150) {
                sum += double(dg[k]) / dc[k];
                ++n;
            }
    });
    return n ? sum / n : -1;
}

const TPixmap* Picture(int slot) {
    static std::map<int, std::unique_ptr<TPixmap>> cache;
    auto& p = cache[slot];
    if (!p) {
        char path[32];
        std::snprintf(path, sizeof path, "data/img%02d.png", slot);
        p.reset(LoadPixmapPNG(path));
        if (!p) {
            std::fprintf(stderr, "test: %s: cannot load\n", path);
            std::abort();
        }
    }
    return p.get();
}
