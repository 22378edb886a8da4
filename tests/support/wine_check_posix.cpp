// On the stand-in there is no Wine.
#include "tests/support/wine_departures.h"

bool RunningOnWine() { return false; }
