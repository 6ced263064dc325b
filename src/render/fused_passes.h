// fused_passes.h - one pass in place of several blended passes over the same
// geometry. Each program redoes, per fragment, the 8-bit arithmetic the
// frame buffer's blending would have done between the passes (a colour made
// a byte, a product of bytes rounded to the nearest byte, a sum held at
// 255), so the frame comes out as the passes leave it while each pixel is
// filled once. Where the context cannot build them, the callers draw the
// passes as before.
#pragma once

#include <epoxy/gl.h>

// Pictures are looked up with the texture coordinates of unit 0, as the
// fixed pipeline looks them up: the same texel weights to the last bit.
enum class FusedPasses {
    // The picture (unit 0) times the vertex colour, plus the vertex colour:
    // the valley's terrain.
    PictureTimesColourPlusColour,
    // The same over the pixel already there instead of the picture.
    PixelTimesColourPlusColour,
    // The vertex colour plus the picture (unit 0), shown as a decal: a lit
    // bauble and its texture pass.
    ColourPlusPicture,
    // The same plus a second picture (unit 1): the large bauble, with its
    // own picture and the reflection on top.
    ColourPlusTwoPictures,
    // The same two over the pixel already there instead of the colour.
    PixelPlusPicture,
    PixelPlusTwoPictures,
    // The vertex colour times the picture (unit 0), shown as a decal: a
    // lit sheet and its picture pass.
    ColourTimesPicture,
};
constexpr int kFusedPassPrograms = 7;

// The program in the main context, built on first use; 0 where the context
// cannot build it. Only for drawing into the show's picture: an offscreen
// view's context has no programs of its own (DrawTarget::View).
GLuint fusedPassProgram(FusedPasses which);
// Builds every program in the main context, as first use would.
void buildFusedPassPrograms();
