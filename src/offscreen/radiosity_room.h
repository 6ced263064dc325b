// radiosity_room.h - the small room the soft bodies play in: 52 axis-aligned
// rectangles (four wall and ceiling strips, the floor, and the faces of the
// eight corner cubes that look into the room), each cut into a grid of
// patches, the unit of the light exchange. The room compiles into display
// lists either with identity textures (every texel names its patch or its
// surface, for the capture) or with light maps (for drawing the lit room).
//
// Glossary:
//   surface   one rectangle; its columns run along one axis, its rows along
//             another, both from a start to an end value (either way round)
//   patch     one cell of a surface, row-major: index = row * columns + column
//   number    a surface's 1-based place in construction order
#pragma once

#include <epoxy/gl.h>

#include "render/room_drawing.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "math/vec3.h"

// Pixels of one identity capture: 16 x 16.
constexpr int kCapturePixels = 256;
// Surfaces of the room, and their patches all told.
constexpr int kRoomSurfaces = 52;
constexpr int kRoomPatches = 1664;
// The most patches one surface has (the floor).
constexpr int kMaxSurfacePatches = 256;

struct RadiosityPatch {
    Vec3 emission;   // light the patch gives off by itself
    Vec3 radiosity;  // light leaving the patch; starts equal to emission
    Vec3 gathered;   // weighted light arriving, recomputed by every gathering
    float reflectance = 0.02f;
    Vec3 position;   // centre
    Vec3 normal;     // unit axis vector into the room
    // The 16 x 16 capture seen from the patch, one value per pixel:
    // (surface byte << 24) | patch number; empty until the capture.
    std::unique_ptr<uint32_t[]> identity;
};

struct RadiositySurface {
    uint32_t patchCount = 0;  // columns * rows
    int32_t rows = 0;
    int32_t columns = 0;
    std::unique_ptr<RadiosityPatch[]> patches;  // row-major
    RadiositySurface* next = nullptr;           // construction order
    // Where the rectangle lies, kept for drawing it.
    int columnAxis = 0, rowAxis = 0, fixedAxis = 0;  // 0 x, 1 y, 2 z
    float columnStart = 0, columnEnd = 0, rowStart = 0, rowEnd = 0, fixed = 0;
};

enum class RoomAxis { X = 0, Y = 1, Z = 2 };
// Texture coordinates of the room quads: identity textures run 0..1, light
// maps (except the three ceiling strips) a quarter texel inside.
enum class RoomTexCoords { Identity, LightMap };

// The room's surfaces, in construction order, with an index by number.
struct RoomState {
    RadiositySurface* head = nullptr;
    RadiositySurface* tail = nullptr;
    std::vector<std::unique_ptr<RadiositySurface>> byNumber;  // [n - 1]
};
extern RoomState room;

// Forgets every surface (tests build the room more than once).
void resetRoom();

// Allocates a surface of columns x rows patches, places every patch centre,
// gives them the normal and the initial colour, and appends the surface.
// extents: column start, column end, row start, row end, fixed coordinate.
// The row axis follows from the column axis and the normal.
RadiositySurface* appendSurface(int columns, int rows, const Vec3& normal, const float extents[5],
                                RoomAxis columnAxis, const Vec3& initialColour);

// The n-th surface (1-based); the first one for n below 1, null past the end.
RadiositySurface* surfaceByNumber(int n);

// Appends the 52 surfaces and fills the two identity texture sets (the
// current context's names): patch numbers in RGB, surface numbers + 1 in red.
void buildRadiosityRoom(const GLuint patchIdentityNames[52], const GLuint surfaceIdentityNames[52]);
// Fills 52 RGBA textures that carry both identities at once: the patch
// identity in red, green and blue, the surface identity's red in alpha. One
// capture over them shows what the two captures over the two sets show.
void uploadJointIdentities(const GLuint names[52]);

// Sends one surface as a quad, clockwise seen from inside the room, with
// the texture coordinates of the given kind (surfaceNumber picks the inset).
void drawSurfaceQuad(const RadiositySurface& s, int surfaceNumber, RoomTexCoords coords);

// Compiles the room over 52 texture names (one per surface, in order) into a
// display list of the current context; returns its name.
GLuint compileRoomList(const GLuint names[52], RoomTexCoords coords);
// The same list, and one list per surface with its corners, for drawRoom.
RoomDrawing compileRoomDrawing(const GLuint names[52], RoomTexCoords coords);
