// views.h - the three offscreen views of the body scenes and the reflection
// passes that run in two of them every frame.
//
//   identity view     16 x 16, start-up only: the room with identity textures,
//                     rendered from every patch for the light exchange
//   bauble view       128 x 128: the room in the first lighting and the coarse
//                     baubles, seen from the large bauble of the nine-bauble
//                     scenes; its first texture name holds the low-resolution
//                     bauble picture, so the name the spheres carry (the main
//                     context's full bauble picture) shows that one here
//   environment view  64 x 64: the room in the second lighting and the cloth,
//                     seen from the single bauble; it lends its own
//                     environment picture to slot 7 while it draws
//
// Each view has its own context: texture names, lists and texture
// environment are its own. Every pass ends with the main context current;
// the six pictures land in SceneTextures slots 0-5 of the main context.
#pragma once

#include <epoxy/gl.h>

#include "image/texture.h"
#include "render/cloth.h"
#include "render/room_drawing.h"

struct OffscreenView;
struct SphereMesh;

// Sizes of the three views.
constexpr int kIdentityViewSize = 16;
constexpr int kBaubleViewSize = 128;
constexpr int kEnvironmentViewSize = 64;

struct OffscreenState {
    OffscreenView* identityView = nullptr;
    OffscreenView* baubleView = nullptr;
    OffscreenView* environmentView = nullptr;
    GLuint identityPatchNames[52] = {};   // identity textures, in the identity view
    GLuint identitySurfaceNames[52] = {};
    GLuint identityPatchList = 0;         // the room over each identity set
    GLuint identitySurfaceList = 0;
    GLuint identityJointNames[52] = {};   // both identities in one RGBA set
    GLuint identityJointList = 0;
    GLuint baubleTexture = 0;       // "Images/Bombka_low.bmp" in the bauble view
    GLuint environmentTexture = 0;  // "Images/Env.bmp" in the environment view
    RoomDrawing baubleRoom;         // first lighting, in the bauble view
    RoomDrawing environmentRoom;    // second lighting, in the environment view
    // The main context's room lists: first lighting (light maps A) and
    // second lighting (light maps B).
    RoomDrawing mainRoomA;
    RoomDrawing mainRoomB;
    // Reflection faces rendered so far, for the tests and the benchmarks.
    uint64_t facesRendered = 0;
    // The main context's unpacking is set up by the first reflection upload.
    bool uploadUnpackSet = false;
    // Read-back pictures of the six faces, per pass size, overwritten by every pass.
    unsigned char baubleFace[6 * kBaubleViewSize * kBaubleViewSize * 3] = {};
    unsigned char environmentFace[6 * kEnvironmentViewSize * kEnvironmentViewSize * 3] = {};
};
extern OffscreenState offscreen;

// Creates the identity view, builds the room in it with its identity
// textures and compiles the patch-identity list (returned) and the
// surface-identity list. Leaves no context current.
GLuint createIdentityView(GLuint* surfaceIdentityList);
// Creates the bauble view: the low-resolution bauble picture as its first
// name, the current light maps and the room over them. Leaves
// the main context current.
void createBaubleView();
// Creates the environment view: its environment picture, the current light
// maps and the room over them. Leaves no context current.
void createEnvironmentView();

// The nine-bauble scenes' pass: the room and the coarse baubles, six times
// from the centre of the large bauble (element 1), into slots 0-5. With
// shown, only the faces it marks are drawn; the other slots keep their
// pictures. The main context is left with the decal environment either way.
void renderBaubleFaces(OffscreenView* view, SphereMesh* coarse, SceneTextures& scene, const RoomDrawing& room,
                       const bool* shown = nullptr);
// The single-bauble scenes' pass: the room and the cloth, six times from the
// bauble's centre, into slots 0-5; the variant (a sheet) goes to the scene drawing.
// shown as for renderBaubleFaces.
void renderEnvironmentFaces(OffscreenView* view, SphereMesh& bauble, SceneTextures& scene, const RoomDrawing& room,
                            ClothVariant variant, const bool* shown = nullptr);

// The projection of one reflection face (0..5: +z, -z, +y, -y, +x, -x)
// looking out from eye; selects the projection matrix.
void reflectionProjection(int face, float eyeX, float eyeY, float eyeZ);
