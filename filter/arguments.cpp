// Splitting the command line into arguments the way Windows programs do.
#include "filter/arguments.h"

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

const char *SkipBlanks(const char *p) {
    while (Blank(*p)) ++p;
    return p;
}

}  // namespace

const char *SkipProgramName(const char *commandLine) {
    const char *p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p != 0 && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p != 0 && !Blank(*p)) ++p;
    }
    return SkipBlanks(p);
}

ArgumentRead NextArgument(const char *&cursor, char *out, std::size_t capacity) {
    const char *p = SkipBlanks(cursor);
    if (*p == 0) {
        cursor = p;
        return ArgumentRead::End;
    }
    std::size_t length = 0;
    bool fits = true;
    auto put = [&](char c) {
        if (length + 1 < capacity) out[length++] = c;
        else fits = false;
    };
    bool quoted = false;
    while (*p != 0 && (quoted || !Blank(*p))) {
        std::size_t backslashes = 0;
        while (*p == '\\') ++p, ++backslashes;
        if (*p == '"') {
            for (std::size_t i = 0; i < backslashes / 2; ++i) put('\\');
            if (backslashes % 2 == 1) {
                put('"');
            } else if (quoted && p[1] == '"') {
                put('"');
                ++p;
            } else {
                quoted = !quoted;
            }
            ++p;
        } else {
            for (std::size_t i = 0; i < backslashes; ++i) put('\\');
            if (*p != 0 && (quoted || !Blank(*p))) put(*p++);
        }
    }
    out[length] = 0;
    cursor = p;
    return fits ? ArgumentRead::Got : ArgumentRead::TooLong;
}
