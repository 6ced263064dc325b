// show_flags.cpp - the schedule's flags, at their values at load.
#include "show/show_flags.h"

ShowFlags showFlags;
