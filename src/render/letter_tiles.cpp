// letter_tiles.cpp - the letter tiles of the intro and the finale, drawn
// from their cloths' particles with the glyph pictures.
#include "render/letter_tiles.h"

#include "show/gl_state.h"

namespace {

// The particle n links on, or null when the list ends first.
Particle* ahead(Particle* p, int n) {
    for (int i = 0; i < n && p; ++i) p = p->next;
    return p;
}

// One tile quad: the picture's top row (t = 1) along the upper edge C0-C1.
void tileQuad(const Vec3 c[4]) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex3f(c[0].x, c[0].y, c[0].z);
    glTexCoord2f(1, 1);
    glVertex3f(c[1].x, c[1].y, c[1].z);
    glTexCoord2f(1, 0);
    glVertex3f(c[2].x, c[2].y, c[2].z);
    glTexCoord2f(0, 0);
    glVertex3f(c[3].x, c[3].y, c[3].z);
    glEnd();
}

}  // namespace

int drawLetterTiles(Particle* head, const TexturePair* pairs, int pairCount) {
    Particle* p = ahead(head, 2);  // past the head and the marker
    // Every tile's mask pass runs under the depth function the caller drew
    // with. Each colour pass ends at GL_LESS, and on a second draw over tiles
    // already in the depth buffer (under GL_EQUAL) the next tile's mask would
    // then fail while its colour passes: the letter would be added twice.
    const GLenum callerDepthFunc = glState::now("the letter tiles").depthFunc;
    int k = 0;
    while (k < pairCount) {
        // A tile needs all four corners; a list cut short ends the drawing
        // rather than reading past its end.
        Particle* corner[4] = {p, ahead(p, 1), ahead(p, 2), ahead(p, 3)};
        if (!corner[3]) break;
        const Vec3 c[4] = {corner[0]->position, corner[1]->position, corner[2]->position, corner[3]->position};
        p = ahead(p, 6);

        // Mask pass: the frame darkens where the letter stands.
        glState::depthFunc(callerDepthFunc);
        glState::enable(GL_BLEND);
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, pairs[k].mask);
        tileQuad(c);
        glDisable(GL_TEXTURE_2D);

        // Colour pass: the letter is added only on the surface just drawn.
        glState::depthFunc(GL_EQUAL);
        glState::disable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        glState::enable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, pairs[k].colour);
        tileQuad(c);
        glDisable(GL_TEXTURE_2D);
        glState::disable(GL_BLEND);
        glState::depthFunc(GL_LESS);

        ++k;
        if (!p || !p->next) break;
    }
    return k;
}
