// texture.cpp - texture uploads and the two-pass cut-out drawing.
#include "image/texture.h"

#ifdef _WIN32
#include <windows.h>  // Windows' GL/glu.h needs its calling conventions
#endif
#include <GL/glu.h>

#include "show/gl_state.h"
#include "show/host.h"
#include "image/bmp.h"

TextureState textureState;

namespace {

const char* const kNoPicture = "the show goes on without it";

// Some pictures are loaded more than once (each view keeps its own copy):
// one line per file is enough.
void reportPicture(const std::string& path, const std::string& reason) {
    if (textureState.reported.insert(path).second) reportAsset(path, reason, kNoPicture);
}

// Reads, converts and uploads; mipmapped builds the whole chain.
int load(const char* path, bool mipmapped) {
    Image image;
    std::string reason;
    std::string named(path ? path : "");
    for (char& c : named)
        if (c == '\\') c = '/';
    if (!readBitmap(path, image, &reason)) {
        if (!reason.empty()) reportPicture(named, reason);
        return -1;
    }
    // What the driver will keep of it: the rows, and a third more for the
    // smaller levels of a mipmapped picture.
    uint64_t cost = uint64_t(rgbRowStride(image.width)) * uint64_t(image.height);
    if (mipmapped) cost += cost / 3;
    if (textureState.decodedBytes + cost > kMaxDecodedPictureBytes) {
        reportPicture(named, "is skipped: the pictures together would take more than 512 MB");
        return -1;
    }
    std::vector<uint8_t> rgb = bitmapToRgb(image);
    if (rgb.empty()) {
        reportPicture(named, "does not fit in memory");
        return -1;
    }
    textureState.decodedBytes += cost;

    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);  // the converted rows are padded to 4 bytes
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);

    GLenum target = GL_TEXTURE_2D;
    if (image.height == 1 || image.width == 1) {
        // A one-pixel-thin picture is a 1D texture along its long side.
        target = GL_TEXTURE_1D;
        const int texels = image.height == 1 ? image.width : image.height;
        // A 1-wide column's rows are each padded to 4 bytes: gather them.
        std::vector<uint8_t> line(static_cast<size_t>(texels) * 3 + 4);
        const size_t stride = rgbRowStride(image.width);
        for (int i = 0; i < texels; ++i) {
            const uint8_t* src = image.height == 1 ? rgb.data() + i * 3 : rgb.data() + i * stride;
            line[i * 3] = src[0];
            line[i * 3 + 1] = src[1];
            line[i * 3 + 2] = src[2];
        }
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        if (mipmapped)
            gluBuild1DMipmaps(GL_TEXTURE_1D, 3, texels, GL_RGB, GL_UNSIGNED_BYTE, line.data());
        else
            glTexImage1D(GL_TEXTURE_1D, 0, 3, texels, 0, GL_RGB, GL_UNSIGNED_BYTE, line.data());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    } else if (mipmapped) {
        gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image.width, image.height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, 3, image.width, image.height, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    }
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    return 0;
}

}  // namespace

void setTextureFilter(GLint filter) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
}

void setTextureWrap(GLint wrap) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
}

void prepareTexture(GLuint name) {
    glBindTexture(GL_TEXTURE_2D, name);
    glState::textureEnvMode(GL_MODULATE);
    setTextureWrap(GL_REPEAT);
}

int loadTexture(const char* path) { return load(path, false); }

int loadMipmappedTexture(const char* path) { return load(path, true); }

void drawTexturedQuad(float x0, float y0, float x1, float y1) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x0, y0);
    glTexCoord2f(0, 1);
    glVertex2f(x0, y1);
    glTexCoord2f(1, 1);
    glVertex2f(x1, y1);
    glTexCoord2f(1, 0);
    glVertex2f(x1, y0);
    glEnd();
}

void drawTexturePair(const TexturePair& pair, float x0, float y0, float x1, float y1) {
    glState::enable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, pair.mask);
    drawTexturedQuad(x0, y0, x1, y1);
    glState::depthFunc(GL_EQUAL);
    glBlendFunc(GL_ONE, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, pair.colour);
    drawTexturedQuad(x0, y0, x1, y1);
    glDisable(GL_TEXTURE_2D);
    glState::disable(GL_BLEND);
    glState::depthFunc(GL_LESS);
}
