// The probe library on Windows links the C run-time, whose start-up calls
// DllMain for every loader notification; DllMain hands each to LibraryEntry.
#include "library/library_entry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    return LibraryEntry(module, reason, reserved);
}
