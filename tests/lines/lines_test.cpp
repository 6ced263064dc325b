// lines_test.cpp - the show's lines keep their thickness against the
// picture: two pixels across in a picture 960 lines high, whether the
// driver draws lines that wide or they must be drawn as thin quads.
#include <gtest/gtest.h>

#include "render/capabilities.h"
#include "render/lines.h"
#include "show/gl_state.h"
#include "support/offscreen_gl.h"

namespace {

constexpr int W = 240, H = 960;

// Lit pixels across row y, and whether they are all in one run.
int litAcross(const std::vector<unsigned char>& px, int y, bool* oneRun) {
    int lit = 0, runs = 0;
    bool was = false;
    for (int x = 0; x < W; ++x) {
        const bool on = px[(static_cast<size_t>(y) * W + x) * 4] > 128;
        lit += on;
        runs += on && !was;
        was = on;
    }
    *oneRun = runs == 1;
    return lit;
}

}  // namespace

TEST(Lines, AsThickAgainstThePictureWhateverTheDriverDraws) {
    // The show's picture drawn at 240 x 960, as --render would have it.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    PlatformConfig config;
    config.mode = VideoMode::Offscreen;
    config.width = config.renderWidth = W;
    config.height = config.renderHeight = H;
    std::string error;
    ASSERT_TRUE(platformInit(config, error) && platformOpenWindow(error)) << error;
    platformShowLoaded();
    int w = 0, h = 0;
    host.screenSize(&w, &h);
    ASSERT_EQ(h, H);
    glState::mainCurrent();
    glViewport(0, 0, W, H);
    EXPECT_FLOAT_EQ(lineWidthFor(480), 1.0f);
    EXPECT_FLOAT_EQ(lineWidthFor(H), 2.0f);
    const LinePoint strip[3] = {{{1, 1, 1}, {0.0f, -0.8f, 0}}, {{1, 1, 1}, {0.0f, 0.0f, 0}}, {{1, 1, 1}, {0.5f, 0.8f, 0}}};
    for (float widest : {255.0f, 1.0f}) {
        SCOPED_TRACE(widest == 1.0f ? "thin quads" : "wide lines");
        glCapabilities.maxLineWidth = widest;
        glLineWidth(std::min(lineWidthFor(H), widest));
        glState::matrixMode(GL_PROJECTION);
        glState::loadIdentity();
        glState::matrixMode(GL_MODELVIEW);
        glState::loadIdentity();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glState::disable(GL_DEPTH_TEST);
        drawLines(strip, 3, true);
        const std::vector<unsigned char> px = readPixels(W, H);
        bool oneRun = false;
        EXPECT_EQ(litAcross(px, H / 4, &oneRun), 2) << "the upright segment";
        EXPECT_TRUE(oneRun);
        // The slanted segment is two pixels thick across its own direction:
        // about 2.3 across a row at its slope.
        const int slanted = litAcross(px, H * 3 / 4, &oneRun);
        EXPECT_GE(slanted, 2);
        EXPECT_LE(slanted, 3);
        EXPECT_TRUE(oneRun);
        EXPECT_EQ(glState::now(nullptr).matrixMode, static_cast<GLenum>(GL_MODELVIEW));
    }
}
