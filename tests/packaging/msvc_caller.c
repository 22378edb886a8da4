/* A caller built the way Microsoft's tools build one (clang for the MSVC
 * target, lld-link), with no run-time library, whose one import is VELMORIN
 * through velmorin.lib. */
#define VELMORIN_NO_STRING_ALLOCATOR  /* no Windows SDK here: VELMORIN alone */
#include "include/velmorin.h"

int __stdcall CallerEntry(void) {
    VelmorinString empty = 0;
    return VELMORIN(&empty) == 0 ? 0 : 1;
}
