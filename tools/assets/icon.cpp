// icon.cpp - the program's icon: the hanging bauble of the show, its glass
// wearing the show's own ornament and reflection pictures, with a gold cap
// and a loop to hang it by, on a clear background. The PNGs are drawn four
// times over size and shrunk, so the ornament's fine gold lines stay smooth;
// the SVG draws the same ornament's bands, zigzags, dots and stars as shapes,
// put on the sphere by the same mapping.
#include "icon.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "canvas.h"
#include "pictures.h"

namespace {

const float kPi = 3.14159265f;

// Where the parts sit, as shares of the icon's side.
const float kBallX = 0.5f, kBallY = 0.575f, kBallR = 0.385f;
const float kCapY = 0.165f, kCapHalfW = 0.08f, kCapHalfH = 0.045f;
const float kLoopY = 0.083f, kLoopR = 0.042f, kLoopHalfT = 0.012f;
// The ornament picture is kOrn x kOrn; it wraps once around the sphere and
// runs from the top pole to the bottom one, so the front shows half its width.
const int kOrn = 256;

// The sphere point under a front-facing normal, as ornament coordinates.
void ornamentAt(float nx, float ny, float nz, float& u, float& v) {
    const float polar = std::acos(std::clamp(-ny, -1.f, 1.f));
    const float lon = std::atan2(nx, nz);
    u = kOrn / 2.f + lon / (2 * kPi) * kOrn;
    v = polar / kPi * kOrn;
}

// The screen point (shares of the ball's radius from its centre) of an
// ornament coordinate; false on the far side.
bool screenAt(float u, float v, float& x, float& y) {
    const float lon = (u - kOrn / 2.f) / kOrn * 2 * kPi, polar = v / kOrn * kPi;
    if (std::fabs(lon) > kPi / 2) return false;
    x = std::sin(polar) * std::sin(lon);
    y = -std::cos(polar);
    return true;
}

// Bilinear read, wrapping across and clamped top to bottom.
Rgb sample(const Canvas& c, float x, float y) {
    x -= 0.5f, y = std::clamp(y - 0.5f, 0.f, float(c.h - 1));
    const int x0 = int(std::floor(x)), y0 = int(y);
    const float fx = x - x0, fy = y - y0;
    auto at = [&](int px, int py) { return c.at(((px % c.w) + c.w) % c.w, std::min(py, c.h - 1)); };
    return mix(mix(at(x0, y0), at(x0 + 1, y0), fx), mix(at(x0, y0 + 1), at(x0 + 1, y0 + 1), fx), fy);
}

// Polished gold lit from above: bright top, dark waist, warm rim below.
Rgb gold(float t) {
    t = std::clamp(t, 0.f, 1.f);
    const float k = t < 0.5f ? 1 - 1.4f * t : 0.3f + 0.7f * std::pow((t - 0.5f) * 2, 1.5f);
    return mix({0.55f, 0.32f, 0.05f}, {1, 0.9f, 0.55f}, k);
}

// A constant colour.
std::function<Rgb(float, float)> solid(Rgb c) {
    return [c](float, float) { return c; };
}

// The icon at side n.
CutOut drawIcon(int n, const Canvas& ornament, const Canvas& reflection) {
    CutOut c(n, n);
    const float s = float(n);
    const float lx = -0.45f, ly = -0.6f, lz = 0.66f;
    // The loop behind the cap.
    const float loopX = kBallX * s, loopY = kLoopY * s, loopR = kLoopR * s, loopT = kLoopHalfT * s;
    fillShape(
        c, [=](float x, float y) { return std::fabs(std::hypot(x - loopX, y - loopY) - loopR) - loopT; },
        [=](float, float y) { return gold((y - loopY + loopR) / (2 * loopR)); }, 1, around(loopX, loopY, loopR + loopT));
    // The glass: the ornament as its colour, lit from the upper left, with the
    // room's reflection laid over it as the show lays it.
    const float cx = kBallX * s, cy = kBallY * s, r = kBallR * s;
    fillShape(
        c, sdCircle(cx, cy, r),
        [&](float x, float y) {
            float nx = (x - cx) / r, ny = (y - cy) / r;
            const float len = std::hypot(nx, ny);
            if (len > 1) nx /= len, ny /= len;
            const float nz = std::sqrt(std::max(0.f, 1 - nx * nx - ny * ny));
            float u, v;
            ornamentAt(nx, ny, nz, u, v);
            const Rgb albedo = sample(ornament, u, v);
            const float diffuse = std::max(0.f, nx * lx + ny * ly + nz * lz);
            const float rim = std::pow(1 - nz, 3.f) * 0.35f;
            const Rgb mirror = sample(reflection, (nx * 0.5f + 0.5f) * reflection.w, (ny * 0.5f + 0.5f) * reflection.h);
            return albedo * (0.22f + 0.95f * diffuse + rim) + mirror * 0.7f;
        },
        1, around(cx, cy, r));
    // The cap over the top of the glass.
    const float capY = kCapY * s, capW = kCapHalfW * s, capH = kCapHalfH * s;
    fillShape(c, sdRoundBox(cx, capY, capW, capH, 0.012f * s),
              [=](float, float y) { return gold((y - capY + capH) / (2 * capH)); }, 1, around(cx, capY, capW));
    for (int k = -2; k <= 2; ++k) {  // its ribs
        const float x = cx + k * capW * 0.4f;
        fillShape(c, sdCapsule(x, capY - capH * 0.6f, x, capY + capH * 0.6f, 0.006f * s),
                  solid({0.45f, 0.25f, 0.03f}), 0.6f, around(x, capY, capH));
    }
    return c;
}

// Shrinks a cut-out by an integer factor, averaging colour by coverage.
CutOut shrinkCutOut(const CutOut& big, int f) {
    CutOut out(big.colour.w / f, big.colour.h / f);
    for (int y = 0; y < out.colour.h; ++y)
        for (int x = 0; x < out.colour.w; ++x) {
            Rgb sum;
            float a = 0;
            for (int dy = 0; dy < f; ++dy)
                for (int dx = 0; dx < f; ++dx) {
                    const float w = big.alpha.at(x * f + dx, y * f + dy);
                    sum = sum + big.colour.at(x * f + dx, y * f + dy) * w;
                    a += w;
                }
            out.alpha.at(x, y) = a / float(f * f);
            out.colour.at(x, y) = a > 0 ? sum * (1.f / a) : Rgb{};
        }
    return out;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

void pngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    put32(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, uint32_t(crc32(crc32(0, Z_NULL, 0), out.data() + start, uInt(out.size() - start))));
}

// An 8-bit RGBA PNG of a cut-out (the show's own writer has no transparency).
std::vector<uint8_t> encodeRgbaPng(const CutOut& c) {
    const int w = c.colour.w, h = c.colour.h;
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}, header;
    put32(header, uint32_t(w));
    put32(header, uint32_t(h));
    header.insert(header.end(), {8, 6, 0, 0, 0});
    pngChunk(out, "IHDR", header);
    auto byte = [](float v) { return uint8_t(std::lround(std::clamp(v, 0.f, 1.f) * 255)); };
    std::vector<uint8_t> raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);
        for (int x = 0; x < w; ++x) {
            const Rgb& p = c.colour.at(x, y);
            raw.insert(raw.end(), {byte(p.r), byte(p.g), byte(p.b), byte(c.alpha.at(x, y))});
        }
    }
    uLongf size = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(size);
    if (compress2(packed.data(), &size, raw.data(), uLong(raw.size()), 9) != Z_OK)
        throw std::runtime_error("cannot compress the icon");
    packed.resize(size);
    pngChunk(out, "IDAT", packed);
    pngChunk(out, "IEND", {});
    return out;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream f(path, std::ios::binary);
    f << bytes;
    if (!f.flush()) throw std::runtime_error("cannot write " + path);
}

std::string num(float v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.2f", v);
    return b;
}

std::string hex(Rgb c) {
    char b[8];
    auto byte = [](float v) { return int(std::lround(std::clamp(v, 0.f, 1.f) * 255)); };
    std::snprintf(b, sizeof b, "#%02x%02x%02x", byte(c.r), byte(c.g), byte(c.b));
    return b;
}

// The same bauble as vector shapes on a 256-unit square. The ornament's
// bands, zigzags, dots and stars are placed in its own coordinates (those of
// the ornament picture) and put on the sphere point by point.
std::string iconSvg() {
    const float s = 256, cx = kBallX * s, cy = kBallY * s, r = kBallR * s;
    const float texel = r * kPi / kOrn;  // screen units per ornament pixel, at the equator
    auto onBall = [&](float u, float v, std::string& out) {
        float x, y;
        if (!screenAt(u, v, x, y)) return false;
        out = num(cx + x * r) + "," + num(cy + y * r);
        return true;
    };
    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n";
    svg += "<title>baubles</title>\n<defs>\n";
    svg += "<radialGradient id=\"glass\" cx=\"0.4\" cy=\"0.35\" r=\"0.7\">"
           "<stop offset=\"0\" stop-color=\"#b0182a\"/><stop offset=\"0.55\" stop-color=\"#7a0a18\"/>"
           "<stop offset=\"1\" stop-color=\"#32020a\"/></radialGradient>\n";
    svg += "<linearGradient id=\"gold\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">";
    for (float t : {0.f, 0.25f, 0.5f, 0.75f, 1.f})
        svg += "<stop offset=\"" + num(t) + "\" stop-color=\"" + hex(gold(t)) + "\"/>";
    svg += "</linearGradient>\n";
    svg += "<radialGradient id=\"shade\" cx=\"0.5\" cy=\"0.5\" r=\"0.5\" fx=\"0.33\" fy=\"0.28\">"
           "<stop offset=\"0\" stop-color=\"#ffffff\" stop-opacity=\"0.22\"/>"
           "<stop offset=\"0.5\" stop-color=\"#000000\" stop-opacity=\"0\"/>"
           "<stop offset=\"1\" stop-color=\"#000000\" stop-opacity=\"0.55\"/></radialGradient>\n";
    svg += "<radialGradient id=\"glint\"><stop offset=\"0\" stop-color=\"#ffffff\" stop-opacity=\"0.95\"/>"
           "<stop offset=\"1\" stop-color=\"#ffffff\" stop-opacity=\"0\"/></radialGradient>\n";
    svg += "<clipPath id=\"ball\"><circle cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" r=\"" + num(r) +
           "\"/></clipPath>\n</defs>\n";
    // The loop, then the glass.
    svg += "<circle cx=\"" + num(cx) + "\" cy=\"" + num(kLoopY * s) + "\" r=\"" + num(kLoopR * s) +
           "\" fill=\"none\" stroke=\"url(#gold)\" stroke-width=\"" + num(2 * kLoopHalfT * s) + "\"/>\n";
    svg += "<circle cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" r=\"" + num(r) + "\" fill=\"url(#glass)\"/>\n";
    svg += "<g clip-path=\"url(#ball)\">\n";
    // Bands: seen from the equator, each line of latitude is a level line.
    for (auto [v, half] : {std::pair{28.f, 7.f}, {228.f, 7.f}, {128.f, 4.f}}) {
        const float y0 = cy - std::cos((v - half) / kOrn * kPi) * r, y1 = cy - std::cos((v + half) / kOrn * kPi) * r;
        svg += "<rect x=\"0\" y=\"" + num(y0) + "\" width=\"256\" height=\"" + num(y1 - y0) +
               "\" fill=\"url(#gold)\"/>\n";
    }
    const std::string line = hex({0.95f, 0.8f, 0.4f});
    for (float yc : {78.f, 178.f}) {
        // The zigzag, one stroke, in short steps so it follows the curve.
        std::string d;
        for (int step = 0; step <= kOrn; ++step) {
            const float u = float(step), phase = std::fmod(u, 16.f) / 8;
            const float v = yc + 12 * (phase < 1 ? 2 * phase - 1 : 3 - 2 * phase);
            std::string p;
            if (onBall(u, v, p)) d += (d.empty() ? "M" : " L") + p;
        }
        svg += "<path d=\"" + d + "\" fill=\"none\" stroke=\"" + line + "\" stroke-width=\"" + num(4.4f * texel) +
               "\" stroke-linejoin=\"round\" stroke-linecap=\"round\"/>\n";
        // Dots beyond the zigzag, away from the middle band.
        for (int k = 0; k < 16; ++k) {
            const float u = k * 16.f + 8, v = yc + (yc > 128 ? 26.f : -26.f);
            float x, y;
            if (!screenAt(u, v, x, y)) continue;
            const float squeeze = std::cos((u - kOrn / 2.f) / kOrn * 2 * kPi);
            svg += "<ellipse cx=\"" + num(cx + x * r) + "\" cy=\"" + num(cy + y * r) + "\" rx=\"" +
                   num(2.6f * texel * squeeze) + "\" ry=\"" + num(2.6f * texel) + "\" fill=\"#fff5e6\"/>\n";
        }
    }
    // Stars between the zigzags, each point put on the sphere.
    for (int k = 0; k < 8; ++k)
        for (float v : {106.f, 150.f}) {
            const float u = 16 + k * 32.f + (v > 128 ? 16 : 0);
            std::string pts;
            bool seen = true;
            for (int i = 0; i < 10 && seen; ++i) {
                const float a = -kPi / 2 + i * kPi / 5, rad = (i % 2) ? 3.8f : 9.f;
                std::string p;
                seen = onBall(u + rad * std::cos(a), v + rad * std::sin(a), p);
                pts += (pts.empty() ? "" : " ") + p;
            }
            if (seen) svg += "<polygon points=\"" + pts + "\" fill=\"#ffebb3\"/>\n";
        }
    svg += "</g>\n";
    // Light and shadow over the glass, a window's glint, the cap on top.
    svg += "<circle cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" r=\"" + num(r) + "\" fill=\"url(#shade)\"/>\n";
    svg += "<ellipse cx=\"" + num(cx - 0.36f * r) + "\" cy=\"" + num(cy - 0.4f * r) + "\" rx=\"" + num(0.2f * r) +
           "\" ry=\"" + num(0.13f * r) + "\" transform=\"rotate(-35 " + num(cx - 0.36f * r) + " " +
           num(cy - 0.4f * r) + ")\" fill=\"url(#glint)\"/>\n";
    svg += "<rect x=\"" + num(cx - kCapHalfW * s) + "\" y=\"" + num((kCapY - kCapHalfH) * s) + "\" width=\"" +
           num(2 * kCapHalfW * s) + "\" height=\"" + num(2 * kCapHalfH * s) + "\" rx=\"" + num(0.012f * s) +
           "\" fill=\"url(#gold)\"/>\n";
    svg += "</svg>\n";
    return svg;
}

}  // namespace

void writeIcons(const std::string& dir) {
    const Canvas ornament = baubleOrnamentPicture(), reflection = baubleReflectionPicture();
    const int over = 4;
    for (int n : {48, 128, 256}) {
        const CutOut icon = shrinkCutOut(drawIcon(n * over, ornament, reflection), over);
        const std::vector<uint8_t> png = encodeRgbaPng(icon);
        const std::string size = std::to_string(n) + "x" + std::to_string(n);
        writeFile(dir + "/hicolor/" + size + "/apps/baubles.png", std::string(png.begin(), png.end()));
    }
    writeFile(dir + "/hicolor/scalable/apps/baubles.svg", iconSvg());
}
