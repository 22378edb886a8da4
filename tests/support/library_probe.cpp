// A test build of the library that the system loader loads for real: the same
// sources, the counting allocator, and a few exports to look inside.
#define VELMORIN_BUILDING
#include "include/velmorin.h"
#include "library/library_entry.h"
#include "library/thread_records.h"
#include "runtime/startup.h"
#include "runtime/strings.h"
#include "tests/support/counting_allocator.h"

// PROBE_EXPORT comes from the build files: dllexport or default visibility.
extern "C" {

PROBE_EXPORT VelmorinString ProbeVelmorin(const VelmorinString *text) { return VELMORIN(text); }
// Releases a result through the library's own seam, so the count stays true.
PROBE_EXPORT void ProbeFreeString(VelmorinString string) { FreeString(string); }
PROBE_EXPORT void ProbeFailAllocations(bool fail) { counting_allocator::FailAll(fail); }
PROBE_EXPORT unsigned ProbeLiveStrings() { return counting_allocator::Live(); }
PROBE_EXPORT const LibraryStartup *ProbeStartup() { return &LibraryStart; }
PROBE_EXPORT ThreadRecord *ProbeThreadRecord() {
    return static_cast<ThreadRecord *>(TlsGetValue(LibraryStart.threadSlot));
}
}
