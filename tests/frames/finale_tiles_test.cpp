// finale_tiles_test.cpp - the finale's fourteen letter tiles, one second in
// (221 s), as the viewer sees them: every tile shows its glyph picture's
// colours, like the intro's tiles, and none is washed out.
#include <algorithm>
#include <cmath>

#include "frames.h"
#include "image/bmp.h"
#include "image/glyphs.h"

namespace {

struct Colour {
    double r = 0, g = 0, b = 0;
    int count = 0;
    void add(double R, double G, double B) { r += R, g += G, b += B, ++count; }
    Colour mean() const { return count ? Colour{r / count, g / count, b / count, count} : Colour{}; }
    double length() const { return std::sqrt(r * r + g * g + b * b); }
};
double distance(const Colour& a, const Colour& b) {
    return std::sqrt((a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b));
}

// The cards: cream faces with deep red letters. The same tests pick the
// letter and the face out of the picture and out of the frame.
bool isLetter(double r, double g, double b) { return r >= 60 && g <= 0.25 * r && b <= 0.3 * r; }
bool isFace(double r, double g, double b) { return r >= 170 && g >= 160 && b >= 140; }

struct GlyphColours {
    Colour letter, face;
};

// Mean letter and face colours of a glyph picture where its mask is opaque.
GlyphColours pictureColours(char ch) {
    const std::string stem = std::string(BAUBLES_ASSET_DIR) + "/Images/" + ch;
    Image picture, mask;
    GlyphColours out;
    EXPECT_TRUE(readBitmap((stem + ".bmp").c_str(), picture)) << stem;
    EXPECT_TRUE(readBitmap((stem + "_alpha.bmp").c_str(), mask)) << stem;
    if (picture.width != mask.width || picture.height != mask.height) return out;
    const std::vector<uint8_t> p = bitmapToRgb(picture), m = bitmapToRgb(mask);
    const size_t stride = rgbRowStride(picture.width);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* c = &p[y * stride + x * 3];
            if (m[y * stride + x * 3] >= 128) continue;  // see-through
            if (isLetter(c[0], c[1], c[2])) out.letter.add(c[0], c[1], c[2]);
            if (isFace(c[0], c[1], c[2])) out.face.add(c[0], c[1], c[2]);
        }
    out.letter = out.letter.mean();
    out.face = out.face.mean();
    return out;
}

struct Tile {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    double cx = 0, cy = 0;
    Colour letter, face;
};

}  // namespace

TEST(FinaleTiles, EveryTileShowsItsGlyphPictureAt221Seconds) {
    for (const char* passes : kPassPaths) {
        SCOPED_TRACE(passes);
        Frame f;
        ASSERT_TRUE(showFrame(221000, f, passes));
        // One second into the finale's 5 s fade from black, the frame holds a
        // fifth of every colour; scale it back to compare with the pictures.
        const double unfade = 1.0 / (1.0 - (1.0 - 1000.0 / 5000.0));
        std::vector<Colour> px(static_cast<size_t>(f.w) * f.h);
        for (int y = 0; y < f.h; ++y)
            for (int x = 0; x < f.w; ++x) {
                const uint8_t* c = f.at(x, y);
                px[y * f.w + x] = {c[0] * unfade, c[1] * unfade, c[2] * unfade, 1};
            }

        // Tiles: the connected patches of face colour.
        std::vector<int> label(px.size(), -1);
        std::vector<Tile> tiles;
        for (int start = 0; start < static_cast<int>(px.size()); ++start) {
            const Colour& s = px[start];
            if (label[start] >= 0 || !isFace(s.r, s.g, s.b)) continue;
            Tile t;
            std::vector<int> stack = {start};
            label[start] = static_cast<int>(tiles.size());
            while (!stack.empty()) {
                const int i = stack.back();
                stack.pop_back();
                const int x = i % f.w, y = i / f.w;
                t.x0 = std::min(t.x0, x), t.x1 = std::max(t.x1, x), t.y0 = std::min(t.y0, y), t.y1 = std::max(t.y1, y);
                t.face.add(px[i].r, px[i].g, px[i].b);
                t.cx += x, t.cy += y;
                const int next[4] = {x > 0 ? i - 1 : -1, x + 1 < f.w ? i + 1 : -1, y > 0 ? i - f.w : -1,
                                     y + 1 < f.h ? i + f.w : -1};
                for (int j : next)
                    if (j >= 0 && label[j] < 0 && isFace(px[j].r, px[j].g, px[j].b)) {
                        label[j] = label[i];
                        stack.push_back(j);
                    }
            }
            if (t.face.count < 30) continue;  // a speck, not a tile
            t.cx /= t.face.count, t.cy /= t.face.count;
            for (int y = t.y0; y <= t.y1; ++y)
                for (int x = t.x0; x <= t.x1; ++x) {
                    const Colour& c = px[y * f.w + x];
                    if (isLetter(c.r, c.g, c.b)) t.letter.add(c.r, c.g, c.b);
                }
            t.letter = t.letter.mean();
            t.face = t.face.mean();
            tiles.push_back(t);
        }
        ASSERT_EQ(tiles.size(), static_cast<size_t>(kGlyphSetBSize)) << "tiles seen in the frame";

        // Reading order: rows top to bottom (a new row where the centres drop by
        // more than a tile's half height), left to right within a row.
        std::sort(tiles.begin(), tiles.end(), [](const Tile& a, const Tile& b) { return a.cy < b.cy; });
        std::vector<std::vector<Tile>> rows;
        for (const Tile& t : tiles) {
            if (rows.empty() || t.cy - rows.back().back().cy > (t.y1 - t.y0) / 2.0) rows.emplace_back();
            rows.back().push_back(t);
        }
        ASSERT_EQ(rows.size(), 3u);
        std::vector<Tile> ordered;
        for (std::vector<Tile>& row : rows) {
            std::sort(row.begin(), row.end(), [](const Tile& a, const Tile& b) { return a.cx < b.cx; });
            ordered.insert(ordered.end(), row.begin(), row.end());
        }

        for (int k = 0; k < kGlyphSetBSize; ++k) {
            const char ch = kGlyphSetBLetters[k];
            SCOPED_TRACE(std::string("tile ") + std::to_string(k) + " '" + ch + "'");
            const GlyphColours want = pictureColours(ch);
            const Tile& t = ordered[k];
            ASSERT_GT(t.letter.count, 3) << "no letter seen on the tile";
            EXPECT_LE(distance(t.letter, want.letter), 0.1 * want.letter.length())
                << "letter (" << t.letter.r << ", " << t.letter.g << ", " << t.letter.b << ") against the picture's ("
                << want.letter.r << ", " << want.letter.g << ", " << want.letter.b << ")";
            EXPECT_LE(distance(t.face, want.face), 0.1 * want.face.length())
                << "face (" << t.face.r << ", " << t.face.g << ", " << t.face.b << ") against the picture's ("
                << want.face.r << ", " << want.face.g << ", " << want.face.b << ")";
        }
    }
}
