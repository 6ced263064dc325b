// glow.h - the translucent light cone under the finale's lamp while it
// flashes. The cone is a wire figure (two rings of eight points joined by
// eight edges); it is drawn as a stack of cross-sections: cut by planes of
// constant z every 0.2, each cut is a convex polygon, sent as alpha-blended
// triangles. The lamp drawing refills the figure on every call.
#pragma once

#include <cstdint>

#include "math/vec3.h"

// Room in a figure: the lamp's cone takes 16 points and 24 edges; the rest
// lets a cut meet more edges than a slice holds.
constexpr int32_t kMaxFigurePoints = 64;
constexpr int32_t kMaxFigureEdges = 32;

// Filled anew on every lamp drawing, in room of its own: the finale's frames
// allocate nothing for it.
struct GlowFigure {
    float weights[kMaxFigurePoints] = {};  // one per point, used as alpha
    float minZ = 0.0f;           // z range of the transformed points, per draw
    float maxZ = 0.0f;
    int32_t pointCount = 0;
    int32_t edgeCount = 0;
    Vertex transformed[kMaxFigurePoints];  // points after glowMatrix, per draw
    Vertex source[kMaxFigurePoints];       // points as the lamp wrote them (position only)
    int32_t edges[kMaxFigureEdges][2] = {};  // point indices of each edge
};

// One point of a cross-section.
struct SlicePoint {
    float x, y, z, w;
};

// A cut of the show's figure yields at most one point per edge.
constexpr int kMaxSlicePoints = 24;

struct GlowState {
    GlowFigure figure;  // the show's one figure
    // The figure transform (column-major, as GL keeps it); identity for good.
    float glowMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    SlicePoint slice[kMaxSlicePoints] = {};
    int32_t trianglesSent = 0;  // by the last drawGlow (for checks)
};
extern GlowState glow;

// Takes the given counts (within the figure's room), every point and edge
// cleared, as the lamp starts each figure afresh.
void setFigureSize(GlowFigure& f, int32_t points, int32_t edges);
// Draws every figure of the show (there is one) as blended cross-sections.
void drawGlow();

// --- pieces of the drawing, for the tests ---

// Applies glowMatrix to every source point and records the z range.
void transformFigure(GlowFigure& f, const float matrix[16]);
// Cuts the transformed figure at z into out (room for maxOut); returns the count.
int cutFigure(const GlowFigure& f, float z, SlicePoint* out, int maxOut);
// Bubble sort by y; exactly equal neighbours are pushed 0.01 apart first.
void sortSlice(SlicePoint* points, int count);
// Triangulates y-sorted points of a convex section into count - 2 triangles,
// the first (0, 1, 2); returns the number written into tris.
int triangulateSlice(const SlicePoint* points, int count, int32_t (*tris)[3]);
