// Expected screen colours of stacked pictures, worked out from their PNG
// files: for tests that check which pictures a frame of the demo shows.
// A sample point is known only where every picture that covers it is flat
// (its 3x3 texel neighbourhood nearly equal), so filtering and sub-pixel
// placement cannot move the answer; partial alpha blends as straight alpha.
#pragma once

#include "platform/draw2d.h"

#include <cstdint>
#include <memory>
#include <vector>

struct Colour {
    int r, g, b;
};

// One picture drawn with its top-left corner at (x, y) screen pixels
// (top-left origin), at scale 1, no rotation, alpha blended at `alpha`.
struct Layer {
    const TPixmap* pic;
    double x, y;
    double alpha = 1.0;
    bool solid = false; // blending off: alpha is ignored
};

// Centred demo coordinates and handle to a screen layer.
Layer At(const TPixmap* pic, double demo_x, double demo_y, bool centred = false,
         double alpha = 1.0);

// Colour of stack (bottom first) over black at screen pixel (px, py);
// false when unknown.
bool ExpectedColour(const std::vector<Layer>& stack, int px, int py, Colour* out);

// The frame as read back: 800 x 600 RGB, top row first.
struct Frame {
    std::vector<uint8_t> rgb;
    Colour At(int x, int y) const;
};
Frame ReadBackFrame();

// Compares a frame with stack, and with stack less layer i, at sample
// points in layer i's footprint where the two differ clearly. With
// below_known false the colour under the stack is not predicted (effects
// drew it): then only points where layer i is opaque count.
struct Verdict {
    int points = 0;  // sample points that tell the two apart
    int with = 0;    // of which match the stack with layer i
    int without = 0; // of which match the stack without it
    int nearer = 0;  // of which are nearer to the stack with layer i
};
Verdict Compare(const Frame& f, const std::vector<Layer>& stack, int i, bool below_known = true,
                int min_difference = 48);

// Alpha at which the top layer appears over the rest, estimated from points
// where the two differ by at least 150 in a channel; -1 when there are none.
double EstimateAlpha(const Frame& f, const std::vector<Layer>& stack);

// Pictures of the demo's data, decoded once.
const TPixmap* Picture(int slot);
