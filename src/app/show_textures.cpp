// show_textures.cpp - the name blocks and the picture loads.
#include "app/show_textures.h"

#include <string>

ShowTextures textures;

namespace {

void genPairs(TexturePair* pairs, int count) {
    for (int i = 0; i < count; ++i) glGenTextures(2, &pairs[i].colour);
}

// Loads a cut-out picture and its "_alpha" mask, each prepared first.
void loadPair(const TexturePair& pair, const std::string& stem) {
    prepareTexture(pair.colour);
    loadTexture((stem + ".bmp").c_str());
    prepareTexture(pair.mask);
    loadTexture((stem + "_alpha.bmp").c_str());
}

void loadMipmapped(GLuint name, const char* path) {
    prepareTexture(name);
    loadMipmappedTexture(path);
}

}  // namespace

static_assert(sizeof(TexturePair) == 2 * sizeof(GLuint), "a pair is two consecutive names");

void generateTextureNames() {
    ShowTextures& t = textures;
    glGenTextures(1, &t.bauble);
    glGenTextures(1, &t.closingLogo);
    glGenTextures(1, &t.loading);
    glGenTextures(1, &t.tablecloth);
    glGenTextures(9, t.scene.slot);
    glGenTextures(52, t.roomMapsA);
    glGenTextures(52, t.roomMapsB);
    glGenTextures(2, t.closing);
    genPairs(&t.logo, 1);
    genPairs(t.greetings, 5);
    genPairs(t.glyphsA, 17);
    genPairs(t.glyphsB, 14);
}

void loadPictures() {
    ShowTextures& t = textures;
    loadMipmapped(t.loading, "Images/loading.bmp");
    loadMipmapped(t.closingLogo, "Images/velsk.bmp");
    loadMipmapped(t.closing[0], "Images/Dorovan1.bmp");
    loadMipmapped(t.closing[1], "Images/Dorovan2.bmp");
    loadMipmapped(t.scene.slot[kSlotBaubleRef], "Images/BombkaRef.bmp");
    loadMipmapped(t.scene.slot[kSlotEnvironment], "Images/Env.bmp");
    loadMipmapped(t.tablecloth, "Images/Obrus.bmp");
    loadMipmapped(t.scene.slot[kSlotLamp], "Images/Lampka.bmp");
    loadMipmapped(t.bauble, "Images/Bombka.bmp");
    static const char* const greetings[5] = {"Images/tarvik", "Images/quelm", "Images/murto", "Images/fenri",
                                             "Images/kolpa"};
    for (int i = 0; i < 5; ++i) loadPair(t.greetings[i], greetings[i]);
    loadPair(t.logo, "Images/logo");
}
