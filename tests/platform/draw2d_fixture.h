// Pixel-test fixture for the 2D layer: the shared display, the layer's
// drawing state back at its defaults (solid blend), and test pictures
// written to a temporary folder and loaded as images.
#pragma once

#include "platform/draw2d.h"
#include "tests/platform/png_files.h"
#include "tests/support/gl_fixture.h"

const Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0},
    kBlue{0, 0, 255};

class Draw2DTest : public GLTest {
  protected:
    void SetUp() override {
        GLTest::SetUp();
        DefaultState();
    }
    void TearDown() override { DefaultState(); }

    static void DefaultState() {
        SetBlend(2);
        SetColor(255, 255, 255);
        SetAlpha(1);
        SetRotation(0);
        SetScale(1, 1);
        SetLineWidth(1);
    }

    TImage* Load(const PngLayout& layout, int flags, const char* name = "pic.png") {
        std::string path = dir_.Path(name);
        EXPECT_TRUE(WritePng(path, layout));
        TImage* image = LoadImage(path.c_str(), flags);
        EXPECT_NE(image, nullptr);
        return image;
    }

    // 10x10: red top left, green top right, blue bottom left, white bottom right.
    static PngLayout Quadrants() {
        uint8_t black[3] = {0, 0, 0};
        PngLayout layout = SolidLayout(10, 10, 3, black);
        const uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                SetPixel(layout, x, y, colours[(y / 5) * 2 + x / 5]);
        return layout;
    }

  private:
    TempDir dir_;
};
