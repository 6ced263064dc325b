// landscape_draw.cpp - one frame of the valley: the light's colour swings,
// the even trees sway with their lights, and the terrain is drawn three
// times over the same pixels (picture, times the lit colour, plus the lit
// colour). The counters count frames, so the valley moves with the frame rate.
#include "landscape/landscape.h"

#include <cmath>

#include "show/gl_state.h"
#include "render/fused_passes.h"
#include "render/lines.h"
#include "render/shortcuts.h"

namespace {

// The eight crown triangles over the six crown corners.
const int kCrownTriangles[8][3] = {{0, 4, 2}, {0, 2, 5}, {0, 3, 4}, {0, 5, 3},
                                   {1, 2, 4}, {1, 5, 2}, {1, 4, 3}, {1, 3, 5}};

// Copies one terrain vertex into a strip slot.
inline void stripVertex(StripVertex& out, const Vertex& v, const float* tex) {
    out.tex[0] = tex[0];
    out.tex[1] = tex[1];
    for (int c = 0; c < 3; ++c) {
        out.colour[c] = v.colour[c];
        out.pos[c] = v.pos[c];
    }
}

// Lays the terrain out as the strips send it: for ring i, the pairs (i, j),
// (i + 1, j) for every column, then column 0 again. The closing pair carries
// the last texture coordinate sent before it, (1, (i + 1) / 31).
void packTerrainStrips() {
    const Vertex* g = landscape.terrain;
    for (int i = 0; i < kTerrainRings - 1; ++i) {
        const Vertex* ring = g + i * kTerrainColumns;
        const Vertex* next = ring + kTerrainColumns;
        StripVertex* out = landscape.strips[i];
        for (int j = 0; j < kTerrainColumns; ++j) {
            stripVertex(*out++, ring[j], ring[j].tex);
            stripVertex(*out++, next[j], next[j].tex);
        }
        const float* last = next[kTerrainColumns - 1].tex;
        stripVertex(*out++, ring[0], last);
        stripVertex(*out++, next[0], last);
    }
}

}  // namespace

void drawStormBackdrop() {
    glState::disable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, landscape.stormTexture);
    for (int i = 0; i < 19; ++i) {
        glColor3f(1.0f, 1.0f, 1.0f);
        glBegin(GL_TRIANGLE_STRIP);
        for (int j = 0; j < 40; ++j) {
            const float s = j / 39.0f;
            const float x = 65.0f * j - 1300.0f;
            const float z = 2.0f * (j - 20) * (j - 20) - 2000.0f;
            glTexCoord2f(s, 1.01f - i / 19.0f);
            glVertex3f(x, 900.0f - 45.0f * i, z);
            glTexCoord2f(s, 1.01f - (i + 1) / 19.0f);
            glVertex3f(x, 900.0f - 45.0f * (i + 1), z);
        }
        glEnd();
    }
    glDisable(GL_TEXTURE_2D);
}

namespace {

void drawTree(const LandscapeTree& tree) {
    // Dark green-blue at the ground to light cyan at the top; 51 points.
    LinePoint trunk[kTrunkPoints];
    int n = 0;
    for (float t = 0.0f; t < 1.0f && n < kTrunkPoints; t += 0.02f, ++n) {
        trunk[n] = {{0.3f * t, 0.7f * t + 0.2f, 0.7f * t + 0.2f}, {}};
        for (int q = 0; q < 3; ++q) trunk[n].pos[q] = tree.trunkPoints[n][q];  // the curve at t, sampled when built
    }
    drawLines(trunk, n, true);

    glBegin(GL_TRIANGLES);
    for (const auto& tri : kCrownTriangles) {
        for (int v : tri) {
            glColor3f(0.2f, tree.restCrown[v].colour[1], tree.restCrown[v].colour[2]);
            glVertex3fv(tree.crown[v].pos);
        }
    }
    glEnd();
}

// True when drawing a fragment again, at the depth it had, cannot change
// the frame: a strict depth test that writes depth, no blending.
bool repeatsAreHidden() {
    const glState::Record& gl = glState::now("the trees' second drawing");
    return gl.depthTest && gl.depthFunc == GL_LESS && gl.depthMask && !gl.blend;
}

}  // namespace

void drawTrees() {
    for (const LandscapeTree& tree : landscape.trees) drawTree(tree);
}

void drawSwayingTrees() {
    for (int k = 0; k < kLandscapeTrees; k += 2) drawTree(landscape.trees[k]);
}

void swayTrees(float x) {
    LandscapeState& L = landscape;
    const float sx = std::sin(x), cx = std::cos(x);
    static const float reach[5] = {0.0f, 1.0f, 2.0f, 3.0f, 5.0f};
    for (int m = 1; m <= 50; ++m) {
        LandscapeTree& tree = L.trees[2 * (m - 1)];
        Light& light = L.landscapeLights[m];
        light.position = light.home + Vec3(4.0f * sx, 0.5f * cx, cx);
        for (int p = 1; p < 5; ++p)
            tree.sway[p].setPosition(tree.rest[p].position() + Vec3(reach[p] * sx, 0.5f * cx, cx));
        buildTrunk(tree, tree.sway);
        crownFromPoints(tree.crown, tree.sway);
    }
    L.treesSwayedTo = x;
    L.treesSwayed = true;
}

void unswayTrees() {
    LandscapeState& L = landscape;
    for (int m = 0; m < 50; ++m) {
        LandscapeTree& tree = L.trees[2 * m];
        for (int p = 0; p < 5; ++p) tree.sway[p] = tree.rest[p];
        buildTrunk(tree, tree.rest);
        crownFromPoints(tree.crown, tree.rest);
    }
    L.treesSwayed = false;
}

void lightTerrain() { lightVertices(landscape.terrain, kTerrainVertices, landscape.landscapeLights, kLandscapeLights); }

namespace {

void bindStripArrays() {
    const StripVertex* base = &landscape.strips[0][0];
    const GLsizei stride = sizeof(StripVertex);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, stride, base->tex);
    glColorPointer(3, GL_FLOAT, stride, base->colour);
    glVertexPointer(3, GL_FLOAT, stride, base->pos);
}

void unbindStripArrays() {
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

// Sends the strips as last packed.
void sendTerrainStrips() {
    bindStripArrays();
    for (int i = 0; i < kTerrainRings - 1; ++i) glDrawArrays(GL_TRIANGLE_STRIP, i * kStripVertices, kStripVertices);
    unbindStripArrays();
}

// Sends again the strips' quads around every tree's foot, where a trunk
// begins at the terrain's own depth. Each run starts on a quad's first
// vertex, so its triangles are wound and cut exactly as in the whole strip;
// no quad goes twice.
void sendQuadsAtTreeFeet() {
    // quad[i][q] joins pairs q and q + 1 of strip i; quad 63 closes the ring.
    bool quad[kTerrainRings - 1][kTerrainColumns] = {};
    for (const LandscapeTree& tree : landscape.trees) {
        const int ring = tree.ground / kTerrainColumns, column = tree.ground % kTerrainColumns;
        for (int strip = ring - 1; strip <= ring; ++strip) {
            if (strip < 0 || strip >= kTerrainRings - 1) continue;
            quad[strip][column] = true;
            quad[strip][(column + kTerrainColumns - 1) % kTerrainColumns] = true;
        }
    }
    GLint first[(kTerrainRings - 1) * kTerrainColumns];
    GLsizei count[(kTerrainRings - 1) * kTerrainColumns];
    GLsizei runs = 0;
    for (int i = 0; i < kTerrainRings - 1; ++i) {
        for (int q = 0; q < kTerrainColumns; ++q) {
            if (!quad[i][q]) continue;
            int last = q;
            while (last + 1 < kTerrainColumns && quad[i][last + 1]) ++last;
            first[runs] = i * kStripVertices + 2 * q;
            count[runs++] = 2 * (last - q + 1) + 2;
            q = last;
        }
    }
    bindStripArrays();
    glMultiDrawArrays(GL_TRIANGLE_STRIP, first, count, runs);
    unbindStripArrays();
}

// The three passes in one, where the context can: a fragment nearer than
// what is there takes picture x colour + colour; one at the very depth of a
// trunk's foot, which the picture pass's strict test turned away, puts
// colour on the trunk instead. Those are found by the depth test itself,
// before the terrain is drawn. Leaves the state as the third pass does.
bool drawTerrainInOnePass() {
    const GLuint onPicture = fusedPassProgram(FusedPasses::PictureTimesColourPlusColour);
    const GLuint onPixel = fusedPassProgram(FusedPasses::PixelTimesColourPlusColour);
    if (!onPicture || !onPixel) return false;
    packTerrainStrips();
    glUseProgram(onPixel);
    glState::depthFunc(GL_EQUAL);
    sendQuadsAtTreeFeet();
    glUseProgram(onPicture);
    glState::depthFunc(GL_LESS);
    sendTerrainStrips();
    glUseProgram(0);
    glDisable(GL_TEXTURE_2D);
    glBlendFunc(GL_ONE, GL_ONE);
    return true;
}

}  // namespace

void emitTerrainStrips() {
    // Arrays instead of one call per attribute: the same vertices, sent with
    // a fraction of the calls.
    packTerrainStrips();
    sendTerrainStrips();
}

void drawTerrainPasses() {
    glEnable(GL_TEXTURE_2D);
    glState::enable(GL_CULL_FACE);
    glBindTexture(GL_TEXTURE_2D, landscape.terrainTexture);
    // The picture goes in unmodulated. The intro's traced ball leaves this
    // mode behind; set it here so a show started later looks the same.
    glState::textureEnvMode(GL_REPLACE);
    if (drawingChoices.foldTerrainPasses && drawTerrainInOnePass()) return;
    emitTerrainStrips();

    // Times the lit colour...
    glDisable(GL_TEXTURE_2D);
    glState::enable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glState::depthFunc(GL_EQUAL);
    sendTerrainStrips();  // the same colours, packed once
    glState::disable(GL_BLEND);
    glState::depthFunc(GL_LESS);

    // ...plus the lit colour.
    glState::enable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glState::depthFunc(GL_EQUAL);
    sendTerrainStrips();  // the same colours, packed once
    glState::disable(GL_BLEND);
    glState::depthFunc(GL_LESS);
}

void drawTerrainStrips() {
    // The three passes see the same lights, so the terrain is lit once and
    // the same colours are sent three times.
    lightTerrain();
    drawTerrainPasses();
}

void advanceLandscape() {
    LandscapeState& L = landscape;
    L.motion.swayAtStart = L.motion.swayPhase;
    L.motion.swayedAtStart = L.motion.valleyPhase != 0.0f;  // a valley frame has run before
    L.motion.valleyPhase += 0.006f;
    L.motion.swayPhase += 0.06f;
}

void drawLandscape() {
    LandscapeState& L = landscape;
    // Green and blue swing between -0.4 (the light darkens) and 1.2.
    const float glow = 0.8f * std::cos(L.motion.valleyPhase) + 0.4f;
    L.landscapeLights[0].colour = Vec3(0.0f, glow, glow);

    glEnable(GL_TEXTURE_2D);
    drawStormBackdrop();

    // The first pass shows the trees as the frame found them.
    if (!L.motion.swayedAtStart) {
        if (L.treesSwayed) unswayTrees();
    } else if (!L.treesSwayed || L.treesSwayedTo != L.motion.swayAtStart) {
        swayTrees(L.motion.swayAtStart);
    }
    glDisable(GL_TEXTURE_2D);
    const bool firstPassCulled = glState::now("the trees' first drawing").cullFace;  // the backdrop leaves it off
    drawTrees();
    swayTrees(L.motion.swayPhase);
    glState::disable(GL_CULL_FACE);
    // An odd tree never sways: its second drawing sends the very fragments
    // of its first, at the same depths, and under a strict depth test every
    // one of them fails (the depth there can only have come closer since).
    if (drawingChoices.skipHiddenTreeRepeat && !firstPassCulled && repeatsAreHidden())
        drawSwayingTrees();
    else
        drawTrees();

    drawTerrainStrips();
}
