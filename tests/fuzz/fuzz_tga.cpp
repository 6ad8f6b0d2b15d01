// TGA reader: any bytes as a texture file.
#include "scene/scene.h"
#include "tests/fuzz/fuzz_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t width = 0, height = 0;
    uint8_t* pixels = tga_load(FuzzFile(data, size), &width, &height);
    if (pixels) {
        // Touch the last pixel: the reported size must match the buffer.
        volatile uint8_t last = pixels[size_t(width) * size_t(height) * 3 - 1];
        (void)last;
        free(pixels);
    }
    return 0;
}
