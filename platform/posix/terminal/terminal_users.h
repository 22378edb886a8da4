// The programs on the stand-in that share one terminal (`demo | demo`): the
// user's settings as the first of them found them, kept for all, so that the
// last one to leave puts those back, whichever that is.
#pragma once

#include <termios.h>

namespace standin {

// Joins the terminal's users. Fills settings with the user's own: the
// terminal's current ones for the first user, else those the first found.
// False when no record can be kept: the caller then goes by its own find.
bool JoinTerminalUsers(int terminalFd, struct termios &settings);
// Leaves for good, and puts settings back on the terminal when no other
// user remains (or none was recorded). Async-signal-safe.
void LeaveTerminalUsers(int terminalFd, const struct termios &settings);

}  // namespace standin
