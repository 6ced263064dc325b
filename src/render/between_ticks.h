// between_ticks.h - the soft bodies drawn where they are at the frame's
// time. The physics ticks every 60 ms; the show draws up to 120 pictures a
// second. While a frame is drawn, every particle stands between where it
// stood before its body's last tick and where that tick left it, by how far
// the body's tick clock has run towards the next tick; the scene's spheres
// stand, and are lit, at their colliders' places so found. Afterwards every
// place is put back bit for bit: advancing never sees a drawn one.
#pragma once

#include "physics/drivers.h"
#include "show/schedule.h"

// How far a tick clock has run towards its next tick: 0 just after a tick,
// 1 when one is due (or a backlog is being worked off).
float tickFraction(const TickClock& clock);

// For the length of one frame's drawing; nothing where the drawing's
// choices say to draw the bodies as the ticks land.
class PlacesBetweenTicks {
public:
    explicit PlacesBetweenTicks(SceneWindow window);
    ~PlacesBetweenTicks();
    PlacesBetweenTicks(const PlacesBetweenTicks&) = delete;
    PlacesBetweenTicks& operator=(const PlacesBetweenTicks&) = delete;

private:
    bool active_ = false;
};
