// lighting.h - the show's per-vertex lighting on the CPU: a diffuse colour
// from a handful of point lights, and a sharp highlight seen from the camera.
// OpenGL lighting is never enabled; the colours computed here go to glColor3f.
#pragma once

#include <cstdint>

#include "math/vec3.h"

// One point light. The layout is part of the interface: callers keep lights
// in plain arrays and pass pointer and count.
struct Light {
    Vec3 position;
    Vec3 home;     // the landscape's resting place for a moving light; unread here
    Vec3 colour;   // per channel; above 1 saturates early, below 0 darkens
    float kc = 0;  // constant, linear and quadratic attenuation
    float kl = 0;
    float kq = 0;
};

// A light at position with its colour and attenuation; home left at 0.
inline Light pointLight(Vec3 position, Vec3 colour, float kc, float kl, float kq) {
    Light l;
    l.position = position;
    l.colour = colour;
    l.kc = kc;
    l.kl = kl;
    l.kq = kq;
    return l;
}

// Overwrites v's colour with its diffuse colour under lights[0..count).
void lightVertex(Vertex& v, const Light* lights, int32_t count);
// lightVertex for vertices[0..n), four at a time where the processor can:
// the very same colours.
void lightVertices(Vertex* vertices, int32_t n, const Light* lights, int32_t count);
// Adds the highlight of lights[0..count) as seen by the viewer at -camera.pos.
void addSpecular(Vertex& v, const Light* lights, int32_t count, Vertex camera);
