// bmp.cpp - the bitmap reader. Every size comes from the file, so each one is
// checked against the bytes that are really there before it is used, and all
// arithmetic on sizes is done in 64 bits on values already bounded by the
// side limit, so nothing can wrap or go negative.
#include "image/bmp.h"

#include <new>
#include <string>

#include "show/host.h"

namespace {

constexpr uint64_t kFileHeaderBytes = 14;
constexpr uint64_t kInfoHeaderBytes = 40;  // BITMAPINFOHEADER; later headers are longer
// Largest file worth reading: a full-size picture at 32 bits per pixel, plus
// room for the headers and a colour table.
constexpr uint64_t kMaxFileBytes = uint64_t(kMaxBitmapSide) * kMaxBitmapSide * 4 + (1u << 20);

// Little-endian fields of the headers.
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
int32_t les32(const uint8_t* p) { return int32_t(le32(p)); }

// Bytes in one stored row of `bitCount` bits per pixel, padded to 4 bytes.
uint64_t storedRowBytes(uint64_t width, uint64_t bitCount) { return (width * bitCount + 31) / 32 * 4; }

}  // namespace

size_t rgbRowStride(int width) { return (size_t(width) * 3 + 3) & ~size_t(3); }

namespace {

// Reads the picture into image: null, or why the bytes are not one.
const char* parseBitmap(const uint8_t* bytes, size_t size, Image& image) {
    image = Image();
    if (!bytes || size < 2 || bytes[0] != 'B' || bytes[1] != 'M') return "is not a BMP picture";
    if (size < kFileHeaderBytes + kInfoHeaderBytes) return "is too short for a BMP picture";

    // The headers must fit in front of the pixel data, and the pixel data must
    // start inside the file.
    const uint64_t offBits = le32(bytes + 10);
    if (offBits < kFileHeaderBytes + kInfoHeaderBytes || offBits > size) return "has a damaged header";
    const uint8_t* info = bytes + kFileHeaderBytes;
    const uint64_t infoBytes = offBits - kFileHeaderBytes;
    const uint32_t headerSize = le32(info);
    if (headerSize < kInfoHeaderBytes || headerSize > infoBytes) return "has a damaged header";

    const int32_t width = les32(info + 4);
    const int32_t storedHeight = les32(info + 8);
    const uint16_t bitCount = le16(info + 14);
    const uint32_t compression = le32(info + 16);
    const uint32_t sizeImage = le32(info + 20);
    if (width < 1) return "has no pixels";
    if (width > kMaxBitmapSide) return "is wider than 8192 pixels";
    // Negative heights mark top-down rows; the limit holds for either order.
    const int64_t absHeight = storedHeight < 0 ? -int64_t(storedHeight) : int64_t(storedHeight);
    if (absHeight < 1) return "has no pixels";
    if (absHeight > kMaxBitmapSide) return "is taller than 8192 pixels";
    const int height = int(absHeight);

    const uint64_t available = size - offBits;
    uint64_t pixelBytes;
    if (compression == 0) {
        // Uncompressed rows: their size follows from the width, height and depth.
        if (bitCount < 1 || bitCount > 32) return "has an impossible pixel depth";
        pixelBytes = storedRowBytes(uint64_t(width), bitCount) * uint64_t(height);
    } else {
        // Compressed data only says its size in biSizeImage (else: the rest of
        // the file). It becomes a black picture, which must be no larger than
        // that data could fill at 1 bit per pixel.
        pixelBytes = sizeImage != 0 ? sizeImage : available;
        if (pixelBytes == 0 || uint64_t(rgbRowStride(width)) * uint64_t(height) > pixelBytes * 24)
            return "has too little compressed data for its size";
    }
    if (pixelBytes > available) return "has its pixel data cut short";

    try {
        image.info.assign(info, info + infoBytes);
        image.pixels.assign(bytes + offBits, bytes + offBits + pixelBytes);
    } catch (const std::bad_alloc&) {
        image = Image();
        return "does not fit in memory";
    }
    image.width = width;
    image.height = height;
    image.topDown = storedHeight < 0;
    image.bitCount = bitCount;
    image.compression = compression;
    return nullptr;
}

}  // namespace

bool readBitmapBytes(const uint8_t* bytes, size_t size, Image& image) {
    return parseBitmap(bytes, size, image) == nullptr;
}

bool readBitmap(const char* path, Image& image, std::string* reason) {
    image = Image();
    if (reason) reason->clear();
    if (!path) return false;
    std::string fixed(path);
    for (char& c : fixed)
        if (c == '\\') c = '/';
    std::vector<uint8_t> bytes;
    std::string why;
    const FileRead read = host.readFile(fixed.c_str(), kMaxFileBytes, bytes, why);
    if (read == FileRead::Ok) {
        const char* bad = parseBitmap(bytes.data(), bytes.size(), image);
        if (!bad) return true;
        why = bad;
    }
    // A missing picture is the show's ordinary case and has no reason.
    if (reason && read != FileRead::Missing) *reason = why;
    return false;
}

std::vector<uint8_t> bitmapToRgb(const Image& image) {
    if (image.width < 1 || image.width > kMaxBitmapSide || image.height < 1 || image.height > kMaxBitmapSide)
        return {};
    const size_t stride = rgbRowStride(image.width);
    const size_t rows = size_t(image.height);
    std::vector<uint8_t> rgb;
    try {
        rgb.assign(stride * rows, 0);
    } catch (const std::bad_alloc&) {
        return {};
    }
    if (image.bitCount != 24 || image.compression != 0) return rgb;
    // 24-bit rows are stored with the same 4-byte padding as ours.
    if (image.pixels.size() < stride * rows) return {};

    for (size_t r = 0; r < rows; ++r) {
        const size_t fileRow = image.topDown ? rows - 1 - r : r;
        const uint8_t* src = image.pixels.data() + fileRow * stride;
        uint8_t* dst = rgb.data() + r * stride;
        for (size_t p = 0; p < size_t(image.width); ++p) {
            dst[3 * p + 0] = src[3 * p + 2];
            dst[3 * p + 1] = src[3 * p + 1];
            dst[3 * p + 2] = src[3 * p + 0];
        }
    }
    return rgb;
}
