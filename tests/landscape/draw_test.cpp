// One landscape frame on software GL: what the trees send in both passes
// (caught in feedback mode), the sway, the valley light's swing, and the
// terrain's three passes judged by the pixels of a view from straight above.
#include <epoxy/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "landscape/landscape.h"
#include "math/random.h"
#include "support/offscreen_gl.h"

namespace {

const int W = 640, H = 480;

// The points one tree sends in one drawTrees pass: trunk segments, then crown corners.
struct TreeShape {
    std::vector<float> trunk;
    std::vector<float> crown;
};

class LandscapeFrame : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openOffscreenGl(W, H));
        host.makeMainCurrent();
        glViewport(0, 0, W, H);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glDepthFunc(GL_LESS);
        glEnable(GL_DEPTH_TEST);
        glFrontFace(GL_CCW);
        resetShowRand();
        resetLandscape();
        buildLandscape();
        // Straight down onto the valley, the whole rim in view.
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-340, 340, -340, 340, -1000, 1000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotatef(90, 1, 0, 0);
    }

    // Runs drawTrees in feedback mode and splits what it sent tree by tree.
    std::vector<TreeShape> treesAsSent() {
        std::vector<GLfloat> buf(400000);
        glFeedbackBuffer(static_cast<GLsizei>(buf.size()), GL_3D, buf.data());
        glRenderMode(GL_FEEDBACK);
        drawTrees();
        const GLint n = glRenderMode(GL_RENDER);
        EXPECT_GT(n, 0);
        std::vector<TreeShape> trees(kLandscapeTrees);
        int tree = 0, segments = 0, triangles = 0;
        for (GLint i = 0; i < n && tree < kLandscapeTrees;) {
            const GLint token = static_cast<GLint>(buf[i++]);
            if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
                trees[tree].trunk.insert(trees[tree].trunk.end(), &buf[i], &buf[i + 6]);
                i += 6;
                ++segments;
            } else if (token == GL_POLYGON_TOKEN) {
                const int count = static_cast<int>(buf[i++]);
                EXPECT_EQ(count, 3);
                trees[tree].crown.insert(trees[tree].crown.end(), &buf[i], &buf[i + 3 * count]);
                i += 3 * count;
                if (++triangles == 8) {
                    EXPECT_EQ(segments, 50) << "tree " << tree;  // 51 trunk points
                    ++tree;
                    segments = triangles = 0;
                }
            } else {
                ADD_FAILURE() << "unexpected feedback token " << token;
                break;
            }
        }
        EXPECT_EQ(tree, kLandscapeTrees);
        return trees;
    }

    // Window position of a world point under the current matrices.
    void project(const Vec3& p, int& x, int& y) {
        GLdouble mv[16], pr[16], wx, wy, wz;
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        glGetDoublev(GL_PROJECTION_MATRIX, pr);
        glGetIntegerv(GL_VIEWPORT, vp);
        gluProject(p.x, p.y, p.z, mv, pr, vp, &wx, &wy, &wz);
        x = static_cast<int>(wx);
        y = static_cast<int>(wy);
    }
};

TEST_F(LandscapeFrame, OddTreesStayPutEvenTreesShowAtTwoPlaces) {
    const std::vector<TreeShape> before = treesAsSent();
    swayTrees(0.06f);
    const std::vector<TreeShape> after = treesAsSent();
    for (int k = 0; k < kLandscapeTrees; ++k) {
        if (k % 2) {
            EXPECT_EQ(before[k].trunk, after[k].trunk) << "tree " << k;
            EXPECT_EQ(before[k].crown, after[k].crown) << "tree " << k;
        } else {
            EXPECT_NE(before[k].trunk, after[k].trunk) << "tree " << k;
            EXPECT_NE(before[k].crown, after[k].crown) << "tree " << k;
        }
    }
}

TEST_F(LandscapeFrame, SwayMovesEvenTreesAndTheirLightsFromRest) {
    const float x = 1.3f;
    swayTrees(x);
    for (int m = 1; m <= 50; ++m) {
        const LandscapeTree& tree = landscape.trees[2 * (m - 1)];
        const Light& l = landscape.landscapeLights[m];
        EXPECT_NEAR(l.position.x - l.home.x, 4 * std::sin(x), 1e-4);
        EXPECT_NEAR(l.position.y - l.home.y, 0.5 * std::cos(x), 1e-4);
        EXPECT_NEAR(l.position.z - l.home.z, std::cos(x), 1e-4);
        const float reach[5] = {0, 1, 2, 3, 5};
        for (int p = 0; p < 5; ++p) {
            EXPECT_NEAR(tree.sway[p].pos[0] - tree.rest[p].pos[0], reach[p] * std::sin(x), 1e-4);
            EXPECT_NEAR(tree.sway[p].pos[1] - tree.rest[p].pos[1], p ? 0.5 * std::cos(x) : 0.0, 1e-4);
            // The rebuilt curve runs through the swayed points.
            const Vertex on = evaluatePath(tree.trunk, p / 4.0f);
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(on.pos[c], tree.sway[p].pos[c], 1e-3);
        }
        // The points drawn are the rebuilt curve's, not the old one's.
        int n = 0;
        for (float t = 0.0f; t < 1.0f; t += 0.02f, ++n) {
            const Vertex on = evaluatePath(tree.trunk, t);
            for (int c = 0; c < 3; ++c) EXPECT_EQ(tree.trunkPoints[n][c], on.pos[c]);
        }
        EXPECT_EQ(n, kTrunkPoints);
        // The crown follows the top; its colours stay those of the build.
        EXPECT_EQ(tree.crown[0].pos[1], tree.sway[4].pos[1]);
        EXPECT_EQ(tree.restCrown[1].colour[1], 1.0f);
    }
    const LandscapeTree& odd = landscape.trees[1];
    for (int p = 0; p < 5; ++p) EXPECT_EQ(odd.sway[p].pos[0], odd.rest[p].pos[0]);
}

TEST_F(LandscapeFrame, ValleyLightDarkensAtHalfTurn) {
    landscape.motion.valleyPhase = static_cast<float>(M_PI) - 0.006f;
    advanceLandscape();
    drawLandscape();
    EXPECT_NEAR(landscape.motion.valleyPhase, M_PI, 1e-5);
    const Vec3 c = landscape.landscapeLights[0].colour;
    EXPECT_EQ(c.x, 0.0f);
    EXPECT_NEAR(c.y, -0.4f, 1e-5);
    EXPECT_NEAR(c.z, -0.4f, 1e-5);
    // A negative light lowers what it reaches: the deep funnel, where the
    // valley light matters most, is darker than in the first frame.
    std::vector<float> dark;
    for (int k = 24 * 64; k < kTerrainVertices; ++k) dark.push_back(landscape.terrain[k].colour[1]);
    landscape.motion.valleyPhase = 0.0f;
    advanceLandscape();
    drawLandscape();
    int darker = 0;
    for (int k = 24 * 64; k < kTerrainVertices; ++k) {
        // (the tree lights swayed a little in between)
        EXPECT_LE(dark[k - 24 * 64], landscape.terrain[k].colour[1] + 0.01f) << k;
        if (dark[k - 24 * 64] < landscape.terrain[k].colour[1] - 0.1f) ++darker;
    }
    EXPECT_GT(darker, 8 * 64 / 3);
}

TEST_F(LandscapeFrame, TerrainIsPictureTimesLightPlusLight) {
    // A plain mid-grey picture makes the three passes easy to read back.
    GLuint grey = 0;
    glGenTextures(1, &grey);
    glBindTexture(GL_TEXTURE_2D, grey);
    const unsigned char px[12] = {128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, px);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    // Modulate would darken the first pass by the lit colour; the landscape must not rely on it.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    landscape.terrainTexture = grey;

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    advanceLandscape();
    drawLandscape();
    std::vector<unsigned char> frame = readPixels(W, H);
    std::vector<float> depth(static_cast<size_t>(W) * H);
    glReadPixels(0, 0, W, H, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    auto at = [&](int x, int y, int c) { return frame[(static_cast<size_t>(y) * W + x) * 4 + c] / 255.0f; };

    // Lit vertices on the slopes: picture 0.5 times colour plus colour.
    // The lights have no red, so a grey picture leaves no red either.
    int checked = 0;
    for (int ring = 6; ring <= 14; ring += 4) {
        for (int col = 5; col < 64; col += 12) {
            const Vertex& v = landscape.terrain[ring * 64 + col];
            int x, y;
            project(v.position(), x, y);
            if (x < 0 || y < 0 || x >= W || y >= H) continue;
            EXPECT_LT(at(x, y, 0), 0.03f);
            const float g = std::fmin(1.0f, std::fmax(0.0f, v.colour[1]));
            EXPECT_NEAR(at(x, y, 1), std::fmin(1.0f, g * 128.0f / 255.0f + g), 0.09f) << ring << "," << col;
            ++checked;
        }
    }
    EXPECT_GT(checked, 10);

    // The rim takes no light: black though the picture is grey.
    int x, y;
    project(landscape.terrain[8].position() * 0.995f, x, y);
    EXPECT_LT(at(x, y, 1), 0.05f);

    // Between the last column and the first (354.4 to 360 degrees) the
    // closing pair of each ring leaves no gap.
    for (int ring = 2; ring < 24; ring += 3) {
        const float r = 0.01f * std::pow(32.0f - ring - 0.5f, 3.0f);
        const float a = static_cast<float>(357.0 * M_PI / 180.0);
        project(Vec3(r * std::cos(a), -4.0f * ring - 2.0f, r * std::sin(a)), x, y);
        EXPECT_LT(depth[static_cast<size_t>(y) * W + x], 1.0f) << "ring " << ring;
    }
    // Each pass ends with blending off and the depth test back to its default.
    GLint func = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &func);
    EXPECT_EQ(func, GL_LESS);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glDeleteTextures(1, &grey);
}

// The strips sent one attribute call at a time, closing pair included, as
// a reference for the arrays the landscape sends.
void referenceStrips() {
    const Vertex* g = landscape.terrain;
    for (int i = 0; i < kTerrainRings - 1; ++i) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int j = 0; j < kTerrainColumns; ++j) {
            for (const Vertex* v : {&g[i * 64 + j], &g[(i + 1) * 64 + j]}) {
                glColor3fv(v->colour);
                glTexCoord2fv(v->tex);
                glVertex3fv(v->pos);
            }
        }
        for (const Vertex* v : {&g[i * 64], &g[(i + 1) * 64]}) {
            glColor3fv(v->colour);
            glVertex3fv(v->pos);
        }
        glEnd();
    }
}

TEST_F(LandscapeFrame, TerrainArraysDrawExactlyTheStrips) {
    // A picture with a gradient across s shows any texture coordinate slip,
    // the closing pair's included.
    GLuint ramp = 0;
    glGenTextures(1, &ramp);
    glBindTexture(GL_TEXTURE_2D, ramp);
    unsigned char px[16 * 16 * 3];
    for (int t = 0; t < 16; ++t)
        for (int s = 0; s < 16; ++s) {
            px[(t * 16 + s) * 3 + 0] = static_cast<unsigned char>(s * 16);
            px[(t * 16 + s) * 3 + 1] = static_cast<unsigned char>(t * 16);
            px[(t * 16 + s) * 3 + 2] = 128;
        }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 16, 16, 0, GL_RGB, GL_UNSIGNED_BYTE, px);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    swayTrees(0.5f);
    lightTerrain();

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    referenceStrips();
    const std::vector<unsigned char> expected = readPixels(W, H);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    emitTerrainStrips();
    const std::vector<unsigned char> got = readPixels(W, H);
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &ramp);

    size_t differ = 0, lit = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i] != expected[i]) ++differ;
        if (expected[i] && i % 4 != 3) ++lit;
    }
    EXPECT_EQ(differ, 0u);
    EXPECT_GT(lit, static_cast<size_t>(W * H));  // the view is mostly terrain
}

TEST_F(LandscapeFrame, ManyFramesCountFramesAndKeepEveryCurveInShape) {
    // Run under the sanitizer build, this is also the check that rebuilding
    // fifty curves a frame leaks nothing.
    float valley = 0.0f, sway = 0.0f;
    for (int f = 0; f < 200; ++f) {
        advanceLandscape();
        drawLandscape();
        valley += 0.006f;
        sway += 0.06f;
    }
    EXPECT_EQ(landscape.motion.valleyPhase, valley);
    EXPECT_EQ(landscape.motion.swayPhase, sway);
    for (const LandscapeTree& tree : landscape.trees) {
        EXPECT_EQ(tree.trunk.segments, 4);
        EXPECT_EQ(tree.trunk.ax.size(), 4u);
        EXPECT_EQ(tree.trunk.cz.size(), 5u);
        const Vertex top = evaluatePath(tree.trunk, 1.0f);
        EXPECT_NEAR(top.pos[1], tree.sway[4].pos[1], 1e-3);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
