// offscreen_test_util.h - the room built once per test program in its
// identity view, the capture taken once, and a camera turn of the tests' own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include "offscreen/radiosity.h"
#include "offscreen/radiosity_room.h"
#include "offscreen/views.h"
#include "support/offscreen_gl.h"

struct RoomFixture {
    bool built = false;
    bool captured = false;
    GLuint patchList = 0, surfaceList = 0;
};

inline RoomFixture& roomFixture() {
    static RoomFixture f;
    return f;
}

// Opens GL, builds the room in a fresh identity view (once) and leaves that
// view current. The pictures are read from the generated assets.
inline bool openRoomView() {
    if (!openOffscreenGl(64, 64)) return false;
    RoomFixture& f = roomFixture();
    if (!f.built) {
        if (chdir(BAUBLES_ASSET_DIR) != 0) ADD_FAILURE() << "no asset directory " << BAUBLES_ASSET_DIR;
        f.patchList = createIdentityView(&f.surfaceList);
        f.built = true;
    }
    if (!offscreen.identityView) return false;
    host.makeViewCurrent(offscreen.identityView);
    return true;
}

// The room as seen from every patch (once); leaves the main context current.
inline bool captureRoom() {
    if (!openRoomView()) return false;
    RoomFixture& f = roomFixture();
    if (!f.captured) {
        buildGatherWeights();
        captureIdentities(offscreen.identityView, f.patchList, f.surfaceList);
        f.captured = true;
    }
    host.makeMainCurrent();
    return true;
}

// Turns a camera that looks along -z to look along the axis direction d
// (applied to the current matrix).
inline void lookAlongForTest(const Vec3& d) {
    if (d.x > 0.5f) glRotatef(90, 0, 1, 0);
    if (d.x < -0.5f) glRotatef(-90, 0, 1, 0);
    if (d.y > 0.5f) glRotatef(-90, 1, 0, 0);
    if (d.y < -0.5f) glRotatef(90, 1, 0, 0);
    if (d.z > 0.5f) glRotatef(180, 0, 1, 0);
}
