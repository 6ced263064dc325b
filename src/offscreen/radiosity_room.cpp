// radiosity_room.cpp - the room's 52 surfaces, their identity textures and
// the display lists that draw the room.
#include "offscreen/radiosity_room.h"

#include <cmath>
#include <cstring>

#include "show/gl_state.h"
#include "image/texture.h"
#include "show/room.h"

RoomState room;

namespace {

// One row of the room table, in the room's own units (the box -1..1).
struct SurfaceRow {
    int columns, rows;
    float nx, ny, nz;
    RoomAxis columnAxis;
    float columnStart, columnEnd, rowStart, rowEnd, fixed;
};

constexpr RoomAxis X = RoomAxis::X, Y = RoomAxis::Y, Z = RoomAxis::Z;

// Ceiling strips, floor, the four walls (middle strip, then the pieces
// between the corner cubes), then the room-facing faces of the eight cubes,
// corner by corner: -x+z, +x+z, -x-z, +x-z; lower cube then upper cube.
const SurfaceRow kRoomTable[kRoomSurfaces] = {
    {16, 8, 0, -1, 0, Z, -1, 1, -0.5f, 0.5f, 1},        // 1 ceiling, middle strip
    {8, 4, 0, -1, 0, Z, -1, 1, -1, -0.5f, 1},           // 2 ceiling at -x
    {8, 4, 0, -1, 0, Z, -1, 1, 0.5f, 1, 1},             // 3 ceiling at +x
    {16, 16, 0, 1, 0, Z, 1, -1, -1, 1, -1},             // 4 floor
    {16, 8, -1, 0, 0, Y, 1, -1, 0.5f, -0.5f, 1},        // 5 wall x+1
    {4, 4, -1, 0, 0, Y, -0.5f, -1, -0.5f, -1, 1},       // 6
    {4, 4, -1, 0, 0, Y, 0.5f, 0, -0.5f, -1, 1},         // 7
    {4, 4, -1, 0, 0, Y, -0.5f, -1, 1, 0.5f, 1},         // 8
    {4, 4, -1, 0, 0, Y, 0.5f, 0, 1, 0.5f, 1},           // 9
    {16, 8, 1, 0, 0, Y, 1, -1, -0.5f, 0.5f, -1},        // 10 wall x-1
    {4, 4, 1, 0, 0, Y, -0.5f, -1, 0.5f, 1, -1},         // 11
    {4, 4, 1, 0, 0, Y, 0.5f, 0, 0.5f, 1, -1},           // 12
    {4, 4, 1, 0, 0, Y, -0.5f, -1, -1, -0.5f, -1},       // 13
    {4, 4, 1, 0, 0, Y, 0.5f, 0, -1, -0.5f, -1},         // 14
    {16, 8, 0, 0, 1, Y, 1, -1, 0.5f, -0.5f, -1},        // 15 wall z-1
    {4, 4, 0, 0, 1, Y, -0.5f, -1, -0.5f, -1, -1},       // 16
    {4, 4, 0, 0, 1, Y, 0.5f, 0, -0.5f, -1, -1},         // 17
    {4, 4, 0, 0, 1, Y, -0.5f, -1, 1, 0.5f, -1},         // 18
    {4, 4, 0, 0, 1, Y, 0.5f, 0, 1, 0.5f, -1},           // 19
    {16, 8, 0, 0, -1, Y, 1, -1, -0.5f, 0.5f, 1},        // 20 wall z+1
    {4, 4, 0, 0, -1, Y, -0.5f, -1, 0.5f, 1, 1},         // 21
    {4, 4, 0, 0, -1, Y, 0.5f, 0, 0.5f, 1, 1},           // 22 the green glow of the second lighting
    {4, 4, 0, 0, -1, Y, -0.5f, -1, -1, -0.5f, 1},       // 23
    {4, 4, 0, 0, -1, Y, 0.5f, 0, -1, -0.5f, 1},         // 24
    {4, 4, 0, 0, -1, X, -1, -0.5f, -0.5f, 0, 0.5f},     // 25 corner -x+z, lower cube
    {4, 4, 1, 0, 0, Z, 0.5f, 1, -0.5f, 0, -0.5f},       // 26
    {4, 4, 0, 1, 0, Z, 1, 0.5f, -1, -0.5f, 0},          // 27
    {4, 4, 0, -1, 0, Z, 1, 0.5f, -0.5f, -1, -0.5f},     // 28
    {4, 4, 0, 0, -1, X, -1, -0.5f, 0.5f, 1, 0.5f},      // 29 corner -x+z, upper cube
    {4, 4, 1, 0, 0, Z, 0.5f, 1, 0.5f, 1, -0.5f},        // 30
    {4, 4, 0, -1, 0, Z, 1, 0.5f, -0.5f, -1, 0.5f},      // 31 the lamp of the first lighting
    {4, 4, 0, 0, -1, X, 0.5f, 1, -0.5f, 0, 0.5f},       // 32 corner +x+z, lower cube
    {4, 4, -1, 0, 0, Z, 1, 0.5f, -0.5f, 0, 0.5f},       // 33
    {4, 4, 0, 1, 0, Z, 1, 0.5f, 0.5f, 1, 0},            // 34
    {4, 4, 0, -1, 0, Z, 1, 0.5f, 1, 0.5f, -0.5f},       // 35
    {4, 4, 0, 0, -1, X, 0.5f, 1, 0.5f, 1, 0.5f},        // 36 corner +x+z, upper cube
    {4, 4, -1, 0, 0, Z, 1, 0.5f, 0.5f, 1, 0.5f},        // 37
    {4, 4, 0, -1, 0, Z, 1, 0.5f, 1, 0.5f, 0.5f},        // 38
    {4, 4, 0, 0, 1, X, -0.5f, -1, -0.5f, 0, -0.5f},     // 39 corner -x-z, lower cube
    {4, 4, 1, 0, 0, Z, -1, -0.5f, -0.5f, 0, -0.5f},     // 40
    {4, 4, 0, 1, 0, Z, -0.5f, -1, -1, -0.5f, 0},        // 41
    {4, 4, 0, -1, 0, Z, -0.5f, -1, -0.5f, -1, -0.5f},   // 42 the lamp of the second lighting
    {4, 4, 0, 0, 1, X, -0.5f, -1, 0.5f, 1, -0.5f},      // 43 corner -x-z, upper cube
    {4, 4, 1, 0, 0, Z, -1, -0.5f, 0.5f, 1, -0.5f},      // 44
    {4, 4, 0, -1, 0, Z, -0.5f, -1, -0.5f, -1, 0.5f},    // 45
    {4, 4, 0, 0, 1, X, 1, 0.5f, -0.5f, 0, -0.5f},       // 46 corner +x-z, lower cube
    {4, 4, -1, 0, 0, Z, -0.5f, -1, -0.5f, 0, 0.5f},     // 47
    {4, 4, 0, 1, 0, Z, -0.5f, -1, 0.5f, 1, 0},          // 48
    {4, 4, 0, -1, 0, Z, -0.5f, -1, 1, 0.5f, -0.5f},     // 49
    {4, 4, 0, 0, 1, X, 1, 0.5f, 0.5f, 1, -0.5f},        // 50 corner +x-z, upper cube
    {4, 4, -1, 0, 0, Z, -0.5f, -1, 0.5f, 1, 0.5f},      // 51
    {4, 4, 0, -1, 0, Z, -0.5f, -1, 1, 0.5f, 0.5f},      // 52
};

// The lamp of the first lighting: surface 31 starts at this colour.
const Vec3 kFirstLamp(0.435f, 0.33f, 0.32f);
constexpr int kFirstLampSurface = 31;

float component(const Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
void setComponent(Vec3& v, int axis, float value) { (axis == 0 ? v.x : axis == 1 ? v.y : v.z) = value; }

// A room coordinate as a bound of the physics box plus or minus a step, so
// the room follows the box it encloses.
float boxCoordinate(int axis, float v) {
    return v >= 0 ? component(kRoomMax, axis) - (1.0f - v) : component(kRoomMin, axis) + (1.0f + v);
}

// The axis the rows run along: with columns along z, a normal along y puts
// rows along x, otherwise along y; columns along y: a normal along z puts
// rows along x, otherwise z; columns along x: normal along y gives z, else y.
int rowAxisOf(RoomAxis columnAxis, const Vec3& normal) {
    switch (columnAxis) {
        case RoomAxis::Z: return normal.y != 0.0f ? 0 : 1;
        case RoomAxis::Y: return normal.z != 0.0f ? 0 : 2;
        case RoomAxis::X: return normal.y != 0.0f ? 2 : 1;
    }
    return 1;
}

// The point of a surface at fractions s (along the columns) and t (rows).
Vec3 surfacePoint(const RadiositySurface& s, float fs, float ft) {
    Vec3 p;
    setComponent(p, s.columnAxis, s.columnStart + fs * (s.columnEnd - s.columnStart));
    setComponent(p, s.rowAxis, s.rowStart + ft * (s.rowEnd - s.rowStart));
    setComponent(p, s.fixedAxis, s.fixed);
    return p;
}

// Uploads one identity picture into name: exact texels, never blended.
void uploadIdentity(GLuint name, int columns, int rows, const uint8_t* texels) {
    glBindTexture(GL_TEXTURE_2D, name);
    glState::textureEnvMode(GL_REPLACE);
    setTextureWrap(GL_CLAMP);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, columns, rows, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    setTextureFilter(GL_NEAREST);
}

}  // namespace

void resetRoom() { room = RoomState(); }

RadiositySurface* appendSurface(int columns, int rows, const Vec3& normal, const float extents[5],
                                RoomAxis columnAxis, const Vec3& initialColour) {
    auto owned = std::make_unique<RadiositySurface>();
    RadiositySurface& s = *owned;
    s.columns = columns;
    s.rows = rows;
    s.patchCount = static_cast<uint32_t>(columns * rows);
    s.columnAxis = static_cast<int>(columnAxis);
    s.rowAxis = rowAxisOf(columnAxis, normal);
    s.fixedAxis = 3 - s.columnAxis - s.rowAxis;
    s.columnStart = extents[0];
    s.columnEnd = extents[1];
    s.rowStart = extents[2];
    s.rowEnd = extents[3];
    s.fixed = extents[4];

    s.patches = std::make_unique<RadiosityPatch[]>(s.patchCount);
    const float columnStep = (s.columnEnd - s.columnStart) / static_cast<float>(columns);
    const float rowStep = (s.rowEnd - s.rowStart) / static_cast<float>(rows);
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < columns; ++j) {
            RadiosityPatch& p = s.patches[i * columns + j];
            p.emission = initialColour;
            p.radiosity = initialColour;
            p.normal = normal;
            setComponent(p.position, s.columnAxis, s.columnStart + (static_cast<float>(j) + 0.5f) * columnStep);
            setComponent(p.position, s.rowAxis, s.rowStart + (static_cast<float>(i) + 0.5f) * rowStep);
            setComponent(p.position, s.fixedAxis, s.fixed);
        }
    }

    if (room.tail)
        room.tail->next = &s;
    else
        room.head = &s;
    room.tail = &s;
    room.byNumber.push_back(std::move(owned));
    return &s;
}

RadiositySurface* surfaceByNumber(int n) {
    if (n < 1) return room.head;
    if (static_cast<size_t>(n) > room.byNumber.size()) return nullptr;
    return room.byNumber[static_cast<size_t>(n) - 1].get();
}

void buildRadiosityRoom(const GLuint patchIdentityNames[52], const GLuint surfaceIdentityNames[52]) {
    uint8_t surfaceTexels[kMaxSurfacePatches * 3];
    uint8_t patchTexels[kMaxSurfacePatches * 3];
    std::memset(surfaceTexels, 0, sizeof surfaceTexels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);  // rows of 4, 8 or 16 texels are whole words
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);

    for (int k = 1; k <= kRoomSurfaces; ++k) {
        const SurfaceRow& row = kRoomTable[k - 1];
        const int columnAxis = static_cast<int>(row.columnAxis);
        const Vec3 normal(row.nx, row.ny, row.nz);
        // Each value maps through the box on its own axis.
        const int rowAxis = rowAxisOf(row.columnAxis, normal);
        const int fixedAxis = 3 - columnAxis - rowAxis;
        const float extents[5] = {boxCoordinate(columnAxis, row.columnStart), boxCoordinate(columnAxis, row.columnEnd),
                                  boxCoordinate(rowAxis, row.rowStart), boxCoordinate(rowAxis, row.rowEnd),
                                  boxCoordinate(fixedAxis, row.fixed)};
        const Vec3 colour = k == kFirstLampSurface ? kFirstLamp : Vec3();
        RadiositySurface* s = appendSurface(row.columns, row.rows, normal, extents, row.columnAxis, colour);

        for (uint32_t p = 0; p < s->patchCount; ++p) {
            const uint32_t number = p + 1;
            patchTexels[p * 3] = static_cast<uint8_t>(number >> 16);
            patchTexels[p * 3 + 1] = static_cast<uint8_t>(number >> 8);
            patchTexels[p * 3 + 2] = static_cast<uint8_t>(number);
            surfaceTexels[p * 3] = static_cast<uint8_t>(k + 1);
        }
        uploadIdentity(patchIdentityNames[k - 1], s->columns, s->rows, patchTexels);
        uploadIdentity(surfaceIdentityNames[k - 1], s->columns, s->rows, surfaceTexels);
    }
}

void uploadJointIdentities(const GLuint names[52]) {
    uint8_t texels[kMaxSurfacePatches * 4];
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    int k = 1;
    for (RadiositySurface* s = room.head; s && k <= kRoomSurfaces; s = s->next, ++k) {
        for (uint32_t p = 0; p < s->patchCount && p < kMaxSurfacePatches; ++p) {
            const uint32_t number = p + 1;
            texels[p * 4] = static_cast<uint8_t>(number >> 16);
            texels[p * 4 + 1] = static_cast<uint8_t>(number >> 8);
            texels[p * 4 + 2] = static_cast<uint8_t>(number);
            texels[p * 4 + 3] = static_cast<uint8_t>(k + 1);
        }
        glBindTexture(GL_TEXTURE_2D, names[k - 1]);
        glState::textureEnvMode(GL_REPLACE);
        setTextureWrap(GL_CLAMP);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, s->columns, s->rows, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        setTextureFilter(GL_NEAREST);
    }
}

namespace {

// How far a lit surface reaches past its edges, in metres.
constexpr float kSeamOverlap = 0.002f;

// The four corners of a surface's quad, clockwise seen from inside the
// room, with their texture coordinates.
void surfaceQuad(const RadiositySurface& s, int surfaceNumber, RoomTexCoords coords, Vec3 corner[4], float tex[4][2]) {
    float s0 = 0, s1 = 1, t0 = 0, t1 = 1;
    // Light maps are drawn a quarter texel inside so the linear filter never
    // reaches the repeated opposite edge; the ceiling strips are not.
    if (coords == RoomTexCoords::LightMap && surfaceNumber > 3) {
        s0 = 1.0f / (4.0f * static_cast<float>(s.columns));
        s1 = 1.0f - s0;
        t0 = 1.0f / (4.0f * static_cast<float>(s.rows));
        t1 = 1.0f - t0;
    }
    // Corners as (column fraction, row fraction). Going columns-first is
    // counter-clockwise seen from the side columns x rows points to, so
    // flip to rows-first when that side is the room's.
    Vec3 u, v;
    setComponent(u, s.columnAxis, s.columnEnd - s.columnStart);
    setComponent(v, s.rowAxis, s.rowEnd - s.rowStart);
    const Vec3 normal = s.patches[0].normal;
    const bool rowsFirst = dot(cross(u, v), normal) > 0.0f;
    static const float columnsFirstOrder[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    static const float rowsFirstOrder[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    const float(*order)[2] = rowsFirst ? rowsFirstOrder : columnsFirstOrder;
    // Where two lit surfaces meet, the rasterizer can leave single pixels
    // that belong to neither along the seam, and what lies behind shows
    // through as dark dots. So each light-mapped surface reaches a couple of
    // millimetres past its edges, its light map carried on (within the map)
    // into the overlap; from inside the room the overlap is behind the
    // neighbouring surface. The identity pictures keep the exact edges.
    const bool overlap = coords == RoomTexCoords::LightMap;
    const float columnSpan = std::fabs(s.columnEnd - s.columnStart), rowSpan = std::fabs(s.rowEnd - s.rowStart);
    const float ms = overlap && columnSpan > 0 ? kSeamOverlap / columnSpan : 0.0f;
    const float mt = overlap && rowSpan > 0 ? kSeamOverlap / rowSpan : 0.0f;
    auto within = [](float x) { return x < 0.0f ? 0.0f : x > 1.0f ? 1.0f : x; };
    for (int c = 0; c < 4; ++c) {
        const float fs = order[c][0] == 0 ? -ms : 1.0f + ms, ft = order[c][1] == 0 ? -mt : 1.0f + mt;
        tex[c][0] = ms == 0 ? (fs == 0 ? s0 : s1) : within(s0 + (s1 - s0) * fs);
        tex[c][1] = mt == 0 ? (ft == 0 ? t0 : t1) : within(t0 + (t1 - t0) * ft);
        corner[c] = surfacePoint(s, fs, ft);
    }
}

// Sends the corners as one quad.
void sendQuad(const Vec3 corner[4], const float tex[4][2]) {
    glBegin(GL_QUADS);
    for (int c = 0; c < 4; ++c) {
        glTexCoord2f(tex[c][0], tex[c][1]);
        glVertex3f(corner[c].x, corner[c].y, corner[c].z);
    }
    glEnd();
}

}  // namespace

void drawSurfaceQuad(const RadiositySurface& s, int surfaceNumber, RoomTexCoords coords) {
    Vec3 corner[4];
    float tex[4][2];
    surfaceQuad(s, surfaceNumber, coords, corner, tex);
    sendQuad(corner, tex);
}

GLuint compileRoomList(const GLuint names[52], RoomTexCoords coords) {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glEnable(GL_TEXTURE_2D);
    int number = 1;
    for (RadiositySurface* s = room.head; s && number <= kRoomSurfaces; s = s->next, ++number) {
        glBindTexture(GL_TEXTURE_2D, names[number - 1]);
        drawSurfaceQuad(*s, number, coords);
    }
    glDisable(GL_TEXTURE_2D);
    glEndList();
    return list;
}

RoomDrawing compileRoomDrawing(const GLuint names[52], RoomTexCoords coords) {
    RoomDrawing d;
    d.whole = compileRoomList(names, coords);
    int count = 0;
    for (RadiositySurface* s = room.head; s && count < kRoomSurfaces; s = s->next) ++count;
    d.firstSurface = glGenLists(count);
    d.surfaces = count;
    int number = 1;
    for (RadiositySurface* s = room.head; s && number <= count; s = s->next, ++number) {
        Vec3 corner[4];
        float tex[4][2];
        surfaceQuad(*s, number, coords, corner, tex);
        glNewList(d.firstSurface + number - 1, GL_COMPILE);
        glBindTexture(GL_TEXTURE_2D, names[number - 1]);
        sendQuad(corner, tex);
        glEndList();
        for (const Vec3& c : corner) d.corners.insert(d.corners.end(), {c.x, c.y, c.z});
    }
    return d;
}
