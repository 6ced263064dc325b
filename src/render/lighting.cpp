// lighting.cpp - diffuse and highlight terms of the software lighting. Sums
// stay in locals and each vertex is written once, so relighting thousands of
// vertices against dozens of lights per frame costs no allocation.
#include "render/lighting.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
namespace {

// lightVertex for four vertices at once, one per lane: every lane does the
// very operations of lightVertex in its order, each rounded to float as
// there. The root is taken in float: the float root of a float is the
// double root rounded to float. Lights behind a lane add +0 to its sums.
void lightFour(Vertex* v, const Light* lights, int32_t count) {
    const __m128 px = _mm_setr_ps(v[0].pos[0], v[1].pos[0], v[2].pos[0], v[3].pos[0]);
    const __m128 py = _mm_setr_ps(v[0].pos[1], v[1].pos[1], v[2].pos[1], v[3].pos[1]);
    const __m128 pz = _mm_setr_ps(v[0].pos[2], v[1].pos[2], v[2].pos[2], v[3].pos[2]);
    const __m128 nx = _mm_setr_ps(v[0].normal[0], v[1].normal[0], v[2].normal[0], v[3].normal[0]);
    const __m128 ny = _mm_setr_ps(v[0].normal[1], v[1].normal[1], v[2].normal[1], v[3].normal[1]);
    const __m128 nz = _mm_setr_ps(v[0].normal[2], v[1].normal[2], v[2].normal[2], v[3].normal[2]);
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
    __m128 r = zero, g = zero, b = zero;
    for (int32_t i = 0; i < count; ++i) {
        const Light& l = lights[i];
        const __m128 lx = _mm_sub_ps(_mm_set1_ps(l.position.x), px);
        const __m128 ly = _mm_sub_ps(_mm_set1_ps(l.position.y), py);
        const __m128 lz = _mm_sub_ps(_mm_set1_ps(l.position.z), pz);
        const __m128 dot = _mm_add_ps(_mm_add_ps(_mm_mul_ps(lx, nx), _mm_mul_ps(ly, ny)), _mm_mul_ps(lz, nz));
        if (_mm_movemask_ps(_mm_cmpgt_ps(dot, zero)) == 0) continue;
        const __m128 dd = _mm_add_ps(_mm_add_ps(_mm_mul_ps(lx, lx), _mm_mul_ps(ly, ly)), _mm_mul_ps(lz, lz));
        const __m128 d = _mm_sqrt_ps(dd);
        const __m128 cs = _mm_div_ps(dot, d);
        const __m128 lit = _mm_cmpgt_ps(cs, zero);
        const __m128 sum = _mm_add_ps(_mm_add_ps(_mm_set1_ps(l.kc), _mm_mul_ps(_mm_set1_ps(l.kl), d)),
                                      _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(l.kq), d), d));
        __m128 a = _mm_div_ps(one, sum);
        const __m128 capped = _mm_cmpge_ps(a, one);
        a = _mm_or_ps(_mm_and_ps(capped, one), _mm_andnot_ps(capped, a));
        r = _mm_add_ps(r, _mm_and_ps(lit, _mm_mul_ps(_mm_mul_ps(cs, _mm_set1_ps(l.colour.x)), a)));
        g = _mm_add_ps(g, _mm_and_ps(lit, _mm_mul_ps(_mm_mul_ps(cs, _mm_set1_ps(l.colour.y)), a)));
        b = _mm_add_ps(b, _mm_and_ps(lit, _mm_mul_ps(_mm_mul_ps(cs, _mm_set1_ps(l.colour.z)), a)));
    }
    float rs[4], gs[4], bs[4];
    _mm_storeu_ps(rs, r);
    _mm_storeu_ps(gs, g);
    _mm_storeu_ps(bs, b);
    for (int k = 0; k < 4; ++k) {
        v[k].colour[0] = capAtOne(rs[k]);
        v[k].colour[1] = capAtOne(gs[k]);
        v[k].colour[2] = capAtOne(bs[k]);
    }
}

}  // namespace
#endif

void lightVertices(Vertex* vertices, int32_t n, const Light* lights, int32_t count) {
    int32_t v = 0;
#if defined(__SSE2__)
    for (; v + 4 <= n; v += 4) lightFour(vertices + v, lights, count);
#endif
    for (; v < n; ++v) lightVertex(vertices[v], lights, count);
}
