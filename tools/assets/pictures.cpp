// pictures.cpp - the show's artwork: logos, closing scene, bauble and room
// materials, landscape textures, greeting sprites and letter cards. Every
// picture is drawn here from shapes, noise and DejaVu lettering.
#include "pictures.h"

#include <algorithm>
#include <cmath>

#include "canvas.h"
#include "image/glyph_words.h"
#include "text.h"

namespace {

// Every letter the tiles spell, once each, in the order the words first use them.
std::string lettersOfTheWords() {
    std::string letters;
    for (const char* word : {kGlyphSetALetters, kGlyphSetBLetters})
        for (const char* p = word; *p; ++p)
            if (letters.find(*p) == std::string::npos) letters += *p;
    return letters;
}

}  // namespace

const std::string glyphCharacters = lettersOfTheWords();
const std::vector<std::string> greetingNames = {"tarvik", "quelm", "murto", "fenri", "kolpa"};

namespace {

const float kPi = 3.14159265f;

using ColourFn = std::function<Rgb(float, float)>;

// A constant colour.
ColourFn solid(Rgb c) {
    return [c](float, float) { return c; };
}

// A vertical gradient between rows y0 and y1.
ColourFn vgrad(Rgb top, Rgb bottom, float y0, float y1) {
    return [=](float, float y) { return mix(top, bottom, std::clamp((y - y0) / (y1 - y0), 0.f, 1.f)); };
}

// A metallic gradient: bright top, dark band at the middle, bright rim at the bottom.
ColourFn metal(Rgb light, Rgb dark, float y0, float y1) {
    return [=](float, float y) {
        float t = std::clamp((y - y0) / (y1 - y0), 0.f, 1.f);
        float k = t < 0.5f ? 1 - 0.7f * t * 2 : 0.3f + 0.7f * std::pow((t - 0.5f) * 2, 1.5f);
        return mix(dark, light, k);
    };
}

// The points of a star with n tips.
std::vector<float> starPoints(float cx, float cy, float outer, float inner, int n, float turn = 0) {
    std::vector<float> xy;
    for (int i = 0; i < 2 * n; ++i) {
        float a = turn - kPi / 2 + i * kPi / n;
        float r = (i % 2) ? inner : outer;
        xy.push_back(cx + r * std::cos(a));
        xy.push_back(cy + r * std::sin(a));
    }
    return xy;
}

// A four-pointed twinkle of light added to a canvas.
void twinkle(Canvas& c, float cx, float cy, float size, Rgb col) {
    int r = int(size) + 2;
    for (int y = int(cy) - r; y <= int(cy) + r; ++y)
        for (int x = int(cx) - r; x <= int(cx) + r; ++x) {
            float dx = std::fabs(x + 0.5f - cx), dy = std::fabs(y + 0.5f - cy);
            float arm = std::max(0.f, 1 - dx / size) * std::max(0.f, 1 - dy * 4 / size) +
                        std::max(0.f, 1 - dy / size) * std::max(0.f, 1 - dx * 4 / size);
            float core = std::exp(-(dx * dx + dy * dy) / (size * size * 0.03f));
            c.add(x, y, col, std::min(1.f, arm + core));
        }
}

// The same twinkle painted into a cut-out (opaque where bright).
void twinkle(CutOut& c, float cx, float cy, float size, Rgb col) {
    int r = int(size) + 2;
    for (int y = int(cy) - r; y <= int(cy) + r; ++y)
        for (int x = int(cx) - r; x <= int(cx) + r; ++x) {
            float dx = std::fabs(x + 0.5f - cx), dy = std::fabs(y + 0.5f - cy);
            float arm = std::max(0.f, 1 - dx / size) * std::max(0.f, 1 - dy * 4 / size) +
                        std::max(0.f, 1 - dy / size) * std::max(0.f, 1 - dx * 4 / size);
            float core = std::exp(-(dx * dx + dy * dy) / (size * size * 0.03f));
            c.paint(x, y, col, std::min(1.f, arm + core));
        }
}

// A glossy sphere's colour at (x, y): diffuse from the upper left plus a highlight.
Rgb sphereShade(float x, float y, float cx, float cy, float r, Rgb base) {
    float nx = (x - cx) / r, ny = (y - cy) / r;
    float nz = std::sqrt(std::max(0.f, 1 - nx * nx - ny * ny));
    const float lx = -0.45f, ly = -0.6f, lz = 0.66f;
    float diff = std::max(0.f, nx * lx + ny * ly + nz * lz);
    float hz = lz + 1, hl = std::sqrt(lx * lx + ly * ly + hz * hz);
    float highlight = std::pow(std::max(0.f, (nx * lx + ny * ly + nz * hz) / hl), 60.f);
    float rim = std::pow(1 - nz, 3.f) * 0.35f;
    return base * (0.25f + 0.85f * diff) + Rgb{1, 1, 1} * (highlight * 0.95f) + base * rim;
}

// Draws a small glossy bauble with its cap on a canvas.
void bauble(Canvas& c, float cx, float cy, float r, Rgb base) {
    fillShape(c, sdRoundBox(cx, cy - r - 1, r * 0.35f, r * 0.25f, 1), vgrad({0.95f, 0.8f, 0.4f}, {0.5f, 0.35f, 0.1f}, cy - r - 3, cy - r + 1), 1, around(cx, cy - r, r));
    fillShape(c, sdCircle(cx, cy, r), [=](float x, float y) { return sphereShade(x, y, cx, cy, r, base); }, 1,
              around(cx, cy, r));
}

// Pastes lettering into a cut-out with a soft shadow, an outline and a fill.
void styledText(CutOut& c, const Gray& text, int x0, int y0, const ColourFn& fill, Rgb outline, int outlineR,
                float shadowA, int shadowOff) {
    const int p = outlineR + 8;
    Gray padded = pad(text, p);
    Gray grown = dilate(padded, outlineR);
    if (shadowA > 0) {
        Gray shadow = blur(grown, 3);
        paintGray(c, shadow, x0 - p + shadowOff, y0 - p + shadowOff, solid({0, 0, 0}), shadowA);
    }
    paintGray(c, grown, x0 - p, y0 - p, solid(outline));
    paintGray(c, text, x0, y0, fill);
}

// ---------------------------------------------------------------- logos

// The word "loading" with a progress bar, shown small on the first frame.
Canvas loadingPicture() {
    Canvas c(256, 128);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            float v = std::hypot((x - 128) / 128.f, (y - 64) / 64.f);
            c.at(x, y) = mix({0.07f, 0.1f, 0.22f}, {0.01f, 0.01f, 0.04f}, std::min(1.f, v));
        }
    Gray word = fitText("DejaVuSans-Bold.ttf", "loading", 200, 54, 1.f, 0.03f);
    int wx = (256 - word.w) / 2, wy = 60 - word.h;
    addGray(c, blur(pad(word, 14), 5), wx - 14, wy - 14, {0.1f, 0.45f, 0.9f}, 0.9f);
    paintGray(c, word, wx, wy, vgrad({1, 1, 1}, {0.6f, 0.8f, 1}, float(wy), float(wy + word.h)));
    // The bar: a rounded frame, two thirds full, with its three dots of patience.
    fillShape(c, sdRoundBox(128, 86, 92, 9, 9), solid({0.55f, 0.65f, 0.85f}));
    fillShape(c, sdRoundBox(128, 86, 89, 6, 6), solid({0.02f, 0.03f, 0.08f}));
    fillShape(c, sdRoundBox(39 + 60, 86, 60, 5, 5), vgrad({0.6f, 0.95f, 1}, {0.1f, 0.4f, 0.9f}, 81, 91));
    for (int i = 0; i < 3; ++i) fillShape(c, sdCircle(108 + 20.f * i, 110, 4), solid({0.5f, 0.7f, 1}), 1.f - 0.3f * i);
    return c;
}

// The closing card: an opaque card laid over the last, light-grey shot, so
// it is dressed as a card: a deep blue face inside a gold double frame, the
// show's name in gold and the group's line beneath it. It is shown on a
// 220 x 72 quad from a 512 x 128 texture, which squeezes it across by a
// quarter; so it is laid out in the quad's own units, drawn at S
// pixels a unit where every shape is as round as on screen, and only then
// shrunk into the texture. The subtitle's tall letters are about 15 units.
Canvas velskPicture() {
    const float S = 5;  // drawing pixels per unit of the quad
    const float W = 220 * S, H = 72 * S;
    Canvas c(static_cast<int>(W), static_cast<int>(H));
    auto frame = [&](float inset, float thick, float radius, Rgb colour) {
        Sdf outer = sdRoundBox(W / 2, H / 2, W / 2 - inset * S, H / 2 - inset * S, radius * S);
        Sdf inner = sdRoundBox(W / 2, H / 2, W / 2 - (inset + thick) * S, H / 2 - (inset + thick) * S, radius * S);
        fillShape(c, [=](float x, float y) { return std::max(outer(x, y), -inner(x, y)); }, solid(colour));
    };
    auto diamond = [&](float cx, float cy, float r) {
        const float x = cx * S, y = cy * S, d = r * S;
        fillShape(c, sdPolygon({x, y - d, x + d, y, x, y + d, x - d, y}), solid({1, 0.85f, 0.45f}));
    };
    // The face: midnight blue, lighter in the middle, with a faint snowfall.
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            float v = std::hypot((x - W / 2) / (W / 2), (y - H * 0.45f) / (H * 0.7f));
            c.at(x, y) = mix({0.1f, 0.14f, 0.3f}, {0.02f, 0.03f, 0.09f}, std::min(1.f, v));
        }
    Lcg rnd(29);
    for (int i = 0; i < 70; ++i) {
        float x = rnd.range(5, 215) * S, y = rnd.range(5.5f, 66.5f) * S, r = rnd.range(0.45f, 1) * S;
        fillShape(c, sdCircle(x, y, r), solid({0.75f, 0.8f, 0.95f}), rnd.range(0.15f, 0.45f), around(x, y, r));
    }
    // A dark rim, then the gold double frame with diamonds at the inner corners.
    frame(0, 1.7f, 0, {0.01f, 0.01f, 0.03f});
    frame(1.7f, 2.25f, 3, {0.95f, 0.75f, 0.35f});
    frame(5.6f, 0.85f, 2.25f, {0.75f, 0.55f, 0.22f});
    for (int k = 0; k < 4; ++k) diamond((k % 2) ? 220 - 6.05f : 6.05f, (k / 2) ? 72 - 6.05f : 6.05f, 2.8f);

    // The show's name in gold with a warm glow and a dark edge; the glow's
    // margin holds all of its blur, so it ends in nothing, not in a box.
    const int glowR = int(3.4f * S), glowPad = 3 * glowR + 1, edge = int(std::lround(1.125f * S));
    Gray word = fitText("DejaVuSerif-Bold.ttf", "baubles", 154.7f * S, 28.1f * S, 1, 0.03f);
    int wx = (c.w - word.w) / 2, wy = int(9 * S) + (int(28.1f * S) - word.h) / 2;
    addGray(c, blur(pad(word, glowPad), glowR), wx - glowPad, wy - glowPad, {0.9f, 0.55f, 0.15f}, 0.55f);
    paintGray(c, dilate(pad(word, edge + 2), edge), wx - edge - 2, wy - edge - 2, solid({0.2f, 0.1f, 0.02f}));
    paintGray(c, word, wx, wy, metal({1, 0.95f, 0.7f}, {0.7f, 0.42f, 0.08f}, float(wy), float(wy + word.h)));
    twinkle(c, wx + word.w - 2.6f * S, wy + 2.25f * S, 6.75f * S, {1, 0.9f, 0.6f});
    // A fine rule with a diamond between the name and the subtitle.
    fillShape(c, sdCapsule(64.5f * S, 41.6f * S, 155.5f * S, 41.6f * S, 0.5f * S), solid({0.85f, 0.65f, 0.3f}));
    diamond(110, 41.6f, 2.8f);
    // The subtitle, a little spaced.
    int baseline = 0, left = 0;
    Gray sub = renderText("DejaVuSans.ttf", "a demo by velsk", 19.7f * S, 1, 0.65f * S, &baseline, &left);
    paintGray(c, sub, (c.w - sub.w) / 2, int(60.2f * S) - baseline, solid({0.93f, 0.9f, 0.82f}));
    return shrinkTo(c, 512, 128);
}

// The show's logo: a glossy red bauble with a gold band and cap, the show's
// name on a ribbon across it, and a few sparkles; cut out around the shapes.
CutOut logoPicture() {
    CutOut c(256, 256);
    const float cx = 128, cy = 140, r = 92;
    // Hanger loop and cap.
    fillShape(c, [](float x, float y) { return std::fabs(std::hypot(x - 128, y - 32) - 8) - 2.5f; },
              solid({0.85f, 0.7f, 0.3f}));
    fillShape(c, sdRoundBox(128, 50, 24, 12, 4), metal({1, 0.92f, 0.6f}, {0.55f, 0.35f, 0.08f}, 38, 62));
    for (int i = -2; i <= 2; ++i) fillShape(c, sdCapsule(128 + 9.f * i, 41, 128 + 9.f * i, 59, 1.2f), solid({0.5f, 0.3f, 0.05f}));
    // The ball with a gold band and a row of white stars.
    fillShape(c, sdCircle(cx, cy, r), [&](float x, float y) {
        float ny = (y - cy) / r;
        Rgb base{0.78f, 0.05f, 0.09f};
        if (std::fabs(ny + 0.45f) < 0.06f || std::fabs(ny - 0.62f) < 0.05f) base = {0.95f, 0.7f, 0.2f};
        return sphereShade(x, y, cx, cy, r, base);
    });
    for (int i = 0; i < 7; ++i) {
        float a = -0.75f + i * 0.25f;
        float sx = cx + r * 0.92f * std::sin(a), sy = cy - r * 0.28f;
        float size = 7 * std::cos(a);
        fillShape(c, sdPolygon(starPoints(sx, sy, size, size * 0.45f, 5)), solid({1, 0.95f, 0.85f}), 1, around(sx, sy, size));
    }
    // The ribbon with the name.
    fillShape(c, sdPolygon({4, 150, 20, 136, 236, 136, 252, 150, 236, 198, 20, 198}), solid({0.25f, 0.12f, 0.02f}));
    fillShape(c, sdPolygon({8, 152, 22, 140, 234, 140, 248, 152, 234, 194, 22, 194}),
              vgrad({0.12f, 0.2f, 0.55f}, {0.03f, 0.05f, 0.2f}, 140, 194));
    Gray word = fitText("DejaVuSerif-BoldItalic.ttf", "baubles", 200, 46, 1.f, 0.02f);
    int wx = 128 - word.w / 2, wy = 167 - word.h / 2;
    styledText(c, word, wx, wy, metal({1, 0.97f, 0.8f}, {0.85f, 0.55f, 0.12f}, float(wy), float(wy + word.h)),
               {0.2f, 0.08f, 0}, 2, 0, 0);
    twinkle(c, 62, 84, 16, {1, 1, 0.9f});
    twinkle(c, 214, 226, 12, {1, 0.9f, 0.7f});
    twinkle(c, 30, 236, 9, {0.8f, 0.9f, 1});
    return c;
}

// ---------------------------------------------------------------- closing scene

// The festive closing scene, 640 x 512: a night with a Christmas tree, presents
// and snow on the left, the farewell lettering on the right. Split at x = 512
// into the two closing pictures; the lowest 32 rows fall below the screen.
Canvas closingScene() {
    const int W = 640, H = 512;
    Canvas c(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) c.at(x, y) = mix({0.01f, 0.02f, 0.09f}, {0.1f, 0.13f, 0.32f}, std::min(1.f, y / 390.f));
    Lcg rnd(7);
    for (int i = 0; i < 260; ++i) {
        float x = rnd.range(0, W), y = rnd.range(0, 330), b = rnd.unit();
        c.add(int(x), int(y), {0.9f, 0.9f, 1}, 0.3f + 0.7f * b * b);
    }
    for (int i = 0; i < 10; ++i) twinkle(c, rnd.range(330, 630), rnd.range(10, 90), rnd.range(4, 8), {0.8f, 0.85f, 1});
    // The moon: a crescent with a soft halo.
    for (int y = 0; y < 160; ++y)
        for (int x = 480; x < W; ++x) c.add(x, y, {0.25f, 0.3f, 0.45f}, 0.5f * std::exp(-std::pow(std::hypot(x - 585.f, y - 60.f) / 45, 2.f)));
    fillShape(c, [](float x, float y) { return std::max(std::hypot(x - 585, y - 60) - 28, 24 - std::hypot(x - 598, y - 50)); },
              solid({1, 0.97f, 0.82f}));
    // Snowy hills.
    auto hill = [](float x) { return 405 + 18 * std::sin(x * 0.011f) + 10 * std::sin(x * 0.027f + 1); };
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            float hy = hill(x + 0.5f);
            float cov = std::clamp(y + 0.5f - hy + 0.5f, 0.f, 1.f);
            if (cov > 0) {
                float sh = 0.75f + 0.25f * std::sin(x * 0.011f + 1.2f) - 0.1f * fbm(x / 40.f, y / 20.f, 3, 5);
                c.blend(x, y, Rgb{0.82f, 0.88f, 1} * sh, cov);
            }
        }
    // The tree: four tiers, a trunk, garlands, baubles, lights and a star.
    const float tx = 220;
    fillShape(c, sdRoundBox(tx, 412, 16, 22, 2), vgrad({0.4f, 0.24f, 0.1f}, {0.2f, 0.1f, 0.04f}, 390, 434));
    const float tiers[4][3] = {{250, 405, 150}, {180, 330, 118}, {120, 258, 88}, {62, 188, 58}};  // top, bottom, half width
    for (auto& t : tiers) {
        float top = t[0], bot = t[1], hw = t[2];
        std::vector<float> poly{tx, top};
        for (int k = 0; k <= 8; ++k) {  // a scalloped hem
            float x = tx + hw - 2 * hw * k / 8.f;
            poly.push_back(x), poly.push_back(bot - (k % 2 ? 10.f : 0.f));
        }
        fillShape(c, sdPolygon(poly), [=](float x, float y) {
            float side = (x - tx) / hw, depth = (y - top) / (bot - top);
            float n = fbm(x / 6.f, y / 6.f, 3, 11);
            Rgb g = mix({0.08f, 0.38f, 0.16f}, {0.02f, 0.16f, 0.07f}, std::clamp(0.5f + 0.5f * side + 0.3f * depth, 0.f, 1.f));
            return g * (0.75f + 0.5f * n);
        }, 1, Box{tx - hw - 2, top - 2, tx + hw + 2, bot + 2});
    }
    for (int g = 0; g < 3; ++g) {  // garlands hanging across the tiers
        float y0 = 150 + 78.f * g, span = 50 + 36.f * g;
        for (int k = 0; k < 40; ++k) {
            float u0 = k / 40.f, u1 = (k + 1) / 40.f;
            auto gy = [&](float u) { return y0 + span * 0.55f * u + 10 * std::sin(u * kPi); };
            float x0 = tx - span + 2 * span * u0, x1 = tx - span + 2 * span * u1;
            fillShape(c, sdCapsule(x0, gy(u0), x1, gy(u1), 2.2f), solid({0.95f, 0.78f, 0.3f}), 1, around(x0, gy(u0), 10));
        }
    }
    const Rgb colours[5] = {{0.85f, 0.08f, 0.1f}, {0.95f, 0.7f, 0.15f}, {0.15f, 0.35f, 0.9f}, {0.8f, 0.8f, 0.85f}, {0.7f, 0.1f, 0.6f}};
    Lcg place(21);
    for (int i = 0; i < 26; ++i) {
        const auto& t = tiers[i % 4];
        float v = place.range(0.45f, 0.92f), u = place.range(-0.85f, 0.85f);
        float y = t[0] + v * (t[1] - t[0]), x = tx + u * t[2] * v;
        bauble(c, x, y, place.range(6, 10), colours[i % 5]);
    }
    for (int i = 0; i < 40; ++i) {
        const auto& t = tiers[i % 4];
        float v = place.range(0.25f, 0.95f), u = place.range(-0.9f, 0.9f);
        float y = t[0] + v * (t[1] - t[0]), x = tx + u * t[2] * v;
        Rgb col = i % 3 == 0 ? Rgb{1, 0.85f, 0.4f} : i % 3 == 1 ? Rgb{1, 0.4f, 0.3f} : Rgb{0.5f, 0.8f, 1};
        for (int yy = int(y) - 8; yy <= int(y) + 8; ++yy)
            for (int xx = int(x) - 8; xx <= int(x) + 8; ++xx)
                c.add(xx, yy, col, std::exp(-(std::pow(xx + 0.5f - x, 2.f) + std::pow(yy + 0.5f - y, 2.f)) / 6.f));
    }
    // The star's glow, taken down to nothing at four radii so that it fades
    // into the sky without an edge anywhere.
    const float glowR = 26, reach = 4 * glowR, glowEnd = std::exp(-16.f);
    for (int yy = std::max(0, int(62 - reach)); yy <= int(62 + reach); ++yy)
        for (int xx = int(tx - reach); xx <= int(tx + reach); ++xx) {
            const float d = std::hypot(xx - tx, yy - 62.f);
            if (d < reach)
                c.add(xx, yy, {1, 0.85f, 0.4f}, 0.55f * (std::exp(-std::pow(d / glowR, 2.f)) - glowEnd));
        }
    fillShape(c, sdPolygon(starPoints(tx, 62, 24, 10, 5)), metal({1, 1, 0.75f}, {0.9f, 0.6f, 0.1f}, 40, 84), 1, around(tx, 62, 26));
    // Presents under the tree.
    struct Gift { float x, y, hw, hh; Rgb box, ribbon; };
    const Gift gifts[3] = {{140, 412, 26, 20, {0.75f, 0.1f, 0.12f}, {0.95f, 0.8f, 0.3f}},
                           {292, 418, 30, 16, {0.1f, 0.35f, 0.7f}, {0.9f, 0.9f, 0.95f}},
                           {346, 424, 18, 12, {0.15f, 0.55f, 0.2f}, {0.95f, 0.3f, 0.3f}}};
    for (const Gift& g : gifts) {
        fillShape(c, sdRoundBox(g.x, g.y, g.hw, g.hh, 2), vgrad(g.box * 1.2f, g.box * 0.6f, g.y - g.hh, g.y + g.hh), 1, around(g.x, g.y, g.hw + g.hh));
        fillShape(c, sdRoundBox(g.x, g.y, 3.5f, g.hh, 0), solid(g.ribbon), 1, around(g.x, g.y, g.hw + g.hh));
        fillShape(c, sdRoundBox(g.x, g.y, g.hw, 3.5f, 0), solid(g.ribbon), 1, around(g.x, g.y, g.hw + g.hh));
        fillShape(c, sdCircle(g.x - 6, g.y - g.hh - 4, 5.5f), solid(g.ribbon), 1, around(g.x, g.y - g.hh, 14));
        fillShape(c, sdCircle(g.x + 6, g.y - g.hh - 4, 5.5f), solid(g.ribbon), 1, around(g.x, g.y - g.hh, 14));
    }
    // The farewell lettering, across the join of the two pictures.
    auto letter = [&](const std::string& font, const std::string& s, float cxText, float top, float bw, float bh, Rgb glow, const ColourFn& fill) {
        Gray g = fitText(font, s, bw, bh, 1.f, 0.01f);
        int x0 = int(cxText - g.w / 2.f), y0 = int(top);
        addGray(c, blur(pad(g, 16), 6), x0 - 16, y0 - 16, glow, 0.9f);
        paintGray(c, dilate(pad(g, 3), 2), x0 - 3, y0 - 3, solid({0.08f, 0.04f, 0.02f}));
        paintGray(c, g, x0, y0, fill);
        return g;
    };
    letter("DejaVuSerif-BoldItalic.ttf", "Thank you", 490, 128, 270, 70, {0.9f, 0.55f, 0.1f},
           metal({1, 0.96f, 0.75f}, {0.85f, 0.52f, 0.1f}, 128, 198));
    letter("DejaVuSerif-Italic.ttf", "for watching!", 496, 212, 230, 40, {0.3f, 0.45f, 0.9f}, solid({0.92f, 0.95f, 1}));
    letter("DejaVuSans-Bold.ttf", "Merry Christmas", 490, 286, 250, 32, {0.8f, 0.1f, 0.1f}, vgrad({1, 0.45f, 0.4f}, {0.8f, 0.1f, 0.12f}, 286, 318));
    letter("DejaVuSans.ttf", "and a Happy New Year", 490, 330, 230, 22, {0.2f, 0.6f, 0.3f}, solid({0.75f, 0.95f, 0.78f}));
    twinkle(c, 612, 134, 14, {1, 0.9f, 0.6f});
    // Falling snow over everything.
    Lcg snow(99);
    for (int i = 0; i < 420; ++i) {
        float x = snow.range(0, W), y = snow.range(0, H), r = snow.range(0.6f, 2.6f);
        fillShape(c, sdCircle(x, y, r), solid({0.95f, 0.97f, 1}), 0.5f + 0.5f * snow.unit(), around(x, y, r));
    }
    return c;
}

// ---------------------------------------------------------------- bauble and room materials

// The bauble's ornament: crimson glass with gold bands, a zigzag, stars and dots.
// It is added onto the lit sphere, so it stays in the middle of the range.
Canvas bombkaPicture() {
    const int N = 256;
    Canvas c(N, N);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            float sheen = 0.5f + 0.5f * std::cos((x - y) * 2 * kPi / N);
            float n = fbm(x / 16.f, y / 16.f, 3, 3, 16, 16);
            c.at(x, y) = mix({0.28f, 0.01f, 0.04f}, {0.6f, 0.06f, 0.1f}, 0.6f * sheen + 0.4f * n);
        }
    auto band = [&](float y0, float hh) {
        fillShape(c, sdRoundBox(N / 2.f, y0, N, hh, 0), metal({1, 0.9f, 0.55f}, {0.55f, 0.32f, 0.05f}, y0 - hh, y0 + hh));
    };
    band(28, 7), band(228, 7), band(128, 4);
    // Zigzags between the bands.
    for (int side = 0; side < 2; ++side) {
        float yc = side ? 178 : 78;
        for (int k = 0; k < 16; ++k) {
            float x0 = k * 16.f, x1 = x0 + 8, x2 = x0 + 16;
            fillShape(c, sdCapsule(x0, yc - 12, x1, yc + 12, 2.2f), solid({0.95f, 0.8f, 0.4f}), 1, around(x0 + 4, yc, 20));
            fillShape(c, sdCapsule(x1, yc + 12, x2, yc - 12, 2.2f), solid({0.95f, 0.8f, 0.4f}), 1, around(x1 + 4, yc, 20));
        }
        for (int k = 0; k < 16; ++k) {
            float x = k * 16.f + 8, y = yc - 26 + (side ? 52.f : 0.f);
            fillShape(c, sdCircle(x, y, 2.6f), solid({1, 0.96f, 0.9f}), 1, around(x, y, 4));
        }
    }
    // Stars between the zigzags.
    for (int k = 0; k < 8; ++k) {
        float x = 16 + k * 32.f;
        for (float y : {106.f, 150.f}) {
            float xs = x + (y > 128 ? 16 : 0);
            fillShape(c, sdPolygon(starPoints(xs, y, 9, 3.8f, 5)), solid({1, 0.92f, 0.7f}), 1, around(xs, y, 10));
        }
    }
    return c;
}

// The bauble's highlight: a dark picture with the reflection of a bright window,
// a hot spot and the faint line of the horizon; it is added onto the glass.
Canvas bombkaRefPicture() {
    const int N = 256;
    Canvas c(N, N);
    Gray light(N, N);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            // Bend the window as a convex mirror would.
            float u = (x - 90.f) / 128, v = (y - 80.f) / 128;
            float r2 = u * u + v * v, k = 1 + 1.4f * r2;
            float wx = u * k, wy = v * k;
            bool pane = std::fabs(wx) < 0.42f && std::fabs(wy) < 0.5f;
            bool bar = std::fabs(wx) < 0.035f || std::fabs(wy) < 0.035f;
            float window = pane && !bar ? 1.f : 0.f;
            float spot = std::exp(-(std::pow(x - 172.f, 2.f) + std::pow(y - 176.f, 2.f)) / 90.f);
            float horizon = 0.12f * std::exp(-std::pow((y - 200 + 0.002f * std::pow(x - 128.f, 2.f)) / 6.f, 2.f));
            light.at(x, y) = 0.85f * window + spot + horizon;
        }
    Gray soft = blur(light, 2);
    Gray halo = blur(light, 12);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            float v = soft.at(x, y) + 0.35f * halo.at(x, y);
            c.at(x, y) = Rgb{0.85f, 0.92f, 1} * v + Rgb{0.03f, 0.025f, 0.04f};
        }
    return c;
}

// The room as the bauble sees it: ceiling light, papered walls with a night
// window, a wooden floor. It multiplies the cloth, so it stays bright.
Canvas envPicture() {
    const int N = 256;
    Canvas c(N, N);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            Rgb p;
            if (y < 70) {  // ceiling with a lamp's pool of light
                float l = std::exp(-std::pow(std::hypot(x - 128.f, (y - 10.f) * 2) / 90, 2.f));
                p = mix({0.72f, 0.66f, 0.58f}, {1, 0.97f, 0.88f}, l);
            } else if (y < 196) {  // wallpaper: stripes and small flowers
                float stripe = 0.5f + 0.5f * std::cos(x * 2 * kPi / 32);
                p = mix({0.86f, 0.7f, 0.52f}, {0.95f, 0.82f, 0.64f}, stripe);
                float fx = std::fmod(x + 16.f, 32.f) - 16, fy = std::fmod(y + 8.f, 28.f) - 14;
                if (std::hypot(fx, fy) < 3.5f) p = {0.82f, 0.5f, 0.4f};
            } else {  // floor boards
                float board = std::fmod(float(x) + (y / 20) * 37, 64.f);
                float grain = fbm(x / 24.f, y / 3.f, 3, 17);
                p = mix({0.6f, 0.4f, 0.24f}, {0.78f, 0.56f, 0.34f}, grain);
                if (board < 1.5f || (y % 20) < 1) p = p * 0.7f;
            }
            c.at(x, y) = p;
        }
    fillShape(c, sdRoundBox(128, 68, N, 3, 0), solid({0.6f, 0.45f, 0.3f}));
    fillShape(c, sdRoundBox(128, 196, N, 3, 0), solid({0.45f, 0.3f, 0.18f}));
    // A window onto the snowy night, with a cross frame.
    fillShape(c, sdRoundBox(64, 130, 38, 46, 2), solid({0.95f, 0.95f, 0.92f}));
    fillShape(c, sdRoundBox(64, 130, 33, 41, 1), vgrad({0.3f, 0.4f, 0.75f}, {0.6f, 0.7f, 0.95f}, 90, 170));
    fillShape(c, sdRoundBox(64, 130, 2.5f, 41, 0), solid({0.95f, 0.95f, 0.92f}));
    fillShape(c, sdRoundBox(64, 130, 33, 2.5f, 0), solid({0.95f, 0.95f, 0.92f}));
    Lcg flakes(5);
    for (int i = 0; i < 30; ++i) {
        float x = flakes.range(33, 95), y = flakes.range(91, 169);
        fillShape(c, sdCircle(x, y, 1.2f), solid({1, 1, 1}), 1, around(x, y, 2));
    }
    // A picture frame on the far wall.
    fillShape(c, sdRoundBox(190, 122, 30, 22, 1), solid({0.55f, 0.35f, 0.12f}));
    fillShape(c, sdRoundBox(190, 122, 25, 17, 0), vgrad({0.55f, 0.75f, 0.9f}, {0.4f, 0.6f, 0.35f}, 105, 139));
    return c;
}

// The tablecloth: linen with a red gingham check, a visible over-under weave and
// a border with a row of white stitches.
Canvas obrusPicture() {
    const int N = 256;
    Canvas c(N, N);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            bool bx = (x / 16) % 2 == 0, by = (y / 16) % 2 == 0;
            float redness = (bx ? 0.5f : 0) + (by ? 0.5f : 0);
            Rgb p = mix({0.97f, 0.95f, 0.9f}, {0.78f, 0.08f, 0.1f}, redness);
            // Weave: threads two pixels wide, over one and under the next.
            bool overWarp = ((x / 2) + (y / 2)) % 2 == 0;
            float thread = overWarp ? 0.5f + 0.5f * std::sin((x % 2 + 0.5f) * kPi / 2) : 0.5f + 0.5f * std::sin((y % 2 + 0.5f) * kPi / 2);
            float slub = fbm(overWarp ? x / 3.f : y / 3.f, overWarp ? y / 40.f : x / 40.f, 2, overWarp ? 31 : 37, 0, 0);
            p = p * (0.78f + 0.14f * thread + 0.12f * slub);
            // Border and its stitches.
            int edge = std::min(std::min(x, y), std::min(N - 1 - x, N - 1 - y));
            if (edge < 10) p = Rgb{0.7f, 0.06f, 0.08f} * (0.85f + 0.15f * thread);
            if (edge >= 4 && edge <= 5 && ((x + y) / 4) % 2 == 0) p = {0.98f, 0.97f, 0.94f};
            c.at(x, y) = p;
        }
    return c;
}

// The lamp: a pleated, glowing shade with a bulb shining through, gold trim and
// a fringe at its mouth (the bottom, where the shade's texture starts).
Canvas lampkaPicture() {
    const int N = 256;
    Canvas c(N, N);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            float pleat = 0.5f + 0.5f * std::cos(x * 2 * kPi / 16);
            float glow = std::exp(-std::pow(std::hypot(x - 128.f, (y - 168.f) * 1.2f) / 80, 2.f));
            Rgb p = mix({0.75f, 0.42f, 0.15f}, {1, 0.82f, 0.5f}, 0.3f + 0.35f * pleat + 0.35f * (y / 255.f));
            c.at(x, y) = p * (0.7f + 0.3f * pleat) + Rgb{1, 0.9f, 0.6f} * (0.3f * glow);
        }
    // The bulb seen through the fabric.
    Gray bulb = shapeMask(N, N, [](float x, float y) {
        return std::min(std::hypot(x - 128, y - 172) - 30, sdRoundBox(128, 132, 13, 18, 4)(x, y));
    });
    addGray(c, blur(bulb, 14), 0, 0, {1, 0.8f, 0.4f}, 0.25f);
    paintGray(c, blur(bulb, 1), 0, 0, [](float x, float y) {
        float d = std::hypot(x - 128, y - 165) / 40;
        return mix(Rgb{1, 1, 0.92f}, Rgb{1, 0.8f, 0.45f}, std::min(1.f, d));
    }, 0.85f);
    // Its screw base and a glowing filament.
    for (int k = 0; k < 4; ++k) fillShape(c, sdRoundBox(128, 104 + 7.f * k, 15 - k, 3, 2), solid({0.45f, 0.4f, 0.35f}), 0.85f);
    fillShape(c, [](float x, float y) { return std::fabs(std::hypot(x - 128, y - 160) - 12) - 1.2f + (y > 160 ? 99.f : 0.f); },
              solid({1, 0.55f, 0.1f}));
    fillShape(c, sdCapsule(116, 160, 124, 128, 1), solid({0.6f, 0.5f, 0.35f}));
    fillShape(c, sdCapsule(140, 160, 132, 128, 1), solid({0.6f, 0.5f, 0.35f}));
    // The trim bands and the fringe.
    fillShape(c, sdRoundBox(128, 14, N, 8, 0), metal({1, 0.9f, 0.55f}, {0.5f, 0.3f, 0.05f}, 6, 22));
    fillShape(c, sdRoundBox(128, 222, N, 8, 0), metal({1, 0.9f, 0.55f}, {0.5f, 0.3f, 0.05f}, 214, 230));
    for (int k = 0; k < 32; ++k) {
        float x = 4 + k * 8.f;
        fillShape(c, sdCapsule(x, 230, x, 246, 2), solid({0.85f, 0.6f, 0.2f}), 1, around(x, 240, 12));
        fillShape(c, sdCircle(x, 249, 3.2f), solid({0.7f, 0.1f, 0.1f}), 1, around(x, 249, 5));
    }
    return c;
}

// ---------------------------------------------------------------- landscape

// Rocky ground: bumped, cracked stone with moss, tiling around the valley (x).
Canvas terrainPicture() {
    const int N = 256;
    Gray height(N, N);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            float h = fbm(x / 32.f, y / 32.f, 5, 41, 8, 8);
            float ridge = 1 - std::fabs(2 * fbm(x * 10.f / N, y / 24.f, 4, 43, 10, 0) - 1);
            h -= 0.25f * std::pow(ridge, 8.f);
            height.at(x, y) = h;
        }
    Canvas c(N, N);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            float hx = height.at((x + 1) % N, y) - height.at((x + N - 1) % N, y);
            float hy = height.get(x, std::min(y + 1, N - 1)) - height.get(x, std::max(y - 1, 0));
            float shade = std::clamp(0.75f - 9 * (hx * 0.6f + hy * 0.8f), 0.25f, 1.2f);
            float moss = std::clamp((fbm(x * 5.f / N, y / 48.f, 3, 47, 5, 0) - 0.55f) * 5, 0.f, 1.f);
            float tint = fbm(x * 21.f / N, y / 12.f, 2, 53, 21, 0);
            Rgb rock = mix({0.42f, 0.4f, 0.38f}, {0.55f, 0.46f, 0.36f}, tint);
            Rgb p = mix(rock, {0.3f, 0.4f, 0.2f}, moss * 0.8f);
            float grain = 0.9f + 0.2f * hashUnit(x, y, 59);
            c.at(x, y) = p * (shade * grain * (0.6f + 0.6f * height.at(x, y)));
        }
    return c;
}

// Adds one forked lightning bolt from (x0, y0) towards (x1, y1) into a light map.
void bolt(Gray& light, float x0, float y0, float x1, float y1, float width, int depth, Lcg& rnd) {
    std::vector<float> pts{x0, y0, x1, y1};
    for (int pass = 0; pass < 6; ++pass) {  // midpoint displacement
        std::vector<float> next;
        float amp = std::hypot(x1 - x0, y1 - y0) * 0.18f / (1 << pass);
        for (size_t i = 0; i + 2 < pts.size() + 0; i += 2) {
            next.push_back(pts[i]), next.push_back(pts[i + 1]);
            next.push_back((pts[i] + pts[i + 2]) / 2 + rnd.range(-amp, amp));
            next.push_back((pts[i + 1] + pts[i + 3]) / 2 + rnd.range(-amp, amp) * 0.3f);
        }
        next.push_back(pts[pts.size() - 2]), next.push_back(pts.back());
        pts = next;
    }
    for (size_t i = 0; i + 2 < pts.size(); i += 2) {
        Sdf s = sdCapsule(pts[i], pts[i + 1], pts[i + 2], pts[i + 3], width);
        Box b = around(pts[i], pts[i + 1], std::hypot(pts[i + 2] - pts[i], pts[i + 3] - pts[i + 1]) + width);
        for (int y = std::max(0, int(b.y0)); y < std::min(light.h, int(b.y1)); ++y)
            for (int x = std::max(0, int(b.x0)); x < std::min(light.w, int(b.x1)); ++x)
                light.at(x, y) = std::max(light.at(x, y), coverage(s(x + 0.5f, y + 0.5f)));
        if (depth > 0 && i > 8 && rnd.unit() < 0.035f) {  // a branch
            float bx = pts[i], by = pts[i + 1];
            float len = rnd.range(30, 70);
            float ang = rnd.range(0.3f, 1.2f) * (rnd.unit() < 0.5f ? -1 : 1) + kPi / 2;
            bolt(light, bx, by, bx + len * std::cos(ang), by + len * std::sin(ang), width * 0.6f, depth - 1, rnd);
        }
    }
}

// 0 at e0, 1 at e1, smooth in between.
float smoothstep(float e0, float e1, float v) {
    float t = std::clamp((v - e0) / (e1 - e0), 0.f, 1.f);
    return t * t * (3 - 2 * t);
}

// The storm backdrop: heavy violet clouds lit from inside, two lightning bolts.
// The curtain hangs in a black sky with its sides and lower edge in view, so
// the clouds sink into the night towards those edges instead of ending in a
// frame; the bolts stand well inside and keep their light.
Canvas stormPicture() {
    const int W = 512, H = 256;
    Canvas c(W, H);
    Gray light(W, H);
    Lcg rnd(13);
    bolt(light, 150, 20, 120, 240, 1.6f, 2, rnd);
    bolt(light, 380, 40, 420, 200, 1.2f, 2, rnd);
    Gray glow = blur(light, 10), near = blur(light, 2);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            // Warped noise gives billowing clouds; tiles across the backdrop's seam.
            float wx = fbm(x / 64.f, y / 64.f, 3, 61, 8, 0) * 1.2f, wy = fbm(x / 64.f, y / 64.f, 3, 67, 8, 0) * 0.8f;
            float cloud = fbm(x / 64.f + wx, y / 32.f + wy, 6, 71, 8, 0);
            cloud = std::clamp((cloud - 0.3f) * 2.2f, 0.f, 1.f);
            float t = y / float(H);
            Rgb sky = mix({0.05f, 0.05f, 0.12f}, {0.3f, 0.25f, 0.38f}, t);
            // Cloud bellies dark, their tops catching a little light.
            float top = std::clamp(cloud - fbm(x / 64.f + wx, (y + 6) / 32.f + wy, 6, 71, 8, 0) * 1.1f + 0.25f, 0.f, 1.f);
            Rgb cl = mix({0.06f, 0.05f, 0.1f}, {0.45f, 0.42f, 0.55f}, top);
            Rgb p = mix(sky, cl, cloud);
            float lit = glow.at(x, y) * 2.5f;
            p = p + Rgb{0.55f, 0.6f, 0.95f} * (lit * (0.4f + cloud));
            p = p + Rgb{0.8f, 0.85f, 1} * near.at(x, y) + Rgb{1, 1, 1} * light.at(x, y);
            const float u = (x + 0.5f) / W, v = (y + 0.5f) / H;
            const float fade = smoothstep(0.f, 0.2f, u) * smoothstep(0.f, 0.2f, 1 - u) * smoothstep(0.f, 0.4f, 1 - v);
            c.at(x, y) = p * fade;
        }
    return c;
}

// A forest: rows of fir trees fading into the mist behind one another.
Canvas forestPicture() {
    const int N = 256;
    Canvas c(N, N);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) c.at(x, y) = mix({0.62f, 0.72f, 0.78f}, {0.82f, 0.86f, 0.8f}, y / 255.f);
    Lcg rnd(17);
    const int rows = 5;
    for (int r = 0; r < rows; ++r) {
        float depth = r / float(rows - 1);  // 0 far, 1 near
        float base = 120 + 34 * r, tall = 40 + 40 * depth;
        Rgb col = mix({0.42f, 0.55f, 0.58f}, {0.04f, 0.16f, 0.07f}, depth);
        // Ground of this row.
        fillShape(c, [=](float x, float y) { return base - 6 + 4 * std::sin(x * 0.05f + r) - y; }, solid(col * 0.9f));
        int count = 9 + 2 * r;
        for (int k = 0; k < count + 1; ++k) {
            float x = (k + rnd.range(-0.3f, 0.3f)) * N / float(count);
            float h = tall * rnd.range(0.75f, 1.2f), w = h * 0.32f;
            float top = base - h;
            fillShape(c, sdRoundBox(x, base - h * 0.06f, w * 0.08f, h * 0.1f, 0), solid(col * 0.6f), 1, around(x, base, w));
            for (int tier = 0; tier < 4; ++tier) {
                float ty = top + tier * h * 0.2f, by = ty + h * 0.38f, hw = w * (0.45f + 0.2f * tier);
                fillShape(c, sdPolygon({x, ty, x + hw, by, x - hw, by}), [=](float px, float) {
                    return col * (px > x ? 0.8f : 1.05f);
                }, 1, Box{x - hw - 2, ty - 2, x + hw + 2, by + 2});
            }
            c.at(std::clamp(int(x), 0, N - 1), std::clamp(int(top), 0, N - 1)) = col;
        }
        // Mist between the rows.
        for (int y = 0; y < N; ++y)
            for (int x = 0; x < N; ++x)
                if (y < base + 10) c.blend(x, y, {0.8f, 0.85f, 0.82f}, 0.12f * (1 - depth) * fbm(x / 40.f, y / 20.f, 2, 79 + r));
    }
    return c;
}

// ---------------------------------------------------------------- sprites and letters

// A greeting sprite: the name in styled lettering with a shadow and sparkles;
// shown 144 x 72 units, so 256 x 128 pixels keeps its shape.
CutOut greetingPicture(const std::string& name, int style) {
    struct Style { const char* font; Rgb top, bottom, outline, spark; };
    const Style styles[5] = {
        {"DejaVuSans-Bold.ttf", {1, 0.95f, 0.55f}, {0.95f, 0.45f, 0.05f}, {0.3f, 0.08f, 0}, {1, 0.9f, 0.5f}},
        {"DejaVuSerif-BoldItalic.ttf", {0.7f, 1, 1}, {0.1f, 0.5f, 0.95f}, {0.02f, 0.08f, 0.3f}, {0.7f, 0.9f, 1}},
        {"DejaVuSansMono-Bold.ttf", {0.75f, 1, 0.6f}, {0.1f, 0.6f, 0.15f}, {0.02f, 0.2f, 0.04f}, {0.8f, 1, 0.7f}},
        {"DejaVuSans-BoldOblique.ttf", {1, 0.7f, 0.9f}, {0.8f, 0.1f, 0.45f}, {0.25f, 0.02f, 0.15f}, {1, 0.7f, 0.9f}},
        {"DejaVuSerif-Bold.ttf", {1, 0.85f, 0.8f}, {0.85f, 0.08f, 0.1f}, {0.3f, 0.02f, 0.02f}, {1, 0.95f, 0.8f}},
    };
    const Style& s = styles[style % 5];
    CutOut c(256, 128);
    Gray word = fitText(s.font, name, 214, 78, 1.f, 0.02f);
    int x0 = 128 - word.w / 2, y0 = 62 - word.h / 2;
    // A soft backing glow in the name's colour so it reads over the dark valley.
    Gray back = blur(dilate(pad(word, 16), 8), 5);
    paintGray(c, back, x0 - 16, y0 - 16, solid(s.bottom * 0.35f), 0.55f);
    styledText(c, word, x0, y0, metal(s.top, s.bottom, float(y0), float(y0 + word.h)), s.outline, 3, 0.7f, 4);
    // A white gleam along the top of the letters.
    Gray gleam(word.w, word.h);
    for (int y = 0; y < word.h; ++y)
        for (int x = 0; x < word.w; ++x) {
            float t = y / float(word.h);
            gleam.at(x, y) = word.at(x, y) * std::max(0.f, 1 - std::fabs(t - 0.22f) * 12) * (word.get(x, y - 3) > 0.5f ? 1.f : 0.f);
        }
    paintGray(c, gleam, x0, y0, solid({1, 1, 1}), 0.7f);
    twinkle(c, float(x0 + word.w - 6), float(y0 + 4), 14, s.spark);
    twinkle(c, float(x0 + 6), float(y0 + word.h - 2), 10, s.spark);
    fillShape(c, sdCapsule(64, 114, 192, 114, 2.5f), vgrad(s.top, s.bottom, 111, 117));
    return c;
}

// A letter card: a cream tile with a gold bevel and the letter in deep red,
// cut out at its rounded corners; all letters share one size and baseline.
CutOut glyphCard(char ch) {
    const int N = 128;
    CutOut c(N, N);
    fillShape(c, sdRoundBox(64, 64, 60, 60, 14), metal({1, 0.88f, 0.5f}, {0.55f, 0.36f, 0.08f}, 4, 124));
    fillShape(c, sdRoundBox(64, 64, 53, 53, 10), vgrad({1, 0.97f, 0.88f}, {0.9f, 0.8f, 0.6f}, 11, 117));
    int baseline = 0, left = 0;
    Gray g = renderText("DejaVuSans-Bold.ttf", std::string(1, ch), 84, 1.f, 0, &baseline, &left);
    int x0 = 64 - g.w / 2, y0 = 92 - baseline;
    paintGray(c, blur(pad(g, 4), 2), x0 - 4 + 2, y0 - 4 + 2, solid({0.45f, 0.32f, 0.15f}), 0.5f);
    paintGray(c, g, x0, y0, vgrad({0.8f, 0.1f, 0.12f}, {0.4f, 0.02f, 0.05f}, float(y0), float(y0 + g.h)));
    return c;
}

// The characters of the player's display, white on black in 16-pixel cells
// along one row: "0123456789:./%mutedvol" in that order, drawn added over a
// dark box.
Canvas clockDigitsPicture() {
    Canvas c(512, 32);
    const std::string cells = "0123456789:./%mutedvol";
    for (size_t k = 0; k < cells.size(); ++k) {
        int baseline = 0, left = 0;
        Gray g = renderText("DejaVuSansMono-Bold.ttf", std::string(1, cells[k]), 22, 1.f, 0, &baseline, &left);
        const int x0 = 16 * int(k) + (16 - g.w) / 2, y0 = 24 - baseline;
        paintGray(c, g, x0, y0, solid({1, 1, 1}));
    }
    return c;
}

}  // namespace

Canvas baubleOrnamentPicture() { return bombkaPicture(); }
Canvas baubleReflectionPicture() { return bombkaRefPicture(); }

// Draws and writes every picture.
std::vector<std::string> writePictures(const std::string& dir) {
    std::vector<std::string> written;
    auto plain = [&](const std::string& name, const Canvas& c) {
        writeBmp(dir + "/" + name + ".bmp", c);
        written.push_back(name + ".bmp");
    };
    auto cut = [&](const std::string& name, const CutOut& c) {
        writeCutOut(dir, name, c);
        written.push_back(name + ".bmp");
        written.push_back(name + "_alpha.bmp");
    };
    plain("loading", loadingPicture());
    plain("velsk", velskPicture());
    cut("logo", logoPicture());
    Canvas scene = closingScene();
    plain("Dorovan1", crop(scene, 0, 0, 512, 512));
    plain("Dorovan2", crop(scene, 512, 0, 128, 512));
    Canvas bombka = bombkaPicture();
    plain("Bombka", bombka);
    plain("Bombka_low", shrink(bombka, 4));
    plain("BombkaRef", bombkaRefPicture());
    plain("Env", envPicture());
    plain("Obrus", obrusPicture());
    plain("Lampka", lampkaPicture());
    for (size_t i = 0; i < greetingNames.size(); ++i) cut(greetingNames[i], greetingPicture(greetingNames[i], int(i)));
    plain("Terrain", terrainPicture());
    plain("Storm", stormPicture());
    plain("Forest", forestPicture());
    for (char ch : glyphCharacters) cut(std::string(1, ch), glyphCard(ch));
    plain("clock", clockDigitsPicture());
    return written;
}
