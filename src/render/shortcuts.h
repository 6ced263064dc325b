// shortcuts.h - the drawing's shortcuts: work skipped or done in fewer
// passes where no pixel of the frame can tell (reflection pictures no
// visible face samples, geometry wholly off the screen, depth tests every
// fragment passes, two blended passes folded into one). Cleared, every
// frame is drawn the long way; the tests draw both ways and compare.
#pragma once

extern bool drawingShortcuts;
