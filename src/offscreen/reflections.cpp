// reflections.cpp - the per-frame reflection passes: six faces rendered in
// a view from a bauble's centre, read back and uploaded to the main context.
#include "offscreen/views.h"

#include "show/gl_state.h"
#include "image/texture.h"
#include "show/host.h"
#include "render/fused_passes.h"
#include "render/scene_steps.h"
#include "render/sphere.h"

namespace {

// Uploads one read-back face into a main-context name, as a linearly
// filtered picture shown as it is. Clamped to its edge texels: plain clamping
// blends the black border colour into every filtered edge, and the six faces
// would meet on the bauble along dark seams.
void uploadFace(GLuint name, int size, const unsigned char* pixels) {
    if (!offscreen.uploadUnpackSet) {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);  // 64 and 128 RGB pixels are whole words
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        offscreen.uploadUnpackSet = true;
    }
    glBindTexture(GL_TEXTURE_2D, name);
    glState::textureEnvMode(GL_DECAL);
    setTextureWrap(GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    setTextureFilter(GL_LINEAR);
}

// Six faces from the eye: all drawn and read back in the view, then all
// uploaded in the main context, so the contexts change twice a pass rather
// than twice a face (the view draws from its own names only, so the uploads
// cannot change what it draws). A face nobody will see (shown[k] false) is
// left as it was. Ends with the main context current.
template <typename DrawScene>
void reflectionPass(OffscreenView* view, int size, unsigned char* buffers, const Vec3& eye, SceneTextures& scene,
                    const bool* shown, DrawScene drawScene) {
    const size_t faceBytes = static_cast<size_t>(size) * size * 3;
    bool drawn[6] = {};
    bool any = false;
    for (int k = 0; k < 6; ++k) {
        if (shown && !shown[k]) continue;
        if (!any) glState::viewCurrent(view);
        drawn[k] = any = true;
        ++offscreen.facesRendered;
        reflectionProjection(k, eye.x, eye.y, eye.z);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glState::matrixMode(GL_MODELVIEW);
        glState::loadIdentity();
        drawScene();
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, size, size, GL_RGB, GL_UNSIGNED_BYTE, buffers + k * faceBytes);
    }
    if (!any) {
        // The uploads leave the decal environment behind; so does a pass
        // with nothing to upload (the main context is still current).
        glState::textureEnvMode(GL_DECAL);
        return;
    }
    glState::mainCurrent();
    for (int k = 0; k < 6; ++k)
        if (drawn[k]) uploadFace(scene.slot[k], size, buffers + k * faceBytes);
}

}  // namespace

void reflectionProjection(int face, float eyeX, float eyeY, float eyeZ) {
    glState::matrixMode(GL_PROJECTION);
    glState::loadIdentity();
    glState::perspective(90, 1, 0.001, 40);
    switch (face) {
        case 0: glState::rotate(180, 0, 1, 0); break;  // +z
        case 1: break;                           // -z, the camera's own way
        case 2: glState::rotate(-90, 1, 0, 0); break;  // +y
        case 3: glState::rotate(90, 1, 0, 0); break;   // -y
        case 4: glState::rotate(90, 0, 1, 0); break;   // +x
        case 5: glState::rotate(-90, 0, 1, 0); break;  // -x
        default: break;
    }
    glState::translate(-eyeX, -eyeY, -eyeZ);
}

void renderBaubleFaces(OffscreenView* view, SphereMesh* coarse, SceneTextures& scene, const RoomDrawing& room,
                       const bool* shown) {
    const Vec3 eye = coarse[1].centre.position();
    // The spheres wear the view's own small picture while it draws; their
    // names are the main context's.
    GLuint worn[kSphereArray][6];
    for (int k = 0; k < kSphereArray; ++k)
        for (int f = 0; f < 6; ++f) {
            worn[k][f] = coarse[k].faceTexture[f];
            coarse[k].faceTexture[f] = offscreen.baubleTexture;
        }
    // Both nine-bauble scenes reflect the hanging-bauble scene's lists.
    reflectionPass(view, kBaubleViewSize, offscreen.baubleFace, eye, scene, shown,
                   [&] { drawBaubleScene(BaubleScene::HangingBauble, coarse, scene, &room, DrawTarget::View); });
    for (int k = 0; k < kSphereArray; ++k)
        for (int f = 0; f < 6; ++f) coarse[k].faceTexture[f] = worn[k][f];
}

void renderEnvironmentFaces(OffscreenView* view, SphereMesh& bauble, SceneTextures& scene, const RoomDrawing& room,
                            ClothVariant variant, const bool* shown) {
    const Vec3 eye = bauble.centre.position();
    // The view's own environment picture stands in the environment slot while it draws.
    const GLuint saved = scene.slot[kSlotEnvironment];
    scene.slot[kSlotEnvironment] = offscreen.environmentTexture;
    reflectionPass(view, kEnvironmentViewSize, offscreen.environmentFace, eye, scene, shown,
                   [&] { drawBodyScene(bauble, scene, &room, variant, DrawTarget::View); });
    scene.slot[kSlotEnvironment] = saved;
}
