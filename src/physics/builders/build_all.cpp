// build_all.cpp - every soft body of the show, built in start-up order.
#include "physics/bodies.h"
#include "physics/builders/builders.h"
#include "physics/drivers.h"
#include "physics/simulation.h"

void buildShowBodies() {
    // Order fixes the random draws and leaves the finale grid's first row in
    // the anchor row that the turning sheet follows.
    showBodies.hangingBaubles = buildHangingBaubles();
    showBodies.drivenBaubles = buildDrivenBaubles();
    showBodies.single1 = buildSingle1();
    showBodies.single2 = buildSingle2();
    showBodies.finaleBody = buildFinaleBody();
    buildTablecloth(showBodies.tableLeft, showBodies.tableRight);
    buildIntroCloth(showBodies.introCloth);
    buildFinaleCloth(showBodies.finaleCloth);
    showBodies.built = true;
}

void resetShowPhysics() {
    showBodies = ShowBodies();
    releaseAllRecords();
    resetPhysicsState();
    resetDriverState();
}
