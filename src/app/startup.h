// startup.h - everything the show needs, built once before the first frame,
// in one fixed order: the random draws and texture names of later steps
// depend on what the earlier ones took. Ends by starting the music and the
// show clock together.
#pragma once

// Runs the whole start-up load with the main context current.
void loadShow();
