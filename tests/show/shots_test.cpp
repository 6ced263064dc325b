// The show's frames as a viewer sees them, taken with --shots: the traced
// ball square, the logo, a greeting sprite, the closing pictures and the
// closing logo each show their own picture at their own place.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "image/bmp.h"

namespace {

// Frames are taken at 320 x 240; positions below are in the show's 640 x 480 units.
const int W = 320, H = 240;

struct Rgb {
    double r = 0, g = 0, b = 0;
};

// A frame as RGB rows, top row first.
struct Frame {
    std::vector<uint8_t> px;
    // Mean colour of the 5x5 patch around 2D units (x, y), y up from the centre.
    Rgb at(double x, double y) const {
        int cx = static_cast<int>(x * W / 640 + W / 2), cy = static_cast<int>(H / 2 - y * H / 480);
        Rgb m;
        int n = 0;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                const uint8_t* p = &px[(static_cast<size_t>(cy + dy) * W + (cx + dx)) * 3];
                m.r += p[0], m.g += p[1], m.b += p[2], ++n;
            }
        m.r /= n, m.g /= n, m.b /= n;
        return m;
    }
};

// Mean colour of a picture around texture coordinate (s, t), over a patch
// about as large as one screen pixel's footprint times five.
Rgb texel(const std::string& file, double s, double t, double footprint) {
    Image img;
    EXPECT_TRUE(readBitmap(file.c_str(), img)) << file;
    std::vector<uint8_t> rgb = bitmapToRgb(img);
    const size_t stride = rgbRowStride(img.width);
    int cx = static_cast<int>(s * img.width), cy = static_cast<int>(t * img.height);
    int r = std::max(1, static_cast<int>(footprint * img.width));
    Rgb m;
    int n = 0;
    for (int y = std::max(0, cy - r); y <= std::min(img.height - 1, cy + r); ++y)
        for (int x = std::max(0, cx - r); x <= std::min(img.width - 1, cx + r); ++x) {
            const uint8_t* p = &rgb[y * stride + x * 3];
            m.r += p[0], m.g += p[1], m.b += p[2], ++n;
        }
    m.r /= n, m.g /= n, m.b /= n;
    return m;
}

double distance(const Rgb& a, const Rgb& b) { return std::fabs(a.r - b.r) + std::fabs(a.g - b.g) + std::fabs(a.b - b.b); }

class Shots : public ::testing::Test {
protected:
    static std::map<int, Frame> frames;
    static std::string images;

    static void SetUpTestSuite() {
        const std::string dir = ::testing::TempDir() + "baubles-shots-" + std::to_string(getpid());
        images = std::string(BAUBLES_ASSET_DIR) + "/Images/";
        const std::vector<int> times = {2000, 3000, 21000, 30000, 212000, 295000};
        std::string at;
        for (int t : times) at += (at.empty() ? "" : ",") + std::to_string(t);
        std::string cmd = "rm -rf '" + dir + "' && mkdir -p '" + dir + "' && cd '" + BAUBLES_ASSET_DIR + "' && '" +
                          BAUBLES_EXE + "' --shots '" + dir + "' --at " + at + " --fps 60 --size 320x240";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        for (int t : times) {
            std::string png = dir + "/shot-" + std::to_string(t) + ".png";
            FILE* p = popen(("convert '" + png + "' -depth 8 rgb:-").c_str(), "r");
            ASSERT_NE(p, nullptr);
            Frame f;
            f.px.resize(static_cast<size_t>(W) * H * 3);
            size_t n = std::fread(f.px.data(), 1, f.px.size(), p);
            pclose(p);
            ASSERT_EQ(n, f.px.size()) << png;
            frames[t] = f;
        }
    }
};
std::map<int, Frame> Shots::frames;
std::string Shots::images;

void tracedBallSquareFillsTheCentreAndMoves(std::map<int, Frame>& frames) {
    const Frame& a = frames[2000];
    // The floor fills the lower part of the square; outside it, nothing lights
    // the band at the screen's bottom edge.
    Rgb floor = a.at(-200, -200);
    EXPECT_GT(floor.g, 40);
    EXPECT_GT(floor.b, 40);
    EXPECT_LT(floor.r, floor.g);
    Rgb beside = a.at(-300, -200);
    EXPECT_LT(beside.g + beside.b, 10);
    // The ball moves: the square differs between two moments.
    double change = 0;
    for (int y = -200; y <= 200; y += 20)
        for (int x = -200; x <= 200; x += 20) change += distance(a.at(x, y), frames[3000].at(x, y));
    EXPECT_GT(change, 500);
}

void logoAndGreetingShowTheirPictures(std::map<int, Frame>& frames, const std::string& images) {
    // The logo at its own size: (-150,-150)-(150,150); the frame shows the
    // logo picture where its mask is opaque.
    const Frame& logo = frames[21000];
    for (auto p : {std::pair<double, double>{0, 0}, {0, 60}, {-60, 30}}) {
        Rgb seen = logo.at(p.first, p.second);
        Rgb want = texel(images + "logo.bmp", (p.first + 150) / 300, (p.second + 150) / 300, 0.01);
        EXPECT_LT(distance(seen, want), 60) << p.first << "," << p.second;
    }
    // 5 s into the landscape, "murto" at scale 1 over (-80,-32)-(64,40).
    const Frame& land = frames[30000];
    Rgb mask = texel(images + "murto_alpha.bmp", 0.5, 0.5, 0.05);
    ASSERT_LT(mask.r, 128) << "the sprite's middle should be opaque";
    Rgb seen = land.at(-8, 4), want = texel(images + "murto.bmp", 0.5, 0.5, 0.02);
    EXPECT_LT(distance(seen, want), 90);
}

void closingPicturesAndClosingLogo(std::map<int, Frame>& frames, const std::string& images) {
    // The right closing picture: 128 units wide at (192..320, -272..240).
    const Frame& pics = frames[212000];
    for (double y : {200.0, 100.0, 0.0}) {
        Rgb seen = pics.at(256, y), want = texel(images + "Dorovan2.bmp", 0.5, (y + 272) / 512, 0.04);
        EXPECT_LT(distance(seen, want), 60) << y;
    }
    // The closing logo over the last fade: (-120,-32)-(100,40).
    const Frame& end = frames[295000];
    Rgb seen = end.at(-10, 4), want = texel(images + "velsk.bmp", 0.5, 0.5, 0.01);
    EXPECT_LT(distance(seen, want), 60);
    double lit = 0;
    for (int x = -110; x <= 90; x += 10) lit += end.at(x, 4).r;
    EXPECT_GT(lit / 21, 20) << "the closing logo is not visible";
}

}  // namespace

// One run of the show serves every check: it is the slow part. It runs at 60
// frames a second: the tablecloth counts frames, and at 30 it would still
// hang over the closing pictures at 212 s.
TEST_F(Shots, EachPictureAtItsPlace) {
    {
        SCOPED_TRACE("traced ball");
        tracedBallSquareFillsTheCentreAndMoves(frames);
    }
    {
        SCOPED_TRACE("logo and greeting");
        logoAndGreetingShowTheirPictures(frames, images);
    }
    {
        SCOPED_TRACE("closing pictures and logo");
        closingPicturesAndClosingLogo(frames, images);
    }
}
