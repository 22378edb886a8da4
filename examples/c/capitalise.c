/* Prints each argument with the first letter of every word capitalised by
 * VELMORIN, one a line; "dit is een zin." when there is none. */
#include <stdio.h>
#include <string.h>

#include <velmorin.h>

#include "byte_strings.h"

/* A string's byte count is the 32-bit number in the four bytes before its
 * data; the empty string is a null pointer. */
static unsigned StringLength(VelmorinString string) {
    unsigned length = 0;
    if (string) memcpy(&length, string - 4, 4);
    return length;
}

static int PrintCapitalised(const char *text) {
    unsigned length = (unsigned)strlen(text);
    VelmorinString argument = NewString(text, length);
    if (length > 0 && !argument) {
        fputs("capitalise: out of memory\n", stderr);
        return 1;
    }
    /* VELMORIN reads the string the cell holds and returns a new one, which
     * is ours to release; the argument stays ours as well. */
    VelmorinString result = VELMORIN(&argument);
    FreeString(argument);
    if (length > 0 && !result) {
        fputs("capitalise: out of memory\n", stderr);
        return 1;
    }
    fwrite(result, 1, StringLength(result), stdout);
    putchar('\n');
    FreeString(result);
    return 0;
}

int main(int argc, char **argv) {
    if (argc < 2) return PrintCapitalised("dit is een zin.");
    for (int i = 1; i < argc; i++) {
        if (PrintCapitalised(argv[i]) != 0) return 1;
    }
    return 0;
}
