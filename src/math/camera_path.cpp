// camera_path.cpp - spline fitting, sampling and the show's key tables.
#include "math/camera_path.h"

#include <cmath>

namespace {

// Fits one axis: p holds the n + 1 key values.
void fitAxis(const std::vector<double>& p, int n, std::vector<float>& a, std::vector<float>& b,
             std::vector<float>& c, std::vector<float>& d) {
    const double h = 1.0;
    a.assign(n, 0.0f);
    b.assign(n, 0.0f);
    c.assign(n + 1, 0.0f);
    d.assign(n, 0.0f);
    for (int k = 0; k < n; ++k) a[k] = static_cast<float>(p[k]);
    if (n < 1) return;

    std::vector<double> r(n + 1, 0.0), m(n + 1, 0.0), cc(n + 1, 0.0);
    for (int k = 1; k <= n - 1; ++k) {
        r[k] = 3.0 * ((p[k + 1] - p[k]) / h - (p[k] - p[k - 1]) / h);
        m[k] = 4.0 * h;
    }
    for (int k = 2; k <= n - 1; ++k) {
        double f = h / m[k - 1];
        m[k] -= f * h;
        r[k] -= f * r[k - 1];
    }
    // Natural ends: no curvature at the first and last key.
    cc[0] = 0.0;
    cc[n] = 0.0;
    if (n >= 2) {
        cc[n - 1] = r[n - 1] / m[n - 1];
        for (int k = n - 2; k >= 1; --k) cc[k] = (r[k] - h * cc[k + 1]) / m[k];
    }
    for (int k = 0; k <= n; ++k) c[k] = static_cast<float>(cc[k]);
    for (int k = 0; k < n; ++k) {
        b[k] = static_cast<float>((p[k + 1] - p[k]) / h - (h / 3.0) * (2.0 * cc[k] + cc[k + 1]));
        d[k] = static_cast<float>((cc[k + 1] - cc[k]) / (3.0 * h));
    }
}

float cubic(const std::vector<float>& a, const std::vector<float>& b, const std::vector<float>& c,
            const std::vector<float>& d, int i, float t) {
    return t * b[i] + a[i] + t * c[i] * t + t * d[i] * t * t;
}

CameraPathPair pairFromKeys(const float translation[10][3], const float rotation[10][3]) {
    Vertex t[10], r[10];
    for (int k = 0; k < 10; ++k) {
        t[k].setPosition(Vec3(translation[k][0], translation[k][1], translation[k][2]));
        r[k].setPosition(Vec3(rotation[k][0], rotation[k][1], rotation[k][2]));
    }
    CameraPathPair pair;
    pair.rotation = buildPath(r, 9);
    pair.translation = buildPath(t, 9);
    return pair;
}

}  // namespace

CameraPath buildPath(const Vertex* keys, int n) {
    CameraPath path;
    std::vector<double> px(n + 1), py(n + 1), pz(n + 1);
    for (int k = 0; k <= n; ++k) {
        px[k] = keys[k].pos[0];
        py[k] = keys[k].pos[1];
        pz[k] = keys[k].pos[2];
    }
    fitAxis(px, n, path.ax, path.bx, path.cx, path.dx);
    fitAxis(py, n, path.ay, path.by, path.cy, path.dy);
    fitAxis(pz, n, path.az, path.bz, path.cz, path.dz);
    path.step = 1.0f;
    path.segments = n;
    return path;
}

Vertex evaluatePath(const CameraPath& path, float phase) {
    Vertex v;
    const int n = path.segments;
    if (n < 1) return v;
    const float u = static_cast<float>(n) * path.step * phase;
    float s = 0.0f;
    int i = 0;
    // A value exactly on a key belongs to the segment that ends there.
    while (s + path.step < u && i < n - 1) {
        s += path.step;
        ++i;
    }
    const float t = u - s;
    v.pos[0] = cubic(path.ax, path.bx, path.cx, path.dx, i, t);
    v.pos[1] = cubic(path.ay, path.by, path.cy, path.dy, i, t);
    v.pos[2] = cubic(path.az, path.bz, path.cz, path.dz, i, t);
    return v;
}

CameraPathPair buildOrbitPaths() {
    // A circle of radius 0.7 about the room's vertical axis, bobbing up and
    // down, looking in while turning once round.
    const double c = 0.699999988079071, s = 0.449999988079071;
    const double halfPi = 1.5707963267948966;
    float translation[10][3], rotation[10][3];
    float theta = 0.0f;
    for (int k = 0; k < 10; ++k) {
        translation[k][0] = static_cast<float>(c * std::cos(theta + halfPi));
        translation[k][1] = static_cast<float>(-0.25 - s * std::sin(theta + halfPi) - 0.15f);
        translation[k][2] = static_cast<float>(c * std::sin(theta + halfPi));
        rotation[k][0] = static_cast<float>(40.0 - 20.0 * std::sin(theta - halfPi));
        rotation[k][1] = static_cast<float>(180 + 40 * k);
        rotation[k][2] = 0.0f;
        theta += 0.6981317007977318f;
    }
    return pairFromKeys(translation, rotation);
}

CameraPathPair buildFinalePaths1() {
    static const float t[10][3] = {{-0.5f, -0.1f, 0.3f}, {-0.8f, -0.1f, 0.5f},  {-1.4f, -0.1f, 0.3f},
                                   {-1.5f, -0.1f, 0.3f}, {0, -0.403f, 0},       {0, -0.303f, 0},
                                   {0, -0.3f, -0.1f},    {0, -0.403f, -0.2f},   {0, -0.403f, -0.2f},
                                   {0, -0.403f, 0}};
    static const float r[10][3] = {{0, 10, 0},    {0, 10, 0},    {0, 10, 0},     {10, 0, 0},
                                   {0.3f, 0, 0},  {0.1f, 0, 0},  {-0.1f, 0, 0},  {0.9f, 0, 0},
                                   {0.9f, 0, 0},  {0, 0, 0}};
    return pairFromKeys(t, r);
}

CameraPathPair buildFinalePaths2() {
    static const float t[10][3] = {{-0.5f, 0.3f, -0.44f}, {0, -0.1203f, 0.04f}, {0, 0.603f, 0.2f},
                                   {0, -0.603f, 0},       {0, -0.4f, 0},        {0, -0.303f, 0},
                                   {0, -0.403f, -0.1f},   {0, -0.403f, -0.2f},  {0, -40.3f, -20},
                                   {0, -40.3f, 0}};
    static const float r[10][3] = {{10.2f, -0.2f, 20}, {0.02f, 10, 30}, {0.1f, 10, 40}, {0.1f, 0, 0},
                                   {0.3f, 0, 0},       {0.1f, 0, 0},    {-0.1f, 0, 0},  {0.9f, 0, 0},
                                   {90, 0, 0},         {0, 0, 0}};
    return pairFromKeys(t, r);
}

CameraPathPair buildFinalePaths3() {
    // Key 0's height is 0.2f scaled by 2^-24: just off zero.
    static const float t[10][3] = {{0, 0.2f / 16777216.0f, -0.44f}, {2.5f, -0.4203f, 0.64f},
                                   {4.8f, 1.303f, 1.7f},            {6.8f, 2.303f, 2.5f},
                                   {19, 3.1f, 4.1f},                {0, -0.603f, 5},
                                   {0, -0.703f, -0.1f},             {0, -0.703f, -0.2f},
                                   {0, -40.6f, -20},                {0, -40.6f, 0}};
    static const float r[10][3] = {{70.2f, -19.8f, 20}, {-0.102f, 0, 30}, {0.1f, 10, 40}, {70.1f, 30, 0},
                                   {70.3f, 50, 0},      {0.1f, -30, 0},   {-0.1f, -30, 0}, {0.9f, -30, 0},
                                   {90, -30, 0},        {0, -30, 0}};
    return pairFromKeys(t, r);
}
