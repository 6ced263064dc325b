// bmp_fuzz.cpp - libFuzzer target for the picture reader: any bytes at all go
// through the in-memory reader and the RGB converter. Besides the sanitizers,
// it stops on anything the reader promises not to do: keep more than the
// file holds, accept a side outside 1..8192, or convert to the wrong size.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "image/bmp.h"

namespace {

// Reports a broken promise and stops, so libFuzzer keeps the input.
void broken(const char* what) {
    std::fprintf(stderr, "bmp_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image image;
    if (!readBitmapBytes(data, size, image)) {
        if (image.width != 0 || !image.info.empty() || !image.pixels.empty()) broken("a refused file left data behind");
        if (!bitmapToRgb(image).empty()) broken("an empty image converted");
        return 0;
    }
    if (image.width < 1 || image.width > kMaxBitmapSide || image.height < 1 || image.height > kMaxBitmapSide)
        broken("a side outside 1..8192 was accepted");
    if (image.info.size() + image.pixels.size() > size) broken("kept more bytes than the file holds");

    const std::vector<uint8_t> rgb = bitmapToRgb(image);
    if (rgb.size() != rgbRowStride(image.width) * size_t(image.height)) broken("converted to the wrong size");
    if (rgb.size() > 24 * size) broken("a picture larger than the file could fill");
    // Touch every byte, so a bad read would show even where it is not copied.
    unsigned sum = 0;
    for (uint8_t b : rgb) sum += b;
    if (image.bitCount != 24 || image.compression != 0)
        if (sum != 0) broken("a picture we cannot convert is not black");
    return 0;
}
