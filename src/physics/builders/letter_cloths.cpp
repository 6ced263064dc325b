// letter_cloths.cpp - the letter tiles of the intro and the finale. Each tile
// is a tiny cloth: its top edge pinned, its lower corners braced to two outer
// pins; the driver later frees the pins in pairs and the letters tumble.
#include <cmath>

#include "math/random.h"
#include "physics/bodies.h"
#include "physics/builders/builders.h"

namespace {

// One row of tiles: count tiles with top-left corners (stepX * k + originX, originY, 0).
struct TileRow {
    int count;
    double stepX;
    double originX, originY;
    float size;
};

// Appends one tile: six particles and eight springs behind the list's end.
void addTile(const SoftBody& body, Vec3 corner, float s, Vec3 velocity) {
    showRand();  // one draw per tile, only to keep the sequence in step
    Particle* before = lastParticle(body.particles);
    addParticle(body.particles, 1.0f, PF_FIXED, corner, velocity, 0.0);
    addParticle(body.particles, 1.0f, PF_FIXED, corner + Vec3(s, 0.0f, 0.0f), velocity, 0.0);
    addParticle(body.particles, 0.2f, PF_DYNAMIC, corner + Vec3(s, -s, 0.0f), velocity, 0.0);
    addParticle(body.particles, 0.2f, PF_DYNAMIC, corner + Vec3(0.0f, -s, 0.0f), velocity, 0.0);
    addParticle(body.particles, 1.0f, PF_FIXED, corner + Vec3(2.0f * s, 0.0f, 0.0f), velocity, 0.0);
    addParticle(body.particles, 1.0f, PF_FIXED, corner + Vec3(-2.0f * s, 0.0f, 0.0f), velocity, 0.0);
    Particle* p1 = before->next;
    Particle* p2 = p1->next;
    Particle* p3 = p2->next;
    Particle* p4 = p3->next;
    Particle* p5 = p4->next;
    Particle* p6 = p5->next;
    // The letter's edges, its stiff diagonals, then the braces to the outer pins.
    addSpring(body.springs, 6.0f, 0.0f, 11.0f, p1, p2, 0);
    addSpring(body.springs, 16.0f, 0.0f, 11.0f, p2, p3, 0);
    addSpring(body.springs, 6.0f, 0.0f, 11.0f, p3, p4, 0);
    addSpring(body.springs, 16.0f, 0.0f, 11.0f, p4, p1, 0);
    addSpring(body.springs, 6.0f, 0.0f, 111.0f, p1, p3, 1);
    addSpring(body.springs, 6.0f, 0.0f, 111.0f, p2, p4, 1);
    addSpring(body.springs, 16.0f, 0.0f, 111.0f, p3, p5, 1);
    addSpring(body.springs, 16.0f, 0.0f, 111.0f, p4, p6, 1);
}

// Heads, the marker particle and its ball, then the rows of tiles, each tile
// bowed along z by a growing angle. Returns the last tile's start velocity.
Vec3 buildTiles(LetterCloth& cloth, const TileRow* rows, int rowCount) {
    SoftBody& body = cloth.body;
    body = makeHeads(false);
    addParticle(body.particles, 0.25f, PF_DYNAMIC, Vec3(10.0f, 0.0f, 10.0f), Vec3(), 0.0);
    addCollider(body.colliders, 0.125f, Vec3(0.0f, 0.4f, 0.0f), 1.0f, CF_ACTIVE | CF_BODY_BALL, lastParticle(body.particles));
    const float step = static_cast<float>(0.40142572795869574);  // 23 degrees
    float phi = 0.0f;
    Vec3 velocity;
    cloth.tileCount = 0;
    for (int row = 0; row < rowCount; ++row)
        for (int k = 0; k < rows[row].count; ++k) {
            phi += step;
            velocity = Vec3(0.0f, 0.0f, static_cast<float>(0.6 * std::sin(phi)));
            Vec3 corner(static_cast<float>(rows[row].stepX * k + rows[row].originX),
                        static_cast<float>(rows[row].originY), 0.0f);
            addTile(body, corner, rows[row].size, velocity);
            ++cloth.tileCount;
        }
    return velocity;
}

// Tile k shows glyph pair k of its set while the set lasts.
void linkGlyphs(LetterCloth& cloth, const char* letters, int glyphCount) {
    for (int k = 0; k < kIntroTiles; ++k) {
        bool shown = k < cloth.tileCount && k < glyphCount;
        cloth.glyph[k] = shown ? k : -1;
        cloth.letter[k] = shown ? letters[k] : '\0';
    }
}

}  // namespace

void buildIntroCloth(LetterCloth& cloth) {
    const TileRow rows[3] = {
        {8, 0.12, -0.3, 0.0, 0.1f},
        {5, 0.175, -0.1, -0.15, 0.15f},
        {4, 0.275, -0.2, -0.45, 0.25f},
    };
    buildTiles(cloth, rows, 3);
    linkGlyphs(cloth, "morvinalsultypakh", kIntroGlyphs);
}

void buildFinaleCloth(LetterCloth& cloth) {
    const TileRow rows[3] = {
        {5, 0.175, -0.2, 0.0, 0.15f},
        {5, 0.175, -0.2, -0.21, 0.15f},
        {4, 0.15, 0.08, -0.61, 0.1f},
    };
    Vec3 lastVelocity = buildTiles(cloth, rows, 3);
    // The extra tile far out of view keeps the angle of the tile before it.
    addTile(cloth.body, Vec3(10.08f, -0.31f, 0.0f), 0.15f, lastVelocity);
    ++cloth.tileCount;
    linkGlyphs(cloth, "amigarulez1994", kFinaleGlyphs);
}
