// On the stand-in there is no Wine, and the console is one without a terminal.
#include "platform/posix/standin_testing.h"
#include "tests/support/wine_departures.h"

// The conformance tests drive a console of their own, never the terminal of
// whoever runs them, and need one where the tests run without a terminal.
[[maybe_unused]] static const bool kHeadless = (StandinUseHeadlessConsole(), true);

bool RunningOnWine() { return false; }
