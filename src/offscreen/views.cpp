// views.cpp - creating the three offscreen views and stocking each with its
// pictures, light maps or identity textures, and its room list.
#include "offscreen/views.h"

#include "show/gl_state.h"
#include "image/texture.h"
#include "show/host.h"
#include "offscreen/radiosity.h"
#include "offscreen/radiosity_room.h"

OffscreenState offscreen;

namespace {

// Depth, culling (the room is clockwise seen from inside; a bauble's own
// faces, seen from its centre, are back faces) and the whole target.
void finishView(int size) {
    glState::enable(GL_CULL_FACE);
    glState::frontFace(GL_CW);
    glState::enable(GL_DEPTH_TEST);
    glViewport(0, 0, size, size);
}

// A view's first texture: bound, given its environment and repeat wrap,
// and loaded plain from the picture file.
GLuint stockPicture(GLenum environment, const char* path) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glState::textureEnvMode(environment);
    setTextureWrap(GL_REPEAT);
    loadTexture(path);
    return name;
}

// The current lighting as the view's own 52 light maps and the room over them.
RoomDrawing stockLightMaps() {
    GLuint names[kRoomSurfaces];
    glGenTextures(kRoomSurfaces, names);
    loadPatchTextures(names);
    return compileRoomDrawing(names, RoomTexCoords::LightMap);
}

}  // namespace

GLuint createIdentityView(GLuint* surfaceIdentityList) {
    OffscreenState& o = offscreen;
    o.identityView = host.createView(kIdentityViewSize);
    glState::viewCurrent(o.identityView);
    glGenTextures(kRoomSurfaces, o.identityPatchNames);
    glGenTextures(kRoomSurfaces, o.identitySurfaceNames);
    buildRadiosityRoom(o.identityPatchNames, o.identitySurfaceNames);
    o.identityPatchList = compileRoomList(o.identityPatchNames, RoomTexCoords::Identity);
    o.identitySurfaceList = compileRoomList(o.identitySurfaceNames, RoomTexCoords::Identity);
    glGenTextures(kRoomSurfaces, o.identityJointNames);
    uploadJointIdentities(o.identityJointNames);
    o.identityJointList = compileRoomList(o.identityJointNames, RoomTexCoords::Identity);
    finishView(kIdentityViewSize);
    // Each pixel must hold exactly one texel's identity.
    glShadeModel(GL_FLAT);
    glDisable(GL_DITHER);
    glState::disable(GL_BLEND);
    host.releaseContext();
    if (surfaceIdentityList) *surfaceIdentityList = o.identitySurfaceList;
    return o.identityPatchList;
}

void createBaubleView() {
    OffscreenState& o = offscreen;
    o.baubleView = host.createView(kBaubleViewSize);
    glState::viewCurrent(o.baubleView);
    // The small bauble picture, which the spheres wear in here.
    o.baubleTexture = stockPicture(GL_DECAL, "Images/Bombka_low.bmp");
    o.baubleRoom = stockLightMaps();
    finishView(kBaubleViewSize);
    host.releaseContext();
    glState::mainCurrent();
}

void createEnvironmentView() {
    OffscreenState& o = offscreen;
    o.environmentView = host.createView(kEnvironmentViewSize);
    glState::viewCurrent(o.environmentView);
    o.environmentTexture = stockPicture(GL_MODULATE, "Images/Env.bmp");
    o.environmentRoom = stockLightMaps();
    finishView(kEnvironmentViewSize);
    host.releaseContext();
}

