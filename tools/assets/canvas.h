// canvas.h - the drawing surface of the asset generator: float RGB pictures,
// grey coverage maps, anti-aliased shapes from distance functions, noise, and
// the BMP writer the show's reader accepts (24-bit, bottom-up, padded rows).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Rgb {
    float r = 0, g = 0, b = 0;
};
inline Rgb rgb(float r, float g, float b) { return Rgb{r, g, b}; }
inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator-(Rgb a, Rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Rgb operator*(Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
// Linear blend from a (t = 0) to b (t = 1).
inline Rgb mix(Rgb a, Rgb b, float t) { return a + (b - a) * t; }

// A grey map (coverage, alpha, height), row 0 at the top.
struct Gray {
    int w = 0, h = 0;
    std::vector<float> v;
    Gray() = default;
    Gray(int w_, int h_, float fill = 0) : w(w_), h(h_), v(size_t(w_) * h_, fill) {}
    float& at(int x, int y) { return v[size_t(y) * w + x]; }
    float at(int x, int y) const { return v[size_t(y) * w + x]; }
    // Value at (x, y), 0 outside.
    float get(int x, int y) const { return (x < 0 || y < 0 || x >= w || y >= h) ? 0.f : at(x, y); }
};

// An RGB picture, row 0 at the top, channels nominally 0..1.
struct Canvas {
    int w = 0, h = 0;
    std::vector<Rgb> px;
    Canvas() = default;
    Canvas(int w_, int h_, Rgb fill = Rgb{}) : w(w_), h(h_), px(size_t(w_) * h_, fill) {}
    Rgb& at(int x, int y) { return px[size_t(y) * w + x]; }
    const Rgb& at(int x, int y) const { return px[size_t(y) * w + x]; }
    // Blends colour c over pixel (x, y) with opacity a; ignores pixels outside.
    void blend(int x, int y, Rgb c, float a);
    // Adds c scaled by a to pixel (x, y) (light, glow); ignores pixels outside.
    void add(int x, int y, Rgb c, float a);
};

// A cut-out picture: colour plus opacity (1 = opaque).
struct CutOut {
    Canvas colour;
    Gray alpha;
    CutOut(int w, int h) : colour(w, h), alpha(w, h) {}
    // Paints colour c with coverage a over the cut-out (colour and opacity both).
    void paint(int x, int y, Rgb c, float a);
};

// Distance functions: negative inside, in pixels.
using Sdf = std::function<float(float, float)>;
Sdf sdCircle(float cx, float cy, float r);
Sdf sdCapsule(float ax, float ay, float bx, float by, float r);
Sdf sdRoundBox(float cx, float cy, float hw, float hh, float r);
// A convex or concave polygon (even-odd inside test).
Sdf sdPolygon(std::vector<float> xy);

// Coverage (0..1) of a distance value at a pixel centre, one pixel of soft edge.
float coverage(float d);

// A pixel region to limit work to; the default covers everything.
struct Box {
    float x0 = -1e9f, y0 = -1e9f, x1 = 1e9f, y1 = 1e9f;
};
// A box around (cx, cy) reaching r on every side.
inline Box around(float cx, float cy, float r) { return Box{cx - r - 2, cy - r - 2, cx + r + 2, cy + r + 2}; }

// Fills shape `s` with colour(x, y), opacity scaled by `a`, looking only inside `box`.
void fillShape(Canvas& c, const Sdf& s, const std::function<Rgb(float, float)>& colour, float a = 1.f,
               Box box = Box{});
void fillShape(CutOut& c, const Sdf& s, const std::function<Rgb(float, float)>& colour, float a = 1.f,
               Box box = Box{});
// Coverage map of a shape over a w x h grid.
Gray shapeMask(int w, int h, const Sdf& s);

// Pastes a grey coverage map at (x0, y0) with colour(x, y), blending over.
void paintGray(Canvas& c, const Gray& g, int x0, int y0, const std::function<Rgb(float, float)>& colour,
               float a = 1.f);
void paintGray(CutOut& c, const Gray& g, int x0, int y0, const std::function<Rgb(float, float)>& colour,
               float a = 1.f);
// Adds a grey map as light of colour col.
void addGray(Canvas& c, const Gray& g, int x0, int y0, Rgb col, float a = 1.f);

// Grey map helpers: grow by r pixels (max over a disc), box-blur three times, pad on all sides.
Gray dilate(const Gray& g, int r);
Gray blur(const Gray& g, int r);
Gray pad(const Gray& g, int p);

// Deterministic noise in [0, 1): integer hash, smooth value noise, fractal sum.
// A non-zero period makes the noise tile with that period (in lattice cells) on x.
uint32_t hash32(uint32_t x);
float hashUnit(int x, int y, int seed);
float valueNoise(float x, float y, int seed, int periodX = 0, int periodY = 0);
float fbm(float x, float y, int octaves, int seed, int periodX = 0, int periodY = 0);

// A small deterministic generator for placing things (stars, flakes, notes).
struct Lcg {
    uint32_t s;
    explicit Lcg(uint32_t seed) : s(seed * 2654435761u + 12345u) {}
    // Next value in [0, 1).
    float unit() {
        s = s * 1664525u + 1013904223u;
        return float(s >> 8) / 16777216.f;
    }
    // Next value in [a, b).
    float range(float a, float b) { return a + (b - a) * unit(); }
};

// Box-filtered shrink by an integer factor.
Canvas shrink(const Canvas& c, int factor);
// Shrinks to w x h, each side by its own factor (not necessarily whole): every
// pixel is the mean of the source area it covers.
Canvas shrinkTo(const Canvas& c, int w, int h);
// Copies the w x h block at (x0, y0).
Canvas crop(const Canvas& c, int x0, int y0, int w, int h);

// Writes a 24-bit uncompressed bottom-up BMP; throws std::runtime_error on failure.
void writeBmp(const std::string& path, const Canvas& c);
// Writes name.bmp (colour premultiplied by opacity, so pure black where clear) and
// name_alpha.bmp (white where clear, black where opaque) into dir.
void writeCutOut(const std::string& dir, const std::string& name, const CutOut& c);
