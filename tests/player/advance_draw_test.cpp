// The show advanced two ways from the end of its load: drawing every fourth
// of its 120 frames a second, and drawing only a few frames here and there.
// The state must agree bit for bit at the start of every scene window and
// at the end, and each of the few frames drawn must look like the same frame
// of the run that drew them all. Then jumps backwards and forwards must land
// on the same state as running there.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "show/gl_state.h"
#include "show/host.h"
#include "app/show_state.h"
#include "app/startup.h"
#include "app/timeline.h"
#include "support/offscreen_gl.h"

namespace {

constexpr int W = 160, H = 120;

int quits = 0;
void countQuit(int) { ++quits; }

// The frame as it is about to be presented.
std::vector<unsigned char> lastPicture;
void capture(uint32_t) { lastPicture = readPixels(W, H); }

struct ShowRecord {
    std::map<uint64_t, uint64_t> digests;                    // after frame k was advanced
    std::map<uint64_t, std::vector<unsigned char>> pictures;  // frame k drawn
    int carriedWrong = 0;                                     // frames leaving other GL state
    std::string firstCarriedWrong;
};

// The GL state the frame just drawn left, as the next frame is told it.
bool leftAsTold(uint32_t elapsed) {
    const CarriedGl told = glStateLeftBy(elapsed, showFlags.finaleStart);
    GLint frontFace = 0, env = 0;
    glGetIntegerv(GL_FRONT_FACE, &frontFace);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    return static_cast<GLenum>(frontFace) == told.frontFace && static_cast<GLenum>(env) == told.textureEnv &&
           (glIsEnabled(GL_CULL_FACE) != GL_FALSE) == told.cull &&
           (glIsEnabled(GL_TEXTURE_2D) != GL_FALSE) == told.texture2d;
}

// Each time the drawing decides by the GL state it keeps, that state must be
// what GL holds: the first place it is not, and how often.
int keptWrong = 0;
std::string firstKeptWrong;
bool matricesAgree(GLenum which, const glState::Matrix& kept) {
    GLdouble m[16];
    glGetDoublev(which, m);
    for (int i = 0; i < 16; ++i)
        if (std::fabs(m[i] - kept.m[i]) > 1e-5 * (1.0 + std::fabs(m[i]))) return false;
    return true;
}
void compareKept(const char* where) {
    const glState::Record& r = glState::now(nullptr);
    GLint frontFace = 0, depthFunc = 0, env = 0, mode = 0;
    GLboolean mask = GL_FALSE;
    glGetIntegerv(GL_FRONT_FACE, &frontFace);
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    const bool same = GLenum(frontFace) == r.frontFace && GLenum(depthFunc) == r.depthFunc &&
                      (mask != GL_FALSE) == r.depthMask && env == r.textureEnv && GLenum(mode) == r.matrixMode &&
                      (glIsEnabled(GL_CULL_FACE) != GL_FALSE) == r.cullFace &&
                      (glIsEnabled(GL_DEPTH_TEST) != GL_FALSE) == r.depthTest &&
                      (glIsEnabled(GL_BLEND) != GL_FALSE) == r.blend &&
                      matricesAgree(GL_PROJECTION_MATRIX, r.projection[r.projectionTop]) &&
                      matricesAgree(GL_MODELVIEW_MATRIX, r.modelview[r.modelviewTop]);
    if (!same && keptWrong++ == 0) firstKeptWrong = std::string(where) + " at " + std::to_string(elapsedMs()) + " ms";
}

// Mean absolute difference of two RGBA pictures over RGB, 0..1, and the
// largest single channel difference (0..255).
double meanError(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int* worst) {
    double sum = 0;
    *worst = 0;
    size_t n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (i % 4 == 3) continue;
        const int d = std::abs(int(a[i]) - int(b[i]));
        sum += d;
        *worst = std::max(*worst, d);
        ++n;
    }
    return n ? sum / n / 255.0 : 1.0;
}

class AdvanceAndDraw : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(openOffscreenGl(W, H));
        ASSERT_EQ(chdir(BAUBLES_ASSET_DIR), 0);
        host.postQuit = countQuit;
        useFixedClock(kShowRate, 0xFFFFFFFFu - 30000u);  // the tick wraps 30 s in
        loadShow(false);  // drawn nothing yet: the runs below see a plain load
        startPlayer();
        loadDigest = showStateDigest();
    }
    static uint64_t loadDigest;
};
uint64_t AdvanceAndDraw::loadDigest = 0;

// The start of every scene window and the show's last frame.
std::set<uint64_t> checkpoints() {
    std::set<uint64_t> k;
    for (int w = 0; w <= static_cast<int>(SceneWindow::Finale); ++w)
        k.insert(showFrameAt(sceneWindowFrom(static_cast<SceneWindow>(w))));
    k.insert(showFrameAt(kShowLengthMs));
    return k;
}

// One time inside each scene window, and two just after each boundary
// (where a scene takes over from the state another one left).
std::set<uint64_t> drawnFrames() {
    std::set<uint64_t> k;
    for (int w = 0; w <= static_cast<int>(SceneWindow::Finale); ++w) {
        const SceneWindow win = static_cast<SceneWindow>(w);
        const uint32_t from = sceneWindowFrom(win), to = sceneWindowTo(win);
        k.insert(showFrameAt(from) + 1);
        k.insert(showFrameAt(from) + 12);
        k.insert(showFrameAt(from + (to - from) * 2 / 3));
    }
    // Inside the finale: its cameras and the closing logo.
    for (uint32_t ms : {237000u, 252000u, 276500u, 292000u, 300000u}) k.insert(showFrameAt(ms));
    return k;
}

void runShow(ShowRecord& run, bool drawAll) {
    const std::set<uint64_t> marks = checkpoints(), drawn = drawnFrames();
    const uint64_t last = *marks.rbegin();
    while (showClock.frame <= last) {
        const uint64_t k = showClock.frame;
        advanceShowFrame();
        if ((drawAll && k % 4 == 0) || drawn.count(k)) {
            beforePresent = drawn.count(k) ? capture : nullptr;
            drawFrame();
            beforePresent = nullptr;
            if (drawn.count(k)) run.pictures[k] = lastPicture;
            host.makeMainCurrent();
            if (!leftAsTold(elapsedMs()) && run.carriedWrong++ == 0)
                run.firstCarriedWrong = std::to_string(elapsedMs()) + " ms";
        }
        if (marks.count(k)) run.digests[k] = showStateDigest();
    }
}

TEST_F(AdvanceAndDraw, StateAndPicturesMatchARunThatDrewEveryFrame) {
    ShowRecord dense, sparse;
    glState::onRead = compareKept;
    runShow(dense, true);
    glState::onRead = nullptr;
    EXPECT_EQ(keptWrong, 0) << "the GL state kept differs from GL's own, first in " << firstKeptWrong;
    EXPECT_EQ(quits, 0) << "the show's last frame is still a frame of the show";
    EXPECT_EQ(dense.carriedWrong, 0) << "the state a frame leaves differs from what the next is told, first at "
                                     << dense.firstCarriedWrong;

    restoreShowState(player.saved.begin()->second);
    EXPECT_EQ(showStateDigest(), loadDigest) << "the state saved at the end of the load comes back whole";
    runShow(sparse, false);

    ASSERT_EQ(dense.digests.size(), checkpoints().size());
    for (const auto& [frame, digest] : dense.digests)
        EXPECT_EQ(sparse.digests[frame], digest) << "state differs at " << showFrameMs(frame) << " ms";

    for (const auto& [frame, picture] : dense.pictures) {
        int worst = 0;
        const double mae = meanError(picture, sparse.pictures[frame], &worst);
        EXPECT_LE(mae, 0.002) << "frame at " << showFrameMs(frame) << " ms, worst channel " << worst;
        // A black frame would match a black frame: the pictures must show
        // something (but for the first ones after a fade from black).
        size_t lit = 0;
        for (size_t i = 0; i < picture.size(); i += 4) lit += picture[i] + picture[i + 1] + picture[i + 2] > 30;
        const uint32_t ms = showFrameMs(frame);
        const bool fadingIn = (ms >= 200000 && ms < 201000) || (ms >= 220000 && ms < 221000);
        if (!fadingIn) {
            EXPECT_GT(lit, picture.size() / 4 / 50) << "frame at " << ms << " ms is nearly black";
        }
    }

    // Backwards and forwards through the saved states: every checkpoint is
    // reached with the state the runs had there.
    for (auto it = dense.digests.rbegin(); it != dense.digests.rend(); ++it) {
        seekShow(it->first + 1);
        EXPECT_EQ(showStateDigest(), it->second) << "jump back to " << showFrameMs(it->first) << " ms";
    }
    for (const auto& [frame, digest] : dense.digests) {
        seekShow(frame + 1);
        EXPECT_EQ(showStateDigest(), digest) << "jump forward to " << showFrameMs(frame) << " ms";
    }
    EXPECT_EQ(quits, 0);
}

// The load ends by drawing every scene once, unseen. From the state it was
// given, the show must advance and draw after it exactly as it does without
// it: the same state at every checkpoint and the same pixels in every frame
// drawn, whatever the drawing left in the arrays and the GL state.
TEST_F(AdvanceAndDraw, DrawingEveryWayAtTheLoadChangesNoStateAndNoPixel) {
    const ShowSnapshot& loaded = player.saved.begin()->second;
    ShowRecord plain, after;
    restoreShowState(loaded);
    runShow(plain, false);

    restoreShowState(loaded);
    drawEveryWayOnce();
    EXPECT_EQ(showStateDigest(), loadDigest) << "the drawing left the loaded state as it was";
    runShow(after, false);

    ASSERT_EQ(plain.digests.size(), checkpoints().size());
    for (const auto& [frame, digest] : plain.digests)
        EXPECT_EQ(after.digests[frame], digest) << "state differs at " << showFrameMs(frame) << " ms";
    ASSERT_EQ(after.pictures.size(), plain.pictures.size());
    for (const auto& [frame, picture] : plain.pictures) {
        // The colours; the picture's alpha is never shown, saved or recorded.
        size_t differ = 0;
        for (size_t i = 0; i < picture.size(); ++i) differ += i % 4 != 3 && picture[i] != after.pictures[frame][i];
        EXPECT_EQ(differ, 0u) << "colour bytes differ in the frame at " << showFrameMs(frame) << " ms";
    }
}

TEST(ShowFrames, FrameTimesFollowTheShowRateAndSearchesLandOnTheFirstFrameAtOrAfter) {
    EXPECT_EQ(showFrameMs(0), 0u);
    EXPECT_EQ(showFrameMs(1), 8u);
    EXPECT_EQ(showFrameMs(3), 25u);
    EXPECT_EQ(showFrameMs(36000), 300000u);
    for (double ms : {0.0, 1.0, 8.0, 8.5, 9.0, 24.9, 25.0, 97740.0, 299999.0, 300000.0}) {
        const uint64_t i = showFrameAt(ms);
        EXPECT_GE(showFrameMs(i), ms) << ms;
        if (i > 0) {
            EXPECT_LT(showFrameMs(i - 1), ms) << ms;
        }
    }
    EXPECT_EQ(showFrameAt(-5000.0), 0u);
}

}  // namespace
