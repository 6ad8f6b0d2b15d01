// The memory budget of everything the demo loads: pictures and scene
// textures together may take kLoadBudgetBytes as decoded pixels plus their
// textures. The demo's own data takes 61 MB of it (thirty pictures 58 MB,
// four textures 2.5 MB). With the passing copies of the largest picture
// (decoding, masking, upload: at most 128 MB) the process stays within
// 300 MB above its peak with the demo's own data. Loaders check a file's
// size, read from its header, against what is left before they decode a
// pixel. Main thread only.
#pragma once

#include <cstdint>
#include <string>

const int64_t kLoadBudgetBytes = int64_t(192) << 20;

// A fresh budget for one start-up's loads: a program that runs the demo
// several times in one process (tests, the capture tool) starts each whole.
void StartLoadBudget();
// Takes bytes from the budget, or takes nothing and returns false with the
// reason ("needs N MB, over the M MB left of ...").
bool TakeLoadBudget(int64_t bytes, std::string* reason);
// Bytes a picture of width x height pixels takes: RGBA pixels and an RGBA
// texture of power-of-two sides.
int64_t PictureBudgetBytes(int width, int height);
