// lines.cpp - lines of the picture's width, as lines or as thin quads.
#include "render/lines.h"

#include <epoxy/gl.h>

#include <cmath>

#include "render/capabilities.h"
#include "show/gl_state.h"
#include "show/host.h"

namespace {

// p transformed by the column-major matrix m, as GL does.
void transform(const double m[16], const float p[3], double out[4]) {
    for (int r = 0; r < 4; ++r) out[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
}

// One segment as a quad width pixels across, in clip coordinates.
void segmentQuad(const double pm[16], const LinePoint& a, const LinePoint& b, float width, int w, int h) {
    double ca[4], cb[4];
    transform(pm, a.pos, ca);
    transform(pm, b.pos, cb);
    if (ca[3] <= 0 || cb[3] <= 0) return;  // behind the eye: GL would clip it away
    // The segment's direction on screen, in pixels, and the side step.
    const double dx = (cb[0] / cb[3] - ca[0] / ca[3]) * w / 2, dy = (cb[1] / cb[3] - ca[1] / ca[3]) * h / 2;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len == 0) return;
    const double sx = -dy / len * width / 2 * 2 / w, sy = dx / len * width / 2 * 2 / h;  // in normalised units
    const LinePoint* ends[2] = {&a, &b};
    const double* clips[2] = {ca, cb};
    for (int side : {1, -1})
        for (int e = side > 0 ? 0 : 1, k = 0; k < 2; ++k, e = 1 - e) {
            const double* c = clips[e];
            glColor3fv(ends[e]->colour);
            glVertex4d(c[0] + side * sx * c[3], c[1] + side * sy * c[3], c[2], c[3]);
        }
}

}  // namespace

void drawLines(const LinePoint* points, int count, bool strip) {
    int w = 0, h = 0;
    host.screenSize(&w, &h);
    const float width = lineWidthFor(h);
    if (width <= glCapabilities.maxLineWidth || w <= 0 || h <= 0) {
        glBegin(strip ? GL_LINE_STRIP : GL_LINES);
        for (int i = 0; i < count; ++i) {
            glColor3fv(points[i].colour);
            glVertex3fv(points[i].pos);
        }
        glEnd();
        return;
    }
    double pm[16];
    glState::clipMatrix(pm);
    const GLenum mode = glState::now("wide lines").matrixMode;
    glState::matrixMode(GL_PROJECTION);
    glState::pushMatrix();
    glState::loadIdentity();
    glState::matrixMode(GL_MODELVIEW);
    glState::pushMatrix();
    glState::loadIdentity();
    glBegin(GL_QUADS);
    for (int i = 0; i + 1 < count; i += strip ? 1 : 2) segmentQuad(pm, points[i], points[i + 1], width, w, h);
    glEnd();
    glState::popMatrix();
    glState::matrixMode(GL_PROJECTION);
    glState::popMatrix();
    glState::matrixMode(mode);
}
