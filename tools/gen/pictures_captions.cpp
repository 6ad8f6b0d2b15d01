// Strips, titles and captions: everything drawn over other pictures with alpha.
#include "tools/gen/pictures.h"
#include "tools/gen/text.h"

#include <algorithm>
#include <cmath>

namespace {

const Rgba kCream = rgb(0xfff4e0), kGold = rgb(0xffc857), kCyan = rgb(0x3ff5ff);
const Rgba kPink = rgb(0xff4fb4), kViolet = rgb(0x7b4dff);

TextStyle big_style(Rgba top, Rgba bottom, Rgba halo, int px) {
    return {SANS_BOLD, px, 1.f, top, bottom, {halo.r, halo.g, halo.b, 0.55f}, 10, 0.7f};
}
TextStyle label_style(Rgba c, int px) {
    return {SANS_CONDENSED_BOLD, px, 6.f, c, c, {c.r, c.g, c.b, 0.35f}, 6, 0.6f};
}

// A two-line caption: a small spaced label over a large line, left aligned.
Image caption(const std::string& label, const std::string& line, Rgba accent, int w = 800,
              int h = 160) {
    Image img(w, h);
    int px = 52; // as large as fits
    while (px > 24 && text_width(line, SANS_BOLD, px, 1.f) > w - 100)
        --px;
    float right = std::min(float(w) - 40, 120.f + text_width(line, SANS_BOLD, px, 1.f));
    // A soft dark band keeps the text readable over any background.
    Mask band(w, h);
    fill_polygon(band, {{0, 18}, {right + 60, 18}, {right, 150}, {0, 150}});
    Mask soft = blur(band, 24);
    paint_fn(img, soft, [&](float x, float) {
        return Rgba{0.03f, 0.01f, 0.09f, 0.6f * (1 - smoothstep(right - 200, right + 60, x))};
    });
    Mask bar(w, h);
    fill_polygon(bar, {{40, 62}, {46, 62}, {46, 132}, {40, 132}});
    glow(img, blur(bar, 8), {accent.r, accent.g, accent.b, 0.8f});
    paint(img, bar, accent);
    draw_text(img, label, label_style(accent, 22), 62, 30);
    draw_text(img, line, big_style(kCream, mix(kCream, accent, 0.55f), accent, px), 60,
              62 + (52 - px) / 2);
    bleed_edges(img);
    return img;
}

Image strip_top() { // slot 0: slides right along the top edge
    const int w = 1024, h = 72;
    Image img(w, h);
    fill(img, [](float x, float y) {
        float a = 0.78f * (1 - smoothstep(52, 70, y));
        Rgba c = mix(rgb(0x140a30), rgb(0x2a0f52), y / 72.f);
        c = mix(c, rgb(0x3a1060), 0.5f + 0.5f * std::sin(x * 0.006f));
        c.a = a;
        return c;
    });
    // A row of folded triangles, lit side and shaded side.
    for (int k = 0; k < 32; ++k) {
        float x0 = k * 32.f;
        Mask l(w, h), d(w, h);
        fill_polygon(l, {{x0, 8}, {x0 + 16, 8}, {x0 + 16, 24}});
        fill_polygon(d, {{x0 + 16, 8}, {x0 + 32, 8}, {x0 + 16, 24}});
        Rgba hue = mix(kCyan, kPink, 0.5f + 0.5f * std::sin(k * 0.6f));
        paint(img, l, {hue.r, hue.g, hue.b, 0.85f});
        paint(img, d, {hue.r * 0.45f, hue.g * 0.45f, hue.b * 0.55f, 0.85f});
    }
    for (int k = 0; k < 4; ++k)
        draw_text(img, "NINEFOLD", label_style(kCream, 18), 24 + k * 256, 30);
    Mask line(w, h);
    fill_polygon(line, {{0, 52}, {float(w), 52}, {float(w), 55}, {0, 55}});
    glow(img, blur(line, 10), {kCyan.r, kCyan.g, kCyan.b, 0.9f});
    paint(img, line, kCyan);
    bleed_edges(img);
    return img;
}

Image ribbons() { // slot 1: translucent twisting ribbons across the middle
    const int w = 1024, h = 200;
    Image img(w, h);
    struct Ribbon {
        float y, amp, k, phase, width, twist;
        Rgba front, back;
    };
    const Ribbon rs[] = {
        {100, 46, 0.0061f, 0.3f, 34, 0.0043f, kCyan, kViolet},
        {96, 38, 0.0079f, 2.1f, 22, 0.0061f, kPink, rgb(0x40103a)},
        {104, 52, 0.0047f, 4.0f, 14, 0.0089f, kGold, rgb(0x6a3a10)},
    };
    for (const Ribbon& r : rs) {
        Image layer(w, h);
        fill(layer, [&](float x, float y) {
            float cy = r.y + r.amp * std::sin(x * r.k + r.phase);
            float tw = std::cos(x * r.twist + r.phase * 1.7f);
            float half = r.width * (0.15f + 0.85f * std::fabs(tw));
            float d = std::fabs(y - cy);
            float cov = std::clamp(half - d + 0.5f, 0.f, 1.f);
            float edge = smoothstep(half * 0.3f, half, d); // brighter rim
            Rgba c = tw > 0 ? r.front : r.back;
            c = mix(c, rgb(0xffffff), 0.35f * edge * (tw > 0));
            float haze = 0.25f * std::exp(-d * d / (half * half * 6 + 1));
            c.a = std::max(cov * (0.55f + 0.3f * edge), haze);
            return c;
        });
        over(img, layer, 0, 0);
    }
    // Sparks riding the ribbons.
    Rng rng(101);
    Mask sparks(w, h);
    for (int i = 0; i < 60; ++i) {
        float x = rng.range(0, w);
        const Ribbon& r = rs[i % 3];
        fill_circle(sparks, x, r.y + r.amp * std::sin(x * r.k + r.phase), rng.range(1, 2.6f));
    }
    glow(img, blur(sparks, 8), {1, 1, 1, 0.9f});
    glow(img, sparks, {1, 1, 1, 1});
    // The strip's left end and its top and bottom are always on screen while
    // it slides: fade the haze out there so no rectangle edge shows.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float fade = smoothstep(0, 160, float(x)) * smoothstep(0, 40, float(y)) *
                         smoothstep(0, 40, float(h - 1 - y));
            img.at(x, y)[3] *= fade;
        }
    bleed_edges(img);
    return img;
}

Image presents() { // slot 2: fades in at the top right
    Image img(320, 110);
    TextStyle small = label_style(kCyan, 20);
    draw_text_centred(img, "THE NINEFOLD TEAM", small, 160, 18);
    TextStyle it = {SERIF_ITALIC, 40,  0.f, kCream, kGold, {kPink.r, kPink.g, kPink.b, 0.6f},
                    10,           0.7f};
    draw_text_centred(img, "presents", it, 160, 48);
    bleed_edges(img);
    return img;
}

Image title() { // slot 3: the title, top right
    Image img(400, 220);
    Mask halo(400, 220);
    fill_circle(halo, 200, 58, 52);
    glow(img, blur(halo, 40), {kViolet.r, kViolet.g, kViolet.b, 0.7f});
    draw_emblem(img, 200, 58, 104);
    draw_text_centred(img, "NINEFOLD", big_style(rgb(0xffffff), kGold, kPink, 66), 200, 112);
    draw_text_centred(img, "A DEMO IN NINE FOLDS", label_style(kCyan, 17), 200, 190);
    bleed_edges(img);
    return img;
}

Image bobbing_line() { // slot 5: bottom centre, bobbing
    Image img(260, 80);
    draw_text_centred(img, "NO SAMPLES", big_style(kCream, kCyan, kCyan, 30), 130, 8);
    draw_text_centred(img, "NO STOCK PIXELS", label_style(kPink, 16), 130, 50);
    bleed_edges(img);
    return img;
}

Image lower_third() { // slot 6: left edge, below the centre line
    Image img(800, 110);
    Mask band(800, 110);
    fill_polygon(band, {{0, 14}, {600, 14}, {560, 96}, {0, 96}});
    paint_fn(img, blur(band, 6), [](float x, float y) {
        Rgba c = mix(rgb(0x2a0f52), rgb(0x12062a), y / 110.f);
        c.a = 0.82f * (1 - smoothstep(420, 600, x) * 0.6f);
        return c;
    });
    Mask edge(800, 110);
    stroke_line(edge, {600, 14}, {560, 96}, 3);
    glow(img, blur(edge, 8), {kPink.r, kPink.g, kPink.b, 0.9f});
    paint(img, edge, kPink);
    TextStyle t = big_style(kCream, kGold, kPink, 30);
    t.shadow = 0.4f;
    draw_text(img, "every pixel and every note", t, 36, 18);
    draw_text(img, "computed, never sampled", big_style(kCyan, kCream, kCyan, 30), 36, 54);
    bleed_edges(img);
    return img;
}

Image unused() { // slot 20: loaded, never shown
    Image img(400, 120);
    draw_text_centred(img, "THE TENTH FOLD", label_style(kGold, 20), 200, 16);
    draw_text_centred(img, "you found the hidden picture", big_style(kCream, kPink, kPink, 21), 200,
                      58);
    bleed_edges(img);
    return img;
}

} // namespace

Image make_caption_picture(int slot) {
    switch (slot) {
    case 0:
        return strip_top();
    case 1:
        return ribbons();
    case 2:
        return presents();
    case 3:
        return title();
    case 5:
        return bobbing_line();
    case 6:
        return lower_third();
    case 8:
        return caption("CODE", "the ninefold team", kCyan);
    case 9:
        return caption("MUSIC", "the ninefold team", kPink);
    case 10:
        return caption("GRAPHICS", "the ninefold team", kGold);
    case 11:
        return caption("MADE WITH", "c++, opengl and a synth", kCyan);
    case 13:
        return caption("EVERYTHING", "generated at build time", kPink);
    case 12:
        return caption("NEXT", "into the third dimension", kGold);
    case 15:
        return caption("GREETINGS", "fly out to ...", kGold);
    case 16:
        return caption("EVERY CODER", "still awake at 3 a.m.", kCyan);
    case 17:
        return caption("EVERY MUSICIAN", "tweaking one more knob", kPink);
    case 22:
        return caption("EVERY PIXEL ARTIST", "pushing one more pixel", kGold);
    case 19:
        return caption("EVERY ORGANISER", "who keeps the party going", kCyan);
    case 18:
        return caption("AND YOU", "for watching demos", kPink);
    case 21:
        return caption("SEE YOU", "at the next party", kGold);
    case 20:
        return unused();
    default:
        return Image(4, 4);
    }
}
