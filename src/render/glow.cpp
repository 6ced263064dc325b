// glow.cpp - the lamp's light cone as blended cross-sections.
#include "render/glow.h"

#include <epoxy/gl.h>

#include "show/gl_state.h"

GlowState glow;

namespace {

// 2D cross product of (b - a) and (c - a) in the x-y plane.
float turn(const SlicePoint& a, const SlicePoint& b, const SlicePoint& c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

}  // namespace

void setFigureSize(GlowFigure& f, int32_t points, int32_t edges) {
    points = points < 0 ? 0 : points > kMaxFigurePoints ? kMaxFigurePoints : points;
    edges = edges < 0 ? 0 : edges > kMaxFigureEdges ? kMaxFigureEdges : edges;
    for (int32_t i = 0; i < points; ++i) {
        f.weights[i] = 0.0f;
        f.transformed[i] = Vertex();
        f.source[i] = Vertex();
    }
    for (int32_t e = 0; e < edges; ++e) f.edges[e][0] = f.edges[e][1] = 0;
    f.pointCount = points;
    f.edgeCount = edges;
}

void transformFigure(GlowFigure& f, const float m[16]) {
    for (int32_t i = 0; i < f.pointCount; ++i) {
        // The record's first four floats: the position and the normal's x.
        const Vertex& s = f.source[i];
        const float in[4] = {s.pos[0], s.pos[1], s.pos[2], s.normal[0]};
        float out[4];
        for (int r = 0; r < 4; ++r) out[r] = m[r] * in[0] + m[4 + r] * in[1] + m[8 + r] * in[2] + m[12 + r] * in[3];
        Vertex& t = f.transformed[i];
        t.pos[0] = out[0];
        t.pos[1] = out[1];
        t.pos[2] = out[2];
        t.normal[0] = out[3];
        if (i == 0 || out[2] < f.minZ) f.minZ = out[2];
        if (i == 0 || out[2] > f.maxZ) f.maxZ = out[2];
    }
}

int cutFigure(const GlowFigure& f, float z, SlicePoint* out, int maxOut) {
    int count = 0;
    for (int32_t e = 0; e < f.edgeCount && count < maxOut; ++e) {
        const int32_t i0 = f.edges[e][0], i1 = f.edges[e][1];
        if (i0 < 0 || i1 < 0 || i0 >= f.pointCount || i1 >= f.pointCount) continue;
        const Vertex& a = f.transformed[i0];
        const Vertex& b = f.transformed[i1];
        const float z0 = a.pos[2], z1 = b.pos[2];
        if ((z0 < z) == (z1 < z)) continue;  // both ends on one side
        const float t = (z0 - z) / (z0 - z1);
        // The interpolation negated: it undoes the negated x and y the lamp stores.
        SlicePoint& p = out[count++];
        p.x = (a.pos[0] - b.pos[0]) * t - a.pos[0];
        p.y = (a.pos[1] - b.pos[1]) * t - a.pos[1];
        p.z = z;
        p.w = (f.weights[i0] - f.weights[i1]) * t - f.weights[i0];
    }
    return count;
}

void sortSlice(SlicePoint* points, int count) {
    bool changed = true;
    while (changed) {
        changed = false;
        for (int i = 0; i + 1 < count; ++i) {
            SlicePoint& a = points[i];
            SlicePoint& b = points[i + 1];
            if (a.y > b.y) {
                const SlicePoint keep = a;
                a = b;
                b = keep;
                changed = true;
            } else if (a.y == b.y) {
                // Equal heights would leave the chains undecided: lift the
                // first a little. Far from the origin 0.01 can vanish in
                // rounding; then the tie stays rather than loop for ever.
                const float lifted = a.y + 0.01f;
                if (lifted != a.y) {
                    a.y = lifted;
                    changed = true;
                }
            }
        }
    }
}

int triangulateSlice(const SlicePoint* p, int count, int32_t (*tris)[3]) {
    if (count < 3) return 0;
    // The lowest and the highest point split the section into a left and a
    // right chain; each new point (in y order) closes one triangle with the
    // highest points reached so far on the two chains.
    const SlicePoint& bottom = p[0];
    const SlicePoint& top = p[count - 1];
    auto onLeft = [&](int k) { return turn(bottom, top, p[k]) > 0.0f; };
    int leftTop = 0, rightTop = 0;
    if (onLeft(1))
        leftTop = 1;
    else
        rightTop = 1;
    int n = 0;
    for (int k = 2; k < count; ++k) {
        const int lo = leftTop < rightTop ? leftTop : rightTop;
        const int hi = leftTop < rightTop ? rightTop : leftTop;
        tris[n][0] = lo;
        tris[n][1] = hi;
        tris[n][2] = k;
        ++n;
        if (onLeft(k))
            leftTop = k;
        else
            rightTop = k;
    }
    return n;
}

void drawGlow() {
    GlowFigure* figures[1] = {&glow.figure};
    glState::enable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glState::disable(GL_CULL_FACE);
    glow.trianglesSent = 0;

    float lowest = 1000.0f, highest = -1000.0f;
    for (GlowFigure* f : figures) {
        if (f->pointCount <= 0) continue;
        transformFigure(*f, glow.glowMatrix);
        if (f->minZ < lowest) lowest = f->minZ;
        if (f->maxZ > highest) highest = f->maxZ;
    }

    int32_t tris[kMaxSlicePoints][3];
    for (float z = lowest; !(z > highest); z += 0.2f) {
        for (GlowFigure* f : figures) {
            if (f->pointCount <= 0) continue;
            const int count = cutFigure(*f, z, glow.slice, kMaxSlicePoints);
            sortSlice(glow.slice, count);
            const int n = triangulateSlice(glow.slice, count, tris);
            if (n == 0) continue;
            glBegin(GL_TRIANGLES);
            for (int t = 0; t < n; ++t)
                for (int c = 0; c < 3; ++c) {
                    const int k = tris[t][c];
                    // Alpha is the weight at the slice point's own index.
                    const float alpha = k < f->pointCount ? f->weights[k] : 0.0f;
                    glColor4f(0.7f, 0.7f, 0.7f, alpha);
                    glVertex3f(glow.slice[k].x, glow.slice[k].y, glow.slice[k].z);
                }
            glEnd();
            glow.trianglesSent += n;
        }
    }

    glState::disable(GL_BLEND);
    glState::enable(GL_CULL_FACE);
}
