// lighting.cpp - diffuse and highlight terms of the software lighting. Sums
// stay in locals and each vertex is written once, so relighting thousands of
// vertices against dozens of lights per frame costs no allocation.
#include "render/lighting.h"

#include <cmath>

namespace {

// Attenuation of a light at distance d; a light never brightens past its colour.
inline float attenuation(const Light& l, float d) {
    const float a = 1.0f / (l.kc + l.kl * d + l.kq * d * d);
    return a >= 1.0f ? 1.0f : a;
}

inline float capAtOne(float x) { return x > 1.0f ? 1.0f : x; }

}  // namespace

// Diffuse cosine law over every light, sums capped at 1 from above only.
void lightVertex(Vertex& v, const Light* lights, int32_t count) {
    const float px = v.pos[0], py = v.pos[1], pz = v.pos[2];
    const float nx = v.normal[0], ny = v.normal[1], nz = v.normal[2];
    float r = 0.0f, g = 0.0f, b = 0.0f;
    for (int32_t i = 0; i < count; ++i) {
        const Light& l = lights[i];
        const float lx = l.position.x - px;
        const float ly = l.position.y - py;
        const float lz = l.position.z - pz;
        // A light behind the surface gives a cosine of at most 0 whatever
        // the distance: no root, no division for it.
        const float dot = lx * nx + ly * ny + lz * nz;
        if (!(dot > 0.0f)) continue;
        const float d = static_cast<float>(std::sqrt(static_cast<double>(lx * lx + ly * ly + lz * lz)));
        const float cs = dot / d;
        if (cs > 0.0f) {
            const float a = attenuation(l, d);
            r += cs * l.colour.x * a;
            g += cs * l.colour.y * a;
            b += cs * l.colour.z * a;
        }
    }
    v.colour[0] = capAtOne(r);
    v.colour[1] = capAtOne(g);
    v.colour[2] = capAtOne(b);
}

// Highlight term s^16 per light, summed and capped at 1, added onto the colour.
void addSpecular(Vertex& v, const Light* lights, int32_t count, Vertex camera) {
    const float px = v.pos[0], py = v.pos[1], pz = v.pos[2];
    const float nx = v.normal[0], ny = v.normal[1], nz = v.normal[2];
    // The camera record holds the view's translation; the viewer stands at its negative.
    const float vx = -camera.pos[0] - px;
    const float vy = -camera.pos[1] - py;
    const float vz = -camera.pos[2] - pz;
    const float vv = vx * vx + vy * vy + vz * vz;
    float r = 0.0f, g = 0.0f, b = 0.0f;
    for (int32_t i = 0; i < count; ++i) {
        const Light& l = lights[i];
        const float lx = l.position.x - px;
        const float ly = l.position.y - py;
        const float lz = l.position.z - pz;
        const float d = static_cast<float>(std::sqrt(static_cast<double>(lx * lx + ly * ly + lz * lz)));
        const float cs = (lx * nx + ly * ny + lz * nz) / d;
        const float a = attenuation(l, d);
        // Reflection of the unnormalised light vector about the normal scaled
        // by the already-divided cosine: the show's highlight sits where this
        // vector puts it, not where a textbook reflection would.
        const float rx = (cs * nx) * 2.0f - lx;
        const float ry = (cs * ny) * 2.0f - ly;
        const float rz = (cs * nz) * 2.0f - lz;
        const float rr = rx * rx + ry * ry + rz * rz;
        float s = static_cast<float>((rx * vx + ry * vy + rz * vz) /
                                     std::sqrt(static_cast<double>(rr) * static_cast<double>(vv)));
        // A zero reflection or view vector gives NaN, which fails the test.
        if (s > 0.0f) {
            s = s * s;
            s = s * s;
            s = s * s;
            s = s * s;
            r += s * l.colour.x * a;
            g += s * l.colour.y * a;
            b += s * l.colour.z * a;
        }
    }
    v.colour[0] += capAtOne(r);
    v.colour[1] += capAtOne(g);
    v.colour[2] += capAtOne(b);
}
