// Camera paths checked against the properties of a natural cubic spline,
// not against the fitting code's own arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "math/camera_path.h"

namespace {


struct AxisView {
    const std::vector<float>&a, &b, &c, &d;
};
AxisView axis(const CameraPath& p, int k) {
    if (k == 0) return {p.ax, p.bx, p.cx, p.dx};
    if (k == 1) return {p.ay, p.by, p.cy, p.dy};
    return {p.az, p.bz, p.cz, p.dz};
}

std::vector<Vertex> keysOf(const float (*k)[3], int count) {
    std::vector<Vertex> v(count);
    for (int i = 0; i < count; ++i) v[i].setPosition(Vec3(k[i][0], k[i][1], k[i][2]));
    return v;
}

// Checks interpolation, C1/C2 continuity and natural ends of a path through keys.
void expectNaturalSpline(const CameraPath& p, const std::vector<Vertex>& keys) {
    const int n = p.segments;
    ASSERT_EQ(n + 1, static_cast<int>(keys.size()));
    ASSERT_EQ(p.step, 1.0f);
    for (int k = 0; k <= n; ++k) {
        Vertex v = evaluatePath(p, static_cast<float>(k) / n);
        for (int a = 0; a < 3; ++a) {
            double scale = std::max(1.0, std::fabs(static_cast<double>(keys[k].pos[a])));
            EXPECT_NEAR(v.pos[a], keys[k].pos[a], 2e-5 * scale) << "key " << k << " axis " << a;
        }
    }
    for (int a = 0; a < 3; ++a) {
        AxisView s = axis(p, a);
        double scale = 1.0;
        for (const Vertex& k : keys) scale = std::max(scale, std::fabs(static_cast<double>(k.pos[a])));
        for (int i = 1; i < n; ++i) {
            // End of segment i-1 at t = 1 against the start of segment i.
            double d1End = s.b[i - 1] + 2.0 * s.c[i - 1] + 3.0 * s.d[i - 1];
            double d2End = 2.0 * s.c[i - 1] + 6.0 * s.d[i - 1];
            EXPECT_NEAR(d1End, s.b[i], 1e-4 * scale) << "slope at key " << i << " axis " << a;
            EXPECT_NEAR(d2End, 2.0 * s.c[i], 1e-4 * scale) << "curvature at key " << i << " axis " << a;
        }
        EXPECT_EQ(s.c[0], 0.0f);
        EXPECT_NEAR(2.0 * s.c[n - 1] + 6.0 * s.d[n - 1], 0.0, 1e-4 * scale);
    }
}

}  // namespace

TEST(CameraPath, EveryShowPathIsANaturalSplineThroughItsKeys) {
    // Rebuild each path from keys read back at phase k/9 of a second fit:
    // the show's key tables are private, so compare two independent routes.
    struct Named {
        const char* name;
        CameraPathPair pair;
    } paths[] = {{"orbit", buildOrbitPaths()},
                 {"finale1", buildFinalePaths1()},
                 {"finale2", buildFinalePaths2()},
                 {"finale3", buildFinalePaths3()}};
    for (auto& p : paths) {
        SCOPED_TRACE(p.name);
        for (const CameraPath* path : {&p.pair.translation, &p.pair.rotation}) {
            ASSERT_EQ(path->segments, 9);
            // The keys are the a coefficients plus the last point.
            std::vector<Vertex> keys(10);
            for (int k = 0; k < 9; ++k) keys[k].setPosition(Vec3(path->ax[k], path->ay[k], path->az[k]));
            float last[3];
            for (int a = 0; a < 3; ++a) {
                AxisView s = axis(*path, a);
                last[a] = s.a[8] + s.b[8] + s.c[8] + s.d[8];
            }
            keys[9].setPosition(Vec3(last[0], last[1], last[2]));
            expectNaturalSpline(*path, keys);
        }
    }
}

TEST(CameraPath, FinaleKeysAreHitExactly) {
    const float t1[10][3] = {{-0.5f, -0.1f, 0.3f}, {-0.8f, -0.1f, 0.5f}, {-1.4f, -0.1f, 0.3f}, {-1.5f, -0.1f, 0.3f},
                             {0, -0.403f, 0},      {0, -0.303f, 0},      {0, -0.3f, -0.1f},    {0, -0.403f, -0.2f},
                             {0, -0.403f, -0.2f},  {0, -0.403f, 0}};
    CameraPathPair p = buildFinalePaths1();
    std::vector<Vertex> keys = keysOf(t1, 10);
    expectNaturalSpline(p.translation, keys);
    // Phase 0 is key 0 exactly.
    Vertex v0 = evaluatePath(p.translation, 0.0f);
    EXPECT_EQ(v0.pos[0], -0.5f);
    EXPECT_EQ(v0.pos[1], -0.1f);
    EXPECT_EQ(v0.pos[2], 0.3f);
    // Finale 3's first rotation key and its tiny height.
    CameraPathPair p3 = buildFinalePaths3();
    Vertex r0 = evaluatePath(p3.rotation, 0.0f);
    EXPECT_FLOAT_EQ(r0.pos[0], 70.2f);
    EXPECT_FLOAT_EQ(r0.pos[1], -19.8f);
    EXPECT_EQ(evaluatePath(p3.translation, 0.0f).pos[1], 0.2f / 16777216.0f);
}

TEST(CameraPath, CollinearEvenlySpacedKeysStayOnTheLine) {
    std::vector<Vertex> keys(10);
    for (int k = 0; k < 10; ++k) keys[k].setPosition(Vec3(1.0f + 2.0f * k, -3.0f + 0.5f * k, 4.0f - 1.0f * k));
    CameraPath p = buildPath(keys.data(), 9);
    expectNaturalSpline(p, keys);
    for (int i = 0; i <= 90; ++i) {
        float phase = i / 90.0f;
        Vertex v = evaluatePath(p, phase);
        double u = 9.0 * phase;
        EXPECT_NEAR(v.pos[0], 1.0 + 2.0 * u, 1e-4);
        EXPECT_NEAR(v.pos[1], -3.0 + 0.5 * u, 1e-4);
        EXPECT_NEAR(v.pos[2], 4.0 - 1.0 * u, 1e-4);
    }
}

TEST(CameraPath, OrbitStartsAboveTheFrontOfTheRoom) {
    CameraPathPair orbit = buildOrbitPaths();
    Vertex t = evaluatePath(orbit.translation, 0.0f);
    EXPECT_NEAR(t.pos[0], 0.0f, 1e-6);
    EXPECT_NEAR(t.pos[1], -0.85f, 1e-6);
    EXPECT_NEAR(t.pos[2], 0.7f, 1e-6);
    Vertex r = evaluatePath(orbit.rotation, 0.0f);
    EXPECT_NEAR(r.pos[0], 60.0f, 1e-4);  // 40 - 20 sin(-pi/2)
    EXPECT_FLOAT_EQ(r.pos[1], 180.0f);
    // The circle keeps its radius at every key.
    for (int k = 0; k <= 9; ++k) {
        Vertex v = evaluatePath(orbit.translation, k / 9.0f);
        EXPECT_NEAR(std::hypot(v.pos[0], v.pos[2]), 0.7, 1e-4) << k;
    }
}

TEST(CameraPath, ExactKeyBelongsToTheSegmentEndingThere) {
    // With u exactly 1 the search stays on segment 0 with t = 1: the value is
    // the end of segment 0, which equals key 1.
    std::vector<Vertex> keys(10);
    for (int k = 0; k < 10; ++k) keys[k].setPosition(Vec3(static_cast<float>(k * k), 0, 0));
    CameraPath p = buildPath(keys.data(), 9);
    Vertex v = evaluatePath(p, 1.0f / 9.0f);
    EXPECT_NEAR(v.pos[0], p.ax[0] + p.bx[0] + p.cx[0] + p.dx[0], 1e-5);
}

TEST(CameraPath, PhasesPastTheEndStayOnTheLastSegment) {
    std::vector<Vertex> keys(10);
    for (int k = 0; k < 10; ++k) keys[k].setPosition(Vec3(static_cast<float>(k), 2.0f * k, 0));
    CameraPath p = buildPath(keys.data(), 9);
    // A straight path extrapolates along its line; nothing is read past the arrays.
    for (float phase : {1.0f, 1.03f, 1.75f, 5.0f}) {
        Vertex v = evaluatePath(p, phase);
        EXPECT_TRUE(std::isfinite(v.pos[0]));
        EXPECT_NEAR(v.pos[0], 9.0 * phase, 1e-3 * phase);
        EXPECT_NEAR(v.pos[1], 18.0 * phase, 2e-3 * phase);
    }
}

namespace {

// True when got is the float nearest to the exact value x, ties to even as
// the machine rounds. A zero may come out as a few 1e-17: the cosine of the
// double nearest pi/2 is not 0.
::testing::AssertionResult isNearestFloat(float got, long double x) {
    const float want = static_cast<float>(x);
    if (got == want) return ::testing::AssertionSuccess();
    if (std::fabs(x) < 1e-12L && std::fabs(got) < 1e-12f) return ::testing::AssertionSuccess();
    const double step = std::nextafter(std::fabs(want), INFINITY) - std::fabs(want);
    return ::testing::AssertionFailure() << got << " is " << (static_cast<double>(got) - want) / step
                                         << " float steps from " << want;
}

}  // namespace

TEST(CameraPath, OrbitKeysAreTheNearestFloatsToTheirCircle) {
    // Worked out here on another route: the key angle is 2 pi / 9 summed in
    // a float, the circle is written with cos and sin of it directly, in long
    // double, and every constant is its own float (0.7f, 0.45f, 0.15f).
    const long double pi = 3.14159265358979323846264338327950288L;
    const float stepF = static_cast<float>(2 * pi / 9);
    const long double c = 0.7f, s = 0.45f, lift = 0.15f;
    CameraPathPair orbit = buildOrbitPaths();
    float theta = 0.0f;
    for (int k = 0; k < 9; ++k) {
        SCOPED_TRACE("key " + std::to_string(k));
        const long double th = theta;
        // A segment starts at its key: a[k] is key k as the builder stored it.
        EXPECT_TRUE(isNearestFloat(orbit.translation.ax[k], -c * std::sin(th)));
        EXPECT_TRUE(isNearestFloat(orbit.translation.ay[k], -0.25L - s * std::cos(th) - lift));
        EXPECT_TRUE(isNearestFloat(orbit.translation.az[k], c * std::cos(th)));
        EXPECT_TRUE(isNearestFloat(orbit.rotation.ax[k], 40 + 20 * std::cos(th)));
        EXPECT_EQ(orbit.rotation.ay[k], 180.0f + 40.0f * k);
        EXPECT_EQ(orbit.rotation.az[k], 0.0f);
        theta += stepF;
    }
}
