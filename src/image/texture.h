// texture.h - pictures into GL textures, and cut-out pictures drawn with
// their masks. Every picture is loaded once at start-up into a texture name
// the load generated beforehand; nothing is uploaded during the show except
// the traced ball and the reflection pictures.
#pragma once

#include <epoxy/gl.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

// The decoded pictures of the whole load together may take at most this
// much; a picture past it is skipped, as if it were missing. The show's own
// take a few megabytes.
constexpr uint64_t kMaxDecodedPictureBytes = uint64_t(512) << 20;

struct TextureState {
    uint64_t decodedBytes = 0;       // what the loaded pictures take, decoded
    std::set<std::string> reported;  // pictures already said to be skipped
};
extern TextureState textureState;

// A cut-out picture: the colour texture and its mask (white where
// transparent, black where opaque), in that order.
struct TexturePair {
    GLuint colour = 0;
    GLuint mask = 0;
};

// The bound 2D texture's filter, minifying and magnifying alike, and its
// wrap in both directions.
void setTextureFilter(GLint filter);
void setTextureWrap(GLint wrap);

// Binds name, modulate environment, repeat on both axes.
void prepareTexture(GLuint name);
// Fills the bound texture from a picture file, one level. 0, or -1 on failure;
// a picture that is there but not taken gets a line on stderr.
int loadTexture(const char* path);
// The same with the full mipmap chain. 0, or -1 on failure.
int loadMipmappedTexture(const char* path);

// Draws a pair over the quad (x0, y0)-(x1, y1): the mask multiplied into the
// frame, then the colour added where the mask pass landed. Leaves texturing
// and blending off and the depth function at GL_LESS.
void drawTexturePair(const TexturePair& pair, float x0, float y0, float x1, float y1);
// One textured quad with coordinates (0,0),(0,1),(1,1),(1,0) at
// lower-left, upper-left, upper-right and lower-right.
void drawTexturedQuad(float x0, float y0, float x1, float y1);

// The nine main-context names the soft-body scenes share: 0-5 the
// reflection pictures along +z, -z, +y, -y, +x, -x; 6 the bauble's
// reflection picture, 7 the environment picture, 8 the lamp.
struct SceneTextures {
    GLuint slot[9] = {};
};
// The named slots past the six reflection pictures.
enum SceneSlot : int {
    kSlotBaubleRef = 6,    // the bauble's reflection picture
    kSlotEnvironment = 7,  // the room's environment picture
    kSlotLamp = 8,         // the lamp and the sheets' picture
};
