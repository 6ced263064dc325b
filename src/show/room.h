// room.h - the soft-body room, the box from (-1, -1, -1) to (1, 1, 1): the
// walls the radiosity room is built on and the simulation's bounds.
#pragma once

#include "math/vec3.h"

inline const Vec3 kRoomMin{-1.0f, -1.0f, -1.0f};
inline const Vec3 kRoomMax{1.0f, 1.0f, 1.0f};
