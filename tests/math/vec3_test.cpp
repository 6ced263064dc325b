// Vector operations and the grid normal, including the degenerate cases.
#include <gtest/gtest.h>

#include <cmath>

#include "math/random.h"
#include "math/vec3.h"

TEST(Vec3, OperatorsCrossAndLength) {
    Vec3 a(1, 2, 3), b(-4, 5, 0.5f);
    Vec3 s = a + b, d = a - b, m = a * 2.0f;
    EXPECT_FLOAT_EQ(s.x, -3); EXPECT_FLOAT_EQ(s.y, 7); EXPECT_FLOAT_EQ(s.z, 3.5f);
    EXPECT_FLOAT_EQ(d.x, 5); EXPECT_FLOAT_EQ(d.y, -3); EXPECT_FLOAT_EQ(d.z, 2.5f);
    EXPECT_FLOAT_EQ(m.z, 6);
    EXPECT_FLOAT_EQ(dot(a, b), -4 + 10 + 1.5f);
    Vec3 z = cross(Vec3(1, 0, 0), Vec3(0, 1, 0));
    EXPECT_EQ(z.x, 0); EXPECT_EQ(z.y, 0); EXPECT_EQ(z.z, 1);
    // The cross product is perpendicular to both operands.
    Vec3 c = cross(a, b);
    EXPECT_NEAR(dot(c, a), 0, 1e-4);
    EXPECT_NEAR(dot(c, b), 0, 1e-4);
    EXPECT_FLOAT_EQ(length(Vec3(3, 0, 4)), 5);
}

TEST(Vec3, NormaliseInPlaceAndZeroVector) {
    Vec3 v(3, 0, 4);
    Vec3& r = normalise(v);
    EXPECT_EQ(&r, &v);
    EXPECT_FLOAT_EQ(v.x, 0.6f); EXPECT_FLOAT_EQ(v.y, 0); EXPECT_FLOAT_EQ(v.z, 0.8f);
    Vec3 zero;
    normalise(zero);
    EXPECT_EQ(zero.x, 0); EXPECT_EQ(zero.y, 0); EXPECT_EQ(zero.z, 0);
    EXPECT_FALSE(std::isnan(zero.x));
}

TEST(Vertex, ConstructorSetsPositionAndColour) {
    Vertex v;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(v.pos[i], 0);
        EXPECT_EQ(v.colour[i], 1);
    }
    // The record is laid out as the GL arrays expect: 14 floats, no padding.
    EXPECT_EQ(sizeof(Vertex), 14 * sizeof(float));
}

namespace {
Vertex at(float x, float y, float z) {
    Vertex v;
    v.setPosition(Vec3(x, y, z));
    return v;
}
}  // namespace

TEST(GridNormal, FlatGridAndCoincidentNeighbours) {
    // Neighbours left, back, right, front of a point on the y = 0 plane.
    Vertex p = at(0, 0, 0);
    gridNormal(p, at(-1, 0, 0), at(0, 0, -1), at(1, 0, 0), at(0, 0, 1));
    EXPECT_FLOAT_EQ(p.normal[0], 0);
    EXPECT_FLOAT_EQ(std::fabs(p.normal[1]), 1);
    EXPECT_FLOAT_EQ(p.normal[2], 0);
    // Swapping the order of each pair flips the sign.
    Vertex q = at(0, 0, 0);
    gridNormal(q, at(0, 0, -1), at(-1, 0, 0), at(0, 0, 1), at(1, 0, 0));
    EXPECT_FLOAT_EQ(q.normal[1], -p.normal[1]);

    Vertex same = at(2, 3, 4);
    gridNormal(same, same, same, same, same);
    EXPECT_EQ(same.normal[0], 0); EXPECT_EQ(same.normal[1], 0); EXPECT_EQ(same.normal[2], 0);
    EXPECT_FLOAT_EQ(same.pos[1], 3);  // position untouched
}

TEST(GridNormal, SumsTriangleNormalsBeforeNormalising) {
    // Two unequal triangles: the result leans towards the larger one.
    Vertex p = at(0, 0, 0);
    gridNormal(p, at(2, 0, 0), at(0, 2, 0), at(0, 0, 1), at(1, 0, 0));
    // cross((−2,0,0),(0,−2,0)) = (0,0,4); cross((0,0,−1),(−1,0,0)) = (0,1,0)
    EXPECT_NEAR(p.normal[2], 4 / std::sqrt(17.0), 1e-6);
    EXPECT_NEAR(p.normal[1], 1 / std::sqrt(17.0), 1e-6);
}

TEST(ShowRandom, FollowsTheGeneratorFromStateOne) {
    resetShowRand();
    // state = 1 * 214013 + 2531011 = 2745024 -> (2745024 >> 16) & 0x7fff = 41
    EXPECT_EQ(showRand(), 41);
    EXPECT_EQ(showRand(), 18467);
    EXPECT_EQ(showRand(), 6334);
    resetShowRand();
    EXPECT_NEAR(showRandUnit(), 41 / 32767.0, 1e-12);
    resetShowRand();
}
