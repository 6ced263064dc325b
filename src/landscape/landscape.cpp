// landscape.cpp - the valley built once at start-up: the funnel and its
// jitter, the valley light, the trees with their curves and crowns, the
// tree lights, the terrain normals and the landscape pictures; then the
// second, undrawn funnel. Every random value comes from the show's one
// sequence, in a fixed order, so the soft bodies built later see the same
// values on every run.
#include "landscape/landscape.h"

#include <cmath>
#ifdef __GLIBC__
#endif

#include "image/texture.h"
#include "math/random.h"

LandscapeState landscape;

namespace {

const double kPi = 3.14159265358979323846;

// 0, 1 or 2 (3 only for the largest draw): which coordinate a draw picks.
int pick(int r) { return 3 * r / 32767; }

// A shift of about -2 to +2 from one draw.
double jitterAmount(int r) { return (2.0 * r - 32767.0) / 16383.0; }

// Index of terrain vertex (ring, column).
int terrainIndex(int ring, int column) { return ring * kTerrainColumns + column; }

// Vertex (ring, column) of a funnel of radius scale (32 - ring)^3 sinking by drop per ring.
Vertex funnelVertex(int ring, int column, double radiusScale, float drop) {
    const int k = 32 - ring;
    const double r = radiusScale * k * k * k;
    const double a = column * 5.625 * kPi / 180.0;
    Vertex v;
    v.setPosition(Vec3(static_cast<float>(r * std::cos(a)), -drop * ring, static_cast<float>(r * std::sin(a))));
    v.tex[0] = static_cast<float>(column / 63.0);
    v.tex[1] = static_cast<float>(ring / 31.0);
    return v;
}

// Fills a whole funnel grid, ring by ring.
void shapeFunnel(Vertex* grid, double radiusScale, float drop) {
    for (int i = 0; i < kTerrainRings; ++i)
        for (int j = 0; j < kTerrainColumns; ++j) grid[terrainIndex(i, j)] = funnelVertex(i, j, radiusScale, drop);
}

// Normals into the funnel and upwards: from the vertex above in the same
// column and the one to the left in the same ring. The rim gets none.
void funnelNormals(Vertex* grid) {
    for (int i = 0; i < kTerrainRings; ++i) {
        for (int j = 0; j < kTerrainColumns; ++j) {
            Vertex& v = grid[terrainIndex(i, j)];
            const Vertex& up = i == 0 ? v : grid[terrainIndex(i - 1, j)];
            const Vertex& left = grid[terrainIndex(i, (j + kTerrainColumns - 1) % kTerrainColumns)];
            const Vertex& right = grid[terrainIndex(i, (j + 1) % kTerrainColumns)];
            // The last neighbour is the vertex itself, so only the first
            // triangle counts and "right" cannot change the result.
            gridNormal(v, up, left, right, v);
        }
    }
}

// A texture name made ready for a picture: bound, modulated, repeating.
GLuint newTextureName() {
    GLuint name = 0;
    glGenTextures(1, &name);
    prepareTexture(name);
    return name;
}

// The side offset of a crown corner: M h.y / h.x. A trunk whose top
// segment has no lean along that axis would give 0/0 here; its crown
// then closes flat on that axis instead of turning into NaN.
float crownOffset(float m, float hy, float hx) { return hx != 0.0f ? m * hy / hx : 0.0f; }

// sqrt(a (a (|h|^2 / 2)) / (a^2 + h.y^2)), or 0 when the top segment has no length.
float crownSpread(float a, float hy, float hh) {
    const float den = a * a + hy * hy;
    return den != 0.0f ? std::sqrt(a * (a * (hh / 2.0f)) / den) : 0.0f;
}

}  // namespace

Vertex terrainVertex(int ring, int column) { return funnelVertex(ring, column, 0.01, 4.0f); }

void jitterVertex(Vertex& v, float scale) {
    // The draws come strictly in this order: a vertex takes one to four.
    int axis = -1;
    if (pick(showRand()) == 0) {
        axis = 1;
    } else if (pick(showRand()) == 1) {
        axis = 0;
    } else if (pick(showRand()) == 2) {
        axis = 2;
    }
    if (axis < 0) return;
    const double shift = jitterAmount(showRand()) * scale;
    v.pos[axis] = static_cast<float>(v.pos[axis] + shift);
}

void placeTrunk(LandscapeTree& tree, const Vertex* terrain, int groundIndex, int s, int t) {
    const Vec3 p = terrain[groundIndex].position();
    const double v = groundIndex;
    const double lift = 4.0 * t / 620.0;
    auto at = [&](double dx, double dy, double dz) {
        return Vec3(static_cast<float>(p.x + dx), static_cast<float>(p.y + dy), static_cast<float>(p.z + dz));
    };
    tree.rest[0].setPosition(p);
    tree.rest[1].setPosition(at(-v / 820.0, 6.0 * v / 620.0 + lift, -v / 820.0));
    tree.rest[2].setPosition(at(-2.0 * s / 820.0, 12.0 * v / 620.0 + lift, -2.0 * s / 820.0));
    tree.rest[3].setPosition(at(-2.0 * s / 820.0, 18.0 * v / 620.0 + lift, -2.0 * s / 820.0));
    tree.rest[4].setPosition(at(2.0 * s / 620.0, 24.0 * v / 620.0 + 10.0 * s / 620.0, 2.0 * s / 620.0));
}

void buildTrunk(LandscapeTree& tree, const Vertex points[5]) {
    // Assigning the new curve frees the old one's storage.
    tree.trunk = buildPath(points, 4);
    int n = 0;
    for (float t = 0.0f; t < 1.0f && n < kTrunkPoints; t += 0.02f, ++n) {
        const Vertex p = evaluatePath(tree.trunk, t);
        for (int c = 0; c < 3; ++c) tree.trunkPoints[n][c] = p.pos[c];
    }
}

void crownFromPoints(Vertex crown[6], const Vertex points[5]) {
    const Vec3 a = points[4].position();
    const Vec3 q = (points[4].position() - points[3].position()) * 0.5f;
    const Vec3 h = q * 0.5f;
    const float hh = dot(h, h);
    const float m = crownSpread(h.x, h.y, hh);
    const float n = crownSpread(h.z, h.y, hh);
    crown[0].setPosition(a);
    crown[1].setPosition(a + q);
    crown[2].setPosition(Vec3(a.x + h.x - crownOffset(m, h.y, h.x), a.y + h.y + m, a.z));
    crown[3].setPosition(Vec3(a.x + h.x + crownOffset(m, h.y, h.x), a.y + h.y - m, a.z));
    crown[4].setPosition(Vec3(a.x, a.y + h.y + n, a.z + h.z - crownOffset(n, h.y, h.z)));
    crown[5].setPosition(Vec3(a.x, a.y + h.y - n, a.z + h.z + crownOffset(n, h.y, h.z)));
}

void buildLandscape() {
    LandscapeState& L = landscape;

    shapeFunnel(L.terrain, 0.01, 4.0f);
    for (Vertex& v : L.terrain) jitterVertex(v, 1.0f);

    // The valley light sits low in the funnel; its colour swings every frame.
    L.landscapeLights[0] = pointLight(Vec3(0.0f, -70.0f, 0.0f), Vec3(0.0f, 1.0f, 1.0f), 0.1f, 0.0001f, 0.0001f);

    for (LandscapeTree& tree : L.trees) {
        const int ground = showRand() / 52 + 140;  // rings 2 to 12
        const int s1 = showRand() / 52;
        const int s2 = showRand() / 52;
        const int t = showRand() / 52;
        placeTrunk(tree, L.terrain, ground, s1 - s2, t);
        tree.ground = ground;
        for (int p = 0; p < 5; ++p) tree.sway[p] = tree.rest[p];
        buildTrunk(tree, tree.rest);
    }

    for (LandscapeTree& tree : L.trees) {
        Vertex* c = tree.restCrown;
        for (int v = 1; v < 6; ++v) c[v] = Vertex();
        c[0] = tree.rest[4];
        crownFromPoints(c, tree.rest);
        // Only the lower apex is lit, once, by whatever lights have a colour now.
        gridNormal(c[0], c[2], c[4], c[3], c[5]);
        lightVertex(c[0], L.landscapeLights, 3);
        for (int v = 0; v < 6; ++v) tree.crown[v].setPosition(c[v].position());
    }

    // A light over every even tree; the first sway step moves it into place.
    for (int m = 0; m < 50; ++m) {
        // Each tree light moves from its tree's crown every frame.
        Light& l = L.landscapeLights[m + 1];
        l = pointLight(l.position, Vec3(0.0f, 0.5f, 0.54f), 1.0f, 0.0015f, 0.0015f);
        l.home = L.trees[2 * m].rest[4].position();
    }

    funnelNormals(L.terrain);

    L.terrainTexture = newTextureName();
    loadTexture("Images/Terrain.bmp");
    L.stormTexture = newTextureName();
    loadTexture("Images/Storm.bmp");
    L.forestTexture = newTextureName();
    loadTexture("Images/Forest.bmp");
}

void buildSecondLandscape() {
    LandscapeState& L = landscape;
    shapeFunnel(L.secondTerrain, 0.008, 8.0f);
    for (Vertex& v : L.secondTerrain) jitterVertex(v, 0.8f);
    funnelNormals(L.secondTerrain);

    L.secondTexture = newTextureName();

    // One light low on the axis and thirty round the slopes, cyan like the valley's.
    L.secondLights[0] = pointLight(Vec3(0.0f, -140.0f, 0.0f), Vec3(0.0f, 1.0f, 1.0f), 0.1f, 0.0001f, 0.0001f);
    for (int m = 1; m < kSecondLandscapeLights; ++m) {
        const double a = (m - 1) * 12.0 * kPi / 180.0;
        const Vec3 place(static_cast<float>(150.0 * std::cos(a)), -60.0f, static_cast<float>(150.0 * std::sin(a)));
        L.secondLights[m] = pointLight(place, Vec3(0.0f, 0.5f, 0.54f), 1.0f, 0.0015f, 0.0015f);
        L.secondLights[m].home = place;
    }
    for (Vertex& v : L.secondTerrain) lightVertex(v, L.secondLights, kSecondLandscapeLights);
}

void resetLandscape() {
    // Field by field: a whole fresh state would be a large temporary.
    LandscapeState& L = landscape;
    for (Vertex& v : L.terrain) v = Vertex();
    for (Vertex& v : L.secondTerrain) v = Vertex();
    for (Light& l : L.landscapeLights) l = Light();
    for (Light& l : L.secondLights) l = Light();
    for (LandscapeTree& t : L.trees) t = LandscapeTree();
    L.terrainTexture = L.stormTexture = L.forestTexture = L.secondTexture = 0;
    L.motion = LandscapeMotion();
    L.treesSwayedTo = 0.0f;
    L.treesSwayed = false;
}
