// cloth_test_util.h - shared set-up for the cloth, tile and glow tests: one
// offscreen frame for the whole program, plain GL state, hand-made particle
// lists and solid-colour glyph pairs.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "image/texture.h"
#include "physics/builders/builders.h"
#include "physics/model.h"
#include "support/bmp_file.h"
#include "support/offscreen_gl.h"

constexpr int kFrameW = 160, kFrameH = 120;

// Opens the shared frame, makes it current and resets the state the drawing touches.
inline bool freshFrame(float grey) {
    if (!openOffscreenGl(kFrameW, kFrameH)) return false;
    host.makeMainCurrent();
    glViewport(0, 0, kFrameW, kFrameH);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glColor3f(1, 1, 1);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kFrameW, 0, kFrameH, -1, 1);  // one unit per pixel
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(grey, grey, grey, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return true;
}

struct Rgb {
    int r, g, b;
};
// The pixel at (x, y) of the shared frame, y up.
inline Rgb pixelAt(int x, int y) {
    unsigned char px[4];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    return {px[0], px[1], px[2]};
}

inline std::string tempPath(const std::string& name) { return std::string(::testing::TempDir()) + name; }

// A pair that draws as an opaque square of one colour.
inline TexturePair solidPair(uint8_t r, uint8_t g, uint8_t b) {
    TexturePair p;
    glGenTextures(2, &p.colour);
    const std::string colour = tempPath("solid_colour.bmp"), mask = tempPath("solid_mask.bmp");
    writeTestBmp(colour, 4, 4, solid(4, 4, r, g, b));
    writeTestBmp(mask, 4, 4, solid(4, 4, 0, 0, 0));
    prepareTexture(p.colour);
    EXPECT_EQ(loadTexture(colour.c_str()), 0);
    prepareTexture(p.mask);
    EXPECT_EQ(loadTexture(mask.c_str()), 0);
    return p;
}

// A letter-cloth-shaped list: head, marker, then six particles per tile
// with corners upper-left, upper-right, lower-right, lower-left of the
// given squares (x0, y0 lower-left, side s), z = 0.
struct TileSquare {
    float x0, y0, s;
};
inline Particle* tileList(const std::vector<TileSquare>& tiles) {
    SoftBody body = makeHeads(false);
    addParticle(body.particles, 0.25f, PF_DYNAMIC, Vec3(10, 0, 10), Vec3(), 0.0);
    for (const TileSquare& t : tiles) {
        addParticle(body.particles, 1, PF_FIXED, Vec3(t.x0, t.y0 + t.s, 0), Vec3(), 0.0);
        addParticle(body.particles, 1, PF_FIXED, Vec3(t.x0 + t.s, t.y0 + t.s, 0), Vec3(), 0.0);
        addParticle(body.particles, 1, PF_DYNAMIC, Vec3(t.x0 + t.s, t.y0, 0), Vec3(), 0.0);
        addParticle(body.particles, 1, PF_DYNAMIC, Vec3(t.x0, t.y0, 0), Vec3(), 0.0);
        addParticle(body.particles, 1, PF_FIXED, Vec3(-500, 0, 0), Vec3(), 0.0);
        addParticle(body.particles, 1, PF_FIXED, Vec3(-500, 0, 0), Vec3(), 0.0);
    }
    return body.particles;
}

// Moves tile k's four corners of a letter cloth onto a square.
inline void placeTile(Particle* head, int k, const TileSquare& t) {
    Particle* p = nthParticle(head, 2 + 6 * k);
    const Vec3 corners[4] = {Vec3(t.x0, t.y0 + t.s, 0), Vec3(t.x0 + t.s, t.y0 + t.s, 0), Vec3(t.x0 + t.s, t.y0, 0),
                             Vec3(t.x0, t.y0, 0)};
    for (int i = 0; i < 4; ++i, p = p->next) p->position = corners[i];
}
