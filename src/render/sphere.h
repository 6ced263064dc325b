// sphere.h - the baubles' meshes: a sphere made of six curved patches, one
// per cube face, each an n x n grid projected onto the sphere. Built once at
// start-up, moved rigidly onto its simulated ball every frame, relit in
// software and drawn as triangle strips: once with the lit colours, once with
// a texture per face. The physics never sees a mesh.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

#include "math/vec3.h"
#include "physics/model.h"

// Vertex (f, i, j) - face f, row i, column j - is element f*n*n + i*n + j of
// both arrays; the drawing walks them as 6*n rows of n vertices.
struct SphereMesh {
    std::vector<Vertex> local;  // around the origin, written once by buildSphere
    std::vector<Vertex> world;  // where the sphere is now; lit and drawn from here
    Vertex centre;              // its position is where world stands now
    // Where the show has the sphere when this frame began and when it ends.
    // Advancing moves these; drawing moves world onto them when it needs to.
    Vec3 frameStart{0.0f, 0.0f, 0.0f};
    Vec3 frameEnd{0.0f, 0.0f, 0.0f};
    GLuint faceTexture[6] = {}; // bound while drawing face 0 .. 5
    int32_t n = 9;
    float radius = 0.0f;

    SphereMesh() { centre.setPosition(Vec3(0.0f, 0.0f, 0.0f)); }
    int32_t vertexCount() const { return static_cast<int32_t>(world.size()); }
};

// Makes s a sphere of that radius with an n x n grid per face and the texture
// on all six faces. Rebuilding replaces the arrays (the show builds each once).
void buildSphere(SphereMesh& s, float radius, int32_t n, GLuint texture);

// The show's spheres: the detailed nine drawn on screen in the bauble scenes,
// the coarse nine drawn only into the reflection, and the two single baubles.
constexpr int kSphereArray = 9;
struct SphereState {
    SphereMesh detailed[kSphereArray];
    SphereMesh coarse[kSphereArray];
    SphereMesh largeBauble;   // single-bauble scene 1
    SphereMesh middleBauble;  // single-bauble scene 2
};
extern SphereState spheres;

// Every sphere whose place advancing moves, in one order.
template <typename Visit>
void forEachSphere(Visit visit) {
    for (SphereMesh& s : spheres.detailed) visit(s);
    for (SphereMesh& s : spheres.coarse) visit(s);
    visit(spheres.largeBauble);
    visit(spheres.middleBauble);
}

// Every sphere back to its empty construction (start-up, and tests).
void allocateSpheres();
// Builds every sphere of the show with the bauble texture, in start-up order.
void buildShowSpheres(GLuint baubleTexture);

// --- placement ---

// Moves s rigidly to p: world = local + p, normals copied, colours kept.
void placeSphere(SphereMesh& s, const Vec3& p);
// Places array element k on the k-th active collider's centre.
void placeSpheres(SphereMesh* array, const Collider* colliders);
// Places s on the first active collider's centre.
void placeSingleSphere(SphereMesh& s, const Collider* colliders);

// Advancing: each sphere of the array begins the frame where it ended the
// last; element k ends it on the k-th active collider's centre.
void moveSpheres(SphereMesh* array, const Collider* colliders);
// The same for one sphere and the first active collider.
void moveSingleSphere(SphereMesh& s, const Collider* colliders);
// Places world where the frame began or ends, if it is not there already.
void standAtFrameStart(SphereMesh& s);
void standAtFrameEnd(SphereMesh& s);

// --- drawing (clockwise seen from outside, for glFrontFace(GL_CW)) ---

// The colour pass: lit vertex colours, no texture.
void drawSphereLit(const SphereMesh& s);
// The texture pass: the same strips with texture coordinates, one texture per
// face. Texturing is off when it returns.
void drawSphereTextured(const SphereMesh& s);
// Colour pass of every sphere whose active collider follows a particle.
void drawSpheresLit(const SphereMesh* array, const Collider* colliders);
// Texture pass of the array; the large bauble (element 1) is drawn twice, with
// textures[6] on every face and then with the six reflection views 0..5.
void drawSpheresTextured(SphereMesh* array, const Collider* colliders, const GLuint* textures);
// Both passes at once, where the main context has the programs and the
// texture environment is the decal the reflections leave: each sphere in a
// single pass, its lit colour plus its pictures held at white, as the
// texture pass adds them onto the colour pass. Leaves the pictures bound as
// the texture pass does; false, with nothing drawn, where it cannot.
bool drawSpheresInOnePass(SphereMesh* array, const Collider* colliders, const GLuint* textures);
// Puts textures[0..5] on the six faces of s and draws its texture pass.
void drawSphereWithTextures(SphereMesh& s, const GLuint* textures);
// Which faces of s can put a pixel on screen when drawn with clockwise front
// faces culled, seen from eye: a face whose every triangle is clearly turned
// away is culled whole, and its texture is never sampled. Triangles seen
// edge-on, and the degenerate ones, count as seen.
void facesTowards(const SphereMesh& s, const Vec3& eye, bool shown[6]);
// The strings of a bauble scene: the m-th spring after the head hangs sphere
// m / 2, drawn from its upper end (black) to the sphere's centre (pale red).
void drawStrings(const SphereMesh* array, const Spring* springs);
