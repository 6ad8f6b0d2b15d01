#include "tools/capture/contact_sheet.h"

#include <algorithm>
#include <string>

namespace {

// Each glyph is five rows of three bits, the high bit on the left.
const uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

RgbImage Thumbnail(const RgbImage& frame, int w, int h) {
    int factor = std::max(1, std::min(frame.width / std::max(w, 1), frame.height / std::max(h, 1)));
    RgbImage small = DownscaleBox(frame, factor);
    RgbImage thumb = MakeRgbImage(w, h);
    PasteImage(thumb, small, (w - small.width) / 2, (h - small.height) / 2);
    return thumb;
}

} // namespace

void DrawNumber(RgbImage& image, int x, int y, int number, int scale) {
    const std::string text = std::to_string(std::max(number, 0));
    const int advance = 4 * scale;
    FillRect(image, x, y, int(text.size()) * advance + scale, 7 * scale, 0, 0, 0);
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t* glyph = kDigits[text[i] - '0'];
        int gx = x + scale + int(i) * advance;
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (glyph[row] & (4 >> col))
                    FillRect(image, gx + col * scale, y + scale + row * scale, scale, scale, 255,
                             255, 255);
    }
}

void AddThumbnail(ContactSheet& sheet, const RgbImage& frame, int second) {
    RgbImage thumb = Thumbnail(frame, sheet.thumb_w, sheet.thumb_h);
    DrawNumber(thumb, 0, 0, second, 2);
    sheet.thumbs.push_back(std::move(thumb));
    sheet.seconds.push_back(second);
}

RgbImage ComposeSheet(const ContactSheet& sheet) {
    const int n = int(sheet.thumbs.size());
    const int cols = std::max(1, std::min(sheet.columns, n));
    const int rows = (n + cols - 1) / cols;
    RgbImage out = MakeRgbImage(sheet.gap + cols * (sheet.thumb_w + sheet.gap),
                                sheet.gap + rows * (sheet.thumb_h + sheet.gap));
    FillRect(out, 0, 0, out.width, out.height, 48, 48, 48);
    for (int i = 0; i < n; ++i)
        PasteImage(out, sheet.thumbs[size_t(i)],
                   sheet.gap + (i % cols) * (sheet.thumb_w + sheet.gap),
                   sheet.gap + (i / cols) * (sheet.thumb_h + sheet.gap));
    return out;
}
