// seams_test.cpp - the mirror baubles carry six reflection pictures, one per
// face of their cube-shaped mesh. Where two faces meet on screen the
// reflection runs on without a dark seam: along every visible face boundary
// the frame is no darker than 3 pixels to either side of it.
#include <algorithm>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "show/show_clock.h"
#include "app/timeline.h"
#include "frames.h"
#include "landscape/landscape.h"
#include "math/camera_path.h"
#include "math/random.h"
#include "physics/bodies.h"
#include "physics/builders/builders.h"
#include "physics/drivers.h"
#include "render/sphere.h"
#include "support/offscreen_gl.h"

namespace {

// Column-major 4x4 matrices, as OpenGL composes them.
struct Mat4 {
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};
Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += a.m[k * 4 + row] * b.m[c * 4 + k];
            r.m[c * 4 + row] = s;
        }
    return r;
}
Mat4 perspective(double fovY, double aspect, double zNear, double zFar) {
    const double f = 1 / std::tan(fovY * M_PI / 360);
    Mat4 p;
    p.m[0] = f / aspect;
    p.m[5] = f;
    p.m[10] = (zFar + zNear) / (zNear - zFar);
    p.m[11] = -1;
    p.m[14] = 2 * zFar * zNear / (zNear - zFar);
    p.m[15] = 0;
    return p;
}
Mat4 rotation(double degrees, double x, double y, double z) {
    const double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a), t = 1 - c;
    Mat4 r;
    const double m[9] = {t * x * x + c,     t * x * y + s * z, t * x * z - s * y, t * x * y - s * z, t * y * y + c,
                         t * y * z + s * x, t * x * z + s * y, t * y * z - s * x, t * z * z + c};
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 3; ++row) r.m[col * 4 + row] = m[col * 3 + row];
    return r;
}
Mat4 translation(double x, double y, double z) {
    Mat4 t;
    t.m[12] = x, t.m[13] = y, t.m[14] = z;
    return t;
}

// Elapsed milliseconds of fixed-step frame i at 120 frames a second.
uint32_t frameMs(uint64_t i) { return static_cast<uint32_t>(i * 1000 / 120); }

// The orbit camera of a body-scene window at the first frame at or after ms:
// its phase starts at 0 with the window and grows by each frame's delta.
struct Camera {
    Mat4 viewProjection;
    Vec3 eye;
};
Camera orbitCamera(uint32_t windowFrom, uint32_t ms) {
    uint64_t i = 0;
    while (frameMs(i) < windowFrom) ++i;
    float phase = 0;
    for (;; ++i) {
        phase = phase + static_cast<float>(frameMs(i) - frameMs(i - 1)) / 50000.0f;
        if (frameMs(i) >= ms) break;
    }
    const CameraPathPair orbit = buildOrbitPaths();
    const Vertex r = evaluatePath(orbit.rotation, phase);
    const Vertex t = evaluatePath(orbit.translation, phase);
    Camera cam;
    cam.viewProjection = perspective(70, double(kFrameW) / kFrameH, 0.0001, 40) * rotation(r.pos[0], 1, 0, 0) *
                         rotation(r.pos[1], 0, 1, 0) * rotation(r.pos[2], 0, 0, 1) *
                         translation(t.pos[0], t.pos[1], t.pos[2]);
    cam.eye = Vec3(-t.pos[0], -t.pos[1], -t.pos[2]);
    return cam;
}

// Frame position (x right, y down, in pixels) of a world point.
bool project(const Mat4& vp, const Vec3& p, double& x, double& y) {
    const double* m = vp.m;
    const double cx = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12];
    const double cy = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13];
    const double cw = m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15];
    if (cw <= 0) return false;
    x = (cx / cw + 1) / 2 * kFrameW;
    y = kFrameH - (cy / cw + 1) / 2 * kFrameH;
    return true;
}

// The hanging-bauble scene's mirror bauble centre at the first frame at or
// after ms: the show's start-up and its physics, frame by frame, as the
// schedule runs them up to there (the intro's letter cloth shares the body
// scenes' tick clock, so it runs too).
Vec3 hangingMirrorCentre(uint32_t ms) {
    EXPECT_TRUE(openOffscreenGl());  // the valley's builder names its textures
    resetShowPhysics();
    resetShowRand();
    resetLandscape();
    showFlags.bodyScenesStarted = 0;
    buildLandscape();
    buildSecondLandscape();
    buildShowBodies();
    useFixedClock(120, 0);
    for (;; advanceFixedClock()) {
        const uint32_t e = clockTicks();
        if (e < 25000) {
            stepIntroCloth();
        } else if (e >= 70000 && e < 97740) {
            showFlags.bodyScenesStarted = 1;
            stepDrivenBaubles();
        } else if (e >= 97740) {
            stepHangingBaubles();
        }
        if (e >= ms) break;
    }
    // The mirror bauble is the second of the array; it follows the second
    // active collider.
    int k = 0;
    for (const Collider* c = showBodies.hangingBaubles.colliders; c; c = c->next)
        if ((c->flags & CF_ACTIVE) && k++ == 1) return c->centre;
    ADD_FAILURE() << "the hanging body has no second bauble";
    return Vec3();
}

// How much darker each boundary pixel is than the darker of the two pixels
// 3 pixels to either side of it across the boundary, once per pixel.
struct BoundaryDips {
    std::map<std::pair<int, int>, double> dip;
    double median() const {
        std::vector<double> v;
        for (const auto& d : dip) v.push_back(d.second);
        if (v.empty()) return 0;
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    }
};

// Walks every face border of the mesh placed at centre, on the side facing
// the camera, and compares the frame on the border with 3 pixels to each
// side across it.
BoundaryDips boundaryDips(const Frame& f, const Camera& cam, float radius, int n, const Vec3& centre) {
    SphereMesh s;
    buildSphere(s, radius, n, 0);
    auto world = [&](int face, int i, int j) { return s.local[face * n * n + i * n + j].position() + centre; };
    BoundaryDips out;
    auto sample = [&](const Vec3& a, const Vec3& b) {
        const int steps = 16;
        for (int k = 0; k < steps; ++k) {
            const Vec3 p = a + (b - a) * (static_cast<float>(k) / steps);
            Vec3 outward = p - centre, toEye = cam.eye - p;
            // Well inside the outline only: near it the faces slant away.
            if (dot(normalise(outward), normalise(toEye)) < 0.6f) continue;
            double x, y, xa, ya, xb, yb;
            if (!project(cam.viewProjection, p, x, y) || !project(cam.viewProjection, a, xa, ya) ||
                !project(cam.viewProjection, b, xb, yb))
                continue;
            double nx = -(yb - ya), ny = xb - xa;
            const double len = std::hypot(nx, ny);
            if (len < 1e-9) continue;
            nx /= len, ny /= len;
            const int px = static_cast<int>(std::floor(x)), py = static_cast<int>(std::floor(y));
            const int ax = static_cast<int>(std::floor(x + 3 * nx)), ay = static_cast<int>(std::floor(y + 3 * ny));
            const int bx = static_cast<int>(std::floor(x - 3 * nx)), by = static_cast<int>(std::floor(y - 3 * ny));
            auto inside = [&](int u, int v) { return u >= 0 && v >= 0 && u < f.w && v < f.h; };
            if (!inside(px, py) || !inside(ax, ay) || !inside(bx, by)) continue;
            out.dip[{px, py}] = std::min(f.luma(ax, ay), f.luma(bx, by)) - f.luma(px, py);
        }
    };
    // The corner segments are left out: three faces meet there, and the
    // samples 3 pixels to the side fall across the third.
    for (int face = 0; face < 6; ++face)
        for (int k = 1; k + 2 < n; ++k) {
            sample(world(face, 0, k), world(face, 0, k + 1));
            sample(world(face, n - 1, k), world(face, n - 1, k + 1));
            sample(world(face, k, 0), world(face, k + 1, 0));
            sample(world(face, k, n - 1), world(face, k + 1, n - 1));
        }
    return out;
}

// How far the frame changes across the bauble's outline, as projected from
// where the test puts the bauble: the median over the outline of the
// luminance step between 2 pixels inside and 2 pixels outside. It is large
// only when the bauble is drawn where the test looks for its boundaries.
double outlineStep(const Frame& f, const Camera& cam, float radius, const Vec3& centre) {
    // The outline is the circle where the eye's lines of sight touch the sphere.
    Vec3 toEye = cam.eye - centre;
    const float d = length(toEye);
    normalise(toEye);
    const Vec3 q = centre + toEye * (radius * radius / d);
    const float r = radius * std::sqrt(d * d - radius * radius) / d;
    Vec3 u = cross(toEye, std::fabs(toEye.y) < 0.9f ? Vec3(0, 1, 0) : Vec3(1, 0, 0));
    normalise(u);
    const Vec3 v = cross(toEye, u);
    double cx, cy;
    if (!project(cam.viewProjection, centre, cx, cy)) return 0;
    std::vector<double> steps;
    for (int k = 0; k < 90; ++k) {
        const float a = k * 2 * static_cast<float>(M_PI) / 90;
        double x, y;
        if (!project(cam.viewProjection, q + (u * std::cos(a) + v * std::sin(a)) * r, x, y)) continue;
        const double len = std::hypot(x - cx, y - cy);
        if (len < 1e-9) continue;
        const double dx = (x - cx) / len, dy = (y - cy) / len;
        const int ix = static_cast<int>(std::floor(x - 2 * dx)), iy = static_cast<int>(std::floor(y - 2 * dy));
        const int ox = static_cast<int>(std::floor(x + 2 * dx)), oy = static_cast<int>(std::floor(y + 2 * dy));
        if (ix < 0 || iy < 0 || ox < 0 || oy < 0 || ix >= f.w || ox >= f.w || iy >= f.h || oy >= f.h) continue;
        steps.push_back(std::fabs(f.luma(ix, iy) - f.luma(ox, oy)));
    }
    if (steps.size() < 10) return 0;
    std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
    return steps[steps.size() / 2];
}

// A seam darkens a boundary along its whole length; the reflection's own
// dark lines only cross it here and there. So the typical (median) boundary
// pixel must be no darker than its sides, within a few levels.
constexpr double kDipTolerance = 4;

}  // namespace

TEST(MirrorSeams, FallingSheetBaubleAt140SecondsHasNone) {
    for (const char* passes : kPassPaths) {
        SCOPED_TRACE(passes);
        Frame f;
        ASSERT_TRUE(showFrame(140000, f, passes));
        // The falling sheet's bauble stands on the scene's ball, which never moves.
        const Camera cam = orbitCamera(120000, 140000);
        ASSERT_GT(outlineStep(f, cam, 0.292f, Vec3(0, 0, 0.1f)), 30) << "the bauble is not where the test looks";
        const BoundaryDips d = boundaryDips(f, cam, 0.292f, 9, Vec3(0, 0, 0.1f));
        ASSERT_GE(d.dip.size(), 40u) << "too little of the bauble's boundaries in view";
        EXPECT_LE(d.median(), kDipTolerance) << "over " << d.dip.size() << " boundary pixels";
        RecordProperty("median_dip", std::to_string(d.median()));
    }
}

TEST(MirrorSeams, HangingBaubleAt110SecondsHasNone) {
    for (const char* passes : kPassPaths) {
        SCOPED_TRACE(passes);
        Frame f;
        ASSERT_TRUE(showFrame(110000, f, passes));
        const Camera cam = orbitCamera(97740, 110000);
        const Vec3 centre = hangingMirrorCentre(110000);
        ASSERT_GT(outlineStep(f, cam, 0.13f, centre), 30) << "the bauble is not where the test looks";
        const BoundaryDips d = boundaryDips(f, cam, 0.13f, 15, centre);
        ASSERT_GE(d.dip.size(), 20u) << "too little of the bauble's boundaries in view";
        EXPECT_LE(d.median(), kDipTolerance) << "over " << d.dip.size() << " boundary pixels";
        RecordProperty("median_dip", std::to_string(d.median()));
    }
}
