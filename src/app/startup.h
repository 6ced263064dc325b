// startup.h - everything the show needs, built once before the first frame,
// in one fixed order: the random draws and texture names of later steps
// depend on what the earlier ones took. Ends by starting the music and the
// show clock together.
#pragma once

// Runs the whole start-up load with the main context current. With
// drawEveryWay, the load ends by drawing every scene once, unseen, so the
// software rasterizer has built its code for all of them before the first
// frame; the show's state is left exactly as without it.
void loadShow(bool drawEveryWay = true);
// That drawing on its own: each scene advanced to from the state at hand,
// drawn unseen, then the state put back as it was.
void drawEveryWayOnce();
