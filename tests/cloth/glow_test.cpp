// The lamp's light cone: cutting, the sort with its tie rule, the slice
// triangulation, a figure started afresh in its own room, and the drawn glow.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "cloth_test_util.h"
#include "render/glow.h"

namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// A cone as the lamp builds it: ring 0 (radius r0 at z0) and ring 1 (radius
// r1 at z1), eight points each, x and y stored negated, mouth weights 0.04.
void fillCone(GlowFigure& f, float cx, float cy, float r0, float z0, float r1, float z1) {
    setFigureSize(f, 16, 24);
    for (int i = 0; i < 16; ++i) {
        const float a = static_cast<float>(i % 8) * 0.7853982f + 0.1f;
        const float r = i < 8 ? r0 : r1;
        f.source[i].setPosition(Vec3(-(cx + r * std::cos(a)), -(cy + r * std::sin(a)), i < 8 ? z0 : z1));
        f.weights[i] = i < 8 ? 0.04f : 0.0f;
    }
    for (int i = 0; i < 8; ++i) {
        f.edges[i][0] = i;
        f.edges[i][1] = (i + 1) % 8;
        f.edges[8 + i][0] = 8 + i;
        f.edges[8 + i][1] = 8 + (i + 1) % 8;
        f.edges[16 + i][0] = i;
        f.edges[16 + i][1] = 8 + i;
    }
}

double area(const SlicePoint& a, const SlicePoint& b, const SlicePoint& c) {
    return 0.5 * std::fabs((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
}

}  // namespace

TEST(Glow, TheFirstCutSendsNothingAndTheCutUndoesTheStoredNegation) {
    GlowFigure f;
    fillCone(f, 0.3f, -0.2f, 0.1f, 0.0f, 0.3f, 1.0f);
    transformFigure(f, kIdentity);
    EXPECT_FLOAT_EQ(f.minZ, 0.0f);
    EXPECT_FLOAT_EQ(f.maxZ, 1.0f);
    SlicePoint pts[kMaxSlicePoints];
    EXPECT_EQ(cutFigure(f, f.minZ, pts, kMaxSlicePoints), 0);
    // Halfway up, the eight side edges cross at radius 0.2 around the true
    // (not negated) centre, each with the weight halfway between its ends.
    ASSERT_EQ(cutFigure(f, 0.5f, pts, kMaxSlicePoints), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(std::hypot(pts[i].x - 0.3f, pts[i].y + 0.2f), 0.2, 1e-5) << i;
        EXPECT_FLOAT_EQ(pts[i].z, 0.5f);
        EXPECT_NEAR(pts[i].w, -0.02f, 1e-6);  // the negated interpolation
    }
}

TEST(Glow, EqualHeightsEndOneHundredthApartAndTheSortIsAscending) {
    SlicePoint pts[5] = {{0, 0.5f, 0, 0}, {1, 0.2f, 0, 0}, {2, 0.5f, 0, 0}, {3, -0.1f, 0, 0}, {4, 0.2f, 0, 0}};
    sortSlice(pts, 5);
    for (int i = 0; i + 1 < 5; ++i) EXPECT_LT(pts[i].y, pts[i + 1].y) << i;
    EXPECT_FLOAT_EQ(pts[0].y, -0.1f);
    EXPECT_NEAR(pts[2].y - pts[1].y, 0.01, 1e-6);
    EXPECT_NEAR(pts[4].y - pts[3].y, 0.01, 1e-6);
    // Whole records move: x still names the point.
    EXPECT_EQ(pts[0].x, 3);
    // Heights where 0.01 is lost to rounding stay tied instead of spinning.
    SlicePoint far[2] = {{0, 1.0e7f, 0, 0}, {1, 1.0e7f, 0, 0}};
    sortSlice(far, 2);
    EXPECT_EQ(far[0].y, far[1].y);
}

TEST(Glow, ASliceOfNPointsGivesNMinusTwoTrianglesCoveringIt) {
    for (int n = 3; n <= kMaxSlicePoints; ++n) {
        // A convex polygon with uneven corners, turned a little each time.
        SlicePoint pts[kMaxSlicePoints];
        for (int i = 0; i < n; ++i) {
            const double a = 6.283185307 * (i + 0.3 * std::sin(i * 1.7)) / n + 0.37 * n;
            pts[i] = {static_cast<float>(std::cos(a) * 1.3), static_cast<float>(std::sin(a)), 0, 0};
        }
        double polygon = 0;
        for (int i = 0; i < n; ++i) {
            const SlicePoint& a = pts[i];
            const SlicePoint& b = pts[(i + 1) % n];
            polygon += 0.5 * (a.x * b.y - b.x * a.y);
        }
        sortSlice(pts, n);
        int32_t tris[kMaxSlicePoints][3];
        ASSERT_EQ(triangulateSlice(pts, n, tris), n - 2) << n;
        EXPECT_EQ(tris[0][0], 0);
        EXPECT_EQ(tris[0][1], 1);
        EXPECT_EQ(tris[0][2], 2);
        double sum = 0;
        for (int t = 0; t < n - 2; ++t) {
            const double a = area(pts[tris[t][0]], pts[tris[t][1]], pts[tris[t][2]]);
            EXPECT_GT(a, 1e-6) << n << " triangle " << t;
            sum += a;
        }
        // Triangles that fit inside and add up to the whole cover it once.
        EXPECT_NEAR(sum, std::fabs(polygon), 1e-4) << n;
    }
    SlicePoint two[2] = {};
    int32_t none[1][3];
    EXPECT_EQ(triangulateSlice(two, 2, none), 0);
}

TEST(Glow, AFigureIsStartedAfreshWithinItsRoom) {
    GlowFigure f;
    setFigureSize(f, 16, 24);
    f.weights[3] = 0.5f;
    f.source[3].pos[2] = 2;
    f.edges[5][1] = 9;
    // Each lamp drawing starts from a clear figure, as a fresh one would be.
    setFigureSize(f, 16, 24);
    EXPECT_EQ(f.weights[3], 0.0f);
    EXPECT_EQ(f.source[3].pos[2], 0.0f);
    EXPECT_EQ(f.edges[5][1], 0);
    // Counts past the room are held to it.
    setFigureSize(f, kMaxFigurePoints + 5, kMaxFigureEdges + 5);
    EXPECT_EQ(f.pointCount, kMaxFigurePoints);
    EXPECT_EQ(f.edgeCount, kMaxFigureEdges);
    setFigureSize(f, -1, -1);
    EXPECT_EQ(f.pointCount, 0);
    EXPECT_EQ(f.edgeCount, 0);
}

TEST(Glow, ACutNeverWritesPastTheSliceStore) {
    // Thirty-two side edges all crossing one plane: the cut stops at the store's end.
    GlowFigure f;
    setFigureSize(f, 64, 32);
    for (int i = 0; i < 32; ++i) {
        f.source[i].setPosition(Vec3(static_cast<float>(i), 0, 0));
        f.source[32 + i].setPosition(Vec3(static_cast<float>(i), 0, 1));
        f.edges[i][0] = i;
        f.edges[i][1] = 32 + i;
    }
    transformFigure(f, kIdentity);
    SlicePoint pts[kMaxSlicePoints + 1];
    pts[kMaxSlicePoints].x = -7;
    EXPECT_EQ(cutFigure(f, 0.5f, pts, kMaxSlicePoints), kMaxSlicePoints);
    EXPECT_EQ(pts[kMaxSlicePoints].x, -7);
}

TEST(Glow, ATallConeGlowsInsideItsOutlineAndAShortOneShowsNothing) {
    ASSERT_TRUE(freshFrame(0.0f));
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -1.5, 1.5, -5, 5);
    glMatrixMode(GL_MODELVIEW);

    // Height 1: cuts at 0, 0.2, ... 1.0; the first sends nothing, five slices of 8 points.
    fillCone(glow.figure, 0, 0, 1.0f, 0.0f, 0.4f, 1.0f);
    drawGlow();
    EXPECT_EQ(glow.trianglesSent, 5 * 6);
    const Rgb centre = pixelAt(kFrameW / 2, kFrameH / 2);
    EXPECT_GT(centre.r, 20);
    EXPECT_EQ(centre.r, centre.g);
    const Rgb outside = pixelAt(3, 3);
    EXPECT_EQ(outside.r + outside.g + outside.b, 0);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));

    // Height 0.15: one cut, at its lowest z, and nothing to show.
    ASSERT_TRUE(freshFrame(0.0f));
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -1.5, 1.5, -5, 5);
    glMatrixMode(GL_MODELVIEW);
    fillCone(glow.figure, 0, 0, 1.0f, 0.0f, 0.4f, 0.15f);
    drawGlow();
    EXPECT_EQ(glow.trianglesSent, 0);
    EXPECT_EQ(pixelAt(kFrameW / 2, kFrameH / 2).r, 0);
}
