// The generated pictures as the show will read them: every file present, every
// one a 24-bit uncompressed bottom-up BMP with power-of-two sides, every cut-out
// black under its mask, and the pictures that belong together fitting together.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kImages = std::string(BAUBLES_ASSET_DIR) + "/Images/";

// A picture read by this test's own minimal reader; rows top first, RGB.
struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string error;  // empty when the file is a valid 24-bit bottom-up BMP
    const uint8_t* at(int x, int y) const { return &rgb[(size_t(y) * w + x) * 3]; }
};

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

bool powerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

// Reads and validates a BMP against the format the show's reader accepts.
Picture load(const std::string& name) {
    Picture p;
    std::ifstream in(kImages + name, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 54) return p.error = "missing or shorter than the headers", p;
    if (b[0] != 'B' || b[1] != 'M') return p.error = "no BM magic", p;
    if (le32(b, 14) != 40) return p.error = "info header is not 40 bytes", p;
    if (le32(b, 10) != 54) return p.error = "pixel data not right after the headers", p;
    int32_t w = int32_t(le32(b, 18)), h = int32_t(le32(b, 22));
    if (le16(b, 26) != 1 || le16(b, 28) != 24) return p.error = "not one plane of 24 bits", p;
    if (le32(b, 30) != 0) return p.error = "compressed", p;
    if (h <= 0) return p.error = "not bottom-up", p;
    if (!powerOfTwo(w) || !powerOfTwo(h)) return p.error = "sides not powers of two", p;
    size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
    if (le32(b, 34) != 0 && le32(b, 34) != stride * h) return p.error = "biSizeImage disagrees with the rows", p;
    if (b.size() < 54 + stride * h) return p.error = "pixel data truncated", p;
    p.w = w, p.h = h;
    p.rgb.resize(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* s = &b[54 + size_t(h - 1 - y) * stride + 3 * x];
            uint8_t* d = &p.rgb[(size_t(y) * w + x) * 3];
            d[0] = s[2], d[1] = s[1], d[2] = s[0];
        }
    return p;
}

// Glyph files named by the letters and digits of the six spelled words.
std::set<std::string> glyphNames() {
    std::set<std::string> names;
    for (const char* word : {"morvinal", "sulty", "pakh", "amiga", "rulez", "1994"}) {
        for (const char* c = word; *c; ++c) names.insert(std::string(1, *c));
    }
    return names;
}

// Every cut-out picture: logo, greetings and glyphs.
std::vector<std::string> cutOuts() {
    std::vector<std::string> v = {"logo", "tarvik", "quelm", "murto", "fenri", "kolpa"};
    for (const std::string& g : glyphNames()) v.push_back(g);
    return v;
}

const std::vector<std::string> kPlain = {"loading", "velsk",  "Dorovan1", "Dorovan2", "BombkaRef", "Env",
                                         "Obrus",   "Lampka", "Bombka",   "Bombka_low", "Terrain", "Storm",
                                         "Forest",  "clock"};

// Standard deviation of a picture's luminance (0..255).
double lumaSpread(const Picture& p) {
    double s = 0, s2 = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const uint8_t* c = p.at(x, y);
            double l = 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2];
            s += l, s2 += l * l;
        }
    double n = double(p.w) * p.h;
    return std::sqrt(std::max(0.0, s2 / n - (s / n) * (s / n)));
}

}  // namespace

TEST(AssetPictures, EveryFileIsAValidPowerOfTwoBmpWithContent) {
    std::vector<std::string> all;
    for (const std::string& n : kPlain) all.push_back(n + ".bmp");
    for (const std::string& n : cutOuts()) all.push_back(n + ".bmp"), all.push_back(n + "_alpha.bmp");
    ASSERT_EQ(all.size(), 14u + 2 * (6 + 21));
    for (const std::string& name : all) {
        SCOPED_TRACE(name);
        Picture p = load(name);
        ASSERT_EQ(p.error, "");
        // A picture that came out as one flat colour is a drawing that failed.
        if (name.find("_alpha") == std::string::npos) {
            EXPECT_GT(lumaSpread(p), 8.0);
        }
    }
}

TEST(AssetPictures, CutOutsAreBlackWhereTheirMasksAreWhite) {
    for (const std::string& name : cutOuts()) {
        SCOPED_TRACE(name);
        Picture pic = load(name + ".bmp"), mask = load(name + "_alpha.bmp");
        ASSERT_EQ(pic.error, "");
        ASSERT_EQ(mask.error, "");
        ASSERT_EQ(pic.w, mask.w);
        ASSERT_EQ(pic.h, mask.h);
        size_t clear = 0, opaque = 0, leaks = 0, tinted = 0;
        for (int y = 0; y < pic.h; ++y)
            for (int x = 0; x < pic.w; ++x) {
                const uint8_t* m = mask.at(x, y);
                const uint8_t* c = pic.at(x, y);
                if (m[0] != m[1] || m[1] != m[2]) ++tinted;  // masks are grey
                if (m[0] == 255) {
                    ++clear;
                    if (c[0] || c[1] || c[2]) ++leaks;
                }
                if (m[0] == 0) ++opaque;
            }
        EXPECT_EQ(leaks, 0u) << "colour showing through where the mask is white";
        EXPECT_EQ(tinted, 0u);
        const size_t n = size_t(pic.w) * pic.h;
        EXPECT_GT(clear, n / 50) << "mask almost all black";
        EXPECT_GT(opaque, n / 50) << "mask almost all white";
    }
}

TEST(AssetPictures, ShapesMatchHowTheShowDrawsThem) {
    // Greetings are drawn 144 x 72 units, the logo 300 x 300.
    for (const char* g : {"tarvik", "quelm", "murto", "fenri", "kolpa"}) {
        Picture p = load(std::string(g) + ".bmp");
        EXPECT_EQ(p.w, 2 * p.h) << g;
    }
    Picture logo = load("logo.bmp");
    EXPECT_EQ(logo.w, logo.h);
    // All glyphs share one size so the tiles look alike.
    Picture first = load("a.bmp");
    for (const std::string& g : glyphNames()) {
        Picture p = load(g + ".bmp");
        EXPECT_EQ(p.w, first.w) << g;
        EXPECT_EQ(p.h, first.h) << g;
    }
}

TEST(AssetPictures, ClosingPicturesJoinIntoOneScene) {
    Picture left = load("Dorovan1.bmp"), right = load("Dorovan2.bmp");
    ASSERT_EQ(left.error, "");
    ASSERT_EQ(right.error, "");
    EXPECT_EQ(left.w, 512);
    EXPECT_EQ(right.w, 128);
    EXPECT_EQ(left.h, 512);
    EXPECT_EQ(right.h, 512);
    // Across the join the columns continue each other; across the picture they do not.
    auto columnDiff = [](const Picture& a, int xa, const Picture& b, int xb) {
        double d = 0;
        for (int y = 0; y < a.h; ++y)
            for (int k = 0; k < 3; ++k) d += std::abs(int(a.at(xa, y)[k]) - int(b.at(xb, y)[k]));
        return d / (a.h * 3);
    };
    // The step across the join is like any step between neighbouring columns of
    // the left picture, and smaller than a step between unrelated columns.
    std::vector<double> steps, jumps;
    for (int x = 0; x + 1 < 512; ++x) steps.push_back(columnDiff(left, x, left, x + 1));
    for (int x = 0; x < 512; x += 8) jumps.push_back(columnDiff(left, x, right, (x / 8) % 128));
    std::sort(steps.begin(), steps.end());
    std::sort(jumps.begin(), jumps.end());
    const double join = columnDiff(left, 511, right, 0);
    EXPECT_LE(join, steps.back());
    EXPECT_LT(join, jumps[jumps.size() / 2]);
}

// A glow cut off at a box shows as a straight edge: a step between two
// neighbouring columns (or rows) that stands out from the steps beside it, the
// same way, along many rows (or columns). The closing picture's night sky and
// tree have none; its lights, baubles, garlands and the star's sides make only
// short ones, and snowflakes only break an edge for a pixel or two.
TEST(AssetPictures, ClosingSkyAndTreeHaveNoStraightEdgeOfLight) {
    const Picture p = load("Dorovan1.bmp");
    ASSERT_TRUE(p.error.empty()) << p.error;
    const int skyW = 340, skyH = 370;  // left of the lettering, above the hills
    // Channels summed at position `along` on line `line`: a column, or a row.
    auto level = [&](bool columns, int line, int along) {
        const uint8_t* q = columns ? p.at(line, along) : p.at(along, line);
        return q[0] + q[1] + q[2];
    };
    // The longest edge: positions where the step after line i stands out by 4
    // levels or more one way, counted along the line across gaps of at most two.
    auto longestEdge = [&](bool columns) {
        const int lines = columns ? skyW : skyH, length = columns ? skyH : skyW;
        int longest = 0, after = -1;
        for (int i = 1; i + 2 < lines; ++i)
            for (int way : {1, -1})
                for (int j = 0, run = 0, gap = 0; j < length; ++j) {
                    auto step = [&](int k) { return level(columns, k + 1, j) - level(columns, k, j); };
                    const bool out = way * (step(i) - (step(i - 1) + step(i + 1)) / 2.0) >= 4;
                    gap = out ? 0 : gap + 1;
                    run = out ? run + 1 : gap > 2 ? 0 : run;
                    if (run > longest) longest = run, after = i;
                }
        return std::make_pair(longest, after);
    };
    const auto down = longestEdge(true), across = longestEdge(false);
    EXPECT_LE(down.first, 40) << "a straight edge " << down.first << " rows long near column " << down.second;
    EXPECT_LE(across.first, 40) << "a straight edge " << across.first << " columns long near row " << across.second;
}

TEST(AssetPictures, SmallBaubleIsTheBaubleShrunk) {
    Picture big = load("Bombka.bmp"), small = load("Bombka_low.bmp");
    ASSERT_EQ(big.error, "");
    ASSERT_EQ(small.error, "");
    ASSERT_LT(small.w, big.w);
    ASSERT_EQ(big.w % small.w, 0);
    const int f = big.w / small.w;
    ASSERT_EQ(big.h / f, small.h);
    double err = 0;
    for (int y = 0; y < small.h; ++y)
        for (int x = 0; x < small.w; ++x)
            for (int k = 0; k < 3; ++k) {
                double s = 0;
                for (int dy = 0; dy < f; ++dy)
                    for (int dx = 0; dx < f; ++dx) s += big.at(x * f + dx, y * f + dy)[k];
                err += std::abs(s / (f * f) - small.at(x, y)[k]);
            }
    EXPECT_LT(err / (small.w * small.h * 3), 2.0);
}

TEST(AssetPictures, EveryGlyphShowsItsOwnLetter) {
    // Cards share their frame, so any two must still differ clearly where the letters are.
    std::vector<std::pair<std::string, Picture>> glyphs;
    for (const std::string& g : glyphNames()) glyphs.emplace_back(g, load(g + ".bmp"));
    for (size_t i = 0; i < glyphs.size(); ++i)
        for (size_t j = i + 1; j < glyphs.size(); ++j) {
            const Picture &a = glyphs[i].second, &b = glyphs[j].second;
            ASSERT_EQ(a.rgb.size(), b.rgb.size());
            size_t differing = 0;
            for (size_t k = 1; k < a.rgb.size(); k += 3)  // green: cream card against red ink
                differing += std::abs(int(a.rgb[k]) - int(b.rgb[k])) > 96;
            EXPECT_GT(differing, size_t(a.w) * a.h / 400) << glyphs[i].first << " looks like " << glyphs[j].first;
        }
}

TEST(AssetPictures, GroundWrapsAroundTheValley) {
    // The terrain texture runs once around the funnel: its right edge meets its left.
    Picture t = load("Terrain.bmp");
    ASSERT_EQ(t.error, "");
    auto columnDiff = [&](int xa, int xb) {
        double d = 0;
        for (int y = 0; y < t.h; ++y)
            for (int k = 0; k < 3; ++k) d += std::abs(int(t.at(xa, y)[k]) - int(t.at(xb, y)[k]));
        return d / (t.h * 3);
    };
    double neighbours = 0;
    for (int x = 0; x + 1 < t.w; ++x) neighbours += columnDiff(x, x + 1);
    neighbours /= t.w - 1;
    EXPECT_LT(columnDiff(t.w - 1, 0), 1.5 * neighbours);
    EXPECT_GT(columnDiff(t.w / 2, 0), 1.5 * neighbours);  // a far column is unlike it
}

namespace {

double luma(const uint8_t* p) { return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]; }

// Mean luminance of the w x h block at (x0, y0).
double meanLuma(const Picture& p, int x0, int y0, int w, int h) {
    double s = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) s += luma(p.at(x, y));
    return s / (double(w) * h);
}

}  // namespace

TEST(AssetPictures, StormSinksIntoTheNightAtItsSidesAndFootWithItsLightningKept) {
    // The backdrop hangs in a black sky with its sides and lower edge in
    // view: they must meet the sky without a visible edge.
    const Picture s = load("Storm.bmp");
    ASSERT_TRUE(s.error.empty()) << s.error;
    const int band = s.w / 64;
    EXPECT_LT(meanLuma(s, 0, 0, band, s.h), 3) << "left edge";
    EXPECT_LT(meanLuma(s, s.w - band, 0, band, s.h), 3) << "right edge";
    EXPECT_LT(meanLuma(s, 0, s.h - band, s.w, band), 3) << "bottom edge";
    // Cloud still fills the middle, and the bolts still flash white there.
    EXPECT_GT(meanLuma(s, s.w / 4, s.h / 8, s.w / 2, s.h / 2), 25) << "clouds";
    for (int half = 0; half < 2; ++half) {
        int white = 0;
        for (int y = 0; y < s.h * 3 / 4; ++y)
            for (int x = half * s.w / 2; x < (half + 1) * s.w / 2; ++x) white += luma(s.at(x, y)) > 240;
        EXPECT_GT(white, 150) << "lightning in the " << (half ? "right" : "left") << " half";
    }
}

TEST(AssetPictures, ClosingCardIsFramedAndItsSubtitleReadable) {
    // Shown opaque over (-120, -32)-(100, 40) of the 640 x 480 space, over
    // a light grey shot: a card with its own frame and a readable line.
    const Picture c = load("velsk.bmp");
    ASSERT_TRUE(c.error.empty()) << c.error;
    ASSERT_EQ(c.w, 512);
    ASSERT_EQ(c.h, 128);
    const double screenPerRow = 72.0 / c.h;  // screen pixels per picture row at 640 x 480
    // A gold line runs all the way round a few pixels in: every row and
    // column crossing it finds a warm, bright pixel near each end.
    auto gold = [](const uint8_t* p) { return p[0] > 180 && p[1] > 130 && p[2] < 150 && p[0] > p[2] + 60; };
    auto goldWithin = [&](int x0, int y0, int dx, int dy, int steps) {
        for (int i = 0; i < steps; ++i)
            if (gold(c.at(x0 + i * dx, y0 + i * dy))) return true;
        return false;
    };
    for (int y = 16; y < c.h - 16; y += 4) {
        EXPECT_TRUE(goldWithin(0, y, 1, 0, 16)) << "left frame, row " << y;
        EXPECT_TRUE(goldWithin(c.w - 1, y, -1, 0, 16)) << "right frame, row " << y;
    }
    for (int x = 24; x < c.w - 24; x += 8) {
        EXPECT_TRUE(goldWithin(x, 0, 0, 1, 12)) << "top frame, column " << x;
        EXPECT_TRUE(goldWithin(x, c.h - 1, 0, -1, 12)) << "bottom frame, column " << x;
    }
    // The face inside is dark, so the card stands off the light grey shot.
    EXPECT_LT(meanLuma(c, 40, 20, 30, 20), 60);
    // The subtitle: the light lettering of the lower part, below the rule
    // under the name; its rows of ink must span 12 screen pixels or more.
    int top = c.h, bottom = -1;
    for (int y = 80; y < c.h - 14; ++y)
        for (int x = 40; x < c.w - 40; ++x)
            if (luma(c.at(x, y)) > 170) top = std::min(top, y), bottom = std::max(bottom, y);
    ASSERT_GE(bottom, top) << "no subtitle";
    EXPECT_GE((bottom - top + 1) * screenPerRow, 12.0) << "subtitle rows " << top << "-" << bottom;
}
