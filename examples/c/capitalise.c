/* Prints each argument with the first letter of every word capitalised by
 * VELMORIN, one a line; "dit is een zin." when there is none.
 * The same source builds on Windows and on Linux. */
#include <stdio.h>
#include <string.h>

#include <velmorin.h> /* VELMORIN, and SysAllocStringByteLen & co. */

static int PrintCapitalised(const char *bytes) {
    UINT length = (UINT)strlen(bytes);
    /* The argument: a counted string from the system's allocator, in a
     * variable whose address VELMORIN gets. Zero bytes make the empty
     * string, which is the null pointer. */
    VelmorinString text = length ? (VelmorinString)SysAllocStringByteLen(bytes, length) : NULL;
    if (length && !text) return fputs("capitalise: out of memory\n", stderr), 1;

    VelmorinString result = VELMORIN(&text); /* note the & */
    SysFreeString((BSTR)text);               /* the argument is still ours */
    if (length && !result) return fputs("capitalise: out of memory\n", stderr), 1;

    /* The count, not strlen: a result may hold zero bytes. */
    fwrite(result, 1, SysStringByteLen((BSTR)result), stdout);
    putchar('\n');
    SysFreeString((BSTR)result); /* the result is ours too */
    return 0;
}

int main(int argc, char **argv) {
    if (argc < 2) return PrintCapitalised("dit is een zin.");
    for (int i = 1; i < argc; i++) {
        if (PrintCapitalised(argv[i]) != 0) return 1;
    }
    return 0;
}
