// shortcuts.cpp - the drawing's choices, and the test for
// geometry off the picture.
#include "render/shortcuts.h"

#include <epoxy/gl.h>

#include "render/capabilities.h"
#include "show/gl_state.h"

DrawingChoices drawingChoices;

void takeShortcuts(bool take) {
    const bool everyWay = drawingChoices.everyWay, betweenTicks = drawingChoices.betweenTicks;
    drawingChoices = DrawingChoices{};
    drawingChoices.betweenTicks = betweenTicks;
    const bool fold = glCapabilities.path == PassPath::Folded;
    drawingChoices.foldBaublePasses = drawingChoices.foldSheetPasses = drawingChoices.foldTerrainPasses = fold;
    if (!take) {
        DrawingChoices& c = drawingChoices;
        c.cullRoomSurfaces = c.cullReflectionFaces = c.foldBaublePasses = c.foldSheetPasses = false;
        c.foldTerrainPasses = c.skipHiddenTreeRepeat = c.skipGoneTablecloth = c.skipPassingDepthTest = false;
        c.jointIdentityCapture = false;
    }
    drawingChoices.everyWay = everyWay;
}

void currentClipMatrix(double pm[16]) { glState::clipMatrix(pm); }

bool allBeyondOnePlane(const double pm[16], const float (*points)[3], int count) {
    unsigned outside = 0x3F;  // the planes every point so far lies beyond
    for (int v = 0; v < count; ++v) {
        const double x = points[v][0], y = points[v][1], z = points[v][2];
        double clip[4];
        for (int r = 0; r < 4; ++r) clip[r] = pm[r] * x + pm[4 + r] * y + pm[8 + r] * z + pm[12 + r];
        const double w = clip[3] * 1.001 + 1e-6;
        unsigned bits = 0;
        if (clip[0] > w) bits |= 1;
        if (clip[0] < -w) bits |= 2;
        if (clip[1] > w) bits |= 4;
        if (clip[1] < -w) bits |= 8;
        if (clip[2] > w) bits |= 16;
        if (clip[2] < -w) bits |= 32;
        outside &= bits;
        if (!outside) return false;
    }
    return count > 0;
}
