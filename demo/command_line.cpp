// The command line's tail and the show command, as start-up captures them.
#include "demo/command_line.h"

namespace {
constexpr unsigned char kSpace = 0x20;
constexpr unsigned char kQuote = 0x22;

const unsigned char *SkipSpaces(const unsigned char *p) {
    while (*p == kSpace) ++p;
    return p;
}
}  // namespace

const char *SkipProgramName(const char *commandLine) {
    auto *p = reinterpret_cast<const unsigned char *>(commandLine);
    if (*p == kQuote) {
        ++p;
        while (*p != 0 && *p != kQuote) ++p;
        if (*p == 0) return reinterpret_cast<const char *>(p);  // never closed: the tail is empty
        p = SkipSpaces(p + 1);
    } else if (*p == kSpace) {
        p = SkipSpaces(p);
    } else if (*p != 0) {
        while (*p > kSpace) ++p;  // bytes 0x80 and up belong to the name
        if (*p == kSpace) p = SkipSpaces(p);
    }
    return reinterpret_cast<const char *>(p);
}

std::uint32_t ShowCommandOf(const STARTUPINFOA &info) {
    return (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : static_cast<std::uint32_t>(SW_SHOWDEFAULT);
}
