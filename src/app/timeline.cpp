// timeline.cpp - the two passes over the schedule that make one frame.
#include "app/timeline.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdlib>

#include "show/gl_state.h"
#include "show/host.h"
#include "app/overlays.h"
#include "app/show_textures.h"
#include "image/texture.h"
#include "image/traced_ball.h"
#include "landscape/landscape.h"
#include "physics/simulation.h"
#include "offscreen/views.h"
#include "render/between_ticks.h"
#include "render/capabilities.h"
#include "render/cloth.h"
#include "render/scene_steps.h"
#include "render/shortcuts.h"
#include "render/sphere.h"

TimelineState timeline;
CameraPaths cameraPaths;
TimelineDrawing timelineDrawing;
PresentHook beforePresent = nullptr;

namespace {

bool inside(uint32_t elapsed, uint32_t from, uint32_t to) { return elapsed >= from && elapsed < to; }

// Perspective with the drawable's aspect; a zero height would divide by zero.
void perspective(double fov, double nearPlane, double farPlane) {
    int w = 0, h = 0;
    host.screenSize(&w, &h);
    glState::matrixMode(GL_PROJECTION);
    glState::loadIdentity();
    glState::perspective(fov, static_cast<double>(w) / static_cast<double>(h > 0 ? h : 1), nearPlane, farPlane);
}

// Moves a camera path pair on at the given rate (ms per full path) and
// samples it for this frame.
void advancePath(const CameraPathPair& pair, float& phase, float rate, float rotationOffset) {
    phase = phase + static_cast<float>(frameDeltaMs()) / rate;
    if (phase > 1.0f) phase = 0.0f;  // the path restarts rather than wraps
    timeline.cameraRotation = evaluatePath(pair.rotation, phase + rotationOffset);
    timeline.cameraVertex = evaluatePath(pair.translation, phase);
}

// Applies this frame's path sample: its rotation, then its translation.
void pathCamera() {
    const Vertex& r = timeline.cameraRotation;
    const Vertex& v = timeline.cameraVertex;
    glState::frontFace(GL_CW);
    pathProjection();
    glState::rotate(r.pos[0], 1, 0, 0);
    glState::rotate(r.pos[1], 0, 1, 0);
    glState::rotate(r.pos[2], 0, 0, 1);
    glState::translate(v.pos[0], v.pos[1], v.pos[2]);
}

// The body scenes' orbit: advances one phase, then zeroes the other.
void advanceOrbit(float& phase, float* otherPhase) {
    showFlags.bodyScenesStarted = 1;
    advancePath(cameraPaths.orbit, phase, kOrbitPathMs, 0);
    if (otherPhase) *otherPhase = 0;
}

void closeTurnY10() {
    closeProjection();
    glState::rotate(10, 0, 1, 0);
}

// F7..F12 share one camera.
void cameraF7() {
    closeTurnY10();
    glState::translate(-0.1f, -0.1f, -0.12f);
}

// F18..F22 share one camera.
void cameraF18() {
    closeProjection();
    glState::rotate(-40, 1, 0, 0);
    glState::rotate(-40, 0, 1, 0);
    glState::translate(0.78f, -0.1f, 0.3f);
}


// The first pass, state only: phases, spins and flags of the camera window.
void advanceCamera(uint32_t elapsed) {
    TimelineState& t = timeline;
    switch (cameraWindowAt(elapsed, showFlags.finaleStart)) {
        // Each orbit window advances one phase and zeroes the other, so the
        // next window starts its orbit from the beginning.
        case CameraWindow::Orbit1:
        case CameraWindow::Orbit3:
            advanceOrbit(t.phaseA, &t.phaseB);
            break;
        case CameraWindow::Orbit2:
            advanceOrbit(t.phaseB, &t.phaseA);
            break;
        case CameraWindow::Orbit4:
            advanceOrbit(t.phaseB, nullptr);
            break;
        case CameraWindow::Pictures:
            showFlags.finaleStart = sceneFrom(SceneWindow::Finale);
            break;
        case CameraWindow::F1:
            showFlags.flashFlag = 0;
            advancePath(cameraPaths.finale1, t.phaseC, kFinalePathMs, 0);
            break;
        case CameraWindow::F2:
            advancePath(cameraPaths.finale2, t.phaseD, kFinalePathMs, 0);
            break;
        case CameraWindow::F4:
            advancePath(cameraPaths.finale1, t.phaseC, kFinalePathMs, 0);
            break;
        case CameraWindow::F6:
            // The turn reads the spin before this frame's step, the slide after it.
            t.spinBefore = t.spin;
            t.spin = t.spin - 0.002f;
            break;
        case CameraWindow::F8:
        case CameraWindow::F10:
        case CameraWindow::F12:
            showFlags.flashFlag = 1;  // the lamp flickers on
            break;
        case CameraWindow::F9:
        case CameraWindow::F11:
            showFlags.flashFlag = 0;
            break;
        case CameraWindow::F13:
            showFlags.flashFlag = 1;
            if (elapsed > showFlags.finaleStart + kLampRampAfter) showFlags.rampFlag = 1;
            break;
        case CameraWindow::F14:
            t.spin = t.spin + 1.0f;
            break;
        case CameraWindow::F17:
            advancePath(cameraPaths.finale3, t.phaseE, kFinalePathMs, 0.75f);
            break;
        case CameraWindow::F18:
        case CameraWindow::F20:
        case CameraWindow::F21:
            showFlags.flashFlag = 0;
            break;
        case CameraWindow::F19:
            showFlags.flashFlag = 1;
            break;
        case CameraWindow::F25:
            advancePath(cameraPaths.finale3, t.phaseE, kFinalePathMs, 0);
            break;
        default:
            break;
    }
}

// The valley's four fixed shots.
void valleyCamera(CameraWindow w) {
    wideProjection();
    switch (w) {
        case CameraWindow::Land1:
            glState::rotate(15, 1, 0, 0);
            glState::rotate(3, 0, 1, 0);
            glState::translate(-40, -80, -300);
            break;
        case CameraWindow::Land2:
            glState::translate(-30, 20, -200);
            glState::rotate(15, 1, 0, 0);
            glState::rotate(45, 0, 1, 0);
            break;
        case CameraWindow::Land3:
            glState::translate(-20, 80, -140);
            glState::rotate(35, 1, 0, 0);
            glState::rotate(45, 0, 1, 0);
            break;
        default:  // Land4
            glState::translate(100, -20, -600);
            glState::rotate(45, 1, 0, 0);
            glState::rotate(-15, 0, 1, 0);
            break;
    }
}

// The finale's close shots of the lamp and the figure, F3 to F24.
void finaleCloseCamera(CameraWindow w) {
    const TimelineState& t = timeline;
    switch (w) {
        case CameraWindow::F3:
            closeProjection();
            glState::rotate(60, 0, 1, 0);
            glState::rotate(10, 0, 1, 0);
            glState::translate(0.45f, -0.2f, -0.2f);
            break;
        case CameraWindow::F5:
            closeTurnY10();
            glState::translate(-0.4f, -0.1f, 0.52f);
            break;
        case CameraWindow::F6:
            closeTurnY10();
            glState::rotate(t.spinBefore * 12.0f, 0, 1, 0);
            glState::translate(-0.34f, 0, -0.12f - 0.1f * t.spin);
            break;
        case CameraWindow::F7:
        case CameraWindow::F8:
        case CameraWindow::F9:
        case CameraWindow::F10:
        case CameraWindow::F11:
        case CameraWindow::F12:
            cameraF7();
            break;
        case CameraWindow::F13:
            closeTurnY10();
            glState::translate(0.1f, 0.01f, 0.42f);
            break;
        case CameraWindow::F14:
            closeProjection();
            glState::rotate(50, 0, 1, 0);
            glState::rotate(-60, 0, 1, 0);
            glState::rotate(t.spin * 0.03f, 0, 0, 1);
            glState::translate(0.3f, 0, t.spin / 10000.0f + 0.1f);
            break;
        case CameraWindow::F15:
            closeProjection();
            glState::rotate(-10, 0, 1, 0);
            glState::rotate(10, 1, 1, 0);
            glState::translate(0.25f, 0.01f, 0.42f);
            break;
        case CameraWindow::F16:
            closeTurnY10();
            glState::translate(0.35f, -0.3f, 0.1f);
            break;
        case CameraWindow::F18:
        case CameraWindow::F19:
        case CameraWindow::F20:
        case CameraWindow::F21:
        case CameraWindow::F22:
            cameraF18();
            break;
        case CameraWindow::F23:
        case CameraWindow::F24:
            closeProjection();
            glState::rotate(50, 1, 0, 0);
            glState::rotate(-112, 0, 1, 0);
            glState::translate(0.7f, w == CameraWindow::F23 ? -0.1f : 0.83f, 0.4f);
            break;
        default:
            break;
    }
}

// The first pass, drawing: the projection and camera of the window.
void drawCamera(uint32_t elapsed) {
    const CameraWindow w = cameraWindowAt(elapsed, showFlags.finaleStart);
    switch (w) {
        case CameraWindow::Intro:
            glState::disable(GL_DEPTH_TEST);
            ortho2d();
            break;
        case CameraWindow::Land1:
            glState::enable(GL_DEPTH_TEST);
            valleyCamera(w);
            break;
        case CameraWindow::Land2:
        case CameraWindow::Land3:
        case CameraWindow::Land4:
            valleyCamera(w);
            break;
        case CameraWindow::Orbit1:
        case CameraWindow::Orbit2:
        case CameraWindow::Orbit3:
        case CameraWindow::Orbit4:
        case CameraWindow::F1:
        case CameraWindow::F2:
        case CameraWindow::F4:
        case CameraWindow::F17:
        case CameraWindow::F25:
            pathCamera();
            break;
        case CameraWindow::Pictures:
            ortho2d();
            break;
        case CameraWindow::None:
            break;
        default:
            finaleCloseCamera(w);
            break;
    }
}

// The faces of a bauble drawn with the path camera that can show a pixel:
// the camera stands at minus the path's translation. With culling off or
// the other winding in front, every face may show.
void facesSeen(const SphereMesh& bauble, bool cullingOn, bool shown[6]) {
    const GLenum frontFace = glState::now("the faces a bauble shows").frontFace;
    if (!drawingChoices.cullReflectionFaces || !cullingOn || frontFace != GL_CW) {
        for (int f = 0; f < 6; ++f) shown[f] = true;
        return;
    }
    const Vertex& v = timeline.cameraVertex;
    facesTowards(bauble, Vec3(-v.pos[0], -v.pos[1], -v.pos[2]), shown);
}

// The reflection of a nine-bauble scene, for the faces of the large bauble
// that show; in the driven-strings scene the standing ball is not drawn at
// all, and no face shows.
void reflectBaubleScene(BaubleScene scene) {
    bool shown[6];
    facesSeen(spheres.detailed[1], glState::now("culling before a reflection").cullFace, shown);
    if (drawingChoices.cullReflectionFaces && !largeBaubleDrawn(scene))
        for (bool& f : shown) f = false;
    renderBaubleFaces(offscreen.baubleView, spheres.coarse, textures.scene, offscreen.baubleRoom, shown);
}

// The reflection of a single-bauble scene: the cloth drawn before the
// bauble always leaves culling on.
void reflectSingleBauble(SphereMesh& bauble, ClothVariant variant) {
    bool shown[6];
    standAtFrameEnd(bauble);
    facesSeen(bauble, true, shown);
    standAtFrameStart(bauble);
    renderEnvironmentFaces(offscreen.environmentView, bauble, textures.scene, offscreen.environmentRoom, variant,
                           shown);
}

void modelviewIdentity() {
    glState::matrixMode(GL_MODELVIEW);
    glState::loadIdentity();
}

// The room's walls hold the light particles while the tablecloth has the
// screen to itself, in the closing pictures; the floor everywhere else.
void setBoundsRule(uint32_t elapsed) {
    physics.bounds = sceneWindowAt(elapsed) == SceneWindow::Pictures ? BoundsRule::Walls : BoundsRule::Floor;
}

// The second pass, state only, in the order the drawing runs.
void advanceScene(uint32_t elapsed) {
    TimelineState& t = timeline;
    switch (sceneWindowAt(elapsed)) {
        case SceneWindow::Intro:
            advanceTracedBall();
            stepCloth(ClothBody::IntroTiles);
            break;
        case SceneWindow::Landscape:
            t.terrainAngle = t.terrainAngle + static_cast<float>(frameDeltaMs()) / 1000.0f;
            advanceLandscape();
            break;
        case SceneWindow::DrivenStrings:
            advanceBaubleScene(BaubleScene::DrivenStrings, spheres.detailed, spheres.coarse);
            break;
        case SceneWindow::HangingBauble:
            advanceBaubleScene(BaubleScene::HangingBauble, spheres.detailed, spheres.coarse);
            break;
        case SceneWindow::SingleBauble1:
            advanceSingleBauble(SingleBauble::First, spheres.largeBauble);
            break;
        case SceneWindow::SingleBauble2:
            advanceSingleBauble(SingleBauble::Second, spheres.middleBauble);
            if (elapsed > kTableclothFrom) stepCloth(ClothBody::Tablecloth);
            break;
        case SceneWindow::Pictures:
            stepCloth(ClothBody::Tablecloth);
            break;
        case SceneWindow::Finale:
            stepFinaleBodyScene();
            if (elapsed < kFinaleTilesTo) stepCloth(ClothBody::FinaleTiles);
            if (elapsed > kShowLengthMs) host.postQuit(0);
            break;
    }
}

// The 2D overlays' projection, for the fades and logos over a scene.
void overlayProjection() {
    ortho2d();
    modelviewIdentity();
}

void drawIntro(uint32_t elapsed) {
    glState::disable(GL_DEPTH_TEST);
    glState::disable(GL_CULL_FACE);
    modelviewIdentity();
    drawBallSquare(0);  // the default texture object
    wideProjection();
    glState::translate(-0.3f, 0.4f, -1.0f);
    modelviewIdentity();
    drawClothScene(ClothVariant::IntroTiles, textures.tablecloth, textures.glyphsA);
    glState::disable(GL_CULL_FACE);
    glState::disable(GL_DEPTH_TEST);
    overlayProjection();
    if (elapsed > kIntroLogoFrom) drawLogo(textures.logo, elapsed - kIntroLogoFrom);
}

void drawNineBaubles(BaubleScene scene) {
    lightBaubleScene(scene, timeline.cameraVertex, spheres.detailed, spheres.coarse);
    reflectBaubleScene(scene);
    drawBaubleScene(scene, spheres.detailed, textures.scene, &offscreen.mainRoomA, DrawTarget::Picture);
}

void drawSingleBauble(SphereMesh& bauble, ClothVariant sheet) {
    // The reflection is taken where the bauble stood before this frame's step.
    standAtFrameStart(bauble);
    reflectSingleBauble(bauble, sheet);
    standAtFrameEnd(bauble);
    drawBodyScene(bauble, textures.scene, &offscreen.mainRoomB, sheet, DrawTarget::Picture);
}

// The turning sheet's last seconds: it fades, and the tablecloth comes in over it.
void drawTableclothComingIn(uint32_t elapsed) {
    overlayProjection();
    fadeOutLong(elapsed - kTableclothFrom);
    glState::disable(GL_DEPTH_TEST);
    closeProjection();
    glState::translate(-0.3f, 0, -0.8f);
    modelviewIdentity();
    drawClothScene(ClothVariant::Tablecloth, textures.tablecloth, textures.glyphsA);
    glState::enable(GL_DEPTH_TEST);
}

void drawClosingPictures(uint32_t elapsed) {
    // The two pictures tile the whole screen over the cleared depth,
    // so every depth test here passes: the fades' GL_EQUAL included.
    if (drawingChoices.skipPassingDepthTest) glState::disable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textures.closing[0]);
    drawTexturedQuad(-320, -272, 192, 240);
    glBindTexture(GL_TEXTURE_2D, textures.closing[1]);
    drawTexturedQuad(192, -272, 320, 240);
    glDisable(GL_TEXTURE_2D);
    glState::depthFunc(GL_EQUAL);
    if (elapsed < kPicturesFadeInTo) fadeIn(elapsed - sceneFrom(SceneWindow::Pictures));
    if (elapsed > kPicturesFadeOutFrom) fadeOut(elapsed - kPicturesFadeOutFrom);
    glState::depthFunc(GL_LESS);
    glState::disable(GL_DEPTH_TEST);
    closeProjection();
    glState::translate(-0.3f, 0, -0.8f);
    modelviewIdentity();
    // By now the tablecloth has mostly left the screen.
    if (drawingChoices.skipGoneTablecloth && !tableclothMayShow())
        leaveAsClothScene(textures.tablecloth);
    else
        drawClothScene(ClothVariant::Tablecloth, textures.tablecloth, textures.glyphsA);
}

void drawFinale(uint32_t elapsed) {
    // The finale body draws no sphere; the middle bauble only fills the argument.
    drawBodyScene(spheres.middleBauble, textures.scene, &offscreen.mainRoomB, ClothVariant::FinaleBody,
                  DrawTarget::Picture);
    if (elapsed < kFinaleTilesTo) {
        wideProjection();
        glState::translate(-0.3f, 0.4f, -1.0f);
        modelviewIdentity();
        glState::disable(GL_CULL_FACE);
        drawClothScene(ClothVariant::FinaleTiles, textures.tablecloth, textures.glyphsB);
        glState::enable(GL_CULL_FACE);
    }
    if (elapsed < kFinaleFadeInTo) {
        overlayProjection();
        fadeIn(elapsed - sceneFrom(SceneWindow::Finale));
    }
    const uint32_t fadeOutFrom = showFlags.finaleStart + kFinaleFadeOutAfter;
    if (elapsed > fadeOutFrom) {
        overlayProjection();
        fadeOutLong(elapsed - fadeOutFrom);
    }
    if (elapsed > kClosingLogoFrom) {
        overlayProjection();
        // The fade just wrote its depth where the logo goes; without
        // this the closing logo would never pass the depth test.
        glState::disable(GL_DEPTH_TEST);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, textures.closingLogo);
        drawTexturedQuad(-120, -32, 100, 40);
        glDisable(GL_TEXTURE_2D);
    }
}

// The second pass, drawing: the scene of the window with its overlays.
void drawScene(uint32_t elapsed) {
    switch (sceneWindowAt(elapsed)) {
        case SceneWindow::Intro:
            drawIntro(elapsed);
            break;
        case SceneWindow::Landscape:
            glState::rotate(timeline.terrainAngle, 0, 1, 0);
            drawLandscape();
            drawGreetings(textures.greetings, elapsed - sceneFrom(SceneWindow::Landscape));
            break;
        case SceneWindow::DrivenStrings:
            drawNineBaubles(BaubleScene::DrivenStrings);
            break;
        case SceneWindow::HangingBauble:
            drawNineBaubles(BaubleScene::HangingBauble);
            break;
        case SceneWindow::SingleBauble1:
            drawSingleBauble(spheres.largeBauble, ClothVariant::FallingSheet);
            break;
        case SceneWindow::SingleBauble2:
            drawSingleBauble(spheres.middleBauble, ClothVariant::TurningSheet);
            if (elapsed > kTableclothFrom) drawTableclothComingIn(elapsed);
            break;
        case SceneWindow::Pictures:
            drawClosingPictures(elapsed);
            break;
        case SceneWindow::Finale:
            drawFinale(elapsed);
            break;
    }
}

}  // namespace

CameraWindow cameraWindowAt(uint32_t elapsed, uint32_t finaleStart) {
    for (int i = 0; i < static_cast<int>(CameraWindow::F1); ++i)
        if (elapsed < kCameraEnds[i]) return static_cast<CameraWindow>(i);
    for (int i = 0; i < kFinaleCameraCount; ++i) {
        const Span& r = kFinaleCameras[i];
        if (inside(elapsed, finaleStart + r.from, finaleStart + r.to))
            return static_cast<CameraWindow>(static_cast<int>(CameraWindow::F1) + i);
    }
    return CameraWindow::None;
}

SceneWindow sceneWindowAt(uint32_t elapsed) {
    for (const SceneRow& row : kSceneRows)
        if (elapsed < row.to) return row.window;
    return SceneWindow::Finale;
}

const char* sceneWindowName(SceneWindow w) { return kSceneRows[static_cast<int>(w)].name; }
uint32_t sceneWindowFrom(SceneWindow w) { return sceneFrom(w); }
uint32_t sceneWindowTo(SceneWindow w) { return sceneTo(w); }

uint32_t elapsedMs() { return timeline.frameTime - timeline.showStart; }

uint32_t frameDeltaMs() {
    int32_t d = static_cast<int32_t>(timeline.frameTime - timeline.lastFrameTime);
    return static_cast<uint32_t>(d < 0 ? -static_cast<int64_t>(d) : d);
}

void ortho2d() {
    glState::matrixMode(GL_PROJECTION);
    glState::loadIdentity();
    glState::ortho(-320, 320, -240, 240, -1, 1);
}

void wideProjection() { perspective(60, 0.1, 4000); }
void closeProjection() { perspective(70, 0.01, 400); }
void pathProjection() { perspective(70, 0.0001, 40); }

CarriedGl glStateLeftBy(uint32_t elapsed, uint32_t finaleStart) {
    // The intro turns culling off; the valley leaves it on, and texturing
    // too, from its greetings; the first orbit turns front faces clockwise
    // for good and the reflection uploads leave the decal environment. In
    // the finale the fades turn culling off again.
    if (elapsed < sceneTo(SceneWindow::Intro)) return {GL_CCW, false, GL_REPLACE, false};
    if (elapsed < sceneTo(SceneWindow::Landscape)) return {GL_CCW, true, GL_REPLACE, true};
    if (elapsed < sceneTo(SceneWindow::Pictures)) return {GL_CW, true, GL_DECAL, false};
    const bool fading = elapsed < kFinaleFadeInTo || elapsed > finaleStart + kFinaleFadeOutAfter;
    return {GL_CW, !fading, GL_DECAL, false};
}

void advanceFrame() {
    TimelineState& t = timeline;
    t.previousElapsed = t.lastFrameTime - t.showStart;
    t.frameTime = clockTicks();
    const uint32_t elapsed = elapsedMs();
    advanceCamera(elapsed);
    setBoundsRule(elapsed);
    advanceScene(elapsed);
    t.lastFrameTime = t.frameTime;
}

namespace {

// The loading picture the show's first frame opens on.
void drawLoadingPicture() {
    ortho2d();
    glState::matrixMode(GL_MODELVIEW);
    glState::loadIdentity();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textures.loading);
    drawTexturedQuad(-80, -32, 64, 40);
    glDisable(GL_TEXTURE_2D);
}

// The frame the last advanceFrame reached, into the show's picture.
void drawPicture() {
    // The frame before may not have been drawn: set up what it would have left.
    const CarriedGl carried = glStateLeftBy(timeline.previousElapsed, showFlags.finaleStart);
    glState::frontFace(carried.frontFace);
    if (carried.cull)
        glState::enable(GL_CULL_FACE);
    else
        glState::disable(GL_CULL_FACE);
    glState::textureEnvMode(static_cast<GLint>(carried.textureEnv));
    if (carried.texture2d)
        glEnable(GL_TEXTURE_2D);
    else
        glDisable(GL_TEXTURE_2D);

    // Lines as thick against the picture as one pixel at 480 lines.
    int width = 0, height = 0;
    host.screenSize(&width, &height);
    glLineWidth(std::min(lineWidthFor(height), glCapabilities.maxLineWidth));

    const uint32_t elapsed = elapsedMs();
    const PlacesBetweenTicks between(sceneWindowAt(elapsed));
    drawCamera(elapsed);

    glState::matrixMode(GL_MODELVIEW);
    glState::loadIdentity();
    glState::enable(GL_DEPTH_TEST);
    glState::loadIdentity();

    drawScene(elapsed);
    glFlush();
}

}  // namespace

void drawFrame() {
    glState::mainCurrent();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // The show's first frame opens on the loading picture; a first frame
    // drawn later in the show (a later start, a shot, a jump) does not.
    const bool opening = elapsedMs() == 0;
    timelineDrawing.firstFrame = false;
    if (opening) {
        drawLoadingPicture();
        glFlush();
        host.swapBuffers();
    }

    drawPicture();
    host.composeFrame();
    if (beforePresent) beforePresent(elapsedMs());
    host.swapBuffers();
    host.releaseContext();
}

void drawUnseen() {
    glState::mainCurrent();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (elapsedMs() == 0) drawLoadingPicture();
    drawPicture();
    glFinish();
}
