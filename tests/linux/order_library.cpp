// A library whose entry point only notes the thread notifications it gets,
// for the loader's order test. Built twice, as the libraries 'F' and 'S':
// the first keeps the notes of both and exports them; the second depends on
// the first, so the loader attaches it after the first.
#include <cstring>

#include "platform/windows.h"

extern "C" {

#ifdef ORDER_FIRST
namespace {
char notes[64];
std::size_t noted = 0;
}  // namespace

// Called under the loader lock, one notification at a time.
PROBE_EXPORT void OrderNote(char library, DWORD reason) {
    if (reason != DLL_THREAD_ATTACH && reason != DLL_THREAD_DETACH) return;
    if (noted + 2 >= sizeof notes) return;
    notes[noted++] = library;
    notes[noted++] = static_cast<char>('0' + reason);
}

// The notes since the last clearing: a library's letter and the reason, for
// each notification.
PROBE_EXPORT const char *OrderNotes() { return notes; }
PROBE_EXPORT void OrderClearNotes() {
    std::memset(notes, 0, sizeof notes);
    noted = 0;
}
#else
void OrderNote(char library, DWORD reason);
#endif

// Each library's own: the loader glue linked into it must find this one.
__attribute__((visibility("hidden"))) BOOL WINAPI LibraryEntry(HINSTANCE, DWORD reason, LPVOID) {
    OrderNote(ORDER_NAME, reason);
    return TRUE;
}
}
