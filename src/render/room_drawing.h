// room_drawing.h - the light-mapped room as the scenes draw it: one display
// list for the whole room, and one per surface with the corners it is sent
// with, so that a view leaves out the surfaces wholly off its picture. Each
// surface binds its own light map, so every surface is a draw of its own,
// and a reflection face sees a fraction of them.
#pragma once

#include <epoxy/gl.h>

#include <vector>

struct RoomDrawing {
    GLuint whole = 0;         // texturing on, each surface's map and quad, texturing off
    GLuint firstSurface = 0;  // the surfaces' own lists, in the same order (0: none)
    int surfaces = 0;
    std::vector<float> corners;  // 4 corners x 3 per surface, as sent
};

// Draws the room as its whole list does. With the shortcuts on, a surface
// wholly beyond one clip plane of the current matrices is left out; the
// last surface is always sent, so the room leaves its last light map bound
// and its last texture coordinate current, as the whole list does.
void drawRoom(const RoomDrawing* room);
