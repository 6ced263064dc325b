// shortcuts.cpp - the switch for the drawing's shortcuts.
#include "render/shortcuts.h"

bool drawingShortcuts = true;
