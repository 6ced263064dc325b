// camera_path.h - keyframed camera moves: a natural cubic spline through
// ten keys, fitted per axis over one parameter unit per key interval, and
// sampled every frame at a phase in [0, 1]. A camera move is a pair of paths:
// rotation angles in degrees and a translation.
#pragma once

#include <vector>

#include "math/vec3.h"

struct CameraPath {
    float step = 0.0f;  // parameter length of a segment: 1 once built
    int segments = 0;   // n; the path runs through n + 1 keys
    // Per axis: value on segment i at t is a[i] + b[i] t + c[i] t^2 + d[i] t^3.
    // a, b, d hold n entries, c holds n + 1.
    std::vector<float> ax, bx, cx, dx;
    std::vector<float> ay, by, cy, dy;
    std::vector<float> az, bz, cz, dz;
};

struct CameraPathPair {
    CameraPath translation;
    CameraPath rotation;
};

// The spline through keys[0..n] (only positions are read).
CameraPath buildPath(const Vertex* keys, int n);
// A fresh Vertex whose position is the path at phase (0 = first key, 1 = last).
// Phases past 1 stay on the last segment instead of running off the arrays.
Vertex evaluatePath(const CameraPath& path, float phase);

// The four camera moves of the show.
CameraPathPair buildOrbitPaths();
CameraPathPair buildFinalePaths1();
CameraPathPair buildFinalePaths2();
CameraPathPair buildFinalePaths3();
