// The demo's thirty pictures and its icon, designed for where the timeline
// draws them: 800x600 backgrounds, the additive ring backdrop, sliding strips,
// captions with alpha, the five countdown numbers and the ring overlay.
// Every design is a pure function of fixed constants (fixed noise seeds).
#pragma once

#include "tools/gen/image.h"

#include <string>

// Writes data/img00.png .. img29.png and icon.png into dir; false on failure.
bool write_pictures(const std::string& dir);
Image make_picture(int slot); // slot 0..29
Image make_icon();
// Grid of all thirty pictures on a checkerboard, each labelled with its slot.
Image make_contact_sheet();

// Shared by the designs (pictures_style.cpp).
struct TextStyle {
    int font; // Font enum of text.h
    int px;
    float tracking;
    Rgba top, bottom; // vertical fill gradient
    Rgba halo;        // glow colour (alpha = strength)
    int halo_r;
    float shadow; // opacity of the dark drop shadow
};
// Draws one line with its top-left at (x, y); returns its width.
int draw_text(Image& img, const std::string& s, const TextStyle& st, int x, int y);
int draw_text_centred(Image& img, const std::string& s, const TextStyle& st, int cx, int y);
// The ninefold emblem: a diamond of nine folded squares, centred on (cx, cy).
void draw_emblem(Image& img, float cx, float cy, float size, float opacity = 1.f);
// Makes fully transparent pixels take their neighbours' colour, so filtering
// at the edges of shapes does not pull in dark fringes.
void bleed_edges(Image& img);

Image picture_mandala();         // slot 4
Image picture_landscape();       // slot 7
Image picture_synthwave();       // slot 14
Image picture_closing();         // slot 23
Image picture_number(int digit); // slots 24..28
Image picture_ring();            // slot 29
