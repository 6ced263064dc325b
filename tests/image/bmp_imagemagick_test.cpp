// The reader against pictures written by ImageMagick: every pixel we read must
// be the pixel ImageMagick itself reads back from the same file.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/bmp.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A scratch directory of its own for one test.
struct ScratchDir {
    std::string path;
    ScratchDir() {
        char tmpl[] = "/tmp/baubles-bmp-XXXXXX";
        const char* made = mkdtemp(tmpl);
        path = made ? made : "";
    }
    ~ScratchDir() {
        if (!path.empty()) std::system(("rm -rf '" + path + "'").c_str());
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
};

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A P6 picture whose pixels all differ, so a swapped channel, row or column shows.
Bytes patternPpm(int w, int h) {
    std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    Bytes ppm(head.begin(), head.end());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            ppm.push_back(uint8_t(x * 37 + y * 101 + 5));
            ppm.push_back(uint8_t(x * 11 + y * 3 + 200));
            ppm.push_back(uint8_t(x * y * 17 + x + 64));
        }
    return ppm;
}

bool run(const std::string& command) { return std::system((command + " 2>&1").c_str()) == 0; }

// ImageMagick's own reading of a bitmap: RGB rows, top row first, unpadded.
Bytes imageMagickRgb(const ScratchDir& dir, const std::string& bmp) {
    const std::string out = dir.file("reference.rgb");
    if (!run("convert '" + bmp + "' -depth 8 'rgb:" + out + "'")) return {};
    return readFile(out);
}

uint32_t field32(const Bytes& b, size_t off) {
    return uint32_t(b[off]) | uint32_t(b[off + 1]) << 8 | uint32_t(b[off + 2]) << 16 | uint32_t(b[off + 3]) << 24;
}
void setField32(Bytes& b, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[off + i] = uint8_t(v >> (8 * i));
}

// Reads `bmp` with our reader and checks every pixel and every padding byte
// against ImageMagick's reading of the same file.
void expectSameAsImageMagick(const ScratchDir& dir, const std::string& bmp, int w, int h) {
    Bytes reference = imageMagickRgb(dir, bmp);
    ASSERT_EQ(reference.size(), size_t(w) * h * 3) << "ImageMagick could not read " << bmp;

    Image image;
    ASSERT_TRUE(readBitmap(bmp.c_str(), image)) << bmp;
    EXPECT_EQ(image.width, w);
    EXPECT_EQ(image.height, h);
    Bytes rgb = bitmapToRgb(image);
    const size_t stride = rgbRowStride(w);
    ASSERT_EQ(rgb.size(), stride * h);
    EXPECT_EQ(stride % 4, 0u);
    EXPECT_GE(stride, size_t(w) * 3);
    EXPECT_LT(stride, size_t(w) * 3 + 4);

    int wrong = 0;
    for (int row = 0; row < h; ++row) {          // ours: bottom row first
        const int imRow = h - 1 - row;           // ImageMagick's: top row first
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                uint8_t ours = rgb[row * stride + 3 * x + c];
                uint8_t theirs = reference[(size_t(imRow) * w + x) * 3 + c];
                if (ours != theirs && ++wrong <= 5)
                    ADD_FAILURE() << bmp << " pixel (" << x << ", " << imRow << ") channel " << c << ": "
                                  << int(ours) << " != " << int(theirs);
            }
        for (size_t pad = size_t(w) * 3; pad < stride; ++pad)
            EXPECT_EQ(rgb[row * stride + pad], 0) << "padding of row " << row;
    }
    EXPECT_EQ(wrong, 0) << bmp;
}

// Writes the pattern as a 24-bit BMP3 through ImageMagick; returns its path.
std::string imageMagickBmp(const ScratchDir& dir, int w, int h) {
    const std::string ppm = dir.file("pattern.ppm");
    const std::string bmp = dir.file("pattern-" + std::to_string(w) + "x" + std::to_string(h) + ".bmp");
    writeFile(ppm, patternPpm(w, h));
    if (!run("convert '" + ppm + "' -type truecolor 'BMP3:" + bmp + "'")) return "";
    return bmp;
}

struct Size {
    int w, h;
};

}  // namespace

// Odd widths need 1 to 3 padding bytes a row; 1-wide and 1-high pictures are
// the ones the texture loader uploads as one-dimensional.
TEST(BmpImageMagick, EveryPixelMatchesWithSizeImageSetAndZero) {
    ScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    ASSERT_TRUE(run("convert -version >/dev/null")) << "ImageMagick's convert is needed (tools/deps.sh installs it)";
    const Size sizes[] = {{5, 3}, {1, 1}, {1, 7}, {7, 1}, {6, 4}, {7, 5}, {4, 2}, {13, 9}, {64, 32}, {255, 3}};
    for (Size s : sizes) {
        SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
        const std::string bmp = imageMagickBmp(dir, s.w, s.h);
        ASSERT_FALSE(bmp.empty());
        Bytes file = readFile(bmp);
        ASSERT_GE(file.size(), 54u);
        ASSERT_EQ(file[28], 24) << "ImageMagick did not write 24 bits per pixel";
        ASSERT_EQ(field32(file, 30), 0u) << "ImageMagick compressed the file";
        ASSERT_NE(field32(file, 34), 0u) << "expected ImageMagick to fill in biSizeImage";
        expectSameAsImageMagick(dir, bmp, s.w, s.h);

        // The same file with biSizeImage 0: the rows are found from the width.
        setField32(file, 34, 0);
        const std::string zero = dir.file("sizeimage-zero.bmp");
        writeFile(zero, file);
        expectSameAsImageMagick(dir, zero, s.w, s.h);
    }
}

// A top-down file (negative biHeight) is read and turned bottom-up, the way
// ImageMagick shows it.
TEST(BmpImageMagick, TopDownRowsComeOutBottomUp) {
    ScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    for (Size s : {Size{5, 3}, Size{3, 6}, Size{1, 4}}) {
        SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
        const std::string bmp = imageMagickBmp(dir, s.w, s.h);
        ASSERT_FALSE(bmp.empty());
        Bytes file = readFile(bmp);
        const size_t off = field32(file, 10), stride = rgbRowStride(s.w);
        ASSERT_EQ(file.size(), off + stride * s.h);
        Bytes flipped(file.begin(), file.begin() + off);
        for (int r = s.h - 1; r >= 0; --r)
            flipped.insert(flipped.end(), file.begin() + off + r * stride, file.begin() + off + (r + 1) * stride);
        setField32(flipped, 22, uint32_t(-s.h));
        const std::string topDown = dir.file("top-down.bmp");
        writeFile(topDown, flipped);

        expectSameAsImageMagick(dir, topDown, s.w, s.h);
        Image a, b;
        ASSERT_TRUE(readBitmap(bmp.c_str(), a));
        ASSERT_TRUE(readBitmap(topDown.c_str(), b));
        EXPECT_FALSE(a.topDown);
        EXPECT_TRUE(b.topDown);
        EXPECT_EQ(bitmapToRgb(a), bitmapToRgb(b));
    }
}

// The show names its pictures Windows-style; a missing file is no image.
TEST(BmpImageMagick, BackslashPathsAndMissingFiles) {
    ScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string bmp = imageMagickBmp(dir, 5, 3);
    ASSERT_FALSE(bmp.empty());
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    ASSERT_TRUE(run("mkdir -p Images && cp '" + bmp + "' Images/Bombka.bmp"));
    Image viaBackslash, viaSlash;
    EXPECT_TRUE(readBitmap("Images\\Bombka.bmp", viaBackslash));
    EXPECT_TRUE(readBitmap("Images/Bombka.bmp", viaSlash));
    EXPECT_EQ(bitmapToRgb(viaBackslash), bitmapToRgb(viaSlash));

    Image missing;
    missing.width = 9;
    EXPECT_FALSE(readBitmap("Images\\Nothing.bmp", missing));
    EXPECT_EQ(missing.width, 0);
    EXPECT_TRUE(missing.pixels.empty());
    EXPECT_FALSE(readBitmap("Images", missing)) << "a directory is not a picture";
    ASSERT_EQ(chdir("/"), 0);
}
