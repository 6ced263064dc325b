// The records that advancing moves, held against their field lists: a field
// added to a record and not to its list would be missed by the digest that
// proves seeks and drawing leave the state as it was.
#include <gtest/gtest.h>

#include "app/show_state.h"
#include "show/fields.h"

namespace {

template <class T>
void expectEveryFieldListed(const char* name) {
    EXPECT_EQ(fieldsListed(T{}), aggregateFields<T>()) << name;
}

}  // namespace

TEST(StateFields, EveryRecordListsEveryField) {
    expectEveryFieldListed<ShowClockState>("ShowClockState");
    expectEveryFieldListed<TimelineState>("TimelineState");
    expectEveryFieldListed<ShowFlags>("ShowFlags");
    expectEveryFieldListed<TickClock>("TickClock");
    expectEveryFieldListed<DriverState>("DriverState");
    expectEveryFieldListed<PhysicsState>("PhysicsState");
    expectEveryFieldListed<RandomState>("RandomState");
    expectEveryFieldListed<TracedBallState>("TracedBallState");
    expectEveryFieldListed<LandscapeMotion>("LandscapeMotion");
    expectEveryFieldListed<Particle>("Particle");
    expectEveryFieldListed<Spring>("Spring");
    expectEveryFieldListed<Collider>("Collider");
    // The counting itself: an array field counts by its elements.
    struct Probe {
        int a;
        float b[3];
        TickClock c;
    };
    EXPECT_EQ(aggregateFields<Probe>(), 5u);
}
