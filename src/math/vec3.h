// vec3.h - the one small value type of the show's geometry and physics,
// the vertex record that terrain, bodies, paths and lighting share, and the
// smoothed grid normal several builders use.
#pragma once

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;

    Vec3() = default;
    Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    Vec3 operator+(const Vec3& b) const { return Vec3(x + b.x, y + b.y, z + b.z); }
    Vec3 operator-(const Vec3& b) const { return Vec3(x - b.x, y - b.y, z - b.z); }
    // The vector is always the left operand.
    Vec3 operator*(float s) const { return Vec3(x * s, y * s, z * s); }
    Vec3& operator+=(const Vec3& b) { x += b.x; y += b.y; z += b.z; return *this; }
    Vec3& operator-=(const Vec3& b) { x -= b.x; y -= b.y; z -= b.z; return *this; }
};

float dot(const Vec3& a, const Vec3& b);
Vec3 cross(const Vec3& a, const Vec3& b);
// Square root of dot(a, a), taken in double precision.
float length(const Vec3& a);
// Scales a to unit length in place; a zero vector stays zero. Returns a.
Vec3& normalise(Vec3& a);

// Position, normal, lit colour, three spare floats, texture coordinate.
// Position starts at 0 and colour at 1; the builders overwrite the rest
// (kept at 0 here so nothing ever reads an indeterminate value).
struct Vertex {
    float pos[3];
    float normal[3];
    float colour[3];
    float spare[3];
    float tex[2];

    Vertex() : pos{0.0f, 0.0f, 0.0f}, normal{}, colour{1.0f, 1.0f, 1.0f}, spare{}, tex{} {}

    Vec3 position() const { return Vec3(pos[0], pos[1], pos[2]); }
    void setPosition(const Vec3& p) { pos[0] = p.x; pos[1] = p.y; pos[2] = p.z; }
    Vec3 normalVec() const { return Vec3(normal[0], normal[1], normal[2]); }
    void setNormal(const Vec3& n) { normal[0] = n.x; normal[1] = n.y; normal[2] = n.z; }
};

// The fields of the two, for the records of the show's state that hold them.
template <class Visit>
void forEachField(const Vec3& v, Visit&& visit) {
    visit(v.x);
    visit(v.y);
    visit(v.z);
}
template <class Visit>
void forEachField(const Vertex& v, Visit&& visit) {
    visit(v.pos);
    visit(v.normal);
    visit(v.colour);
    visit(v.spare);
    visit(v.tex);
}

// Writes v's normal: the normalised sum cross(P-a, P-b) + cross(P-c, P-d).
void gridNormal(Vertex& v, const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& d);
