// fused_passes.h - one pass in place of several blended passes over the same
// geometry. Each program redoes, per fragment, the 8-bit arithmetic the
// frame buffer's blending would have done between the passes (a colour made
// a byte, a product of bytes rounded to the nearest byte, a sum held at
// 255), so the frame comes out as the passes leave it while each pixel is
// filled once. Where the context cannot build them, the callers draw the
// passes as before.
#pragma once

#include <epoxy/gl.h>

enum class FusedPasses {
    // The picture (texture unit 0, as the fixed pipeline samples it), times
    // the vertex colour, plus the vertex colour: the valley's terrain.
    PictureTimesColourPlusColour,
    // The same over the pixel already there instead of the picture.
    PixelTimesColourPlusColour,
};
constexpr int kFusedPassPrograms = 2;

// The program in the current context, built on first use; 0 where the
// context cannot build it.
GLuint fusedPassProgram(FusedPasses which);
