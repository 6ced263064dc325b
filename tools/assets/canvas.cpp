// canvas.cpp - pictures, shapes, noise and the BMP writer of the asset generator.
#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

static float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// Blends c over one pixel.
void Canvas::blend(int x, int y, Rgb c, float a) {
    if (x < 0 || y < 0 || x >= w || y >= h || a <= 0) return;
    Rgb& p = at(x, y);
    p = mix(p, c, std::min(a, 1.f));
}

// Adds light to one pixel.
void Canvas::add(int x, int y, Rgb c, float a) {
    if (x < 0 || y < 0 || x >= w || y >= h || a <= 0) return;
    Rgb& p = at(x, y);
    p = p + c * a;
}

// Paints over the cut-out: colour blends, opacity accumulates.
void CutOut::paint(int x, int y, Rgb c, float a) {
    if (x < 0 || y < 0 || x >= colour.w || y >= colour.h || a <= 0) return;
    a = std::min(a, 1.f);
    float old = alpha.at(x, y);
    float na = old + a * (1 - old);
    // Straight (unpremultiplied) colour: weight the new paint by its share of the new opacity.
    Rgb& p = colour.at(x, y);
    p = na > 0 ? (p * (old * (1 - a)) + c * a) * (1.f / na) : c;
    alpha.at(x, y) = na;
}

// Circle of radius r.
Sdf sdCircle(float cx, float cy, float r) {
    return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}

// Segment a-b thickened by r.
Sdf sdCapsule(float ax, float ay, float bx, float by, float r) {
    return [=](float x, float y) {
        float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
        float len2 = dx * dx + dy * dy;
        float t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.f, 1.f) : 0.f;
        return std::hypot(px - dx * t, py - dy * t) - r;
    };
}

// Box of half sizes hw, hh with corners rounded by r.
Sdf sdRoundBox(float cx, float cy, float hw, float hh, float r) {
    return [=](float x, float y) {
        float qx = std::fabs(x - cx) - hw + r, qy = std::fabs(y - cy) - hh + r;
        float ox = std::max(qx, 0.f), oy = std::max(qy, 0.f);
        return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.f) - r;
    };
}

// Polygon from x0,y0,x1,y1,...: distance to the nearest edge, signed by the even-odd rule.
Sdf sdPolygon(std::vector<float> xy) {
    return [xy](float x, float y) {
        size_t n = xy.size() / 2;
        float best = 1e30f;
        bool inside = false;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            float ax = xy[2 * j], ay = xy[2 * j + 1], bx = xy[2 * i], by = xy[2 * i + 1];
            float dx = bx - ax, dy = by - ay, px = x - ax, py = y - ay;
            float len2 = dx * dx + dy * dy;
            float t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.f, 1.f) : 0.f;
            best = std::min(best, std::hypot(px - dx * t, py - dy * t));
            if (((ay > y) != (by > y)) && (x < ax + (y - ay) * dx / dy)) inside = !inside;
        }
        return inside ? -best : best;
    };
}

// One pixel of soft edge centred on the outline.
float coverage(float d) { return clamp01(0.5f - d); }

// Clips a box to a w x h grid as integer bounds.
static void clipBox(const Box& b, int w, int h, int& x0, int& y0, int& x1, int& y1) {
    x0 = std::max(0, int(std::floor(b.x0))), y0 = std::max(0, int(std::floor(b.y0)));
    x1 = std::min(w, int(std::ceil(std::min(b.x1, 1e6f)))), y1 = std::min(h, int(std::ceil(std::min(b.y1, 1e6f))));
}

// Fills a shape over a canvas.
void fillShape(Canvas& c, const Sdf& s, const std::function<Rgb(float, float)>& colour, float a, Box box) {
    int bx0, by0, bx1, by1;
    clipBox(box, c.w, c.h, bx0, by0, bx1, by1);
    for (int y = by0; y < by1; ++y)
        for (int x = bx0; x < bx1; ++x) {
            float fx = x + 0.5f, fy = y + 0.5f;
            float cov = coverage(s(fx, fy));
            if (cov > 0) c.blend(x, y, colour(fx, fy), cov * a);
        }
}

// Fills a shape over a cut-out.
void fillShape(CutOut& c, const Sdf& s, const std::function<Rgb(float, float)>& colour, float a, Box box) {
    int bx0, by0, bx1, by1;
    clipBox(box, c.colour.w, c.colour.h, bx0, by0, bx1, by1);
    for (int y = by0; y < by1; ++y)
        for (int x = bx0; x < bx1; ++x) {
            float fx = x + 0.5f, fy = y + 0.5f;
            float cov = coverage(s(fx, fy));
            if (cov > 0) c.paint(x, y, colour(fx, fy), cov * a);
        }
}

// Coverage of a shape on a grid.
Gray shapeMask(int w, int h, const Sdf& s) {
    Gray g(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) g.at(x, y) = coverage(s(x + 0.5f, y + 0.5f));
    return g;
}

// Pastes a coverage map with a colour function (canvas coordinates).
void paintGray(Canvas& c, const Gray& g, int x0, int y0, const std::function<Rgb(float, float)>& colour,
               float a) {
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x) {
            float v = g.at(x, y);
            if (v > 0) c.blend(x0 + x, y0 + y, colour(x0 + x + 0.5f, y0 + y + 0.5f), v * a);
        }
}

// Pastes a coverage map onto a cut-out.
void paintGray(CutOut& c, const Gray& g, int x0, int y0, const std::function<Rgb(float, float)>& colour,
               float a) {
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x) {
            float v = g.at(x, y);
            if (v > 0) c.paint(x0 + x, y0 + y, colour(x0 + x + 0.5f, y0 + y + 0.5f), v * a);
        }
}

// Adds a grey map as light.
void addGray(Canvas& c, const Gray& g, int x0, int y0, Rgb col, float a) {
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x) c.add(x0 + x, y0 + y, col, g.at(x, y) * a);
}

// Max over a disc of radius r.
Gray dilate(const Gray& g, int r) {
    Gray out(g.w, g.h);
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x) {
            float m = 0;
            for (int dy = -r; dy <= r; ++dy)
                for (int dx = -r; dx <= r; ++dx) {
                    float d = std::sqrt(float(dx * dx + dy * dy));
                    if (d > r + 0.5f) continue;
                    float edge = clamp01(r + 0.5f - d);
                    m = std::max(m, g.get(x + dx, y + dy) * edge);
                }
            out.at(x, y) = m;
        }
    return out;
}

// One horizontal then vertical box pass of radius r.
static Gray boxPass(const Gray& g, int r) {
    Gray t(g.w, g.h), out(g.w, g.h);
    float inv = 1.f / (2 * r + 1);
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x) {
            float s = 0;
            for (int k = -r; k <= r; ++k) s += g.get(x + k, y);
            t.at(x, y) = s * inv;
        }
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x) {
            float s = 0;
            for (int k = -r; k <= r; ++k) s += t.get(x, y + k);
            out.at(x, y) = s * inv;
        }
    return out;
}

// Three box passes: close to a Gaussian.
Gray blur(const Gray& g, int r) {
    if (r <= 0) return g;
    return boxPass(boxPass(boxPass(g, r), r), r);
}

// Adds p empty pixels on every side.
Gray pad(const Gray& g, int p) {
    Gray out(g.w + 2 * p, g.h + 2 * p);
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x) out.at(x + p, y + p) = g.at(x, y);
    return out;
}

// Integer avalanche hash.
uint32_t hash32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

// Hash of a lattice point as a value in [0, 1).
float hashUnit(int x, int y, int seed) {
    uint32_t h = hash32(uint32_t(x) * 73856093u ^ hash32(uint32_t(y) * 19349663u ^ uint32_t(seed) * 83492791u));
    return float(h >> 8) / 16777216.f;
}

// Bilinear value noise with a smooth step, optionally periodic.
float valueNoise(float x, float y, int seed, int periodX, int periodY) {
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    float fx = x - ix, fy = y - iy;
    auto wrap = [](int v, int p) { return p > 0 ? ((v % p) + p) % p : v; };
    int x0 = wrap(ix, periodX), x1 = wrap(ix + 1, periodX);
    int y0 = wrap(iy, periodY), y1 = wrap(iy + 1, periodY);
    float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    float a = hashUnit(x0, y0, seed), b = hashUnit(x1, y0, seed);
    float c = hashUnit(x0, y1, seed), d = hashUnit(x1, y1, seed);
    return (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy;
}

// Sum of octaves, normalised to [0, 1).
float fbm(float x, float y, int octaves, int seed, int periodX, int periodY) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * valueNoise(x, y, seed + o * 131, periodX, periodY);
        norm += amp;
        x *= 2, y *= 2, periodX *= 2, periodY *= 2;
        amp *= 0.5f;
    }
    return sum / norm;
}

// Box-filtered shrink.
Canvas shrink(const Canvas& c, int f) {
    Canvas out(c.w / f, c.h / f);
    for (int y = 0; y < out.h; ++y)
        for (int x = 0; x < out.w; ++x) {
            Rgb s;
            for (int dy = 0; dy < f; ++dy)
                for (int dx = 0; dx < f; ++dx) s = s + c.at(x * f + dx, y * f + dy);
            out.at(x, y) = s * (1.f / (f * f));
        }
    return out;
}

// The weights of an area shrink along one side: for each target pixel, the
// source pixels it covers and how much of each.
namespace {
struct Tap {
    int from;
    std::vector<float> weight;
};
std::vector<Tap> areaTaps(int source, int target) {
    std::vector<Tap> taps(static_cast<size_t>(target));
    const double step = double(source) / target;
    for (int i = 0; i < target; ++i) {
        const double lo = i * step, hi = (i + 1) * step;
        Tap& t = taps[size_t(i)];
        t.from = int(std::floor(lo));
        for (int j = t.from; j < source && j < hi; ++j)
            t.weight.push_back(float((std::min(hi, j + 1.0) - std::max(lo, double(j))) / step));
    }
    return taps;
}
}  // namespace

// Area shrink, across then down.
Canvas shrinkTo(const Canvas& c, int w, int h) {
    const std::vector<Tap> across = areaTaps(c.w, w), down = areaTaps(c.h, h);
    Canvas mid(w, c.h), out(w, h);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < w; ++x) {
            const Tap& t = across[size_t(x)];
            Rgb& m = mid.at(x, y);
            for (size_t k = 0; k < t.weight.size(); ++k) m = m + c.at(t.from + int(k), y) * t.weight[k];
        }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Tap& t = down[size_t(y)];
            Rgb& o = out.at(x, y);
            for (size_t k = 0; k < t.weight.size(); ++k) o = o + mid.at(x, t.from + int(k)) * t.weight[k];
        }
    return out;
}

// Copies a block.
Canvas crop(const Canvas& c, int x0, int y0, int w, int h) {
    Canvas out(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.at(x, y) = c.at(x0 + x, y0 + y);
    return out;
}

// Rounds a channel to a byte.
static uint8_t toByte(float v) { return uint8_t(std::lround(clamp01(v) * 255.f)); }

// Little-endian stores.
static void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8);
}
static void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// Writes the raw bytes of a picture whose pixels are given per (x, y, channel).
static void writeBmpBytes(const std::string& path, int w, int h,
                          const std::function<void(int, int, uint8_t*)>& pixel) {
    const uint32_t stride = (uint32_t(w) * 3 + 3) & ~3u;
    const uint32_t dataSize = stride * uint32_t(h);
    std::vector<uint8_t> b(54 + dataSize, 0);
    b[0] = 'B', b[1] = 'M';
    put32(b, 2, 54 + dataSize);
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, uint32_t(w));
    put32(b, 22, uint32_t(h));
    put16(b, 26, 1);
    put16(b, 28, 24);
    put32(b, 30, 0);
    put32(b, 34, dataSize);
    put32(b, 38, 2835);  // 72 dpi
    put32(b, 42, 2835);
    for (int r = 0; r < h; ++r) {
        int y = h - 1 - r;  // bottom row first
        uint8_t* row = &b[54 + size_t(r) * stride];
        for (int x = 0; x < w; ++x) {
            uint8_t rgbBytes[3];
            pixel(x, y, rgbBytes);
            row[3 * x] = rgbBytes[2], row[3 * x + 1] = rgbBytes[1], row[3 * x + 2] = rgbBytes[0];
        }
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    size_t n = std::fwrite(b.data(), 1, b.size(), f);
    if (std::fclose(f) != 0 || n != b.size()) throw std::runtime_error("short write " + path);
}

// Writes a canvas.
void writeBmp(const std::string& path, const Canvas& c) {
    writeBmpBytes(path, c.w, c.h, [&](int x, int y, uint8_t* o) {
        const Rgb& p = c.at(x, y);
        o[0] = toByte(p.r), o[1] = toByte(p.g), o[2] = toByte(p.b);
    });
}

// Writes a cut-out pair. Opacity is quantised first and the colour scaled by the
// quantised value, so a pixel whose mask byte is 255 is exactly black.
void writeCutOut(const std::string& dir, const std::string& name, const CutOut& c) {
    auto opacity = [&](int x, int y) { return toByte(c.alpha.at(x, y)); };
    writeBmpBytes(dir + "/" + name + ".bmp", c.colour.w, c.colour.h, [&](int x, int y, uint8_t* o) {
        float a = opacity(x, y) / 255.f;
        const Rgb& p = c.colour.at(x, y);
        o[0] = toByte(p.r * a), o[1] = toByte(p.g * a), o[2] = toByte(p.b * a);
    });
    writeBmpBytes(dir + "/" + name + "_alpha.bmp", c.colour.w, c.colour.h, [&](int x, int y, uint8_t* o) {
        uint8_t m = uint8_t(255 - opacity(x, y));
        o[0] = o[1] = o[2] = m;
    });
}
