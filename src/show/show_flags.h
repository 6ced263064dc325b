// show_flags.h - the few values the schedule sets and the simulation and the
// drawing read: whether the body scenes have begun, the finale lamp's glow
// and its ramp kick, and when the finale starts. The timeline decides when
// they change; they live here so that what reads them need not know it.
#pragma once

#include <cstdint>

struct ShowFlags {
    uint32_t finaleStart = 0;           // set by the closing pictures
    uint8_t bodyScenesStarted = 0;      // set once the body scenes begin
    uint8_t flashFlag = 1;              // lamp glow on in the finale
    uint8_t rampFlag = 0;               // the finale figure's ramp kick
};
extern ShowFlags showFlags;
template <class Visit>
void forEachField(const ShowFlags& f, Visit&& visit) {
    visit(f.finaleStart);
    visit(f.bodyScenesStarted);
    visit(f.flashFlag);
    visit(f.rampFlag);
}
