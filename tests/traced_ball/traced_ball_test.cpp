// The intro's traced ball on the CPU: its motion, and its pictures checked
// against a double-precision tracer of our own and against plain geometry
// (where a floor point lands on screen, where the shadow falls).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "image/traced_ball.h"

namespace {

using Picture = std::vector<uint8_t>;

constexpr int N = kBallPictureSide;
constexpr double kEye[3] = {50, 56, -256};
constexpr double kLight[3] = {50, 120, -90};
constexpr double kRadius = 30;
constexpr double kDepth = 80;

const uint8_t* at(const Picture& p, int i, int j) { return &p[(static_cast<size_t>(j) * N + i) * 3]; }

Picture traceAt(float x, float y) {
    TracedBallState s;
    s.ballX = x;
    s.ballY = y;
    Picture p(kBallPictureBytes);
    traceBallPicture(s, p.data());
    return p;
}

Picture nextFrame() {
    const uint8_t* p = traceNextBallFrame();
    return Picture(p, p + kBallPictureBytes);
}

double dot3(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// What the double-precision tracer makes of one pixel.
struct RefPixel {
    enum Kind { Black, Sphere, Floor } kind = Black;
    double rgb[3] = {0, 0, 0};
    bool shadowed = false;
    bool borderline = false;  // so close to an edge that float rounding may decide it
};

// Traces pixel (i, j) with the ball centre at (cx, cy, 80) in double precision.
RefPixel reference(double cx, double cy, int i, int j) {
    RefPixel r;
    const double c[3] = {cx, cy, kDepth};
    const double d[3] = {i - 128.0, j - 184.0, 256.0};
    const double ec[3] = {kEye[0] - c[0], kEye[1] - c[1], kEye[2] - c[2]};
    const double a = dot3(d, d), b = dot3(d, ec), cq = dot3(ec, ec) - kRadius * kRadius;
    const double disc = b * b - cq * a;
    const bool sphere = disc > 0;
    const bool floor = d[1] < 0;
    const double ts = sphere ? (-b - std::sqrt(disc)) / a : 0;
    const double tf = floor ? -kEye[1] / d[1] : 0;
    if (std::fabs(disc) < 1e-5 * b * b) r.borderline = true;
    if (sphere && floor && std::fabs(ts - tf) < 1e-4 * tf) r.borderline = true;
    double k = 0, shade = 1;
    if (sphere && (!floor || ts < tf)) {
        r.kind = RefPixel::Sphere;
        double h[3], l[3], n[3];
        for (int q = 0; q < 3; ++q) {
            h[q] = kEye[q] + ts * d[q];
            l[q] = kLight[q] - h[q];
            n[q] = h[q] - c[q];
        }
        k = dot3(l, n) / (std::sqrt(dot3(l, l)) * kRadius);
    } else if (floor) {
        r.kind = RefPixel::Floor;
        double f[3], l[3], fc[3];
        for (int q = 0; q < 3; ++q) {
            f[q] = kEye[q] + tf * d[q];
            l[q] = kLight[q] - f[q];
            fc[q] = f[q] - c[q];
        }
        const double lfc = dot3(l, fc), ll = dot3(l, l);
        const double shadow = lfc * lfc - (dot3(fc, fc) - kRadius * kRadius) * ll;
        if (std::fabs(shadow) < 1e-5 * lfc * lfc) r.borderline = true;
        r.shadowed = shadow > 0;
        shade = r.shadowed ? 0.1 : 1.0;
        k = l[1] / std::sqrt(ll);
    }
    if (k > 0) {
        r.rgb[0] = 51 * shade * k;
        r.rgb[1] = 102 * shade * k;
        r.rgb[2] = 102 * shade * k;
    }
    return r;
}

// Pixels where the picture is more than a byte off the double-precision
// tracer, not counting borderline pixels; also counts those.
struct Agreement {
    int disagreeing = 0;
    int borderline = 0;
};
Agreement compareWithReference(const Picture& p, double cx, double cy) {
    Agreement out;
    for (int j = 0; j < N; ++j) {
        for (int i = 0; i < N; ++i) {
            const RefPixel r = reference(cx, cy, i, j);
            if (r.borderline) {
                ++out.borderline;
                continue;
            }
            for (int q = 0; q < 3; ++q) {
                if (std::fabs(at(p, i, j)[q] - std::floor(r.rgb[q])) > 1.0) {
                    ++out.disagreeing;
                    break;
                }
            }
        }
    }
    return out;
}

// The pixel whose ray passes nearest the point (x, y, z) seen from the eye.
void project(double x, double y, double z, int& i, int& j) {
    const double s = 256.0 / (z - kEye[2]);
    i = static_cast<int>(std::lround((x - kEye[0]) * s + 128));
    j = static_cast<int>(std::lround((y - kEye[1]) * s + 184));
}

// The open floor's green at pixel (i, j) with no ball anywhere, or -1 above
// the horizon.
double openFloorGreen(int i, int j) {
    if (j >= 184) return -1;
    const double t = -kEye[1] / (j - 184.0);
    const double f[3] = {kEye[0] + t * (i - 128.0), 0, kEye[2] + t * 256.0};
    const double l[3] = {kLight[0] - f[0], kLight[1] - f[1], kLight[2] - f[2]};
    return 102 * l[1] / std::sqrt(dot3(l, l));
}

// The ball's footprint: pixels that are neither open nor shadowed floor nor
// empty sky. Returns the count and the centroid.
int footprint(const Picture& p, double& ci, double& cj) {
    int count = 0;
    ci = cj = 0;
    for (int j = 0; j < N; ++j) {
        for (int i = 0; i < N; ++i) {
            const double g = openFloorGreen(i, j), got = at(p, i, j)[1];
            const bool floorLike = g < 0 ? got == 0 : (std::fabs(got - std::floor(g)) <= 1 ||
                                                       std::fabs(got - std::floor(0.1 * g)) <= 1);
            if (floorLike) continue;
            ++count;
            ci += i;
            cj += j;
        }
    }
    if (count) {
        ci /= count;
        cj /= count;
    }
    return count;
}

class TracedBall : public ::testing::Test {
  protected:
    void SetUp() override { resetTracedBall(); }
};

}  // namespace

TEST_F(TracedBall, FirstFrameShowsTheBallHalfSunkThenBouncesItOffTheFloor) {
    const Picture first = nextFrame();
    // Traced where it starts, centre on the floor plane.
    const Agreement agree = compareWithReference(first, 0, 0);
    EXPECT_EQ(agree.disagreeing, 0);
    EXPECT_LT(agree.borderline, N * N / 100);
    int i, j;
    project(0, 15, kDepth - 20, i, j);  // the upper half, facing the eye
    EXPECT_EQ(reference(0, 0, i, j).kind, RefPixel::Sphere);
    EXPECT_GT(at(first, i, j)[1], 0);
    project(0, -15, kDepth - 20, i, j);  // the sunken half is floor
    EXPECT_EQ(reference(0, 0, i, j).kind, RefPixel::Floor);

    // The step took it below the floor: clamped to resting height, going up.
    EXPECT_FLOAT_EQ(tracedBall.ballY, 30.0f);
    EXPECT_GT(tracedBall.ballVelY, 0.0f);
    EXPECT_NEAR(tracedBall.ballVelY, 40.92f, 1e-4);  // 40 + (9.8 - 0.6) * 0.1
    EXPECT_NEAR(tracedBall.ballVelX, 17 - 0.015 * 17 * 0.1, 1e-4);
    EXPECT_NEAR(tracedBall.ballX, (17 - 0.015 * 17 * 0.1) * 0.1, 1e-4);
}

TEST_F(TracedBall, PicturesAgreeWithADoublePrecisionTracer) {
    // In the air on the left (truncated towards zero: -60.7 -> -60), in the
    // middle, at the top of the view, and resting on the right.
    const float places[][2] = {{-60.7f, 100.3f}, {40.9f, 90.6f}, {0.0f, 140.0f}, {150.2f, 30.0f}};
    for (const auto& pl : places) {
        const Picture p = traceAt(pl[0], pl[1]);
        const Agreement agree = compareWithReference(p, std::trunc(pl[0]), std::trunc(pl[1]));
        EXPECT_EQ(agree.disagreeing, 0) << "ball at " << pl[0] << ", " << pl[1];
        EXPECT_LT(agree.borderline, N * N / 100) << agree.borderline << " ball at " << pl[0] << ", " << pl[1];
    }
    // Truncation, not rounding: a ball at -60.7 is the ball at -60.
    EXPECT_EQ(traceAt(-60.7f, 100.3f), traceAt(-60.0f, 100.0f));
    EXPECT_NE(traceAt(-60.7f, 100.3f), traceAt(-61.0f, 100.0f));
}

TEST_F(TracedBall, NothingButBallOrBlackAboveTheHorizon) {
    int framesWithBallAbove = 0;
    for (int frame = 0; frame < 300; ++frame) {
        const float x = tracedBall.ballX, y = tracedBall.ballY;
        const Picture p = nextFrame();
        bool ballAbove = false;
        for (int j = 184; j < N; ++j) {
            for (int i = 0; i < N; ++i) {
                const RefPixel r = reference(std::trunc(x), std::trunc(y), i, j);
                const uint8_t* px = at(p, i, j);
                const bool black = px[0] == 0 && px[1] == 0 && px[2] == 0;
                if (r.kind == RefPixel::Sphere) {
                    ballAbove = ballAbove || !black;
                } else if (!r.borderline) {
                    ASSERT_TRUE(black) << "frame " << frame << " pixel " << i << "," << j;
                }
            }
        }
        framesWithBallAbove += ballAbove;
        // Looking up past the ball: the top corners are sky.
        EXPECT_EQ(at(p, 0, N - 1)[1], 0);
        EXPECT_EQ(at(p, N - 1, N - 1)[1], 0);
    }
    EXPECT_GT(framesWithBallAbove, 30) << "the ball should rise above the horizon line";
}

TEST_F(TracedBall, ShadowFallsWhereTheLightThroughTheBallMeetsTheFloor) {
    // Ball at (0, 80, 80): the light's line through its centre meets the
    // floor at (-100, 0, 420). The mirror point (200, 0, 420) sees the light
    // at the same angle and has no ball in the way.
    const Picture p = traceAt(0.0f, 80.0f);
    int si, sj, oi, oj;
    project(-100, 0, 420, si, sj);
    project(200, 0, 420, oi, oj);
    ASSERT_EQ(reference(0, 80, si, sj).kind, RefPixel::Floor) << "the shadow must not be hidden by the ball";
    const int shadowed = at(p, si, sj)[1], open = at(p, oi, oj)[1];
    EXPECT_GT(open, 10);
    EXPECT_LT(shadowed * 5, open) << "shadowed " << shadowed << " open " << open;
    // The floor right next to the ball, on the light's side, is lit.
    int ni, nj;
    project(0, 0, 20, ni, nj);
    EXPECT_GT(at(p, ni, nj)[1], open / 2);
}

TEST_F(TracedBall, BallMovesFromFrameToFrame) {
    nextFrame();  // the half-sunk start
    double ci0, cj0, ci1, cj1;
    const Picture second = nextFrame();  // at (1, 30), rising and moving right
    const Picture third = nextFrame();   // at (3, 33)
    const int n0 = footprint(second, ci0, cj0);
    const int n1 = footprint(third, ci1, cj1);
    // About pi * 23^2 pixels of ball, plus a little shadow.
    EXPECT_GT(n0, 1200);
    EXPECT_LT(n0, 3000);
    EXPECT_GT(n1, 1200);
    EXPECT_GT(ci1 - ci0, 0.5) << "moving right";
    EXPECT_GT(cj1 - cj0, 0.5) << "moving up";
    // The footprint is where the ball's centre projects to.
    int pi, pj;
    project(1, 30, kDepth, pi, pj);
    EXPECT_NEAR(ci0, pi, 4);
    EXPECT_NEAR(cj0, pj, 4);
}

TEST_F(TracedBall, StaysInsideItsBoxAndBouncesOffEveryWall) {
    bool hitFloor = false, hitRight = false, hitLeft = false;
    for (int step = 0; step < 20000; ++step) {
        const float vy = tracedBall.ballVelY, vx = tracedBall.ballVelX;
        advanceBall(tracedBall);
        ASSERT_GE(tracedBall.ballY, 30.0f);
        ASSERT_LE(tracedBall.ballY, 345.0f);
        ASSERT_GE(tracedBall.ballX, -270.0f);
        ASSERT_LE(tracedBall.ballX, 270.0f);
        if (vy < 0 && tracedBall.ballVelY > 0) hitFloor = true;
        if (vx > 0 && tracedBall.ballVelX < 0) hitRight = hitRight || tracedBall.ballX == 270.0f;
        if (vx < 0 && tracedBall.ballVelX > 0) hitLeft = hitLeft || tracedBall.ballX == -270.0f;
    }
    EXPECT_TRUE(hitFloor);
    EXPECT_TRUE(hitRight);
    EXPECT_TRUE(hitLeft);
    // Thrown up past the ceiling, it is held under it and sent back down.
    tracedBall.ballY = 340.0f;
    tracedBall.ballVelY = 200.0f;
    advanceBall(tracedBall);
    EXPECT_FLOAT_EQ(tracedBall.ballY, 345.0f);
    EXPECT_LT(tracedBall.ballVelY, 0.0f);
}
