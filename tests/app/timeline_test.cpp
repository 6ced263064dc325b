// The show's schedule: which window each moment falls in, the frame delta
// across a clock wrap, and what a rendered frame does to the timeline state.
#include <gtest/gtest.h>

#include <cmath>

#include "show/host.h"
#include "app/shell.h"
#include "show/show_clock.h"
#include "app/show_textures.h"
#include "app/startup.h"
#include "app/timeline.h"
#include "support/offscreen_gl.h"

TEST(TimelineWindows, SceneBoundaries) {
    EXPECT_EQ(sceneWindowAt(0), SceneWindow::Intro);
    EXPECT_EQ(sceneWindowAt(24999), SceneWindow::Intro);
    EXPECT_EQ(sceneWindowAt(25000), SceneWindow::Landscape);
    EXPECT_EQ(sceneWindowAt(69999), SceneWindow::Landscape);
    EXPECT_EQ(sceneWindowAt(70000), SceneWindow::DrivenStrings);
    EXPECT_EQ(sceneWindowAt(97739), SceneWindow::DrivenStrings);
    EXPECT_EQ(sceneWindowAt(97740), SceneWindow::HangingBauble);
    EXPECT_EQ(sceneWindowAt(120000), SceneWindow::SingleBauble1);
    EXPECT_EQ(sceneWindowAt(150000), SceneWindow::SingleBauble2);
    EXPECT_EQ(sceneWindowAt(200000), SceneWindow::Pictures);
    EXPECT_EQ(sceneWindowAt(220000), SceneWindow::Finale);
    EXPECT_EQ(sceneWindowAt(300001), SceneWindow::Finale);
    EXPECT_STREQ(sceneWindowName(SceneWindow::SingleBauble2), "single-bauble-2");
    EXPECT_EQ(sceneWindowFrom(SceneWindow::HangingBauble), 97740u);
    EXPECT_EQ(sceneWindowTo(SceneWindow::Finale), 300000u);
}

TEST(TimelineWindows, CameraRowsAndTheFinaleBase) {
    EXPECT_EQ(cameraWindowAt(24999, 0), CameraWindow::Intro);
    EXPECT_EQ(cameraWindowAt(25000, 0), CameraWindow::Land1);
    EXPECT_EQ(cameraWindowAt(36000, 0), CameraWindow::Land2);
    EXPECT_EQ(cameraWindowAt(56000, 0), CameraWindow::Land4);
    EXPECT_EQ(cameraWindowAt(199999, 0), CameraWindow::Orbit4);
    EXPECT_EQ(cameraWindowAt(200000, 0), CameraWindow::Pictures);
    // With the base set, the finale windows follow each other.
    EXPECT_EQ(cameraWindowAt(220000, 220000), CameraWindow::F1);
    EXPECT_EQ(cameraWindowAt(221549, 220000), CameraWindow::F1);
    EXPECT_EQ(cameraWindowAt(221550, 220000), CameraWindow::F2);
    EXPECT_EQ(cameraWindowAt(275250, 220000), CameraWindow::F22);
    EXPECT_EQ(cameraWindowAt(319999, 220000), CameraWindow::F25);
    EXPECT_EQ(cameraWindowAt(320000, 220000), CameraWindow::None);
    // A show that skipped the pictures window never set the base: no finale camera.
    EXPECT_EQ(cameraWindowAt(230000, 0), CameraWindow::None);
}

TEST(TimelineClock, ElapsedAndDeltaAcrossThe32BitWrap) {
    timeline.showStart = 0xFFFFF000u;  // 4096 ms before the wrap
    timeline.lastFrameTime = 0xFFFFFFF0u;
    timeline.frameTime = 0x00000010u;   // 32 ms later, after the wrap
    EXPECT_EQ(elapsedMs(), 4096u + 16u);
    EXPECT_EQ(frameDeltaMs(), 32u);
    // A clock that stepped backwards still gives a positive delta.
    timeline.lastFrameTime = 0x00000020u;
    EXPECT_EQ(frameDeltaMs(), 16u);
}

namespace {

struct QuitProbe {
    static int count;
    static void post(int) { ++count; }
};
int QuitProbe::count = 0;

// Loads the show on the fixed clock and renders frames up to target ms.
void runTo(uint32_t targetMs) {
    while (elapsedMs() < targetMs) {
        advanceFixedClock();
        advanceFrame();
        drawFrame();
        if (QuitProbe::count) break;
    }
}

}  // namespace

TEST(TimelineFrames, WholeShowSetsItsFlagsAndEndsAfter300Seconds) {
    ASSERT_TRUE(openOffscreenGl());
    host.postQuit = QuitProbe::post;
    useFixedClock(20, 0xFFFFFFFFu - 5000u);  // the tick wraps 5 s into the show
    timeline = TimelineState();
    showFlags = ShowFlags();
    loadShow();
    EXPECT_EQ(timeline.terrainAngle, -40.0f);
    EXPECT_EQ(textures.bauble, 1u);  // the bauble's picture is the first name
    EXPECT_EQ(textures.glyphsB[13].mask, textures.bauble + 1 + 1 + 1 + 9 + 52 + 52 + 2 + 2 + 10 + 34 + 28);
    EXPECT_EQ(timeline.showStart, clockTicks());

    advanceFrame();
    drawFrame();
    EXPECT_FALSE(timelineDrawing.firstFrame);
    runTo(30000);
    // One degree per second over the landscape so far, across the wrap.
    EXPECT_NEAR(timeline.terrainAngle, -40.0f + (elapsedMs() - 25000) / 1000.0f, 0.06f);

    runTo(70000);
    EXPECT_EQ(showFlags.bodyScenesStarted, 1);
    EXPECT_GT(timeline.phaseA, 0.0f);
    runTo(97800);
    EXPECT_EQ(timeline.phaseA, 0.0f);  // the next window restarts the orbit
    EXPECT_GT(timeline.phaseB, 0.0f);

    EXPECT_EQ(showFlags.finaleStart, 0u);
    runTo(200000);
    EXPECT_EQ(showFlags.finaleStart, 220000u);
    runTo(220100);
    EXPECT_EQ(showFlags.flashFlag, 0);
    runTo(257100);
    EXPECT_EQ(showFlags.flashFlag, 1);
    EXPECT_EQ(showFlags.rampFlag, 1);
    EXPECT_LT(timeline.spin, 0.0f);  // F6 turned it back once per frame

    runTo(300000);
    EXPECT_EQ(QuitProbe::count, 0);  // 300000 itself still renders normally
    runTo(300001);
    EXPECT_EQ(QuitProbe::count, 1);
    EXPECT_GT(elapsedMs(), 300000u);
    resetHost();
}

TEST(TimelineFrames, PathPhaseRestartsInsteadOfWrapping) {
    ASSERT_TRUE(openOffscreenGl());
    useFixedClock(1, 0);
    timeline = TimelineState();
    showFlags = ShowFlags();
    loadShow();
    timelineDrawing.firstFrame = false;
    timeline.showStart = 0;
    timeline.lastFrameTime = 80000;
    timeline.phaseA = 0.99f;
    // A 1000 ms frame adds 0.02: past 1, so the phase starts again at 0.
    showClock.frame = 81;  // 81000 ms
    advanceFrame();
    drawFrame();
    EXPECT_EQ(timeline.phaseA, 0.0f);
    // The camera vertex then holds the path's start.
    EXPECT_NEAR(timeline.cameraVertex.pos[1], -0.85f, 1e-5);
}

TEST(WindowHandlers, ZeroHeightSizeKeepsTheProjectionFinite) {
    ASSERT_TRUE(openOffscreenGl());
    // The platform sets the viewport again whenever the main context is made
    // current; what the handler itself sets is read straight after it.
    shellSize(640, 0);
    float m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    for (float v : m) EXPECT_TRUE(std::isfinite(v));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 0);
    // The usual size gives the 60-degree projection pulled back by 0.5.
    shellSize(640, 480);
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    EXPECT_NEAR(m[5], 1.0 / std::tan(30.0 * M_PI / 180.0), 1e-5);
    EXPECT_NEAR(m[0], m[5] * 480.0 / 640.0, 1e-5);
}

TEST(WindowHandlers, OnlyEscapeEndsTheShow) {
    host.postQuit = QuitProbe::post;
    QuitProbe::count = 0;
    shellKey('x');
    shellKey(13);
    EXPECT_EQ(QuitProbe::count, 0);
    shellKey(27);
    EXPECT_EQ(QuitProbe::count, 1);
    resetHost();
}
