// sheet_springs.cpp - the head records and the spring families of a 10 x 10
// sheet, shared by the single bodies, the tablecloth and the finale grid.
#include "physics/builders/builders.h"

namespace {

constexpr int kRows = 10;

// Steps up to n links on from p; null once the list ends.
Particle* advance(Particle* p, int n) {
    for (int i = 0; i < n && p; ++i) p = p->next;
    return p;
}

// The particle of row r, column j of the sheet.
Particle* at(Particle* head, int r, int j) { return nthParticle(head, 10 * r + j + 1); }

}  // namespace

SoftBody makeHeads(bool unmeasuredHeadSpring) {
    SoftBody body;
    body.particles = newParticle(1.0f, PF_HEAD, Vec3(), Vec3(), 0.0);
    body.springs = unmeasuredHeadSpring ? newSpringWithRest(0.0f, 0.0f, 0.0f, body.particles, body.particles)
                                        : newSpring(0.0f, 0.0f, 0.0f, body.particles, body.particles, 0);
    body.colliders = newCollider(0.0f, Vec3(), 0.0f, CF_PASSIVE, nullptr);
    return body;
}

void addSheetSprings(const SoftBody& body, float damping, float stiffness, const int32_t flags[14]) {
    Particle* head = body.particles;
    // Families 1-5 join along rows: a cursor walks the list one link per
    // spring and skips d links at each row's end to start the next row.
    for (int d = 1; d <= 5; ++d) {
        Particle* cursor = advance(head, 1);
        for (int r = 0; r <= kRows - d; ++r) {
            for (int j = 0; j <= 9 - d; ++j) {
                addSpring(body.springs, damping, 0.0f, stiffness, cursor, advance(cursor, d), flags[d - 1]);
                cursor = advance(cursor, 1);
            }
            cursor = advance(cursor, d);
        }
    }
    // Families 6-10 join along columns, 10·d places apart.
    const int lastRow[5] = {8, 6, 4, 3, 2};
    for (int f = 0; f < 5; ++f) {
        const int step = 10 * (f + 1);
        for (int j = 0; j <= 9; ++j)
            for (int r = 0; r <= lastRow[f]; ++r) {
                int n = 10 * r + j + 1;
                addSpring(body.springs, damping, 0.0f, stiffness, nthParticle(head, n), nthParticle(head, n + step),
                          flags[5 + f]);
            }
    }
    // Family 11: one step down and right.
    for (int j = 0; j <= 8; ++j)
        for (int r = 0; r <= 8; ++r)
            addSpring(body.springs, damping, 0.0f, stiffness, at(head, r, j), at(head, r + 1, j + 1), flags[10]);
    // Family 12: two steps down and right.
    for (int j = 0; j <= 7; ++j)
        for (int r = 0; r <= 7; ++r)
            addSpring(body.springs, damping, 0.0f, stiffness, at(head, r, j), at(head, r + 2, j + 2), flags[11]);
    // Family 13: one step down and left.
    for (int j = 1; j <= 9; ++j)
        for (int r = 0; r <= 8; ++r)
            addSpring(body.springs, damping, 0.0f, stiffness, at(head, r, j), at(head, r + 1, j - 1), flags[12]);
    // Family 14: from the row above and the column to the right, two steps down-left.
    for (int j = 2; j <= 8; ++j)
        for (int r = 1; r <= 8; ++r)
            addSpring(body.springs, damping, 0.0f, stiffness, at(head, r - 1, j + 1), at(head, r + 1, j - 1),
                      flags[13]);
}
