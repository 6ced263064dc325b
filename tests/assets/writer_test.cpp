// The generator's picture writer, checked against an independent reader
// (ImageMagick): padded rows, bottom-up order, BGR bytes, and cut-outs that are
// exactly black wherever their mask comes out white, however faint the paint.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "canvas.h"

namespace {

// A scratch path unique to this process.
std::string scratch(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("baubles_writer_" + std::to_string(getpid()) + "_" + name)).string();
}

// Reads a picture's pixels, top row first, as ImageMagick sees them.
std::vector<uint8_t> magickRgb(const std::string& path, size_t bytes) {
    std::string cmd = "convert '" + path + "' -depth 8 rgb:-";
    std::vector<uint8_t> out(bytes);
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return {};
    size_t n = std::fread(out.data(), 1, bytes, p);
    pclose(p);
    out.resize(n);
    return out;
}

}  // namespace

TEST(AssetWriter, OddWidthRoundTripsThroughAnIndependentReader) {
    // Width 5 needs a row stride of 16 bytes; distinct values catch swapped channels or rows.
    Canvas c(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) c.at(x, y) = rgb(x / 4.f, y / 2.f, (x + y) % 2 ? 1.f : 0.2f);
    const std::string path = scratch("odd.bmp");
    writeBmp(path, c);
    EXPECT_EQ(std::filesystem::file_size(path), 54u + 16u * 3u);
    std::vector<uint8_t> px = magickRgb(path, 5 * 3 * 3);
    std::remove(path.c_str());
    ASSERT_EQ(px.size(), 45u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const uint8_t* p = &px[(y * 5 + x) * 3];
            EXPECT_EQ(p[0], std::lround(x / 4.f * 255)) << x << "," << y;
            EXPECT_EQ(p[1], std::lround(y / 2.f * 255)) << x << "," << y;
            EXPECT_EQ(p[2], (x + y) % 2 ? 255 : 51) << x << "," << y;
        }
}

TEST(AssetWriter, CutOutIsBlackWhereverItsMaskIsWhite) {
    // Four pixels: clear, barely touched by bright paint, half covered, opaque.
    CutOut c(4, 1);
    c.paint(1, 0, rgb(1, 1, 1), 0.0015f);  // rounds to no opacity at all
    c.paint(2, 0, rgb(1, 0.5f, 0), 0.5f);
    c.paint(3, 0, rgb(0.2f, 0.4f, 0.6f), 1.f);
    const std::string dir = std::filesystem::temp_directory_path().string();
    const std::string name = "baubles_writer_" + std::to_string(getpid()) + "_cut";
    writeCutOut(dir, name, c);
    std::vector<uint8_t> colour = magickRgb(dir + "/" + name + ".bmp", 12);
    std::vector<uint8_t> mask = magickRgb(dir + "/" + name + "_alpha.bmp", 12);
    std::remove((dir + "/" + name + ".bmp").c_str());
    std::remove((dir + "/" + name + "_alpha.bmp").c_str());
    ASSERT_EQ(colour.size(), 12u);
    ASSERT_EQ(mask.size(), 12u);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(mask[3 * x], mask[3 * x + 1]);
        EXPECT_EQ(mask[3 * x], mask[3 * x + 2]);
        if (mask[3 * x] == 255) {
            EXPECT_EQ(colour[3 * x] | colour[3 * x + 1] | colour[3 * x + 2], 0) << "pixel " << x;
        }
    }
    EXPECT_EQ(mask[0], 255);
    EXPECT_EQ(mask[3], 255);
    // Half cover: the mask keeps half the frame, the picture adds half its colour,
    // and the two together give the painted colour over black.
    EXPECT_NEAR(mask[6], 127, 1);
    EXPECT_NEAR(colour[6], 128, 1);
    EXPECT_NEAR(colour[7], 64, 1);
    EXPECT_EQ(mask[9], 0);
    EXPECT_EQ(colour[9], 51);
    EXPECT_EQ(colour[11], 153);
}

TEST(AssetWriter, PeriodicNoiseTiles) {
    // The rock and cloud textures wrap around the valley: noise with a period of
    // 8 cells must repeat exactly after 8 cells, octaves included.
    for (float y : {0.3f, 2.7f, 5.1f})
        for (float x : {0.f, 0.4f, 3.9f, 7.2f}) {
            EXPECT_NEAR(fbm(x, y, 4, 41, 8, 0), fbm(x + 8, y, 4, 41, 8, 0), 1e-5);
            EXPECT_NEAR(valueNoise(x, y, 3, 8, 8), valueNoise(x + 8, y + 8, 3, 8, 8), 1e-5);
        }
    // Without a period it does not repeat there.
    EXPECT_GT(std::fabs(fbm(0.4f, 0.3f, 4, 41) - fbm(8.4f, 0.3f, 4, 41)), 1e-3);
}
