// PNG decoding: any bytes as a picture file.
#include "platform/draw2d.h"
#include "tests/fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TPixmap* pixmap = LoadPixmapPNG(FuzzFile(data, size));
    if (pixmap) {
        // Touch the last byte of the last row: pitch and height must fit the buffer.
        volatile uint8_t last = pixmap->pixels[size_t(pixmap->pitch) * size_t(pixmap->height - 1) +
                                               size_t(pixmap->width) * size_t(pixmap->format) - 1];
        (void)last;
        delete pixmap;
    }
    return 0;
}
