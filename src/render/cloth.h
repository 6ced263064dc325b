// cloth.h - the deformable bodies of the later scenes drawn straight from
// their particles: 10 x 10 sheets as lit, textured triangle strips (the two
// falling sheets, the finale's cloth, both halves of the tablecloth), the
// letter tiles of the intro and the finale, and the finale's lamp (slab,
// cords, shade and its glow). Also the cloth scenes' update and draw steps.
//
// Every draw is made twice by its scene step: a plain pass that lays down
// depth and lit colours, then the identical geometry again with depth
// GL_EQUAL and a texture multiplied onto it.
//
#pragma once

#include <epoxy/gl.h>

#include <cstdint>

#include "image/texture.h"
#include "math/vec3.h"
#include "physics/model.h"
#include "render/lighting.h"

// The cloths the scenes draw: the sheets of the two single-bauble scenes,
// the finale body, the tablecloth's two halves, and the letter tiles of the
// intro and of the finale.
enum class ClothVariant { FallingSheet, TurningSheet, FinaleBody, Tablecloth, IntroTiles, FinaleTiles };
// The first four are 10 x 10 sheets; the others are letter tiles.
constexpr bool isSheet(ClothVariant v) { return v <= ClothVariant::Tablecloth; }

constexpr int kClothSide = 10;
constexpr int kClothVertices = kClothSide * kClothSide;

// The two sheets being drawn, row-major: vertex (r, j) is element 10r + j.
// Refilled on every call; only the variant being drawn matters.
extern Vertex clothGridA[kClothVertices];
extern Vertex clothGridB[kClothVertices];

// Draws the body of a variant. texture is the sheet's or the lamp's picture;
// names is unused by the sheets (the body scenes pass their scene
// textures). Leaves texturing off and face culling on.
void drawCloth(ClothVariant variant, GLuint texture, const GLuint* names);
// True for the sheet of a single-bauble scene when every point of it stands off
// every wall by far more than the depth buffer can tell apart: no fragment
// of it can meet a wall at the wall's own depth.
bool sheetClearOfWalls(ClothVariant variant);
// The sheet's two passes at once, where the main context has the program,
// the texture environment is the decal and the sheet is clear of the walls:
// its lit colour times the picture, multiplied as the blending multiplies.
// Leaves the picture bound as the picture pass does; false, with nothing
// drawn, where it cannot.
bool drawSheetInOnePass(ClothVariant variant, GLuint picture, GLuint texture, const GLuint* names);
// The same for the letter tiles: glyphs is the glyph set, tile k shows
// pair k. The sheets ignore glyphs.
void drawCloth(ClothVariant variant, GLuint texture, const TexturePair* glyphs);

// The bodies a cloth step can advance.
enum class ClothBody { IntroTiles, Tablecloth, FinaleTiles };

// Runs the physics driver of that body; nothing else.
void stepCloth(ClothBody body);
// The cloth drawing twice: plain, then with texture multiplied onto it.
// Leaves blending and texturing off and the depth function at GL_LESS.
void drawClothScene(ClothVariant variant, GLuint texture, const TexturePair* glyphs);
// True unless every particle of the tablecloth's two halves lies beyond one
// side of the current projection and modelview: then neither of its passes
// can touch a pixel.
bool tableclothMayShow();
// What drawClothScene leaves behind (texturing and blending off, culling
// on, depth GL_LESS, the texture bound), for a frame that skips it.
void leaveAsClothScene(GLuint texture);

// --- pieces of the drawing, for the tests ---

// The neighbours of grid vertex v in the order up, left, down, right; a
// neighbour that would fall off the sheet is v itself.
void clothNeighbours(int v, int out[4]);
// Copies particles 1..100 after head into grid positions (row-major).
void fillClothGrid(Vertex* grid, Particle* head);
// Normals and light for sheet a; when b is given, b is lit right after each
// vertex of a with a's normal in place of its own.
void shadeClothGrids(Vertex* a, Vertex* b, const Light* lights, int32_t count);
// The six lights of a sheet; false for the letter tiles.
bool clothLights(ClothVariant variant, Light out[6]);
