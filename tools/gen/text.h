// Text for the pictures: DejaVu fonts (Debian's fonts-dejavu-core) rendered
// with FreeType into coverage masks. UTF-8 input; glyphs missing from a font
// are skipped. Fonts are opened on first use and kept until exit.
#pragma once

#include "tools/gen/image.h"

#include <string>

enum Font { SANS, SANS_BOLD, SANS_LIGHT, SANS_CONDENSED_BOLD, MONO_BOLD, SERIF_ITALIC };

// Directory holding the DejaVu .ttf files; set before the first text call.
void set_font_dir(const std::string& dir);
bool fonts_ok(); // false when a font could not be opened (message printed)

// Renders one line; the mask is the text's box (ascent + descent high) plus pad.
// tracking adds pixels between letters.
Mask text_mask(const std::string& text, Font font, int px, float tracking = 0, int pad = 0);
// Width in pixels of a line as text_mask would render it (without pad).
int text_width(const std::string& text, Font font, int px, float tracking = 0);
// Glyphs set upright-outward around a circle of radius r centred on (cx, cy),
// starting at angle start_deg (0 = top, clockwise), added into m.
void text_on_circle(Mask& m, const std::string& text, Font font, int px, float cx, float cy,
                    float r, float start_deg, float tracking = 0);
