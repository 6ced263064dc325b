// The valley as built at start-up: funnel shape, the jitter's draws against
// an independent count, trees, crowns, lights and normals. The builders
// create textures, so a GL context is open; the pictures are not needed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "landscape/landscape.h"
#include "math/random.h"
#include "support/offscreen_gl.h"

namespace {

// A second copy of the show's generator, stepped by the test's own rules.
struct Replica {
    uint32_t state = 1;
    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
};

// What the jitter should do to one vertex: the axis it moves (-1 for none)
// and by how much, drawing from the replica as the valley's rule says.
struct Move {
    int axis = -1;
    double amount = 0.0;
};
Move replicaJitter(Replica& r) {
    Move m;
    if (3 * r.next() / 32767 == 0) {
        m.axis = 1;
    } else if (3 * r.next() / 32767 == 1) {
        m.axis = 0;
    } else if (3 * r.next() / 32767 == 2) {
        m.axis = 2;
    }
    if (m.axis >= 0) m.amount = (2.0 * r.next() - 32767.0) / 16383.0;
    return m;
}

class LandscapeBuild : public ::testing::Test {
protected:
    void SetUp() override {
        // The size matches the drawing tests: the first opening fixes it.
        ASSERT_TRUE(openOffscreenGl(640, 480));
        host.makeMainCurrent();
        resetShowRand();
        resetLandscape();
    }
};

TEST(LandscapeShape, FunnelRimAndBottomBeforeTheJitter) {
    const Vertex rim = terrainVertex(0, 0);
    EXPECT_NEAR(rim.pos[0], 327.68f, 1e-3);
    EXPECT_FLOAT_EQ(rim.pos[1], 0.0f);
    EXPECT_NEAR(rim.pos[2], 0.0f, 1e-5);

    const Vertex bottom = terrainVertex(31, 16);
    EXPECT_NEAR(bottom.pos[0], 0.0f, 1e-6);
    EXPECT_FLOAT_EQ(bottom.pos[1], -124.0f);
    EXPECT_NEAR(bottom.pos[2], 0.01f, 1e-6);

    // No seam vertex: the last column stops short of a full turn.
    const Vertex last = terrainVertex(0, 63);
    EXPECT_NEAR(std::atan2(last.pos[2], last.pos[0]) * 180.0 / M_PI, -5.625, 1e-3);
    EXPECT_FLOAT_EQ(last.tex[0], 1.0f);
    EXPECT_FLOAT_EQ(terrainVertex(31, 0).tex[1], 1.0f);
}

TEST_F(LandscapeBuild, JitterDrawsMatchAnIndependentCount) {
    buildLandscape();
    Replica r;
    int moved = 0;
    for (int k = 0; k < kTerrainVertices; ++k) {
        const Move m = replicaJitter(r);
        const Vertex before = terrainVertex(k / 64, k % 64);
        const Vertex& after = landscape.terrain[k];
        int changed = 0;
        for (int a = 0; a < 3; ++a) {
            if (a == m.axis) {
                EXPECT_NEAR(after.pos[a] - before.pos[a], m.amount, 1e-4) << "vertex " << k;
            } else {
                EXPECT_EQ(after.pos[a], before.pos[a]) << "vertex " << k << " axis " << a;
            }
            if (after.pos[a] != before.pos[a]) ++changed;
        }
        EXPECT_LE(changed, 1) << "vertex " << k;
        moved += changed;
    }
    // Most vertices move (only a draw of 2 then 0 or 1 then 0 or 1 keeps one still).
    EXPECT_GT(moved, kTerrainVertices / 2);
    // Then four draws per tree; nothing else in the builder draws.
    for (int t = 0; t < kLandscapeTrees * 4; ++t) r.next();
    EXPECT_EQ(showRandom.state, r.state);

    buildSecondLandscape();
    for (int k = 0; k < kTerrainVertices; ++k) replicaJitter(r);
    EXPECT_EQ(showRandom.state, r.state);
}

TEST_F(LandscapeBuild, SecondFunnelShiftsByFourFifths) {
    buildLandscape();
    Replica r;
    r.state = showRandom.state;
    buildSecondLandscape();
    for (int k = 0; k < kTerrainVertices; ++k) {
        const Move m = replicaJitter(r);
        const int i = k / 64, j = k % 64;
        const double radius = 0.008 * std::pow(32.0 - i, 3.0);
        const double a = j * 5.625 * M_PI / 180.0;
        const double expected[3] = {radius * std::cos(a), -8.0 * i, radius * std::sin(a)};
        for (int c = 0; c < 3; ++c) {
            const double shift = c == m.axis ? m.amount * 0.8 : 0.0;
            EXPECT_NEAR(landscape.secondTerrain[k].pos[c], expected[c] + shift, 1e-3) << k << "/" << c;
        }
    }
    EXPECT_EQ(showRandom.state, r.state);
}

TEST(LandscapeTrees, UprightTreeOnTheFirstVertexItCanStandOn) {
    static Vertex terrain[kTerrainVertices];
    for (int k = 0; k < kTerrainVertices; ++k) terrain[k] = terrainVertex(k / 64, k % 64);
    LandscapeTree tree;
    placeTrunk(tree, terrain, 140, 0, 0);
    const Vec3 ground = tree.rest[0].position();
    const Vec3 top = tree.rest[4].position();
    EXPECT_EQ(ground.x, terrain[140].pos[0]);
    EXPECT_NEAR(top.y - ground.y, 5.419f, 1e-3);
    EXPECT_NEAR(top.x, ground.x, 1e-4);
    EXPECT_NEAR(top.z, ground.z, 1e-4);
    // The lift T raises the middle points only; the lean S moves the top.
    LandscapeTree lifted;
    placeTrunk(lifted, terrain, 140, 62, 310);
    EXPECT_NEAR(lifted.rest[2].pos[1] - tree.rest[2].pos[1], 2.0f, 1e-4);
    EXPECT_NEAR(lifted.rest[4].pos[1] - tree.rest[4].pos[1], 1.0f, 1e-4);
    EXPECT_NEAR(lifted.rest[4].pos[0] - tree.rest[4].pos[0], 0.2f, 1e-4);
}

TEST(LandscapeTrees, UprightTopSegmentGivesAFiniteCrown) {
    // With no lean at all the crown formula divides 0 by 0; the crown must
    // still be a set of real points.
    Vertex points[5];
    points[3].setPosition(Vec3(1, 10, 2));
    points[4].setPosition(Vec3(1, 14, 2));
    Vertex crown[6];
    crownFromPoints(crown, points);
    for (const Vertex& v : crown)
        for (float c : v.pos) EXPECT_TRUE(std::isfinite(c));
    EXPECT_FLOAT_EQ(crown[1].pos[1], 16.0f);
}

TEST_F(LandscapeBuild, TreesStandOnTheUpperSlopesWithTheirCurvesAndCrowns) {
    buildLandscape();
    float lowest = 1e9f, highest = -1e9f;
    for (int k = 0; k < kLandscapeTrees; ++k) {
        const LandscapeTree& tree = landscape.trees[k];
        // The ground point is a (jittered) terrain vertex on rings 2 to 12.
        int found = -1;
        for (int v = 0; v < kTerrainVertices && found < 0; ++v)
            if (landscape.terrain[v].position().x == tree.rest[0].pos[0] &&
                landscape.terrain[v].pos[1] == tree.rest[0].pos[1] &&
                landscape.terrain[v].pos[2] == tree.rest[0].pos[2])
                found = v;
        ASSERT_GE(found, 140) << "tree " << k;
        EXPECT_LE(found, 770) << "tree " << k;
        const float height = tree.rest[4].pos[1] - tree.rest[0].pos[1];
        lowest = std::fmin(lowest, height);
        highest = std::fmax(highest, height);

        for (int p = 0; p < 5; ++p)
            for (int c = 0; c < 3; ++c) EXPECT_EQ(tree.sway[p].pos[c], tree.rest[p].pos[c]);
        // The trunk curve runs through the five points, one segment apart.
        for (int p = 0; p < 5; ++p) {
            const Vertex on = evaluatePath(tree.trunk, p / 4.0f);
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(on.pos[c], tree.rest[p].pos[c], 1e-3);
        }
        // The crown sits on the top point and reaches up by half the top segment.
        for (int v = 0; v < 6; ++v)
            for (int c = 0; c < 3; ++c) EXPECT_EQ(tree.crown[v].pos[c], tree.restCrown[v].pos[c]);
        EXPECT_EQ(tree.crown[0].pos[1], tree.rest[4].pos[1]);
        EXPECT_NEAR(tree.crown[1].pos[1] - tree.rest[4].pos[1], (tree.rest[4].pos[1] - tree.rest[3].pos[1]) / 2,
                    1e-4);
        // Corners 2..5 lie the same distance from the crown's middle point.
        const Vec3 mid = (tree.crown[0].position() + tree.crown[1].position()) * 0.5f;
        const float r2 = length(tree.crown[2].position() - mid);
        for (int v = 3; v < 6; ++v) EXPECT_NEAR(length(tree.crown[v].position() - mid), r2, 1e-3 * (1 + r2));
        // Only the lower apex is lit; the rest stay white.
        for (int v = 1; v < 6; ++v)
            for (int c = 0; c < 3; ++c) EXPECT_EQ(tree.restCrown[v].colour[c], 1.0f);
        EXPECT_EQ(tree.restCrown[0].colour[0], 0.0f);  // the valley light has no red
    }
    EXPECT_GT(lowest, 0.0f);
    EXPECT_LT(highest, 40.0f);
    EXPECT_LT(lowest, 10.0f);
    EXPECT_GT(highest, 25.0f);
}

TEST_F(LandscapeBuild, LightsAndNormals) {
    buildLandscape();
    const Light& valley = landscape.landscapeLights[0];
    EXPECT_EQ(valley.position.y, -70.0f);
    EXPECT_EQ(valley.colour.y, 1.0f);
    EXPECT_FLOAT_EQ(valley.kc, 0.1f);
    for (int m = 0; m < 50; ++m) {
        const Light& l = landscape.landscapeLights[m + 1];
        const Vec3 top = landscape.trees[2 * m].rest[4].position();
        EXPECT_EQ(l.home.x, top.x);
        EXPECT_EQ(l.home.y, top.y);
        EXPECT_EQ(l.home.z, top.z);
        EXPECT_EQ(l.colour.x, 0.0f);
        EXPECT_FLOAT_EQ(l.colour.z, 0.54f);
        EXPECT_FLOAT_EQ(l.kq, 0.0015f);
    }

    for (int j = 0; j < kTerrainColumns; ++j)
        for (float c : landscape.terrain[j].normal) EXPECT_EQ(c, 0.0f);
    const Vertex& v = landscape.terrain[5 * 64];
    EXPECT_LT(v.normal[0], 0.0f);
    EXPECT_GT(v.normal[1], 0.0f);
    // Every normal below the rim has unit length; on the upper slopes, where
    // the rings lie far wider apart than the jitter, they point up and inwards.
    for (int k = 64; k < kTerrainVertices; ++k)
        EXPECT_NEAR(length(landscape.terrain[k].normalVec()), 1.0f, 1e-4) << k;
    for (int k = 64; k < 16 * 64; ++k) {
        const Vertex& t = landscape.terrain[k];
        EXPECT_GT(t.normal[1], 0.0f) << k;
        EXPECT_LT(t.normal[0] * t.pos[0] + t.normal[2] * t.pos[2], 0.0f) << k;
    }
}

}  // namespace
