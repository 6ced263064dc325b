// shortcuts.h - the drawing's shortcuts: work skipped or done in fewer
// passes where no pixel of the frame can tell (reflection pictures no
// visible face samples, geometry wholly off the screen, depth tests every
// fragment passes, two blended passes folded into one), each a choice of
// its own; and the test for geometry off the picture.
#pragma once

// The drawing's choices, made once at start-up. Each shortcut leaves out
// work, or folds two blended passes into one program, only where no pixel
// can tell; cleared, that part of the frame is drawn the long way.
struct DrawingChoices {
    bool cullRoomSurfaces = true;      // room surfaces wholly off the picture are not drawn
    bool cullReflectionFaces = true;   // reflection pictures no visible face samples are not made
    bool foldBaublePasses = true;      // baubles: the lit and the textured pass in one program
    bool foldSheetPasses = true;       // sheets: the lit pass times the environment picture in one
    bool foldTerrainPasses = true;     // the valley: the picture times the light plus the light in one
    bool skipHiddenTreeRepeat = true;  // the trees' second drawing, where the depth test fails it all
    bool skipGoneTablecloth = true;    // the tablecloth once it has left the picture
    bool skipPassingDepthTest = true;  // the closing pictures cover the cleared depth: no test
    bool jointIdentityCapture = true;  // the room's identity pictures, every patch in one capture
    // Set while the start-up load draws every scene once, unseen: where the
    // state chooses between ways of drawing (a bauble at a wall, a sheet
    // against one), both ways are drawn, so the rasterizer builds the code
    // for each before the show needs it. Never set for a picture anyone sees.
    bool everyWay = false;
    // The soft bodies drawn where they are between two physics ticks; off
    // (--ticks), drawn as the ticks land, 16.7 places a second.
    bool betweenTicks = true;
};
extern DrawingChoices drawingChoices;
// Every shortcut taken, or none: the long way, which the tests compare with.
void takeShortcuts(bool take);

// Where a frame is drawn: the show's own picture in the main context, or an
// offscreen view's target in that view's own context, which has none of the
// main context's programs.
enum class DrawTarget { Picture, View };

// The current projection times modelview, column-major, in double.
void currentClipMatrix(double pm[16]);
// True when all the points lie beyond one and the same clip plane of pm,
// by a margin well past any rounding of the transform: nothing drawn
// between them can reach the picture.
bool allBeyondOnePlane(const double pm[16], const float (*points)[3], int count);
