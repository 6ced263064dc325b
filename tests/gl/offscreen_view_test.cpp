// Offscreen views: each has its own context (texture names and display
// lists start again at 1) and draws into its own target, never the window's.
#include <gtest/gtest.h>

#include "show/host.h"
#include "support/offscreen_gl.h"

namespace {
void clearTo(float r, float g, float b) {
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
}  // namespace

TEST(OffscreenView, OwnNamesOwnPixelsAndTheMainFrameUntouched) {
    ASSERT_TRUE(openOffscreenGl(64, 48));
    host.makeMainCurrent();
    GLuint mainTex = 0;
    glGenTextures(1, &mainTex);
    EXPECT_EQ(mainTex, 1u);
    glBindTexture(GL_TEXTURE_2D, mainTex);
    glViewport(0, 0, 64, 48);
    clearTo(0, 0, 1);

    OffscreenView* view = host.createView(16);
    ASSERT_NE(view, nullptr);
    host.makeViewCurrent(view);
    GLuint viewTex = 0;
    glGenTextures(1, &viewTex);
    EXPECT_EQ(viewTex, 1u) << "a view's texture names start at 1 like the window's";
    EXPECT_EQ(glGenLists(1), 1u);
    glViewport(0, 0, 16, 16);
    clearTo(1, 0, 0);
    // A triangle drawn in the view lands in the view.
    glColor3f(0, 1, 0);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(0, -1);
    glVertex2f(0, 0);
    glVertex2f(-1, 0);
    glEnd();
    std::vector<unsigned char> v = readPixels(16, 16);
    EXPECT_EQ(v[0], 0);   // lower-left quarter green
    EXPECT_EQ(v[1], 255);
    size_t topRight = (15 * 16 + 15) * 4;
    EXPECT_EQ(v[topRight], 255);  // the rest red
    EXPECT_EQ(v[topRight + 1], 0);

    // A second view is separate again.
    OffscreenView* other = host.createView(8);
    ASSERT_NE(other, nullptr);
    host.makeViewCurrent(other);
    GLuint otherTex = 0;
    glGenTextures(1, &otherTex);
    EXPECT_EQ(otherTex, 1u);

    host.makeMainCurrent();
    std::vector<unsigned char> m = readPixels(64, 48);
    for (size_t i = 0; i < m.size(); i += 4) {
        ASSERT_EQ(m[i], 0) << "pixel " << i / 4;
        ASSERT_EQ(m[i + 2], 255) << "pixel " << i / 4;
    }
    // And the main context still owns its texture 1, not the view's.
    EXPECT_TRUE(glIsTexture(mainTex));
    GLuint next = 0;
    glGenTextures(1, &next);
    EXPECT_EQ(next, 2u);
}
