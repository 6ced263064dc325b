// vec3.cpp - vector operations and the grid normal.
#include "math/vec3.h"

#include <cmath>

float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec3 cross(const Vec3& a, const Vec3& b) {
    return Vec3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float length(const Vec3& a) { return static_cast<float>(std::sqrt(static_cast<double>(dot(a, a)))); }

Vec3& normalise(Vec3& a) {
    float l = length(a);
    if (l != 0.0f) a = a * (1.0f / l);
    return a;
}

void gridNormal(Vertex& v, const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& d) {
    Vec3 p = v.position();
    Vec3 n = cross(p - a.position(), p - b.position()) + cross(p - c.position(), p - d.position());
    float l = static_cast<float>(std::sqrt(static_cast<double>(n.x) * n.x + static_cast<double>(n.y) * n.y +
                                           static_cast<double>(n.z) * n.z));
    if (l != 0.0f) n = Vec3(n.x / l, n.y / l, n.z / l);
    v.setNormal(n);
}
