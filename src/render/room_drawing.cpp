// room_drawing.cpp - the room, surfaces off the picture left out.
#include "render/room_drawing.h"

#include "render/shortcuts.h"

void drawRoom(const RoomDrawing* room) {
    if (!room || !room->whole) return;
    const int n = room->surfaces;
    if (!drawingChoices.cullRoomSurfaces || !room->firstSurface || room->corners.size() != static_cast<size_t>(n) * 12) {
        glCallList(room->whole);
        return;
    }
    double pm[16];
    currentClipMatrix(pm);
    const auto* corners = reinterpret_cast<const float(*)[3]>(room->corners.data());
    glEnable(GL_TEXTURE_2D);
    for (int k = 0; k < n; ++k)
        if (k == n - 1 || !allBeyondOnePlane(pm, corners + 4 * k, 4)) glCallList(room->firstSurface + k);
    glDisable(GL_TEXTURE_2D);
}
