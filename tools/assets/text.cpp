// text.cpp - FreeType text rendering for the generated pictures.
#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <stdexcept>
#include <vector>

namespace {

struct TextState {
    FT_Library library = nullptr;
    std::string fontDir = "/usr/share/fonts/truetype/dejavu";
    std::map<std::string, FT_Face> faces;
};
TextState text;

// Opens (once) the named face.
FT_Face face(const std::string& font) {
    if (!text.library && FT_Init_FreeType(&text.library)) throw std::runtime_error("FreeType init failed");
    auto it = text.faces.find(font);
    if (it != text.faces.end()) return it->second;
    FT_Face f = nullptr;
    std::string path = text.fontDir + "/" + font;
    if (FT_New_Face(text.library, path.c_str(), 0, &f)) throw std::runtime_error("cannot open font " + path);
    text.faces[font] = f;
    return f;
}

// Decodes UTF-8 into code points (invalid bytes pass through as themselves).
std::vector<uint32_t> decode(const std::string& s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        uint32_t cp = extra ? c & (0x3F >> extra) : c;
        size_t j = 1;
        for (; j <= size_t(extra) && i + j < s.size(); ++j) cp = (cp << 6) | (s[i + j] & 0x3F);
        out.push_back(cp);
        i += j;
    }
    return out;
}

struct PlacedGlyph {
    int x, y, w, h;
    std::vector<float> cov;
};

}  // namespace

// Remembers the font directory.
void setFontDir(const std::string& dir) { text.fontDir = dir; }

// Lays the glyphs out on a baseline, then copies them into a map cropped to the ink.
Gray renderText(const std::string& font, const std::string& str, float pixelSize, float xStretch,
                float spacing, int* baseline, int* penLeft) {
    FT_Face f = face(font);
    FT_Set_Pixel_Sizes(f, 0, FT_UInt(std::max(1.f, std::round(pixelSize))));
    FT_Matrix m{FT_Fixed(xStretch * 65536), 0, 0, 0x10000};
    FT_Set_Transform(f, &m, nullptr);
    std::vector<PlacedGlyph> glyphs;
    long penX = 0;  // 26.6
    FT_UInt prev = 0;
    int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
    for (uint32_t cp : decode(str)) {
        FT_UInt gi = FT_Get_Char_Index(f, cp);
        if (prev && gi && FT_HAS_KERNING(f)) {
            FT_Vector k;
            FT_Get_Kerning(f, prev, gi, FT_KERNING_DEFAULT, &k);
            penX += long(k.x * xStretch);
        }
        if (FT_Load_Glyph(f, gi, FT_LOAD_RENDER)) continue;
        FT_GlyphSlot g = f->glyph;
        PlacedGlyph pg;
        pg.x = int(penX >> 6) + g->bitmap_left;
        pg.y = -g->bitmap_top;
        pg.w = int(g->bitmap.width), pg.h = int(g->bitmap.rows);
        pg.cov.resize(size_t(pg.w) * pg.h);
        for (int y = 0; y < pg.h; ++y)
            for (int x = 0; x < pg.w; ++x) pg.cov[size_t(y) * pg.w + x] = g->bitmap.buffer[y * g->bitmap.pitch + x] / 255.f;
        if (pg.w > 0 && pg.h > 0) {
            minX = std::min(minX, pg.x), minY = std::min(minY, pg.y);
            maxX = std::max(maxX, pg.x + pg.w), maxY = std::max(maxY, pg.y + pg.h);
            glyphs.push_back(std::move(pg));
        }
        penX += g->advance.x + long(spacing * 64);
        prev = gi;
    }
    if (glyphs.empty()) return Gray(1, 1);
    if (baseline) *baseline = -minY;
    if (penLeft) *penLeft = -minX;
    Gray out(maxX - minX, maxY - minY);
    for (const PlacedGlyph& pg : glyphs)
        for (int y = 0; y < pg.h; ++y)
            for (int x = 0; x < pg.w; ++x) {
                float& o = out.at(pg.x - minX + x, pg.y - minY + y);
                o = std::min(1.f, o + pg.cov[size_t(y) * pg.w + x]);
            }
    return out;
}

// Measures at a reference size, then renders at the size that fits.
Gray fitText(const std::string& font, const std::string& str, float boxW, float boxH, float xStretch,
             float spacingEm) {
    const float ref = 200.f;
    Gray probe = renderText(font, str, ref, xStretch, spacingEm * ref);
    float s = std::min(boxW / probe.w, boxH / probe.h);
    Gray g = renderText(font, str, ref * s, xStretch, spacingEm * ref * s);
    // Rounding of the pixel size can overshoot by a pixel or two: shrink until it fits.
    for (float k = 0.98f; (g.w > boxW || g.h > boxH) && k > 0.5f; k -= 0.02f)
        g = renderText(font, str, ref * s * k, xStretch, spacingEm * ref * s * k);
    return g;
}
