// entry.h - the program's entry. On Windows the program enters through
// SDL's main, which hands main its arguments in UTF-8 whatever the system's
// code page, so a path in any language arrives whole; elsewhere main is the
// C runtime's as ever.
#pragma once

#ifdef _WIN32
#include <SDL_main.h>
#endif
