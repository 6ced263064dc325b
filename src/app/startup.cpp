// startup.cpp - the start-up load, as one readable sequence.
#include "app/startup.h"

#include <epoxy/gl.h>

#include "show/gl_state.h"
#include "show/host.h"
#include "app/music.h"
#include "app/show_state.h"
#include "app/show_textures.h"
#include "show/show_clock.h"
#include "app/timeline.h"
#include "image/glyphs.h"
#include "image/traced_ball.h"
#include "landscape/landscape.h"
#include "math/camera_path.h"
#include "math/random.h"
#include "offscreen/radiosity.h"
#include "offscreen/views.h"
#include "physics/builders/builders.h"
#include "render/fused_passes.h"
#include "render/shortcuts.h"
#include "render/sphere.h"

namespace {

// Moments that between them draw the show every way it draws: each scene,
// and the logos, fades and cloths that come later in some of them.
constexpr uint32_t kJustIn = 100;  // a moment after a window opens
constexpr uint32_t kEveryWayOfDrawing[] = {
    0,                                                  // the loading picture, the traced ball and the letter tiles
    kIntroLogoFrom + 1000,                              // the intro's logo
    sceneFrom(SceneWindow::Landscape) + kJustIn,        // the valley and its greetings
    sceneFrom(SceneWindow::DrivenStrings) + kJustIn,    // the driven strings, their room and reflections
    sceneFrom(SceneWindow::HangingBauble) + 60,         // the hanging bauble
    sceneFrom(SceneWindow::SingleBauble1) + kJustIn,    // the falling sheet and its bauble
    sceneFrom(SceneWindow::SingleBauble2) + kJustIn,    // the turning sheet
    kTableclothFrom + 1000,                             // its long fade, and the tablecloth
    sceneFrom(SceneWindow::Pictures) + kJustIn,         // the closing pictures fading in
    kPicturesFadeOutFrom + 1000,                        // and fading out, the tablecloth leaving
    sceneFrom(SceneWindow::Finale) + kJustIn,           // the finale fading in, its letter tiles and the lamp's glow
    sceneFrom(SceneWindow::Finale) + kFinaleFadeOutAfter + 1000,  // the finale's long fade
    kClosingLogoFrom + 1000,                            // the closing logo
};

}  // namespace

// The software rasterizer builds code for each new way of drawing the first
// time it is used, up to a few hundred milliseconds for a scene's first
// frame. Each moment above is advanced to from the loaded state and drawn
// once, unseen, into the show's own picture (and the views' targets), so
// the show never stops to build code while it plays, and a jump pays only
// for advancing. The loaded state comes back whole afterwards.
void drawEveryWayOnce() {
    ShowSnapshot loaded;
    saveShowState(loaded);
    drawingChoices.everyWay = true;
    for (uint32_t ms : kEveryWayOfDrawing) {
        restoreShowState(loaded);
        // Two frames advanced at the moment's own time, as a seek would end.
        useFixedClock(kShowRate, loaded.clock.base);
        const uint64_t frame = showFrameAt(ms);
        showClock.frame = frame >= 2 ? frame - 2 : 0;
        timeline.showStart = loaded.clock.base;
        timeline.lastFrameTime = clockTicks();
        // The closing pictures set when the finale starts.
        if (ms >= sceneWindowFrom(SceneWindow::Finale)) showFlags.finaleStart = sceneWindowFrom(SceneWindow::Finale);
        while (showClock.frame <= frame) {
            advanceFrame();
            advanceFixedClock();
        }
        drawUnseen();
    }
    drawingChoices.everyWay = false;
    restoreShowState(loaded);
}

void loadShow(bool drawEveryWay) {
    // Everything advancing moves starts afresh: a load always starts the same
    // show, whatever ran before it in this process.
    timeline = TimelineState{};
    showFlags = ShowFlags{};
    resetShowRand();
    resetShowPhysics();
    resetLandscape();
    resetTracedBall();

    TimelineState& t = timeline;
    allocateSpheres();

    // The main context is already current (the window's creation made it).
    t.terrainAngle = -40.0f;

    generateTextureNames();
    // The spheres take the bauble's texture name now; its picture comes later.
    buildShowSpheres(textures.bauble);

    t.phaseA = 0;
    t.phaseB = 0;

    // Camera paths: orbit, then the three finale moves.
    cameraPaths.orbit = buildOrbitPaths();
    t.phaseC = 0;
    cameraPaths.finale1 = buildFinalePaths1();
    t.phaseD = 0;
    cameraPaths.finale2 = buildFinalePaths2();
    t.phaseE = 0;
    cameraPaths.finale3 = buildFinalePaths3();

    // The valley, then the undrawn second funnel: both draw from the show's
    // random sequence before anything else does.
    buildLandscape();
    buildSecondLandscape();

    loadPictures();
    loadGlyphSetA(textures.glyphsA);
    loadGlyphSetB(textures.glyphsB);

    // The soft bodies draw from the show's random sequence after the
    // landscape did, so their values depend on this place in the order.
    buildShowBodies();

    glState::enable(GL_DEPTH_TEST);

    // The room's first lighting (the warm lamp): the room is seen once from
    // every patch in the identity view, then the light goes round four times.
    buildGatherWeights();
    GLuint surfaceIdentityList = 0;
    const GLuint patchIdentityList = createIdentityView(&surfaceIdentityList);
    if (drawingChoices.jointIdentityCapture)
        captureJointIdentities(offscreen.identityView, offscreen.identityJointList);
    else
        captureIdentities(offscreen.identityView, patchIdentityList, surfaceIdentityList);
    for (int round = 0; round < kGatherRounds; ++round) gatherIteration();
    loadPatchTextures(textures.roomMapsA);
    offscreen.mainRoomA = compileRoomDrawing(textures.roomMapsA, RoomTexCoords::LightMap);
    // The bauble view keeps its own copy of the first lighting.
    createBaubleView();
    // The second lighting (the bluish lamp and the green glow), from the
    // same pictures; the environment view keeps its own copy of it.
    setSecondLighting(kSecondLampColour);
    for (int round = 0; round < kGatherRounds; ++round) gatherIteration();
    loadPatchTextures(textures.roomMapsB);
    offscreen.mainRoomB = compileRoomDrawing(textures.roomMapsB, RoomTexCoords::LightMap);
    createEnvironmentView();
    glState::mainCurrent();
    // Built now, so a show that plays on allocates nothing new for them.
    buildFusedPassPrograms();
    if (drawEveryWay) {
        drawEveryWayOnce();
        glState::mainCurrent();
    }

    startMusic();
    // The clock starts last, so the first frame sees elapsed close to 0
    // however long the load took.
    t.showStart = clockTicks();
    t.lastFrameTime = t.showStart;
    host.releaseContext();
}

