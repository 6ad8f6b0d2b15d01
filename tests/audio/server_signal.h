// The sound-server test's signal: noise in which any two consecutive frames
// name their position, so a recorded window is placed by lookup alone.
#pragma once

#include <cstdint>

const int kServerSignalFrames = 44100 * 25 / 2;

// Side 0 or 1 of frame i, within +-8192.
inline int16_t ServerSignal(uint32_t i, int side) {
    uint32_t x = i * 2654435761u + uint32_t(side) * 40503u + 1u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return int16_t(int32_t(x & 0x3fff) - 8192);
}
