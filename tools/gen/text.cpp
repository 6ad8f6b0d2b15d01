#include "tools/gen/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const char* const kFontFiles[] = {"DejaVuSans.ttf",
                                  "DejaVuSans-Bold.ttf",
                                  "DejaVuSans-ExtraLight.ttf",
                                  "DejaVuSansCondensed-Bold.ttf",
                                  "DejaVuSansMono-Bold.ttf",
                                  "DejaVuSerif-Italic.ttf"};

struct Fonts {
    std::string dir = "/usr/share/fonts/truetype/dejavu/";
    FT_Library lib = nullptr;
    FT_Face faces[6] = {};
    bool failed = false;
} g;

FT_Face face(Font f, int px) {
    if (!g.lib && FT_Init_FreeType(&g.lib)) {
        g.failed = true;
        std::fprintf(stderr, "ninefold_gen: FreeType does not start\n");
        return nullptr;
    }
    if (!g.faces[f]) {
        std::string path = g.dir + kFontFiles[f];
        if (FT_New_Face(g.lib, path.c_str(), 0, &g.faces[f])) {
            g.failed = true;
            std::fprintf(stderr, "ninefold_gen: %s: cannot open font\n", path.c_str());
            return nullptr;
        }
    }
    FT_Set_Pixel_Sizes(g.faces[f], 0, px);
    return g.faces[f];
}

std::vector<uint32_t> decode_utf8(const std::string& s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        int n = c < 0x80 ? 1 : c < 0xe0 ? 2 : c < 0xf0 ? 3 : 4;
        uint32_t cp = n == 1 ? c : c & (0x7f >> n);
        for (int k = 1; k < n && i + k < s.size(); ++k)
            cp = (cp << 6) | (s[i + k] & 0x3f);
        out.push_back(cp);
        i += n;
    }
    return out;
}

// Walks the glyphs of a line: calls put(bitmap, left, top) at each pen position.
template <class Put> float layout(const std::string& text, FT_Face fc, float tracking, Put put) {
    float pen = 0;
    FT_UInt prev = 0;
    for (uint32_t cp : decode_utf8(text)) {
        FT_UInt gi = FT_Get_Char_Index(fc, cp);
        if (!gi) continue;
        if (prev && FT_HAS_KERNING(fc)) {
            FT_Vector k;
            FT_Get_Kerning(fc, prev, gi, FT_KERNING_DEFAULT, &k);
            pen += k.x / 64.f;
        }
        if (FT_Load_Glyph(fc, gi, FT_LOAD_RENDER)) continue;
        put(fc->glyph->bitmap, pen + fc->glyph->bitmap_left, fc->glyph->bitmap_top);
        pen += fc->glyph->advance.x / 64.f + tracking;
        prev = gi;
    }
    return pen - tracking;
}

void blit(Mask& m, const FT_Bitmap& bm, int ox, int oy) {
    for (unsigned y = 0; y < bm.rows; ++y)
        for (unsigned x = 0; x < bm.width; ++x) {
            int dx = ox + int(x), dy = oy + int(y);
            if (dx < 0 || dy < 0 || dx >= m.w || dy >= m.h) continue;
            float c = bm.buffer[y * bm.pitch + x] / 255.f;
            m.at(dx, dy) = std::min(1.f, m.at(dx, dy) + c);
        }
}

} // namespace

void set_font_dir(const std::string& dir) {
    g.dir = dir.empty() || dir.back() == '/' ? dir : dir + "/";
}
bool fonts_ok() {
    return !g.failed;
}

int text_width(const std::string& text, Font font, int px, float tracking) {
    FT_Face fc = face(font, px);
    if (!fc) return 0;
    return int(std::ceil(layout(text, fc, tracking, [](const FT_Bitmap&, float, int) {})));
}

Mask text_mask(const std::string& text, Font font, int px, float tracking, int pad) {
    FT_Face fc = face(font, px);
    if (!fc) return Mask(1, 1);
    int asc = int(std::ceil(fc->size->metrics.ascender / 64.f));
    int desc = int(std::ceil(-fc->size->metrics.descender / 64.f));
    int w = text_width(text, font, px, tracking) + 2 + 2 * pad;
    Mask m(w, asc + desc + 2 * pad);
    layout(text, fc, tracking, [&](const FT_Bitmap& bm, float x, int top) {
        blit(m, bm, int(std::lround(x)) + pad, pad + asc - top);
    });
    return m;
}

void text_on_circle(Mask& m, const std::string& text, Font font, int px, float cx, float cy,
                    float r, float start_deg, float tracking) {
    FT_Face fc = face(font, px);
    if (!fc) return;
    float ang = start_deg;
    for (uint32_t cp : decode_utf8(text)) {
        FT_UInt gi = FT_Get_Char_Index(fc, cp);
        if (!gi) continue;
        float a = ang * 3.14159265f / 180.f;
        // Rotate the glyph so that its baseline is the circle's tangent.
        FT_Matrix mat;
        mat.xx = FT_Fixed(std::cos(a) * 65536), mat.xy = FT_Fixed(std::sin(a) * 65536);
        mat.yx = FT_Fixed(-std::sin(a) * 65536), mat.yy = FT_Fixed(std::cos(a) * 65536);
        FT_Set_Transform(fc, &mat, nullptr);
        if (!FT_Load_Glyph(fc, gi, FT_LOAD_RENDER)) {
            float adv = std::hypot(fc->glyph->advance.x / 64.f, fc->glyph->advance.y / 64.f);
            // Pen on the circle; the glyph's advance is centred on its angle.
            float half = (adv / 2) / r;
            float pa = a - half;
            float px0 = cx + std::sin(pa) * r, py0 = cy - std::cos(pa) * r;
            blit(m, fc->glyph->bitmap, int(std::lround(px0)) + fc->glyph->bitmap_left,
                 int(std::lround(py0)) - fc->glyph->bitmap_top);
            ang += (adv + tracking) / r * 180.f / 3.14159265f;
        }
        FT_Set_Transform(fc, nullptr, nullptr);
    }
}
