// The filter's arguments, read one at a time from the process's command line
// as Windows programs split it, so that one reading serves every target.
#pragma once

#include <cstddef>

enum class ArgumentRead { Got, End, TooLong };

// The position just past the program's name and the blanks after it. A
// quoted name ends at the next quote; the name takes no escapes.
const char *SkipProgramName(const char *commandLine);

// Copies the next argument into out (zero-terminated, at most capacity bytes
// with the zero) and moves cursor past it. Blanks (space, tab) separate;
// inside quotes they belong to the argument; 2n backslashes before a quote
// give n and the quote opens or closes, 2n+1 give n and a plain quote; ""
// inside quotes is a plain quote; other backslashes are themselves.
ArgumentRead NextArgument(const char *&cursor, char *out, std::size_t capacity);
