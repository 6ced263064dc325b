// landscape.h - the valley of the fly-over (25 s to 70 s): a jagged funnel
// of 32 rings lit by 51 point lights, 100 thin trees on its upper slopes (the
// even ones sway, each with a light above it) and a storm curtain behind.
// Built once at start-up; animated and drawn every landscape frame.
//
// Glossary:
//   ring, column  terrain vertex (i, j) is element 64 i + j: ring 0 is the
//                 rim, ring 31 the bottom; columns run round the axis
//   rest points   a trunk's five control points as built (ground to top)
//   sway points   the same as animated; the trunk curve runs through them
//   crown         six points round the top of a trunk, eight triangles
//   valley light  light 0, under the rim; lights 1-50 hang over the even trees
#pragma once

#include <epoxy/gl.h>

#include "math/camera_path.h"
#include "math/vec3.h"
#include "render/lighting.h"

constexpr int kTerrainRings = 32;
constexpr int kTerrainColumns = 64;
constexpr int kTerrainVertices = kTerrainRings * kTerrainColumns;
constexpr int kLandscapeLights = 51;
constexpr int kLandscapeTrees = 100;
constexpr int kSecondLandscapeLights = 31;
constexpr int kTrunkPoints = 51;  // t = 0, 0.02, ... while t < 1 in float

struct LandscapeTree {
    Vertex sway[5];       // control points as animated
    Vertex rest[5];       // control points as built: 0 at the ground, 4 at the top
    Vertex crown[6];      // crown as drawn (positions)
    Vertex restCrown[6];  // crown as built; its colours are the ones drawn
    CameraPath trunk;     // curve through the current control points
    // The curve sampled at the 51 drawing steps, taken whenever the curve is
    // built: an odd tree never moves, and an even tree's first pass of a
    // frame shows the curve of the previous frame's sway.
    float trunkPoints[kTrunkPoints][3] = {};
    int ground = 0;  // the terrain vertex its foot stands on
};

// One vertex of a terrain strip as GL reads it from an array.
struct StripVertex {
    float tex[2];
    float colour[3];
    float pos[3];
};
constexpr int kStripVertices = 2 * (kTerrainColumns + 1);  // 64 pairs and the closing pair

// What advancing moves in the valley, as one record: frame counters, so the
// animation runs with the frame rate, not the clock.
struct LandscapeMotion {
    float valleyPhase = 0.0f;
    float swayPhase = 0.0f;
    // The sway the trees hold when this frame begins; none before the first
    // valley frame, when they still stand as built.
    float swayAtStart = 0.0f;
    bool swayedAtStart = false;
};

template <class Visit>
void forEachField(const LandscapeMotion& m, Visit&& visit) {
    visit(m.valleyPhase);
    visit(m.swayPhase);
    visit(m.swayAtStart);
    visit(m.swayedAtStart);
}

struct LandscapeState {
    Vertex terrain[kTerrainVertices];
    Light landscapeLights[kLandscapeLights];
    LandscapeTree trees[kLandscapeTrees];
    GLuint terrainTexture = 0;
    GLuint stormTexture = 0;
    GLuint forestTexture = 0;  // loaded, drawn by no scene

    LandscapeMotion motion;
    // What the tree arrays hold now: drawing's own record, so it sways them
    // only when they are not already where the frame needs them.
    float treesSwayedTo = 0.0f;
    bool treesSwayed = false;

    // The 31 ring strips as sent to GL, refilled from the terrain each pass.
    StripVertex strips[kTerrainRings - 1][kStripVertices];

    // The second funnel: never drawn, but its jitter draws from the show's
    // random sequence before the soft bodies do.
    Vertex secondTerrain[kTerrainVertices];
    Light secondLights[kSecondLandscapeLights];
    GLuint secondTexture = 0;
};
extern LandscapeState landscape;

// Everything of the valley, in its order; in the main context at start-up.
void buildLandscape();
// The second funnel with its own random draws; right after buildLandscape.
void buildSecondLandscape();
// Back to the state at process start (tests only; texture names are not freed).
void resetLandscape();

// One landscape frame's state: the frame counters move on.
void advanceLandscape();
// One landscape frame's picture: backdrop, the trees as the frame found them,
// sway, trees again and the terrain in three passes.
void drawLandscape();
// The curved storm curtain far behind the valley.
void drawStormBackdrop();
// Every trunk as a shaded line and every crown as eight triangles.
void drawTrees();
// The same pass for the even, swaying trees only.
void drawSwayingTrees();
// Moves the even trees and their lights to phase x; rebuilds their curves and crowns.
void swayTrees(float x);
// Puts the even trees back as built (lights stay where they are).
void unswayTrees();
// Lights the terrain against all 51 lights, then draws its 31 ring strips in
// three passes: the picture, times the lit colour, plus the lit colour.
void drawTerrainStrips();
// The three passes alone, with the colours the terrain already holds.
void drawTerrainPasses();

// --- pieces the drawing and the tests share ---

// Terrain vertex (i, j) of the funnel before its jitter.
Vertex terrainVertex(int ring, int column);
// Moves at most one coordinate of v by a random amount (1 to 4 draws), times scale.
void jitterVertex(Vertex& v, float scale);
// A tree's rest points on ground vertex `ground` (index V), with lean S and lift T.
void placeTrunk(LandscapeTree& tree, const Vertex* terrain, int groundIndex, int s, int t);
// Crown positions from control points 3 and 4 (the apex is point 4's whole record).
void crownFromPoints(Vertex crown[6], const Vertex points[5]);
// Builds the trunk curve through the given control points and samples it.
void buildTrunk(LandscapeTree& tree, const Vertex points[5]);
// Lights every terrain vertex against the landscape lights.
void lightTerrain();
// Sends the 31 ring strips with the colours the terrain holds (no lighting).
void emitTerrainStrips();
