// Capitalises the whole of standard input as one byte string with VELMORIN
// and writes it to standard output; zero bytes and line ends included.
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include <velmorin.h>  // extern "C" inside: included as it is
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

// Each string has one owner, which releases it once, with SysFreeString.
struct FreeString {
    void operator()(unsigned char *s) const { SysFreeString(reinterpret_cast<BSTR>(s)); }
};
using String = std::unique_ptr<unsigned char, FreeString>;

std::string Capitalise(const std::string &bytes) {
    if (bytes.empty()) return std::string();  // the empty string: nothing to call
    auto length = static_cast<UINT>(bytes.size());
    String argument(reinterpret_cast<VelmorinString>(SysAllocStringByteLen(bytes.data(), length)));
    if (!argument) throw std::bad_alloc();
    VelmorinString cell = argument.get();  // VELMORIN takes the cell's address
    String result(VELMORIN(&cell));
    if (!result) throw std::bad_alloc();  // non-empty in, null out: out of memory
    // The count, not strlen: the bytes after a zero byte belong to the result.
    UINT count = SysStringByteLen(reinterpret_cast<BSTR>(result.get()));
    return std::string(reinterpret_cast<const char *>(result.get()), count);
}

int main() {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);  // bytes as they are, no CR LF
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::string input;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) input.append(buffer, n);
    try {
        std::string output = Capitalise(input);
        std::fwrite(output.data(), 1, output.size(), stdout);
    } catch (const std::bad_alloc &) {
        std::fputs("capitalise: out of memory\n", stderr);
        return 1;
    }
    return 0;
}
