// show_textures.h - every texture name of the main context, generated in
// blocks at start-up in a fixed order (so the bauble's picture is name 1).
#pragma once

#include <epoxy/gl.h>

#include "image/texture.h"

struct ShowTextures {
    GLuint bauble = 0;
    GLuint closingLogo = 0;
    GLuint loading = 0;
    GLuint tablecloth = 0;
    SceneTextures scene;
    GLuint roomMapsA[52] = {};  // first room lighting
    GLuint roomMapsB[52] = {};  // second room lighting
    GLuint closing[2] = {};     // left and right closing pictures
    TexturePair logo;
    TexturePair greetings[5];   // tarvik, quelm, murto, fenri, kolpa
    TexturePair glyphsA[17];
    TexturePair glyphsB[14];
};
extern ShowTextures textures;

// Generates the name blocks in their order.
void generateTextureNames();
// Loads every picture of the show into its name, in the load's order.
void loadPictures();
