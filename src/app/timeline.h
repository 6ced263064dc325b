// timeline.h - the show's schedule. Each frame reads the show clock once,
// sets up the camera of the time window that holds it (first pass), then
// steps and draws that window's scene with its overlays (second pass). Which
// scene runs is decided afresh from the clock on every frame.
//
// A frame is two steps. Advancing moves everything a later frame reads: the
// clock reading, camera phases and spins, the flags, the physics drivers and
// their random draws, the traced ball, the valley's counters. It makes no GL
// call, so seeking and recording can skip the frames nobody sees. Drawing
// reads that state and does what only the picture needs: lighting,
// reflections, uploads, the GL calls.
//
// The windows and their times are the schedule's (show/schedule.h).
#pragma once

#include <epoxy/gl.h>

#include <cstdint>

#include "show/show_clock.h"
#include "math/camera_path.h"
#include "show/schedule.h"
#include "show/show_flags.h"

struct TimelineState {
    ShowTicks showStart = 0;      // tick at the end of the start-up load
    ShowTicks frameTime = 0;      // tick read at the start of this frame
    ShowTicks lastFrameTime = 0;  // the previous frame's tick
    uint32_t previousElapsed = 0; // the previous frame's elapsed ms, for drawing
    float phaseA = 0, phaseB = 0;               // orbit phases, taking turns
    float phaseC = 0, phaseD = 0, phaseE = 0;   // finale path phases
    float terrainAngle = 0;                     // landscape turn, degrees
    float spin = 0;                             // frame-counted finale camera parameter
    float spinBefore = 0;                       // spin as this frame's turn reads it (F6)
    Vertex cameraVertex;                        // last path sample; the body scenes' viewer
    Vertex cameraRotation;                      // this frame's path rotation sample
};
extern TimelineState timeline;

// The camera paths: built by the load, only read after it.
struct CameraPaths {
    CameraPathPair orbit, finale1, finale2, finale3;
};
extern CameraPaths cameraPaths;

// What drawing alone keeps of the timeline.
struct TimelineDrawing {
    bool firstFrame = true;  // no frame drawn yet
};
extern TimelineDrawing timelineDrawing;
// What advancing moves of it.
template <class Visit>
void forEachField(const TimelineState& t, Visit&& visit) {
    visit(t.showStart);
    visit(t.frameTime);
    visit(t.lastFrameTime);
    visit(t.previousElapsed);
    visit(t.phaseA);
    visit(t.phaseB);
    visit(t.phaseC);
    visit(t.phaseD);
    visit(t.phaseE);
    visit(t.terrainAngle);
    visit(t.spin);
    visit(t.spinBefore);
    visit(t.cameraVertex);
    visit(t.cameraRotation);
}

// The first camera row whose window holds elapsed.
CameraWindow cameraWindowAt(uint32_t elapsed, uint32_t finaleStart);
// The scene window that holds elapsed (the finale has no end).
SceneWindow sceneWindowAt(uint32_t elapsed);
// Name, start and end of a scene window, for reports.
const char* sceneWindowName(SceneWindow w);
uint32_t sceneWindowFrom(SceneWindow w);
uint32_t sceneWindowTo(SceneWindow w);

// This frame's elapsed milliseconds: frameTime - showStart, unsigned.
uint32_t elapsedMs();
// |frameTime - lastFrameTime| as a signed 32-bit difference.
uint32_t frameDeltaMs();

// The GL state a frame of the show leaves behind that the next frame draws
// with before setting it: which way front faces turn, culling, the texture
// environment and texturing. The frame after reads it as it was left.
struct CarriedGl {
    GLenum frontFace;
    bool cull;
    GLenum textureEnv;
    bool texture2d;
};
// What a frame at elapsed leaves behind (finaleStart as it stands then).
CarriedGl glStateLeftBy(uint32_t elapsed, uint32_t finaleStart);

// The projection set-ups shared by the scenes.
void ortho2d();
void wideProjection();
void closeProjection();
void pathProjection();

// Moves the show one frame on at the clock's current reading; no GL call.
void advanceFrame();
// Draws the frame the last advanceFrame reached and presents it. Sets up
// again whatever GL state the frame before would have left behind, so a
// frame drawn after any number of frames that were only advanced is whole.
void drawFrame();
// Draws that frame as drawFrame does, the loading picture first at 0 ms,
// and leaves it in the show's picture, never presented nor handed to
// beforePresent. Finished before it returns.
void drawUnseen();

// Called once per frame just before the frame is presented, with elapsed
// milliseconds: the recorder and the screenshot writer read pixels here.
using PresentHook = void (*)(uint32_t elapsed);
extern PresentHook beforePresent;
