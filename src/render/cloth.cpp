// cloth.cpp - sheets, letter tiles and the finale's lamp, drawn from particles.
#include "render/cloth.h"

#include "show/gl_state.h"
#include "render/fused_passes.h"
#include "render/shortcuts.h"
#include "show/room.h"

#include "show/show_flags.h"
#include "image/glyphs.h"
#include "render/letter_tiles.h"
#include "physics/bodies.h"
#include "physics/drivers.h"
#include "physics/simulation.h"
#include "render/glow.h"

Vertex clothGridA[kClothVertices];
Vertex clothGridB[kClothVertices];

namespace {

// Every cloth light falls off the same way.
Light makeLight(Vec3 position, Vec3 colour) { return pointLight(position, colour, 0.1f, 0.0001f, 0.0001f); }

// The particles of a sheet (the tablecloth's first half), or null.
Particle* sheetOf(ClothVariant variant) {
    switch (variant) {
        case ClothVariant::FallingSheet: return showBodies.single1.particles;
        case ClothVariant::TurningSheet: return showBodies.single2.particles;
        case ClothVariant::FinaleBody: return showBodies.finaleBody.particles;
        case ClothVariant::Tablecloth: return showBodies.tableLeft.particles;
        default: return nullptr;
    }
}

void sendGridVertex(const Vertex& v, int row, int column) {
    glColor3f(v.colour[0], v.colour[1], v.colour[2]);
    glTexCoord2f(static_cast<float>(row) / 9.0f, static_cast<float>(column) / 9.0f);
    glVertex3f(v.pos[0], v.pos[1], v.pos[2]);
}

// One strip joining rows r and r + 1 of a grid.
void gridStrip(const Vertex* grid, int r) {
    glBegin(GL_TRIANGLE_STRIP);
    for (int j = 0; j < kClothSide; ++j) {
        sendGridVertex(grid[kClothSide * r + j], r, j);
        sendGridVertex(grid[kClothSide * (r + 1) + j], r + 1, j);
    }
    glEnd();
}

void vertex(const Vec3& p) { glVertex3f(p.x, p.y, p.z); }

// Sends a quad with the texture coordinates (0,0), (0,1), (1,1), (1,0).
void texturedQuad(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
    glTexCoord2f(0, 0);
    vertex(a);
    glTexCoord2f(0, 1);
    vertex(b);
    glTexCoord2f(1, 1);
    vertex(c);
    glTexCoord2f(1, 0);
    vertex(d);
}

// The lamp's square base: the top face, four sides and the bottom face.
void drawSlab(Particle* head, GLuint texture) {
    Vec3 p[4], q[4];
    for (int i = 0; i < 4; ++i) p[i] = nthParticle(head, kLampSlabFirst + i)->position;
    Vec3 n = cross(p[0] - p[1], p[0] - p[2]);
    normalise(n);
    for (int i = 0; i < 4; ++i) q[i] = p[i] - n * 0.02f;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    texturedQuad(p[0], p[1], p[2], p[3]);
    texturedQuad(q[0], p[0], p[1], q[1]);
    texturedQuad(q[1], p[1], p[2], q[2]);
    texturedQuad(q[2], p[2], p[3], q[3]);
    texturedQuad(q[3], p[3], p[0], q[0]);
    texturedQuad(q[0], q[1], q[2], q[3]);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

// One stand segment as a thin square tube, dark at a, glowing at b.
void drawCord(const Vec3& a, const Vec3& b, GLuint texture) {
    const float h = 0.005f;
    auto at = [h](const Vec3& p, float sx, float sz) { return Vec3(p.x + sx * h, p.y, p.z + sz * h); };
    auto atA = [&](float sx, float sz) {
        glColor3f(0, 0, 0);
        vertex(at(a, sx, sz));
    };
    auto atB = [&](float sx, float sz) {
        glColor3f(1.0f, 0.4f, 0.4f);
        vertex(at(b, sx, sz));
    };
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0); atA(-1, -1);
    glTexCoord2f(0, 1); atB(-1, -1);
    glTexCoord2f(1, 1); atB(+1, -1);
    glTexCoord2f(1, 0); atA(+1, -1);

    glTexCoord2f(0, 0); atA(-1, +1);
    glTexCoord2f(0, 1); atB(-1, +1);
    glTexCoord2f(1, 1); atB(+1, +1);
    glTexCoord2f(1, 0); atA(+1, +1);

    glTexCoord2f(0, 0); atA(+1, -1);
    glTexCoord2f(0, 1); atB(+1, -1);
    glTexCoord2f(1, 1); atB(+1, +1);
    glTexCoord2f(1, 0); atA(+1, +1);

    glTexCoord2f(1, 0); atA(-1, -1);
    glTexCoord2f(0, 0); atB(-1, -1);
    glTexCoord2f(0, 1); atB(-1, +1);
    glTexCoord2f(1, 1); atA(-1, +1);
    glEnd();
}

// The shade's cross-section, one loop of eight points.
const float kProfile[8][2] = {{-1, 0}, {-0.6f, 0.3f}, {0, 0.5f}, {0.6f, 0.3f},
                              {1, 0},  {0.6f, -0.3f}, {0, -0.3f}, {-0.6f, -0.3f}};
// Scale and height of the shade's rings: the outer shell from the mouth to
// the apex, then the disc that closes it underneath.
const float kShadeRings[8][2] = {{1, -1.4f}, {1.2f, -0.7f}, {1, 0},        {0, 0.7f},
                                 {1.2f, -0.7f}, {1, -0.73f}, {0.6f, -0.745f}, {0, -0.75f}};

// The shade on top of the stand, then its light cone refilled (and drawn
// while the finale flashes).
void drawLamp(Particle* head, GLuint texture) {
    const Vec3 q1 = nthParticle(head, kLampStandFoot)->position;
    const Vec3 q2 = nthParticle(head, kLampStandTop)->position;
    const Vec3 q3 = nthParticle(head, kLampShade)->position;
    Vec3 m = q2 + (q2 - (q1 + q3) * 0.5f) * 2.0f - q3;
    m = normalise(m) * 0.03f;
    Vec3 n = cross(q3 - q2, m);
    n = normalise(n) * 0.0321f;
    Vec3 o = cross(q3, m);  // the shade point itself, not a difference
    o = normalise(o) * -0.0321f;
    auto ringPoint = [&](float sc, float h, int k) {
        const float* p = kProfile[k % 8];
        return q3 + n * (p[0] * sc) + o * (p[1] * sc) + m * h;
    };

    Vec3 shade[72];
    for (int ring = 0; ring < 8; ++ring)
        for (int k = 0; k < 9; ++k) shade[9 * ring + k] = ringPoint(kShadeRings[ring][0], kShadeRings[ring][1], k);

    glState::disable(GL_CULL_FACE);
    glBegin(GL_TRIANGLES);
    glEnd();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    auto send = [&](int index) {
        glTexCoord2f(static_cast<float>(index % 9) / 8.0f, static_cast<float>(index / 9) / 3.0f);
        vertex(shade[index]);
    };
    glBegin(GL_TRIANGLES);
    for (int b = 0; b <= 62; ++b) {
        if (b > 26 && b < 36) continue;
        if (b == 8 || b == 17 || b == 26 || b == 44 || b == 53 || b == 62) continue;
        send(b);
        send(b + 9);
        send(b + 10);
        send(b + 10);
        send(b);
        send(b + 1);
    }
    glEnd();
    glDisable(GL_TEXTURE_2D);

    // The cone: the mouth ring and a wider ring below it, x and y stored
    // negated (the cut negates them back).
    GlowFigure& f = glow.figure;
    setFigureSize(f, 16, 24);
    for (int i = 0; i < 16; ++i) {
        const Vec3 p = i < 8 ? ringPoint(1, -1.4f, i) : ringPoint(2, -4.4f, i - 8);
        f.source[i].setPosition(Vec3(-p.x, -p.y, p.z));
        f.weights[i] = i < 8 ? 0.04f : 0.0f;
    }
    for (int i = 0; i < 8; ++i) {
        f.edges[i][0] = i;
        f.edges[i][1] = (i + 1) % 8;
        f.edges[8 + i][0] = 8 + i;
        f.edges[8 + i][1] = 8 + (i + 1) % 8;
        f.edges[16 + i][0] = i;
        f.edges[16 + i][1] = 8 + i;
    }
    if (showFlags.flashFlag) drawGlow();
}

// The slab, then per stand segment its cord and the lamp.
void drawFinaleExtras(const SoftBody& body, GLuint texture) {
    drawSlab(body.particles, texture);
    if (!body.springs) return;
    for (Spring* s = body.springs->next; s; s = s->next) {
        if (s->flags != 2) continue;
        drawCord(s->a->position, s->b->position, texture);
        drawLamp(body.particles, texture);
    }
}

// The sheets: fill, shade, strips.
void drawSheets(ClothVariant variant, GLuint texture) {
    Particle* head = sheetOf(variant);
    if (!head) return;
    const bool twoHalves = variant == ClothVariant::Tablecloth;
    Particle* secondHead = twoHalves ? showBodies.tableRight.particles : nullptr;
    if (twoHalves && !secondHead) return;

    fillClothGrid(clothGridA, head);
    if (twoHalves) fillClothGrid(clothGridB, secondHead);
    Light lights[6];
    clothLights(variant, lights);
    shadeClothGrids(clothGridA, twoHalves ? clothGridB : nullptr, lights, 6);

    glState::disable(GL_CULL_FACE);
    for (int r = 0; r + 1 < kClothSide; ++r) {
        gridStrip(clothGridA, r);
        if (twoHalves) gridStrip(clothGridB, r);
    }
    if (variant == ClothVariant::FinaleBody) drawFinaleExtras(showBodies.finaleBody, texture);
}

// The pairs of a glyph set handed over as a flat array of names.
void pairsFromNames(const GLuint* names, int count, TexturePair* out) {
    for (int k = 0; k < count; ++k) {
        out[k].colour = names[2 * k];
        out[k].mask = names[2 * k + 1];
    }
}

// The letter tiles with their glyph set.
void drawTiles(ClothVariant variant, const TexturePair* glyphs) {
    const LetterCloth& cloth = variant == ClothVariant::IntroTiles ? showBodies.introCloth : showBodies.finaleCloth;
    const int pairs = variant == ClothVariant::IntroTiles ? kGlyphSetASize : kGlyphSetBSize;
    if (!glyphs || !cloth.body.particles) return;
    drawLetterTiles(cloth.body.particles, glyphs, pairs);
}

void finishCall() {
    glDisable(GL_TEXTURE_2D);
    glState::enable(GL_CULL_FACE);
}

}  // namespace

void clothNeighbours(int v, int out[4]) {
    const int column = v % kClothSide;
    const int row = v / kClothSide;
    out[0] = row == 0 ? v : v - kClothSide;                  // up
    out[1] = column == 0 ? v : v - 1;                        // left
    out[2] = row == kClothSide - 1 ? v : v + kClothSide;     // down
    out[3] = column == kClothSide - 1 ? v : v + 1;           // right
}

void fillClothGrid(Vertex* grid, Particle* head) {
    // One walk rather than a lookup per vertex; a short list repeats the
    // head, as a lookup past its end would.
    Particle* p = head->next;
    for (int v = 0; v < kClothVertices; ++v) {
        grid[v].setPosition(p ? p->position : head->position);
        if (p) p = p->next;
    }
}

// The smoothed normal of grid vertex v from its neighbours (up, left, down,
// right). At the top-right and bottom-left corners both pairs hold the
// vertex itself and the sum vanishes; there the same normal is taken from
// the pairs the other way round (left with down, right with up), which
// agrees with the first pairing everywhere inside the sheet.
static void clothNormal(Vertex* grid, int v, const int nb[4]) {
    Vertex& p = grid[v];
    gridNormal(p, grid[nb[0]], grid[nb[1]], grid[nb[2]], grid[nb[3]]);
    if (p.normal[0] == 0.0f && p.normal[1] == 0.0f && p.normal[2] == 0.0f)
        gridNormal(p, grid[nb[1]], grid[nb[2]], grid[nb[3]], grid[nb[0]]);
}

void shadeClothGrids(Vertex* a, Vertex* b, const Light* lights, int32_t count) {
    int nb[4];
    for (int v = 0; v < kClothVertices; ++v) {
        clothNeighbours(v, nb);
        clothNormal(a, v, nb);
        lightVertex(a[v], lights, count);
        if (!b) continue;
        // The second half is lit as if it faced where the first half faces.
        clothNormal(b, v, nb);
        for (int i = 0; i < 3; ++i) b[v].normal[i] = a[v].normal[i];
        lightVertex(b[v], lights, count);
    }
}

bool clothLights(ClothVariant variant, Light out[6]) {
    const Vec3 green(0.3f, 0.5f, 0.3f);
    switch (variant) {
        case ClothVariant::FallingSheet:
        case ClothVariant::TurningSheet: {
            const bool first = variant == ClothVariant::FallingSheet;
            out[0] = makeLight(first ? Vec3(1, 0.2f, 0) : Vec3(1, -0.4f, 0), Vec3(0.6f, 1, 1));
            out[1] = makeLight(first ? Vec3(1, -0.6f, 1) : Vec3(1, 0.8f, 1), Vec3(0.6f, 1, 0.5f));
            out[2] = makeLight(Vec3(0, 0.1f, 0), Vec3(0.8f, 1, 0.8f));
            out[3] = makeLight(Vec3(-2, 0.6f, 2), green);
            out[4] = makeLight(Vec3(-2, 0.6f, -2), green);
            out[5] = makeLight(Vec3(2, 0.6f, -2), green);
            return true;
        }
        case ClothVariant::FinaleBody:
            out[0] = makeLight(Vec3(1, -0.7f, 0), Vec3(0.6f, 1, 1));
            out[1] = makeLight(Vec3(1, -0.6f, 1), Vec3(0.6f, 1, 0.5f));
            out[2] = makeLight(Vec3(2, 0.6f, 2), green);
            out[3] = makeLight(Vec3(-2, 0.6f, 2), green);
            out[4] = makeLight(Vec3(-2, 0.6f, -2), green);
            out[5] = makeLight(Vec3(2, 0.6f, -2), green);
            return true;
        case ClothVariant::Tablecloth:
            out[0] = makeLight(Vec3(1, -0.7f, 0), Vec3(1, 1, 1));
            out[1] = makeLight(Vec3(1, -0.6f, 1), Vec3(0.6f, 0.6f, 0.5f));
            out[2] = makeLight(Vec3(0, 2, 0), Vec3(1, 1, 1));
            out[3] = makeLight(Vec3(0, 0.6f, 2), Vec3(0.5f, 0.5f, 0.5f));
            out[4] = makeLight(Vec3(0.2f, 0.6f, 2), Vec3(0.3f, 0.3f, 0.3f));
            out[5] = makeLight(Vec3(0, 0.6f, 2), Vec3(0.4f, 0.4f, 0.4f));
            return true;
        default:
            return false;
    }
}

void drawCloth(ClothVariant variant, GLuint texture, const TexturePair* glyphs) {
    if (isSheet(variant))
        drawSheets(variant, texture);
    else
        drawTiles(variant, glyphs);
    finishCall();
}

void drawCloth(ClothVariant variant, GLuint texture, const GLuint* names) {
    TexturePair pairs[kGlyphSetASize];
    const bool tiles = names && !isSheet(variant);
    if (tiles) pairsFromNames(names, variant == ClothVariant::IntroTiles ? kGlyphSetASize : kGlyphSetBSize, pairs);
    drawCloth(variant, texture, tiles ? pairs : nullptr);
}

void stepCloth(ClothBody body) {
    switch (body) {
        case ClothBody::IntroTiles: stepIntroCloth(); break;
        case ClothBody::Tablecloth: stepTablecloth(); break;
        case ClothBody::FinaleTiles: stepFinaleCloth(); break;
    }
}

void drawClothScene(ClothVariant variant, GLuint texture, const TexturePair* glyphs) {
    drawCloth(variant, texture, glyphs);
    glState::enable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glState::depthFunc(GL_EQUAL);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    drawCloth(variant, texture, glyphs);
    glDisable(GL_TEXTURE_2D);
    glState::disable(GL_BLEND);
    glState::depthFunc(GL_LESS);
}

bool sheetClearOfWalls(ClothVariant variant) {
    if (variant != ClothVariant::FallingSheet && variant != ClothVariant::TurningSheet) return false;
    Particle* head = sheetOf(variant);
    if (!head) return false;
    // Far more depth steps than any rounding away from every wall.
    const float margin = 0.01f;
    Particle* p = head->next;
    for (int v = 0; v < kClothVertices; ++v) {
        const Vec3 q = p ? p->position : head->position;
        if (!(q.x > kRoomMin.x + margin && q.y > kRoomMin.y + margin && q.z > kRoomMin.z + margin &&
              q.x < kRoomMax.x - margin && q.y < kRoomMax.y - margin && q.z < kRoomMax.z - margin))
            return false;
        if (p) p = p->next;
    }
    return true;
}

bool drawSheetInOnePass(ClothVariant variant, GLuint picture, GLuint texture, const GLuint* names) {
    const GLuint program = fusedPassProgram(FusedPasses::ColourTimesPicture);
    const bool sheet = variant == ClothVariant::FallingSheet || variant == ClothVariant::TurningSheet;
    if (!program || !sheet || !(drawingChoices.everyWay || sheetClearOfWalls(variant))) return false;
    if (glState::now("the sheet's one pass").textureEnv != GL_DECAL) return false;
    glBindTexture(GL_TEXTURE_2D, picture);
    glUseProgram(program);
    drawCloth(variant, texture, names);
    glUseProgram(0);
    return true;
}

bool tableclothMayShow() {
    double pm[16];
    currentClipMatrix(pm);
    // Each half is drawn as strips of its own: it is unseen when all its
    // points lie beyond one and the same clip plane.
    for (Particle* head : {showBodies.tableLeft.particles, showBodies.tableRight.particles}) {
        if (!head) return true;
        float points[kClothVertices][3];
        int v = 0;
        for (Particle* q = head->next; q && v < kClothVertices; q = q->next, ++v) {
            points[v][0] = q->position.x;
            points[v][1] = q->position.y;
            points[v][2] = q->position.z;
        }
        if (v < kClothVertices) return true;  // a short list repeats its head
        if (!allBeyondOnePlane(pm, points, v)) return true;
    }
    return false;
}

void leaveAsClothScene(GLuint texture) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glDisable(GL_TEXTURE_2D);
    glState::disable(GL_BLEND);
    glState::depthFunc(GL_LESS);
    glState::enable(GL_CULL_FACE);
}
