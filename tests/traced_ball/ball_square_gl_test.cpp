// The traced ball on screen: the square in the middle of the 640 x 480 screen
// space shows the traced picture, filtered, and nothing is drawn around it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "image/traced_ball.h"
#include "support/offscreen_gl.h"

TEST(BallSquare, DrawsTheTracedPictureIntoTheCentreSquare) {
    constexpr int W = 640, H = 480;
    ASSERT_TRUE(openOffscreenGl(W, H));
    host.makeMainCurrent();
    glViewport(0, 0, W, H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-320, 320, -240, 240, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // A colour that would show if the texture were modulated rather than replacing.
    glColor3f(0.2f, 0.9f, 0.4f);

    resetTracedBall();
    for (int frame = 0; frame < 20; ++frame) advanceBall(tracedBall);  // up in the air
    TracedBallState before = tracedBall;
    std::vector<uint8_t> picture(kBallPictureBytes);
    traceBallPicture(before, picture.data());

    advanceTracedBall();
    drawBallSquare(0);
    drawBallSquare(0);  // drawing again shows the same frame and moves nothing
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "texturing is left off";
    advanceBall(before);
    EXPECT_EQ(tracedBall.ballY, before.ballY) << "one step per frame advanced, none per square drawn";
    EXPECT_EQ(tracedBall.ballX, before.ballX);

    const std::vector<unsigned char> px = readPixels(W, H);
    // The square covers x, y in [-230, 230]: pixels 90..549 across, 10..469 up.
    int lit = 0, outsideLit = 0, offPicture = 0;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const unsigned char* p = &px[(static_cast<size_t>(y) * W + x) * 4];
            const bool inside = x >= 90 && x < 550 && y >= 10 && y < 470;
            const bool black = p[0] == 0 && p[1] == 0 && p[2] == 0;
            if (!inside) {
                outsideLit += !black;
                continue;
            }
            lit += !black;
            // Linear filtering lands between the four nearest texels.
            const double u = (x + 0.5 - 90) / 460.0 * kBallPictureSide - 0.5;
            const double v = (y + 0.5 - 10) / 460.0 * kBallPictureSide - 0.5;
            const int i0 = static_cast<int>(std::floor(u)), j0 = static_cast<int>(std::floor(v));
            for (int c = 0; c < 3; ++c) {
                int lo = 255, hi = 0;
                for (int dj = 0; dj < 2; ++dj) {
                    for (int di = 0; di < 2; ++di) {
                        const int i = (i0 + di + kBallPictureSide) % kBallPictureSide;
                        const int j = (j0 + dj + kBallPictureSide) % kBallPictureSide;
                        const int t = picture[(static_cast<size_t>(j) * kBallPictureSide + i) * 3 + c];
                        lo = std::min(lo, t);
                        hi = std::max(hi, t);
                    }
                }
                if (p[c] + 2 < lo || p[c] > hi + 2) {
                    ++offPicture;
                    break;
                }
            }
        }
    }
    EXPECT_EQ(outsideLit, 0);
    EXPECT_GT(lit, 460 * 460 / 4) << "the floor and the ball fill much of the square";
    EXPECT_EQ(offPicture, 0);
}
