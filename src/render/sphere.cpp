// sphere.cpp - building, placing and drawing the bauble meshes. All the
// trigonometry runs once at start-up; a frame only adds the centre to each
// vertex and sends the strips.
#include "render/sphere.h"

#include <cmath>

#include "show/gl_state.h"
#include "image/texture.h"
#include "render/fused_passes.h"
#include "render/lines.h"
#include "render/shortcuts.h"
#include "show/room.h"

SphereState spheres;

namespace {

constexpr double kPi = 3.14159265358979323846;

// k / (n - 1) as a texture coordinate; a one-vertex face has no span, so 0.
inline float span(int32_t k, int32_t n) {
    return n > 1 ? static_cast<float>(k) / static_cast<float>(n - 1) : 0.0f;
}

// Index of vertex (face, row, column) in a mesh of n x n per face.
inline int32_t at(int32_t n, int32_t f, int32_t i, int32_t j) { return f * n * n + i * n + j; }

inline void setTex(Vertex& v, float s, float t) {
    v.tex[0] = s;
    v.tex[1] = t;
}

// What a pass sends with each vertex.
enum class Sent { Colour, TexCoord, Both };

// Sends the strips of one face in the winding the body scenes cull by:
// faces 1, 2 and 4 take the lower row first so every face is clockwise
// seen from outside.
void sendFace(const SphereMesh& s, int32_t f, Sent sent) {
    const int32_t n = s.n;
    const Vertex* w = s.world.data();
    const bool lowerFirst = (f == 1 || f == 2 || f == 4);
    for (int32_t r = f * n; r <= f * n + n - 2; ++r) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int32_t j = 0; j < n; ++j) {
            const Vertex& upper = w[r * n + j];
            const Vertex& lower = w[(r + 1) * n + j];
            const Vertex* pair[2] = {lowerFirst ? &lower : &upper, lowerFirst ? &upper : &lower};
            for (const Vertex* v : pair) {
                if (sent != Sent::TexCoord) glColor3f(v->colour[0], v->colour[1], v->colour[2]);
                if (sent != Sent::Colour) glTexCoord2f(v->tex[0], v->tex[1]);
                glVertex3f(v->pos[0], v->pos[1], v->pos[2]);
            }
        }
        glEnd();
    }
}

// True when the mesh has been built to its own n (an unbuilt one draws nothing).
inline bool drawable(const SphereMesh& s) {
    return s.n > 0 && s.world.size() == static_cast<size_t>(6) * s.n * s.n;
}

// The six patches, row by row, into local (6 n x n vertices).
void buildPatches(Vertex* local, float R, int32_t n) {
    // The angle between a cube's diagonal and an axis: the patches' corners.
    // The row and column angles are kept in floats, but their steps and every
    // sine and cosine are worked in double: float sines would put vertices
    // several float steps off the sphere's true grid.
    const double A = std::acos(std::sqrt(3.0) / 3.0);
    const double thetaStep = n > 1 ? (kPi - 2.0 * A) / (n - 1) : 0.0;
    float theta = static_cast<float>(A);
    for (int32_t i = 0; i < n; ++i) {
        // Half-width of this row seen from its axis: A at the edges, pi/4 in the middle.
        const double sinTheta = std::sin(static_cast<double>(theta));
        const double rowCos = R != 0.0f ? std::sqrt(2.0) * (static_cast<double>(R) * sinTheta) / (2.0 * R)
                                        : std::sqrt(2.0) * sinTheta / 2.0;
        const double phi0 = std::acos(rowCos);
        const double psi = kPi / 4.0 + (n > 1 ? i * kPi / (2.0 * n - 2.0) : 0.0);
        const double cosPsi = std::cos(psi), sinPsi = std::sin(psi);
        const double phiStep = n > 1 ? (kPi - 2.0 * phi0) / (n - 1) : 0.0;
        float phi = static_cast<float>(phi0);
        // The row ends at pi - phi0 within a milliradian; counting the n
        // columns keeps a rounding slip from writing past the row.
        for (int32_t j = 0; j < n; ++j) {
            const double cosPhi = std::cos(static_cast<double>(phi)), sinPhi = std::sin(static_cast<double>(phi));
            const double c = static_cast<double>(R) * cosPhi;
            const double a = static_cast<double>(R) * cosPsi * sinPhi;
            const double b = static_cast<double>(R) * sinPsi * sinPhi;
            const float fa = static_cast<float>(a), fb = static_cast<float>(b), fc = static_cast<float>(c);
            const float sj = span(j, n), sRev = span(n - 1 - j, n);
            const float ti = span(i, n), tRev = span(n - 1 - i, n);

            Vertex* f0 = &local[at(n, 0, i, j)];
            f0->setPosition(Vec3(fc, fa, fb));
            setTex(*f0, sj, tRev);
            Vertex* f1 = &local[at(n, 1, i, j)];
            f1->setPosition(Vec3(fc, fa, -fb));
            setTex(*f1, sRev, tRev);
            Vertex* f2 = &local[at(n, 2, i, j)];
            f2->setPosition(Vec3(fc, fb, fa));
            setTex(*f2, sRev, tRev);
            Vertex* f3 = &local[at(n, 3, i, j)];
            f3->setPosition(Vec3(fc, -fb, fa));
            setTex(*f3, sRev, ti);
            Vertex* f4 = &local[at(n, 4, i, j)];
            f4->setPosition(Vec3(fb, fa, fc));
            setTex(*f4, sRev, tRev);
            Vertex* f5 = &local[at(n, 5, i, j)];
            f5->setPosition(Vec3(-fb, fa, fc));
            setTex(*f5, sj, tRev);

            // Outward unit normals; a sphere of radius 0 keeps zero normals
            // rather than 0/0.
            if (R != 0.0f) {
                for (Vertex* v : {f0, f1, f2, f3, f4, f5})
                    for (int q = 0; q < 3; ++q) v->normal[q] = v->pos[q] / R;
            }
            phi = static_cast<float>(phi + phiStep);
        }
        theta = static_cast<float>(theta + thetaStep);
    }
}

// The caps use another parametrisation than the four patches around the
// x axis; their borders take the neighbours' vertices so no crack shows.
// The order matters at the cap corners: the last copy wins.
void closeCapSeams(Vertex* local, int32_t n) {
    struct SeamCopy {
        int32_t fromFace, toFace;
        // Row and column of each end as functions of k: -1 means k, -2 means n - 1.
        int32_t fromRow, fromCol, toRow, toCol;
    };
    const SeamCopy copies[8] = {
        {2, 4, -1, 0, 0, -1},  {3, 4, -1, 0, -2, -1}, {0, 4, -1, 0, -1, 0},  {1, 4, -1, 0, -1, -2},
        {2, 5, -1, -2, 0, -1}, {3, 5, -1, -2, -2, -1}, {0, 5, -1, -2, -1, 0}, {1, 5, -1, -2, -1, -2},
    };
    auto pick = [n](int32_t code, int32_t k) { return code == -1 ? k : code == -2 ? n - 1 : code; };
    for (const SeamCopy& c : copies) {
        for (int32_t k = 0; k < n; ++k) {
            const Vertex& from = local[at(n, c.fromFace, pick(c.fromRow, k), pick(c.fromCol, k))];
            Vertex& to = local[at(n, c.toFace, pick(c.toRow, k), pick(c.toCol, k))];
            for (int q = 0; q < 3; ++q) {
                to.pos[q] = from.pos[q];
                to.normal[q] = from.normal[q];
            }
        }
    }
}

}  // namespace

// Builds the six patches row by row, closes the caps' seams, then copies the
// mesh into its world array.
void buildSphere(SphereMesh& s, float radius, int32_t n, GLuint texture) {
    if (n < 1) n = 1;  // a face needs at least its one vertex
    s.radius = radius;
    s.n = n;
    for (GLuint& t : s.faceTexture) t = texture;
    s.centre.setPosition(Vec3(0.0f, 0.0f, 0.0f));
    s.local.assign(static_cast<size_t>(6) * n * n, Vertex());
    buildPatches(s.local.data(), radius, n);
    closeCapSeams(s.local.data(), n);
    s.world = s.local;
}

// Every sphere back to its empty construction.
void allocateSpheres() { spheres = SphereState(); }

// Builds the show's spheres in start-up order: middle, large, detailed, coarse.
void buildShowSpheres(GLuint baubleTexture) {
    SphereState& sp = spheres;
    buildSphere(sp.middleBauble, 0.1596f, 9, baubleTexture);
    buildSphere(sp.largeBauble, 0.292f, 9, baubleTexture);
    // Element 1 is the large bauble with the highlight and the reflection.
    for (int k = 0; k < kSphereArray; ++k)
        buildSphere(sp.detailed[k], k == 1 ? 0.13f : 0.05f, k == 1 ? 15 : 6, baubleTexture);
    // Only drawn into the reflection, which is taken from element 1's centre:
    // element 1 gets one vertex per face and so shows nothing.
    for (int k = 0; k < kSphereArray; ++k)
        buildSphere(sp.coarse[k], k == 1 ? 0.13f : 0.05f, k == 1 ? 1 : 3, baubleTexture);
}

// Moves s rigidly to p from its local mesh, so repeated calls never drift.
void placeSphere(SphereMesh& s, const Vec3& p) {
    const size_t count = s.local.size() < s.world.size() ? s.local.size() : s.world.size();
    const Vertex* local = s.local.data();
    Vertex* world = s.world.data();
    for (size_t v = 0; v < count; ++v) {
        world[v].pos[0] = local[v].pos[0] + p.x;
        world[v].pos[1] = local[v].pos[1] + p.y;
        world[v].pos[2] = local[v].pos[2] + p.z;
        world[v].normal[0] = local[v].normal[0];
        world[v].normal[1] = local[v].normal[1];
        world[v].normal[2] = local[v].normal[2];
    }
    s.centre.setPosition(p);
}

// Element k follows the k-th active collider; the array holds nine.
void placeSpheres(SphereMesh* array, const Collider* colliders) {
    int k = 0;
    for (const Collider* c = colliders; c && k < kSphereArray; c = c->next)
        if (c->flags & CF_ACTIVE) placeSphere(array[k++], c->centre);
}

// The single bauble follows the first active collider, its ball.
void placeSingleSphere(SphereMesh& s, const Collider* colliders) {
    for (const Collider* c = colliders; c; c = c->next) {
        if (c->flags & CF_ACTIVE) {
            placeSphere(s, c->centre);
            return;
        }
    }
}

void moveSpheres(SphereMesh* array, const Collider* colliders) {
    for (int k = 0; k < kSphereArray; ++k) array[k].frameStart = array[k].frameEnd;
    int k = 0;
    for (const Collider* c = colliders; c && k < kSphereArray; c = c->next)
        if (c->flags & CF_ACTIVE) array[k++].frameEnd = c->centre;
}

void moveSingleSphere(SphereMesh& s, const Collider* colliders) {
    s.frameStart = s.frameEnd;
    for (const Collider* c = colliders; c; c = c->next) {
        if (c->flags & CF_ACTIVE) {
            s.frameEnd = c->centre;
            return;
        }
    }
}

namespace {
void standAt(SphereMesh& s, const Vec3& p) {
    const Vec3 now = s.centre.position();
    if (now.x != p.x || now.y != p.y || now.z != p.z) placeSphere(s, p);
}
}  // namespace

void standAtFrameStart(SphereMesh& s) { standAt(s, s.frameStart); }
void standAtFrameEnd(SphereMesh& s) { standAt(s, s.frameEnd); }

// The colour pass of one sphere.
void drawSphereLit(const SphereMesh& s) {
    if (!drawable(s)) return;
    for (int32_t f = 0; f < 6; ++f) sendFace(s, f, Sent::Colour);
}

namespace {

// The texture pass asks for a picture per face, mostly the one already
// bound: binding it again would only cut the pass into more draws.
struct Binding {
    GLuint name = 0;
    bool known = false;
    void bind(GLuint wanted) {
        if (known && wanted == name) return;
        glBindTexture(GL_TEXTURE_2D, wanted);
        name = wanted;
        known = true;
    }
};

// The faces of one sphere, texturing on; an unbuilt sphere still binds its
// pictures, so the last one stays bound as after any texture pass.
void sendTexturedFaces(const SphereMesh& s, Binding& binding) {
    const bool ok = drawable(s);
    for (int32_t f = 0; f < 6; ++f) {
        binding.bind(s.faceTexture[f]);
        if (ok) sendFace(s, f, Sent::TexCoord);
    }
}

}  // namespace

// The texture pass of one sphere, each face with its own texture.
void drawSphereTextured(const SphereMesh& s) {
    Binding binding;
    glEnable(GL_TEXTURE_2D);
    sendTexturedFaces(s, binding);
    glDisable(GL_TEXTURE_2D);
}

// Colour pass of every sphere whose active collider follows a particle.
void drawSpheresLit(const SphereMesh* array, const Collider* colliders) {
    int k = 0;
    for (const Collider* c = colliders; c && k < kSphereArray; c = c->next) {
        if (!(c->flags & CF_ACTIVE)) continue;
        if (c->particle) drawSphereLit(array[k]);
        ++k;
    }
}

// Texture pass of the array; the large bauble gets its picture, then the
// six reflection views of the room on top.
void drawSpheresTextured(SphereMesh* array, const Collider* colliders, const GLuint* textures) {
    Binding binding;
    bool any = false;
    int i = 0;
    for (const Collider* c = colliders; c && i < kSphereArray; c = c->next) {
        if (!(c->flags & CF_ACTIVE)) continue;
        if (c->particle) {
            if (!any) glEnable(GL_TEXTURE_2D);
            any = true;
            if (i == 1) {
                SphereMesh& large = array[1];
                for (GLuint& t : large.faceTexture) t = textures[kSlotBaubleRef];
                sendTexturedFaces(large, binding);
                for (int f = 0; f < 6; ++f) large.faceTexture[f] = textures[f];
            }
            sendTexturedFaces(array[i], binding);
        }
        ++i;
    }
    if (any) glDisable(GL_TEXTURE_2D);
}

namespace {

// A sphere reaching to within a centimetre of a wall may have points at the
// wall's very depth; one standing further off is many depth steps in front
// of any wall behind it.
bool touchesRoom(const SphereMesh& s) {
    const Vec3 c = s.centre.position();
    const float reach = s.radius * 1.01f + 0.01f;
    return c.x - reach <= kRoomMin.x || c.y - reach <= kRoomMin.y || c.z - reach <= kRoomMin.z ||
           c.x + reach >= kRoomMax.x || c.y + reach >= kRoomMax.y || c.z + reach >= kRoomMax.z;
}

struct OnePassPrograms {
    GLuint one, two;  // one picture, or the large bauble's two
};

// Each sphere with a particle, in the passes' order, with its pictures:
// the large bauble (element 1) its own picture on unit 0 and a reflection
// face on unit 1, the others their face pictures on unit 0.
template <typename Want>
void sendBothPasses(SphereMesh* array, const Collider* colliders, const GLuint* textures, OnePassPrograms programs,
                    Binding& binding, Want wanted) {
    int i = 0;
    for (const Collider* c = colliders; c && i < kSphereArray; c = c->next) {
        if (!(c->flags & CF_ACTIVE)) continue;
        SphereMesh& s = array[i];
        if (c->particle && wanted(s)) {
            const bool ok = drawable(s);
            if (i == 1) {
                glUseProgram(programs.two);
                binding.bind(textures[kSlotBaubleRef]);
                glActiveTexture(GL_TEXTURE1);
                for (int32_t f = 0; f < 6; ++f) {
                    s.faceTexture[f] = textures[f];
                    glBindTexture(GL_TEXTURE_2D, textures[f]);
                    if (ok) sendFace(s, f, Sent::Both);
                }
                glActiveTexture(GL_TEXTURE0);
            } else {
                glUseProgram(programs.one);
                for (int32_t f = 0; f < 6; ++f) {
                    binding.bind(s.faceTexture[f]);
                    if (ok) sendFace(s, f, Sent::Both);
                }
            }
        }
        ++i;
    }
}

}  // namespace

bool drawSpheresInOnePass(SphereMesh* array, const Collider* colliders, const GLuint* textures) {
    const OnePassPrograms onColour{fusedPassProgram(FusedPasses::ColourPlusPicture),
                                   fusedPassProgram(FusedPasses::ColourPlusTwoPictures)};
    const OnePassPrograms onPixel{fusedPassProgram(FusedPasses::PixelPlusPicture),
                                  fusedPassProgram(FusedPasses::PixelPlusTwoPictures)};
    const GLint environment = glState::now("the baubles' one pass").textureEnv;
    if (!onColour.one || !onColour.two || !onPixel.one || !onPixel.two || environment != GL_DECAL) return false;
    Binding binding;
    // Where a sphere meets a wall at the wall's depth, the colour pass's
    // strict test kept the wall, and the texture pass added the pictures
    // onto it: done first, by the depth test itself.
    glState::depthFunc(GL_EQUAL);
    sendBothPasses(array, colliders, textures, onPixel, binding,
                   [](const SphereMesh& s) { return drawingChoices.everyWay || touchesRoom(s); });
    glState::depthFunc(GL_LESS);
    const SphereMesh* last = nullptr;
    sendBothPasses(array, colliders, textures, onColour, binding, [&](const SphereMesh& s) {
        last = &s;
        return true;
    });
    glUseProgram(0);
    // The bindings the two passes leave: unit 1 empty again, as nothing
    // else in the show uses it, and unit 0 holding the last face's picture.
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE0);
    if (last) binding.bind(last->faceTexture[5]);
    return true;
}

// The six views on the six faces, then the texture pass.
void drawSphereWithTextures(SphereMesh& s, const GLuint* textures) {
    for (int f = 0; f < 6; ++f) s.faceTexture[f] = textures[f];
    drawSphereTextured(s);
}

namespace {
// True when triangle (a, b, c), as GL receives it, is clockwise seen from eye
// or too close to edge-on to tell; in double, with a margin far above the
// rounding of the vertices and the transform.
bool mayFaceEye(const Vertex& a, const Vertex& b, const Vertex& c, const double eye[3]) {
    double u[3], v[3], w[3];
    for (int q = 0; q < 3; ++q) {
        u[q] = double(b.pos[q]) - a.pos[q];
        v[q] = double(c.pos[q]) - a.pos[q];
        w[q] = eye[q] - a.pos[q];
    }
    const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double side = n[0] * w[0] + n[1] * w[1] + n[2] * w[2];
    const double scale = std::sqrt((n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) * (w[0] * w[0] + w[1] * w[1] + w[2] * w[2]));
    // Counter-clockwise from the eye (side > 0) is a back face.
    return !(side > 1e-3 * scale && scale > 0.0);
}
}  // namespace

void facesTowards(const SphereMesh& s, const Vec3& eye, bool shown[6]) {
    const double e[3] = {eye.x, eye.y, eye.z};
    for (int f = 0; f < 6; ++f) shown[f] = false;
    if (!drawable(s)) return;
    const int32_t n = s.n;
    const Vertex* w = s.world.data();
    for (int32_t f = 0; f < 6; ++f) {
        // The strips exactly as sendFace sends them.
        const bool lowerFirst = (f == 1 || f == 2 || f == 4);
        for (int32_t r = f * n; r <= f * n + n - 2 && !shown[f]; ++r) {
            const Vertex* strip[2 * 64];
            int32_t count = 0;
            for (int32_t j = 0; j < n && count + 2 <= 128; ++j) {
                const Vertex* upper = &w[r * n + j];
                const Vertex* lower = &w[(r + 1) * n + j];
                strip[count++] = lowerFirst ? lower : upper;
                strip[count++] = lowerFirst ? upper : lower;
            }
            if (n > 64) {
                shown[f] = true;  // too fine to check here; drawn as always
                break;
            }
            for (int32_t t = 0; t + 2 < count && !shown[f]; ++t) {
                // A strip's odd triangles are wound the other way round.
                const Vertex& a = *strip[t % 2 ? t + 1 : t];
                const Vertex& b = *strip[t % 2 ? t : t + 1];
                if (mayFaceEye(a, b, *strip[t + 2], e)) shown[f] = true;
            }
        }
    }
}

// One line per string, from its upper end to the centre of its bauble.
void drawStrings(const SphereMesh* array, const Spring* springs) {
    if (!springs) return;
    int m = 0;
    for (const Spring* sp = springs->next; sp && m / 2 < kSphereArray; sp = sp->next, ++m) {
        const SphereMesh& s = array[m / 2];
        const Vec3& top = sp->a->position;
        const LinePoint line[2] = {{{0.0f, 0.0f, 0.0f}, {top.x, top.y, top.z}},
                                   {{1.0f, 0.4f, 0.4f}, {s.centre.pos[0], s.centre.pos[1], s.centre.pos[2]}}};
        drawLines(line, 2, false);
    }
}
