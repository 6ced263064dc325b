// radiosity.cpp - weights, identity capture, gathering rounds and light maps.
#include "offscreen/radiosity.h"


#include <cmath>

#include "show/gl_state.h"
#include "image/texture.h"
#include "offscreen/views.h"
#include "show/host.h"

RadiosityState radiosity;

namespace {

// Turns the capture camera (which looks along -z) to look along the normal;
// the view transform lives in the projection matrix.
void lookAlong(const Vec3& n) {
    if (n.x == 1.0f)
        glState::rotate(90, 0, 1, 0);
    else if (n.x == -1.0f)
        glState::rotate(-90, 0, 1, 0);
    else if (n.y == 1.0f)
        glState::rotate(-90, 1, 0, 0);
    else if (n.y == -1.0f)
        glState::rotate(90, 1, 0, 0);
    else if (n.z == 1.0f)
        glState::rotate(180, 0, 1, 0);
}

// Indexes every surface's patches by its surface byte (number + 1), so a
// pixel finds its patch without walking the list.
void indexSurfaceBytes() {
    RadiosityState& r = radiosity;
    for (int b = 0; b < 256; ++b) {
        r.patchesOfByte[b] = nullptr;
        r.patchCountOfByte[b] = 0;
    }
    for (int n = 1; n + 1 < 256; ++n) {
        RadiositySurface* s = n <= static_cast<int>(room.byNumber.size()) ? surfaceByNumber(n) : nullptr;
        if (!s) break;
        r.patchesOfByte[n + 1] = s->patches.get();
        r.patchCountOfByte[n + 1] = s->patchCount;
    }
}

// The view from a patch: a wide lens looking out along its normal.
void seeFromPatch(const RadiosityPatch& patch) {
    glState::matrixMode(GL_PROJECTION);
    glState::loadIdentity();
    glState::perspective(160, 1, 0.0001, 40);
    lookAlong(patch.normal);
    glState::translate(-patch.position.x, -patch.position.y, -patch.position.z);
}

// A captured pixel as the gather reads it: the surface byte over the patch's colour.
uint32_t identityWord(uint8_t surface, uint8_t r, uint8_t g, uint8_t b) {
    return (static_cast<uint32_t>(surface) << 24) | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
           b;
}

// Renders the identity list from the patch and reads it back.
void capturePass(GLuint list) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glState::matrixMode(GL_MODELVIEW);
    glState::loadIdentity();
    glCallList(list);
}

}  // namespace

void buildGatherWeights() {
    const double pi = 3.14159265358979323846;
    for (int j = 0; j < kCapturePixels; ++j) {
        const double dx = (j % 16) - 8, dy = 8 - (j / 16);
        const double r = std::sqrt(dx * dx + dy * dy);
        radiosity.weights[j] = static_cast<float>(std::cos(r * pi / 2.0 / std::sqrt(128.0)));
    }
}

void captureIdentities(OffscreenView* identityView, GLuint patchIdentityList, GLuint surfaceIdentityList) {
    RadiosityState& r = radiosity;
    glState::viewCurrent(identityView);
    glClearColor(0, 0, 0, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);  // 16-pixel rows are whole words
    for (RadiositySurface* s = room.head; s; s = s->next) {
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            RadiosityPatch& patch = s->patches[p];
            seeFromPatch(patch);
            capturePass(patchIdentityList);
            glReadPixels(0, 0, 16, 16, GL_RGB, GL_UNSIGNED_BYTE, r.patchPicture);
            capturePass(surfaceIdentityList);
            glReadPixels(0, 0, 16, 16, GL_RED, GL_UNSIGNED_BYTE, r.surfacePicture);

            patch.identity = std::make_unique<uint32_t[]>(kCapturePixels);
            for (int j = 0; j < kCapturePixels; ++j) {
                const uint8_t* rgb = r.patchPicture + j * 3;
                patch.identity[j] = identityWord(r.surfacePicture[j], rgb[0], rgb[1], rgb[2]);
            }
            glFlush();
        }
    }
    glState::mainCurrent();
    indexSurfaceBytes();
}

void captureJointIdentities(OffscreenView* identityView, GLuint jointIdentityList) {
    constexpr int kRing = 32;
    glState::viewCurrent(identityView);
    GLint viewFramebuffer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &viewFramebuffer);
    // Targets made like the view's own: RGBA8 colour, 16-bit depth.
    GLuint framebuffers[kRing], colour[kRing], depth[kRing];
    glGenFramebuffers(kRing, framebuffers);
    glGenRenderbuffers(kRing, colour);
    glGenRenderbuffers(kRing, depth);
    for (int i = 0; i < kRing; ++i) {
        glBindRenderbuffer(GL_RENDERBUFFER, colour[i]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kIdentityViewSize, kIdentityViewSize);
        glBindRenderbuffer(GL_RENDERBUFFER, depth[i]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, kIdentityViewSize, kIdentityViewSize);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffers[i]);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour[i]);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth[i]);
        glDrawBuffer(GL_COLOR_ATTACHMENT0);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
    }
    glClearColor(0, 0, 0, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);

    RadiosityPatch* pending[kRing];
    int count = 0;
    uint8_t rgba[kCapturePixels * 4];
    auto readRing = [&] {
        for (int i = 0; i < count; ++i) {
            glBindFramebuffer(GL_FRAMEBUFFER, framebuffers[i]);
            glReadPixels(0, 0, kIdentityViewSize, kIdentityViewSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
            RadiosityPatch& patch = *pending[i];
            patch.identity = std::make_unique<uint32_t[]>(kCapturePixels);
            for (int j = 0; j < kCapturePixels; ++j) {
                const uint8_t* p = rgba + j * 4;
                patch.identity[j] = identityWord(p[3], p[0], p[1], p[2]);
            }
        }
        count = 0;
    };
    for (RadiositySurface* s = room.head; s; s = s->next) {
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            RadiosityPatch& patch = s->patches[p];
            glBindFramebuffer(GL_FRAMEBUFFER, framebuffers[count]);
            seeFromPatch(patch);
            capturePass(jointIdentityList);
            pending[count++] = &patch;
            if (count == kRing) readRing();
        }
    }
    readRing();
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(viewFramebuffer));
    glDeleteFramebuffers(kRing, framebuffers);
    glDeleteRenderbuffers(kRing, colour);
    glDeleteRenderbuffers(kRing, depth);
    glState::mainCurrent();
    indexSurfaceBytes();
}

void gatherIteration() {
    const RadiosityState& r = radiosity;
    // Step 1: everything arriving, from the previous round's radiosities.
    for (RadiositySurface* s = room.head; s; s = s->next) {
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            RadiosityPatch& patch = s->patches[p];
            float gr = 0, gg = 0, gb = 0;
            const uint32_t* id = patch.identity.get();
            if (id) {
                for (int j = 0; j < kCapturePixels; ++j) {
                    const uint32_t v = id[j];
                    const uint32_t surfaceByte = v >> 24;
                    // Bytes 0 and 1 are no surface; a number past the patch
                    // count would be no patch of that surface.
                    const uint32_t index = (v & 0xFFFFFFu) - 1u;
                    if (surfaceByte < 2 || index >= r.patchCountOfByte[surfaceByte]) continue;
                    const Vec3& seen = r.patchesOfByte[surfaceByte][index].radiosity;
                    const float w = r.weights[j];
                    gr += w * seen.x;
                    gg += w * seen.y;
                    gb += w * seen.z;
                }
            }
            patch.gathered = Vec3(gr, gg, gb);
        }
    }
    // Step 2: only now does any patch change what it sends.
    for (RadiositySurface* s = room.head; s; s = s->next) {
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            RadiosityPatch& patch = s->patches[p];
            patch.radiosity = patch.emission + patch.gathered * patch.reflectance;
        }
    }
}

void setSecondLighting(const Vec3& lampColour) {
    for (RadiositySurface* s = room.head; s; s = s->next) {
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            RadiosityPatch& patch = s->patches[p];
            patch.emission = patch.radiosity = patch.gathered = Vec3();
        }
    }
    const struct {
        int number;
        Vec3 colour;
    } emitters[2] = {{kSecondLampSurface, lampColour}, {kGreenGlowSurface, kGreenGlowColour}};
    for (const auto& e : emitters) {
        RadiositySurface* s = surfaceByNumber(e.number);
        if (!s) continue;  // the room is not built
        for (uint32_t p = 0; p < s->patchCount; ++p) {
            RadiosityPatch& patch = s->patches[p];
            patch.emission = patch.radiosity = e.colour;
            patch.gathered = Vec3();
        }
    }
}

void loadPatchTextures(const GLuint names[52]) {
    uint8_t texels[kMaxSurfacePatches * 3];
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // rows of columns * 3 bytes, unpadded
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    int i = 0;
    for (RadiositySurface* s = room.head; s && i < kRoomSurfaces; s = s->next, ++i) {
        const uint32_t count = s->patchCount < kMaxSurfacePatches ? s->patchCount : kMaxSurfacePatches;
        for (uint32_t p = 0; p < count; ++p) {
            Vec3& c = s->patches[p].radiosity;
            if (c.x > 1.0f) c.x = 1.0f;
            if (c.y > 1.0f) c.y = 1.0f;
            if (c.z > 1.0f) c.z = 1.0f;
            // Truncated towards zero; light is never negative, but a byte
            // must not be made from a negative value.
            texels[p * 3] = static_cast<uint8_t>(c.x > 0.0f ? c.x * 255.0f : 0.0f);
            texels[p * 3 + 1] = static_cast<uint8_t>(c.y > 0.0f ? c.y * 255.0f : 0.0f);
            texels[p * 3 + 2] = static_cast<uint8_t>(c.z > 0.0f ? c.z * 255.0f : 0.0f);
        }
        glBindTexture(GL_TEXTURE_2D, names[i]);
        glState::textureEnvMode(GL_REPLACE);
        setTextureWrap(GL_REPEAT);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, s->columns, s->rows, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
        setTextureFilter(GL_LINEAR);
    }
}
