// The room: its surfaces and patches, the identity textures, and the quads
// that put each texel on its patch, clockwise seen from inside.
#include <epoxy/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <vector>

#include "offscreen/radiosity_room.h"
#include "offscreen_test_util.h"

namespace {

// The surface's rectangle along each axis, as (min, max).
void bounds(const RadiositySurface& s, Vec3& lo, Vec3& hi) {
    lo = Vec3(1e9f, 1e9f, 1e9f);
    hi = Vec3(-1e9f, -1e9f, -1e9f);
    for (uint32_t p = 0; p < s.patchCount; ++p) {
        const Vec3& c = s.patches[p].position;
        lo = Vec3(std::fmin(lo.x, c.x), std::fmin(lo.y, c.y), std::fmin(lo.z, c.z));
        hi = Vec3(std::fmax(hi.x, c.x), std::fmax(hi.y, c.y), std::fmax(hi.z, c.z));
    }
}

TEST(RadiosityRoom, SurfacesPatchesAndTheTwoNamedByNumber) {
    ASSERT_TRUE(openRoomView());
    uint32_t total = 0;
    int number = 0;
    for (RadiositySurface* s = room.head; s; s = s->next) {
        ++number;
        ASSERT_EQ(s, surfaceByNumber(number));
        EXPECT_EQ(s->patchCount, static_cast<uint32_t>(s->rows * s->columns));
        total += s->patchCount;
        if (number == 4) {
            EXPECT_EQ(s->patchCount, 256u);
            EXPECT_EQ(s->columns, 16);
            EXPECT_EQ(s->rows, 16);
        }
        if (s->rows == 4 && s->columns == 4) {
            EXPECT_EQ(s->patchCount, 16u);
        }
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            const RadiosityPatch& patch = s->patches[p];
            EXPECT_FLOAT_EQ(patch.reflectance, 0.02f);
            // Inside the room, facing into it: a step along the normal stays
            // inside the box and leaves the surface's plane.
            const Vec3 q = patch.position + patch.normal * 0.1f;
            EXPECT_TRUE(std::fabs(q.x) < 1 && std::fabs(q.y) < 1 && std::fabs(q.z) < 1) << "surface " << number;
            EXPECT_FLOAT_EQ(length(patch.normal), 1.0f);
        }
    }
    EXPECT_EQ(number, 52);
    EXPECT_EQ(total, 1664u);
    EXPECT_EQ(surfaceByNumber(0), room.head);
    EXPECT_EQ(surfaceByNumber(53), nullptr);

    // 42: underside of the lower cube in corner -x -z.
    Vec3 lo, hi;
    const RadiositySurface* lamp = surfaceByNumber(42);
    bounds(*lamp, lo, hi);
    EXPECT_FLOAT_EQ(lamp->patches[0].normal.y, -1.0f);
    EXPECT_FLOAT_EQ(lo.y, -0.5f);
    EXPECT_FLOAT_EQ(hi.y, -0.5f);
    EXPECT_TRUE(lo.x > -1 && hi.x < -0.5f && lo.z > -1 && hi.z < -0.5f);
    // 22: the piece of wall z = +1 at x 0.5..1, y 0..0.5.
    const RadiositySurface* glow = surfaceByNumber(22);
    bounds(*glow, lo, hi);
    EXPECT_FLOAT_EQ(glow->patches[0].normal.z, -1.0f);
    EXPECT_FLOAT_EQ(lo.z, 1.0f);
    EXPECT_TRUE(lo.x > 0.5f && hi.x < 1 && lo.y > 0 && hi.y < 0.5f);
    // The first lighting's lamp is surface 31; nothing else glows.
    for (int n = 1; n <= 52; ++n) {
        const Vec3 e = surfaceByNumber(n)->patches[0].emission;
        if (n == 31) {
            EXPECT_FLOAT_EQ(e.x, 0.435f);
            EXPECT_FLOAT_EQ(e.z, 0.32f);
        } else {
            EXPECT_EQ(e.x + e.y + e.z, 0.0f) << n;
        }
    }
}

TEST(RadiosityRoom, PatchCentresFollowTheirAxesRowMajor) {
    ASSERT_TRUE(openRoomView());
    // Floor: columns run along z from +1 to -1, rows along x from -1 to +1.
    const RadiositySurface* floor = surfaceByNumber(4);
    const RadiosityPatch& first = floor->patches[0];
    EXPECT_FLOAT_EQ(first.position.z, 1 - 0.0625f);
    EXPECT_FLOAT_EQ(first.position.x, -1 + 0.0625f);
    EXPECT_FLOAT_EQ(first.position.y, -1);
    const RadiosityPatch& nextColumn = floor->patches[1];
    EXPECT_FLOAT_EQ(nextColumn.position.z, 1 - 0.1875f);
    EXPECT_FLOAT_EQ(nextColumn.position.x, first.position.x);
    const RadiosityPatch& nextRow = floor->patches[16];
    EXPECT_FLOAT_EQ(nextRow.position.x, -1 + 0.1875f);
    // A cube face whose columns run along x (the side of the lower cube in
    // corner -x +z): rows run along y, the fixed coordinate is z = 0.5.
    const RadiositySurface* side = surfaceByNumber(25);
    EXPECT_FLOAT_EQ(side->patches[5].position.x, -1 + 1.5f * 0.125f);
    EXPECT_FLOAT_EQ(side->patches[5].position.y, -0.5f + 1.5f * 0.125f);
    EXPECT_FLOAT_EQ(side->patches[5].position.z, 0.5f);
}

TEST(RadiosityRoom, IdentityTexturesNumberPatchesAndSurfaces) {
    ASSERT_TRUE(openRoomView());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    int lowestRed = 255, highestRed = 0;
    for (int k = 1; k <= 52; ++k) {
        const RadiositySurface* s = surfaceByNumber(k);
        std::vector<unsigned char> patchTexels(s->patchCount * 3), surfaceTexels(s->patchCount * 3);
        glBindTexture(GL_TEXTURE_2D, offscreen.identityPatchNames[k - 1]);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, patchTexels.data());
        glBindTexture(GL_TEXTURE_2D, offscreen.identitySurfaceNames[k - 1]);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, surfaceTexels.data());
        GLint w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        EXPECT_EQ(w, s->columns);
        EXPECT_EQ(h, s->rows);
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            const uint32_t value =
                (patchTexels[p * 3] << 16) | (patchTexels[p * 3 + 1] << 8) | patchTexels[p * 3 + 2];
            ASSERT_EQ(value, p + 1) << "surface " << k;
            ASSERT_EQ(surfaceTexels[p * 3], k + 1);
            ASSERT_EQ(surfaceTexels[p * 3 + 1] + surfaceTexels[p * 3 + 2], 0);
            lowestRed = std::min<int>(lowestRed, surfaceTexels[p * 3]);
            highestRed = std::max<int>(highestRed, surfaceTexels[p * 3]);
        }
    }
    EXPECT_EQ(lowestRed, 2);
    EXPECT_EQ(highestRed, 53);
}

// Looks at one surface from inside the room with the room views' culling
// and checks that the pixel at every patch centre shows that patch's texel
// (texel column j, row i for patch (i, j)). A quad wound the wrong way would
// be culled and show nothing.
TEST(RadiosityRoom, EveryPatchCentreShowsItsOwnTexel) {
    ASSERT_TRUE(openRoomView());
    const int size = 256;
    OffscreenView* view = host.createView(size);
    ASSERT_NE(view, nullptr);
    host.makeViewCurrent(view);
    // This view has its own names: upload the patch numbers again here.
    GLuint names[52];
    glGenTextures(52, names);
    for (int k = 1; k <= 52; ++k) {
        const RadiositySurface* s = surfaceByNumber(k);
        std::vector<unsigned char> texels(s->patchCount * 3);
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            texels[p * 3 + 1] = static_cast<unsigned char>((p + 1) >> 8);
            texels[p * 3 + 2] = static_cast<unsigned char>(p + 1);
        }
        glBindTexture(GL_TEXTURE_2D, names[k - 1]);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, s->columns, s->rows, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glEnable(GL_DEPTH_TEST);
    glViewport(0, 0, size, size);

    for (int k = 1; k <= 52; ++k) {
        const RadiositySurface* s = surfaceByNumber(k);
        Vec3 lo, hi;
        bounds(*s, lo, hi);
        const Vec3 n = s->patches[0].normal;
        const Vec3 eye = (lo + hi) * 0.5f + n * 1.0f;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(120, 1, 0.01, 10);
        lookAlongForTest(n * -1.0f);
        glTranslatef(-eye.x, -eye.y, -eye.z);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, names[k - 1]);
        drawSurfaceQuad(*s, k, RoomTexCoords::Identity);
        glDisable(GL_TEXTURE_2D);
        std::vector<unsigned char> px = readPixels(size, size);

        GLdouble model[16], proj[16];
        GLint viewport[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        glGetIntegerv(GL_VIEWPORT, viewport);
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            const Vec3 c = s->patches[p].position;
            GLdouble wx, wy, wz;
            ASSERT_TRUE(gluProject(c.x, c.y, c.z, model, proj, viewport, &wx, &wy, &wz));
            const int x = static_cast<int>(wx), y = static_cast<int>(wy);
            ASSERT_TRUE(x >= 0 && x < size && y >= 0 && y < size) << "surface " << k << " patch " << p;
            const unsigned char* q = &px[(y * size + x) * 4];
            ASSERT_EQ(q[0], 0) << "surface " << k << " patch " << p << " not drawn (culled?)";
            ASSERT_EQ((q[1] << 8) | q[2], static_cast<int>(p + 1)) << "surface " << k << " patch " << p;
        }
    }
    host.makeMainCurrent();
}

// Texture coordinates as GL receives them, through feedback: identity quads
// run 0..1, light maps a quarter texel inside except the ceiling strips.
TEST(RadiosityRoom, LightMapQuadsSitAQuarterTexelInside) {
    ASSERT_TRUE(openRoomView());
    host.makeMainCurrent();
    glDisable(GL_CULL_FACE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    struct Case {
        int surface;
        RoomTexCoords coords;
        float sLo, sHi, tLo, tHi;
    } cases[] = {
        {1, RoomTexCoords::LightMap, 0, 1, 0, 1},
        {3, RoomTexCoords::LightMap, 0, 1, 0, 1},
        {4, RoomTexCoords::LightMap, 0.015625f, 0.984375f, 0.015625f, 0.984375f},
        {5, RoomTexCoords::LightMap, 0.015625f, 0.984375f, 0.03125f, 0.96875f},
        {42, RoomTexCoords::LightMap, 0.0625f, 0.9375f, 0.0625f, 0.9375f},
        {42, RoomTexCoords::Identity, 0, 1, 0, 1},
    };
    for (const Case& c : cases) {
        GLfloat buffer[256];
        glFeedbackBuffer(256, GL_3D_COLOR_TEXTURE, buffer);
        glRenderMode(GL_FEEDBACK);
        drawSurfaceQuad(*surfaceByNumber(c.surface), c.surface, c.coords);
        const GLint used = glRenderMode(GL_RENDER);
        ASSERT_GT(used, 0);
        // Polygon tokens hold count then vertices of x y z, rgba, strq.
        float sMin = 9, sMax = -9, tMin = 9, tMax = -9;
        for (GLint i = 0; i < used;) {
            ASSERT_EQ(buffer[i], GL_POLYGON_TOKEN);
            const int count = static_cast<int>(buffer[i + 1]);
            for (int v = 0; v < count; ++v) {
                const GLfloat* vert = buffer + i + 2 + v * 11;
                sMin = std::fmin(sMin, vert[7]);
                sMax = std::fmax(sMax, vert[7]);
                tMin = std::fmin(tMin, vert[8]);
                tMax = std::fmax(tMax, vert[8]);
            }
            i += 2 + count * 11;
        }
        // A lit surface reaches a little past its edges, its map carried on
        // into the overlap (within the map): less than a hundredth of it.
        const float reach = c.coords == RoomTexCoords::LightMap ? 0.01f : 0.0f;
        EXPECT_LE(sMin, c.sLo + 1e-6f) << c.surface;
        EXPECT_GE(sMin, std::fmax(0.0f, c.sLo - reach)) << c.surface;
        EXPECT_GE(sMax, c.sHi - 1e-6f) << c.surface;
        EXPECT_LE(sMax, std::fmin(1.0f, c.sHi + reach)) << c.surface;
        EXPECT_LE(tMin, c.tLo + 1e-6f) << c.surface;
        EXPECT_GE(tMin, std::fmax(0.0f, c.tLo - reach)) << c.surface;
        EXPECT_GE(tMax, c.tHi - 1e-6f) << c.surface;
        EXPECT_LE(tMax, std::fmin(1.0f, c.tHi + reach)) << c.surface;
    }
}

}  // namespace
