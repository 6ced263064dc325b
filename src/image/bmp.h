// bmp.h - reads the show's pictures: Windows bitmap files, uncompressed, 24 bits
// per pixel. A picture file is the one thing the show takes from outside, so
// the reader trusts none of its sizes: every block it keeps comes from bytes
// that really are in the file, and nothing is read past them.
//
// What it accepts:
//   - "BM", a BITMAPINFOHEADER (or a later, longer one) right after the
//     14-byte file header, the pixel data at bfOffBits behind the headers;
//   - 1 to 8192 pixels on a side; rows bottom-up (positive biHeight) or
//     top-down (negative biHeight, turned bottom-up by bitmapToRgb);
//   - uncompressed 24-bit rows, converted to RGB. Other depths and compressed
//     files give a black picture of their own size, as long as their pixel
//     data is in the file (at least 1 bit per pixel).
//   - biSizeImage is not trusted for uncompressed files: the rows the width
//     and height need must be in the file, whatever biSizeImage says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Largest picture side the show reads.
constexpr int kMaxBitmapSide = 8192;

// One picture as read: its info block and its pixel block.
struct Image {
    std::vector<uint8_t> info;    // everything between the file header and the pixel data
    std::vector<uint8_t> pixels;  // the pixel rows as stored in the file
    int width = 0;                // biWidth, 1..kMaxBitmapSide
    int height = 0;               // |biHeight|, 1..kMaxBitmapSide
    bool topDown = false;         // rows stored top row first (negative biHeight)
    uint16_t bitCount = 0;        // biBitCount
    uint32_t compression = 0;     // biCompression; 0 is uncompressed
};

// Reads a bitmap file through the host (a regular file only); `\` in the path
// is taken as `/`. False (and an empty image) when the file is missing, short
// or not a picture we can read; then reason, if given, says why in plain
// English ("is not a BMP picture"), and stays empty for a missing file.
bool readBitmap(const char* path, Image& image, std::string* reason = nullptr);

// Reads a bitmap from the bytes of a whole file.
bool readBitmapBytes(const uint8_t* bytes, size_t size, Image& image);

// Bytes in one RGB row padded to 4 bytes: (width * 3 + 3) & ~3.
size_t rgbRowStride(int width);

// The picture as RGB rows padded to 4 bytes, bottom row first: rgbRowStride
// x height bytes, black when the file is not uncompressed 24-bit. Empty when
// the image is not one readBitmap produced or memory runs out.
std::vector<uint8_t> bitmapToRgb(const Image& image);
