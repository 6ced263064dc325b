// Drawing skips work no pixel shows: reflection pictures that no visible
// face of a bauble samples, geometry wholly off the screen, passes folded
// into one. Each scene
// window is drawn here twice from the same state, doing all of that work
// and skipping it, and the frames must be identical to the byte. Before the
// skipping run the reflection pictures are painted a colour the show never
// makes, so a face that was wrongly skipped shows it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/show_state.h"
#include "app/show_textures.h"
#include "app/startup.h"
#include "app/timeline.h"
#include "offscreen/views.h"
#include "render/shortcuts.h"
#include "support/offscreen_gl.h"

namespace {

constexpr int W = 320, H = 240;

std::vector<unsigned char> lastPicture;
void capture(uint32_t) { lastPicture = readPixels(W, H); }

// Every reflection slot filled with pure magenta.
void poisonReflections() {
    host.makeMainCurrent();
    std::vector<unsigned char> magenta(static_cast<size_t>(128) * 128 * 3);
    for (size_t i = 0; i < magenta.size(); i += 3) {
        magenta[i] = 255;
        magenta[i + 1] = 0;
        magenta[i + 2] = 255;
    }
    for (int k = 0; k < 6; ++k) {
        glBindTexture(GL_TEXTURE_2D, textures.scene.slot[k]);
        glTexImage2D(GL_TEXTURE_2D, 0, 3, 128, 128, 0, GL_RGB, GL_UNSIGNED_BYTE, magenta.data());
    }
}

// Frames first .. first + 3 steps of 4 (30 frames a second), drawn; faces
// counts the reflection faces they rendered.
std::vector<std::vector<unsigned char>> drawRun(uint64_t first, bool skip, uint64_t* faces) {
    takeShortcuts(skip);
    seekShow(first);
    if (skip) poisonReflections();
    std::vector<std::vector<unsigned char>> pictures;
    beforePresent = capture;
    const uint64_t facesBefore = offscreen.facesRendered;
    for (uint64_t k = first; k <= first + 12; k += 4) {
        seekShow(k);
        advanceShowFrame();
        drawFrame();
        pictures.push_back(lastPicture);
    }
    beforePresent = nullptr;
    takeShortcuts(true);
    *faces = offscreen.facesRendered - facesBefore;
    return pictures;
}

size_t differingPixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    size_t n = 0;
    for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4)
        n += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
    return n + (a.size() != b.size());
}

// The side of the smallest square holding every pixel that differs (0 when
// none does).
int spreadOfDifferences(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    int minX = W, minY = H, maxX = -1, maxY = -1;
    for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4) {
        if (a[i] == b[i] && a[i + 1] == b[i + 1] && a[i + 2] == b[i + 2]) continue;
        const int x = static_cast<int>(i / 4 % W), y = static_cast<int>(i / 4 / W);
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    return maxX < 0 ? 0 : std::max(maxX - minX, maxY - minY) + 1;
}

// Differing pixels where the long way is nowhere brighter (the picture
// multiplied in once more), or nowhere darker (added once more).
size_t pixelsTwiceOver(const std::vector<unsigned char>& once, const std::vector<unsigned char>& twice,
                       bool multiplied) {
    size_t n = 0;
    for (size_t i = 0; i + 3 < once.size() && i + 3 < twice.size(); i += 4) {
        bool differs = false, against = false;
        for (size_t c = i; c < i + 3; ++c) {
            differs = differs || once[c] != twice[c];
            against = against || (multiplied ? twice[c] > once[c] : twice[c] < once[c]);
        }
        n += differs && !against;
    }
    return n;
}

size_t magentaPixels(const std::vector<unsigned char>& a) {
    size_t n = 0;
    for (size_t i = 0; i + 3 < a.size(); i += 4) n += a[i] > 200 && a[i + 1] < 60 && a[i + 2] > 200;
    return n;
}

TEST(UnseenWork, SkippingItLeavesEveryFrameAsItWas) {
    ASSERT_TRUE(openOffscreenGl(W, H));
    ASSERT_EQ(chdir(BAUBLES_ASSET_DIR), 0);
    useFixedClock(kShowRate, 0);
    loadShow();
    startPlayer();
    // One moment per scene window, and where the tablecloth comes in, the
    // pictures fade and the finale's lamp flashes.
    const uint32_t moments[] = {4000,   30000,  40000,  60000,  85000,  110000, 140000, 170000,
                                190000, 202000, 210000, 236200, 255000, 292000};
    for (uint32_t ms : moments) {
        SCOPED_TRACE(std::to_string(ms) + " ms");
        const uint64_t first = showFrameAt(ms);
        uint64_t allFaces = 0, skippedFaces = 0;
        const auto all = drawRun(first, false, &allFaces);
        const auto skipped = drawRun(first, true, &skippedFaces);
        // The bauble scenes render six faces a frame the long way; the
        // shortcuts leave out every face in the driven-strings scene, where
        // no bauble shows them, and in the others a face turned away.
        const SceneWindow w = sceneWindowAt(ms);
        if (w >= SceneWindow::DrivenStrings && w <= SceneWindow::SingleBauble2) {
            EXPECT_EQ(allFaces, 6u * all.size());
            EXPECT_LT(skippedFaces, allFaces);
            if (w == SceneWindow::DrivenStrings) {
                EXPECT_EQ(skippedFaces, 0u);
            }
        }
        ASSERT_EQ(all.size(), skipped.size());
        for (size_t i = 0; i < all.size(); ++i) {
            if (w == SceneWindow::Landscape) {
                // The terrain in one pass: only where the jittered triangles
                // of the funnel's floor overlap at one depth did the three
                // passes light a pixel once per triangle; one pass lights it
                // once. A few pixels in one spot, never spread over the valley.
                EXPECT_LE(differingPixels(all[i], skipped[i]), 6u) << "frame " << i;
                EXPECT_LE(spreadOfDifferences(all[i], skipped[i]), 24) << "frame " << i;
                continue;
            }
            const size_t differing = differingPixels(all[i], skipped[i]);
            if (w == SceneWindow::SingleBauble1 || w == SceneWindow::SingleBauble2) {
                // The sheet in one pass: where it folds over itself at one
                // depth the two passes multiplied its picture in twice, a
                // dark stipple along the fold; one pass multiplies it once.
                EXPECT_LE(differing, 160u) << "frame " << i;
                EXPECT_EQ(pixelsTwiceOver(skipped[i], all[i], true), differing) << "frame " << i;
            } else if (w == SceneWindow::DrivenStrings || w == SceneWindow::HangingBauble) {
                // A bauble in one pass: where two baubles meet at one depth
                // the texture pass added both pictures, a white speck; one
                // pass adds the nearer bauble's own.
                EXPECT_LE(differing, 4u) << "frame " << i;
                EXPECT_EQ(pixelsTwiceOver(skipped[i], all[i], false), differing) << "frame " << i;
            } else {
                EXPECT_EQ(differing, 0u) << "frame " << i;
            }
            EXPECT_EQ(magentaPixels(skipped[i]), magentaPixels(all[i])) << "frame " << i;
        }
    }
}

}  // namespace
