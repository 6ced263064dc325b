// sphere_mesh_test.cpp - the bauble meshes on the CPU: sizes, the sphere they
// lie on, where each face sits, the closed seams, the show's table of
// spheres, and rigid placement on the colliders.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <map>
#include <string>

#include "render/sphere.h"

namespace {

const Vertex& vert(const SphereMesh& s, int f, int i, int j) { return s.local[f * s.n * s.n + i * s.n + j]; }

void expectAt(const Vertex& v, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(v.pos[0], x, tol);
    EXPECT_NEAR(v.pos[1], y, tol);
    EXPECT_NEAR(v.pos[2], z, tol);
}

TEST(SphereMesh, ConstructionIsEmptyWithNineSubdivisions) {
    SphereMesh s;
    EXPECT_EQ(s.n, 9);
    EXPECT_EQ(s.radius, 0.0f);
    EXPECT_TRUE(s.world.empty());
    EXPECT_EQ(s.centre.pos[0], 0.0f);
}

TEST(SphereMesh, EveryVertexOnTheSphereWithUnitOutwardNormal) {
    const int sizes[] = {3, 6, 9, 15};
    for (int n : sizes) {
        SphereMesh s;
        const float R = 0.13f;
        buildSphere(s, R, n, 7);
        ASSERT_EQ(s.local.size(), static_cast<size_t>(6 * n * n));
        ASSERT_EQ(s.world.size(), s.local.size());
        for (size_t v = 0; v < s.local.size(); ++v) {
            const Vertex& a = s.local[v];
            const Vec3 p = a.position(), nrm = a.normalVec();
            EXPECT_NEAR(length(p), R, 1e-6f) << "n=" << n << " v=" << v;
            EXPECT_NEAR(length(nrm), 1.0f, 1e-5f);
            EXPECT_NEAR(dot(p, nrm), R, 1e-5f);  // pointing outwards along the radius
            // The world copy is whole: position, normal and texture coordinates.
            EXPECT_EQ(s.world[v].pos[1], a.pos[1]);
            EXPECT_EQ(s.world[v].normal[2], a.normal[2]);
            EXPECT_EQ(s.world[v].tex[0], a.tex[0]);
        }
        for (GLuint t : s.faceTexture) EXPECT_EQ(t, 7u);
    }
}

TEST(SphereMesh, RowsRunBetweenCubeCornersAndFacesCentreOnTheirAxes) {
    const float R = 0.292f;
    const float c = R / std::sqrt(3.0f);
    for (int n : {3, 6, 9, 15}) {
        SphereMesh s;
        buildSphere(s, R, n, 1);
        const int e = n - 1;
        // Face 0's four corners: each row ends where the column angle reaches pi - phi0.
        expectAt(vert(s, 0, 0, 0), c, c, c);
        expectAt(vert(s, 0, 0, e), -c, c, c, 2e-6f);
        expectAt(vert(s, 0, e, 0), c, -c, c, 2e-6f);
        expectAt(vert(s, 0, e, e), -c, -c, c, 2e-6f);
        if (n % 2 == 1) {
            const int m = e / 2;
            expectAt(vert(s, 0, m, m), 0, 0, R);
            expectAt(vert(s, 1, m, m), 0, 0, -R);
            expectAt(vert(s, 2, m, m), 0, R, 0);
            expectAt(vert(s, 3, m, m), 0, -R, 0);
            expectAt(vert(s, 4, m, m), R, 0, 0);
            expectAt(vert(s, 5, m, m), -R, 0, 0);
        }
    }
}

TEST(SphereMesh, TextureCoordinatesSpanEachFace) {
    SphereMesh s;
    buildSphere(s, 1.0f, 6, 1);
    // (s, t) at row 0, column 0 and at row 5, column 5 of each face.
    const float first[6][2] = {{0, 1}, {1, 1}, {1, 1}, {1, 0}, {1, 1}, {0, 1}};
    for (int f = 0; f < 6; ++f) {
        EXPECT_EQ(vert(s, f, 0, 0).tex[0], first[f][0]) << f;
        EXPECT_EQ(vert(s, f, 0, 0).tex[1], first[f][1]) << f;
        EXPECT_EQ(vert(s, f, 5, 5).tex[0], 1 - first[f][0]) << f;
        EXPECT_EQ(vert(s, f, 5, 5).tex[1], 1 - first[f][1]) << f;
    }
    EXPECT_FLOAT_EQ(vert(s, 0, 2, 3).tex[0], 0.6f);
    EXPECT_FLOAT_EQ(vert(s, 0, 2, 3).tex[1], 0.6f);
}

TEST(SphereMesh, CapBordersTakeTheirNeighboursVerticesExactly) {
    const int n = 9;
    SphereMesh s;
    buildSphere(s, 0.1596f, n, 1);
    const int e = n - 1;
    // Which vertex each cap border vertex was last copied from: corners are
    // reached by two copies, and the later one wins.
    std::map<int, int> source;
    auto index = [&](int f, int i, int j) { return f * n * n + i * n + j; };
    for (int p = 0; p < 8; ++p) {
        for (int k = 0; k < n; ++k) {
            const int pairs[8][6] = {{2, k, 0, 4, 0, k}, {3, k, 0, 4, e, k}, {0, k, 0, 4, k, 0}, {1, k, 0, 4, k, e},
                                     {2, k, e, 5, 0, k}, {3, k, e, 5, e, k}, {0, k, e, 5, k, 0}, {1, k, e, 5, k, e}};
            const int* q = pairs[p];
            source[index(q[3], q[4], q[5])] = index(q[0], q[1], q[2]);
        }
    }
    EXPECT_EQ(source.size(), static_cast<size_t>(8 * n - 8));  // each cap's border ring
    for (const auto& [to, from] : source) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(s.local[to].pos[c], s.local[from].pos[c]) << to;
            EXPECT_EQ(s.local[to].normal[c], s.local[from].normal[c]) << to;
        }
    }
    // Along the edges the two patches meet within rounding; at the corners
    // the last copy (face 0 or 1) replaced the first (face 2 or 3).
    for (int k = 0; k < n; ++k)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(vert(s, 4, 0, k).pos[c], vert(s, 2, k, 0).pos[c], 1e-7f);
    EXPECT_EQ(vert(s, 4, 0, 0).pos[1], vert(s, 0, 0, 0).pos[1]);
    // Texture coordinates stay the cap's own.
    EXPECT_EQ(vert(s, 4, 0, 0).tex[0], 1.0f);
    EXPECT_EQ(vert(s, 4, 0, 0).tex[1], 1.0f);
    EXPECT_EQ(vert(s, 5, 0, e).tex[0], 1.0f);
    // The world array carries the closed seams too.
    EXPECT_EQ(s.world[4 * n * n + 3].pos[0], vert(s, 2, 3, 0).pos[0]);
}

TEST(SphereMesh, OneVertexPerFaceIsFinite) {
    SphereMesh s;
    buildSphere(s, 0.13f, 1, 1);
    ASSERT_EQ(s.local.size(), 6u);
    for (const Vertex& v : s.local)
        for (int c = 0; c < 3; ++c) {
            EXPECT_TRUE(std::isfinite(v.pos[c]));
            EXPECT_TRUE(std::isfinite(v.normal[c]));
            if (c < 2) {
                EXPECT_TRUE(std::isfinite(v.tex[c]));
            }
        }
}

TEST(SphereMesh, ShowSpheresFollowTheStartUpTable) {
    allocateSpheres();
    buildShowSpheres(5);
    const SphereState& sp = spheres;
    EXPECT_EQ(sp.largeBauble.radius, 0.292f);
    EXPECT_EQ(sp.largeBauble.n, 9);
    EXPECT_EQ(sp.middleBauble.radius, 0.1596f);
    EXPECT_EQ(sp.middleBauble.world.size(), 486u);
    for (int k = 0; k < kSphereArray; ++k) {
        EXPECT_EQ(sp.detailed[k].radius, k == 1 ? 0.13f : 0.05f);
        EXPECT_EQ(sp.detailed[k].world.size(), k == 1 ? 1350u : 216u);
        EXPECT_EQ(sp.coarse[k].radius, k == 1 ? 0.13f : 0.05f);
        EXPECT_EQ(sp.coarse[k].world.size(), k == 1 ? 6u : 54u);
        EXPECT_EQ(sp.coarse[k].faceTexture[5], 5u);
    }
    allocateSpheres();
    EXPECT_TRUE(spheres.detailed[1].world.empty());
}

TEST(SpherePlacement, RigidMoveFromTheLocalMeshNeverAccumulates) {
    SphereMesh s;
    buildSphere(s, 0.05f, 6, 1);
    for (Vertex& v : s.world) v.colour[0] = 0.25f, v.colour[2] = -0.5f;
    placeSphere(s, Vec3(0.5f, -0.25f, 2.0f));
    placeSphere(s, Vec3(-0.1f, 0.3f, 0.2f));
    for (size_t v = 0; v < s.world.size(); ++v) {
        const Vertex& w = s.world[v];
        const Vertex& l = s.local[v];
        EXPECT_EQ(w.pos[0], l.pos[0] + -0.1f);
        EXPECT_EQ(w.pos[1], l.pos[1] + 0.3f);
        EXPECT_EQ(w.pos[2], l.pos[2] + 0.2f);
        for (int c = 0; c < 3; ++c) EXPECT_EQ(w.normal[c], l.normal[c]);
        // The lighting's colours stay until it runs again.
        EXPECT_EQ(w.colour[0], 0.25f);
        EXPECT_EQ(w.colour[2], -0.5f);
    }
    EXPECT_EQ(s.centre.pos[0], -0.1f);
    EXPECT_EQ(s.centre.pos[2], 0.2f);
}

// A list: passive head, active, inactive, active without particle, active, active.
struct ColliderList {
    Particle particle{};
    Collider c[6]{};
    ColliderList() {
        const int flags[6] = {CF_PASSIVE, CF_ACTIVE | 0x04, 0, CF_ACTIVE, CF_ACTIVE, CF_ACTIVE};
        for (int i = 0; i < 6; ++i) {
            c[i].flags = flags[i];
            c[i].centre = Vec3(0.1f * i, 1.0f + i, -0.5f * i);
            c[i].particle = (i == 0 || i == 3) ? nullptr : &particle;
            c[i].next = i < 5 ? &c[i + 1] : nullptr;
        }
    }
};

TEST(SpherePlacement, KthActiveColliderTakesKthSphere) {
    ColliderList list;
    SphereMesh array[kSphereArray];
    for (SphereMesh& s : array) buildSphere(s, 0.05f, 3, 1);
    placeSpheres(array, list.c);
    // Active colliders 1, 3 (no particle: placed all the same), 4 and 5.
    const int owner[4] = {1, 3, 4, 5};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(array[k].centre.pos[1], list.c[owner[k]].centre.y) << k;
        EXPECT_EQ(array[k].world[0].pos[1], array[k].local[0].pos[1] + list.c[owner[k]].centre.y) << k;
    }
    EXPECT_EQ(array[4].centre.pos[1], 0.0f);  // no fifth active collider

    SphereMesh single;
    buildSphere(single, 0.1f, 3, 1);
    placeSingleSphere(single, list.c);
    EXPECT_EQ(single.centre.pos[1], list.c[1].centre.y);
}

}  // namespace

namespace {

// One float step of the radius: the spacing of floats at R.
double floatStep(float R) { return static_cast<double>(std::nextafter(R, 2 * R)) - R; }

}  // namespace

TEST(SphereMesh, VerticesFollowTheirAnglesToWithinAFloatStep) {
    // Worked out here in long double: the row and column angles are summed in
    // floats from their starting angles, the steps and every sine and cosine
    // are exact. A mesh whose steps or sines were rounded to float lands
    // several float steps of the radius off this grid.
    const long double pi = 3.14159265358979323846264338327950288L;
    const struct {
        float R;
        int n;
    } meshes[] = {{0.292f, 9}, {0.1596f, 9}, {0.13f, 15}, {0.05f, 6}, {0.05f, 3}};
    for (const auto& m : meshes) {
        SCOPED_TRACE("R=" + std::to_string(m.R) + " n=" + std::to_string(m.n));
        SphereMesh s;
        buildSphere(s, m.R, m.n, 1);
        const int n = m.n;
        const long double R = m.R;
        const long double A = std::acos(std::sqrt(3.0L) / 3);
        const long double thetaStep = (pi - 2 * A) / (n - 1);
        const double tolerance = floatStep(m.R);
        float theta = static_cast<float>(A);
        for (int i = 0; i < n; ++i) {
            const long double phi0 = std::acos(std::sqrt(2.0L) * std::sin(static_cast<long double>(theta)) / 2);
            const long double psi = pi / 4 + i * pi / (2 * n - 2);
            const long double phiStep = (pi - 2 * phi0) / (n - 1);
            float phi = static_cast<float>(phi0);
            for (int j = 0; j < n; ++j) {
                const long double c = R * std::cos(static_cast<long double>(phi));
                const long double a = R * std::cos(psi) * std::sin(static_cast<long double>(phi));
                const long double b = R * std::sin(psi) * std::sin(static_cast<long double>(phi));
                const long double want[6][3] = {{c, a, b}, {c, a, -b}, {c, b, a}, {c, -b, a}, {b, a, c}, {-b, a, c}};
                // The caps' borders are their neighbours' vertices; only
                // their inner vertices come from their own angles.
                const bool capInner = i > 0 && i < n - 1 && j > 0 && j < n - 1;
                for (int f = 0; f < 6; ++f) {
                    if (f >= 4 && !capInner) continue;
                    const Vertex& v = vert(s, f, i, j);
                    for (int q = 0; q < 3; ++q) {
                        const double off = static_cast<double>(std::fabs(v.pos[q] - want[f][q]));
                        EXPECT_LE(off, tolerance) << "face " << f << " row " << i << " column " << j << " axis " << q;
                    }
                }
                phi = static_cast<float>(phi + phiStep);
            }
            theta = static_cast<float>(theta + thetaStep);
        }
    }
}
