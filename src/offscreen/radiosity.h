// radiosity.h - the room's soft light, computed once at start-up: the room
// is rendered from every patch into the 16 x 16 identity view so each pixel
// names the patch it sees, and a fixed table of pixel weights turns those
// pictures into rounds of light exchange. Two lightings: a warm lamp under
// the upper cube in corner -x +z, then a bluish one under the lower cube in
// corner -x -z with a faint green glow on one wall piece. Each lighting is
// uploaded as 52 light maps, one texel per patch.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>

#include "math/vec3.h"
#include "offscreen/radiosity_room.h"

struct OffscreenView;

// Rounds of light exchange per lighting.
constexpr int kGatherRounds = 4;
// Emitters of the second lighting (surface numbers) and their colours.
constexpr int kSecondLampSurface = 42;
constexpr int kGreenGlowSurface = 22;
const Vec3 kSecondLampColour(0.235f, 0.285f, 0.315f);
const Vec3 kGreenGlowColour(0.05f, 0.1f, 0.05f);

struct RadiosityState {
    // One weight per capture pixel, in read-back order (row 0 at the bottom).
    float weights[kCapturePixels] = {};
    // The capture's read-back pictures, reused for every patch.
    uint8_t patchPicture[kCapturePixels * 3] = {};
    uint8_t surfacePicture[kCapturePixels] = {};
    // Each surface byte's first patch and patch count, filled by the capture
    // (the gathering's lookup by surface number; byte b is surface b - 1).
    RadiosityPatch* patchesOfByte[256] = {};
    uint32_t patchCountOfByte[256] = {};
};
extern RadiosityState radiosity;

// Fills the weight table: cos(r * pi / 2 / sqrt(128)) at distance r from
// pixel (8, 8); not normalised.
void buildGatherWeights();

// Renders the room from every patch (patch identities, then surface
// identities) in the identity view and keeps each patch's picture. Makes the
// view current first and the main context current at the end.
void captureIdentities(OffscreenView* identityView, GLuint patchIdentityList, GLuint surfaceIdentityList);
// The same pictures, each patch's in one capture over the joint identities
// (the room list of uploadJointIdentities), into a ring of targets of the
// view's size read back a ring at a time, so the rasterizer works on one
// while the next are drawn. Makes the view current first and the main
// context current at the end.
void captureJointIdentities(OffscreenView* identityView, GLuint jointIdentityList);

// One round of light exchange over all patches; every patch reads only the
// previous round's radiosities.
void gatherIteration();

// Clears every patch and lights the second lighting's lamp (with the given
// colour) and its green glow.
void setSecondLighting(const Vec3& lampColour);

// Uploads the current radiosities as the 52 light maps of the current
// context, one texel per patch; components above 1 are clamped in the patch.
void loadPatchTextures(const GLuint names[52]);
