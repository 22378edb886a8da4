// Console key records back to the bytes an xterm-like terminal sends for the
// same keys: how the keys the program left unread go back to the terminal's
// input when the process ends, for whatever reads the terminal next.
#pragma once

#include <cstddef>
#include <string>

#include "platform/posix/win32_types.h"

namespace standin {

// The bytes of the key presses among the records, oldest first. Releases,
// modifier and lock keys alone, keys the console has no name for and events
// of other kinds have no bytes.
std::string EncodeKeys(const INPUT_RECORD *records, std::size_t count);

}  // namespace standin
