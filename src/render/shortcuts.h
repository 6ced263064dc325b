// shortcuts.h - the drawing's shortcuts: work skipped or done in fewer
// passes where no pixel of the frame can tell (reflection pictures no
// visible face samples, geometry wholly off the screen, depth tests every
// fragment passes, two blended passes folded into one). Cleared, every
// frame is drawn the long way; the tests draw both ways and compare.
#pragma once

extern bool drawingShortcuts;
// Set while the start-up load draws every scene once, unseen: where the
// state chooses between ways of drawing (a bauble at a wall, a sheet
// against one), both ways are drawn, so the rasterizer builds the code
// for each before the show needs it. Never set for a picture anyone sees.
extern bool drawingEveryWay;

// The current projection times modelview, column-major, in double.
void currentClipMatrix(double pm[16]);
// True when all the points lie beyond one and the same clip plane of pm,
// by a margin well past any rounding of the transform: nothing drawn
// between them can reach the picture.
bool allBeyondOnePlane(const double pm[16], const float (*points)[3], int count);
