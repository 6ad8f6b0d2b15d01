// Helpers for the effect pixel tests: a fixture that has the capture
// textures made once for the 800x600 display, and plain-GL drawing of test
// content in top-left-origin screen pixels (the 2D layer is not used here).
#pragma once

#include "tests/support/gl_fixture.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class FxTest : public GLTest {
  protected:
    void SetUp() override;
};

// Solid rectangle through a scissored clear: exact pixels, no blending.
void FillRect(int x, int y, int w, int h, Rgb c);
// Fills the whole screen with a smooth gradient: red grows to the right,
// green downwards, blue fixed at 128.
void FillGradient();
// Red of FillGradient at a screen position (pixel centres at +0.5).
float GradientRed(float x);
float GradientGreen(float y);

Rgb FramePixel(const std::vector<uint8_t>& frame, int x, int y);
// Whether the back buffer now holds exactly this frame; a failure names the
// number of differing pixels and the first of them.
::testing::AssertionResult FrameEquals(const std::vector<uint8_t>& want);

// Every effect once, with the arguments the demo uses where it calls it.
struct EffectCase {
    const char* name;
    std::function<void()> run;
};
const std::vector<EffectCase>& AllEffects();
void PrintTo(const EffectCase& c, std::ostream* os);
std::string EffectName(const ::testing::TestParamInfo<EffectCase>& info);
