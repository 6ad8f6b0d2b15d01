// Texture frames for the 2D layer's pictures: the smallest power-of-two size
// the GL accepts (halved until it does; "Unable to calculate tex size" when
// not even 1 x 1 is), the picture resized down or padded with its repeated
// edge to it, filtered and mipmapped as asked. Internal to
// platform/; main thread, on the display's context.
#pragma once

#include "platform/pixmap.h"

#include <cstdint>

struct TextureFrame {
    uint32_t texture = 0; // 0: none (no memory for the pixels)
    int tex_width = 0, tex_height = 0;
    float umax = 0, vmax = 0; // the picture's extent in texture coordinates
};

// Makes the texture and leaves it bound.
TextureFrame MakeTexture(const TPixmap* picture, bool filtered, bool mipmapped);
