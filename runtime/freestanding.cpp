// The memory primitives that the compiler may call on its own, for the
// Windows deliverables, which link no C run-time. Built with -ffreestanding
// so that these loops are not turned back into calls to themselves.
#include <cstddef>
#include <cstdint>

namespace {

// Sixteen bytes moved as one value: one SSE2 register where there is one,
// two or four word moves where there is not.
typedef unsigned char Chunk __attribute__((vector_size(16)));

}  // namespace

extern "C" {

// Copies from the front, loading each chunk before storing it, so that
// memmove may use it for a destination below its source. Not inlined there,
// which would only double its code.
__attribute__((noinline)) void *memcpy(void *to, const void *from, std::size_t count) {
    auto *d = static_cast<unsigned char *>(to);
    auto *s = static_cast<const unsigned char *>(from);
    for (; count >= sizeof(Chunk); count -= sizeof(Chunk), d += sizeof(Chunk), s += sizeof(Chunk)) {
        Chunk chunk;
        __builtin_memcpy(&chunk, s, sizeof chunk);  // a fixed size: inlined as one move
        __builtin_memcpy(d, &chunk, sizeof chunk);
    }
    // The last 0 to 15 bytes in at most four moves.
    for (std::size_t part = sizeof(Chunk) / 2; part != 0; part /= 2) {
        if ((count & part) == 0) continue;
        unsigned char bytes[sizeof(Chunk) / 2];
        __builtin_memcpy(bytes, s, part);
        __builtin_memcpy(d, bytes, part);
        d += part;
        s += part;
    }
    return to;
}

void *memmove(void *to, const void *from, std::size_t count) {
    auto *d = static_cast<unsigned char *>(to);
    auto *s = static_cast<const unsigned char *>(from);
    if (d <= s || d >= s + count) return memcpy(to, from, count);
    while (count--) d[count] = s[count];
    return to;
}

void *memset(void *to, int value, std::size_t count) {
    auto *d = static_cast<unsigned char *>(to);
    while (count--) *d++ = static_cast<unsigned char>(value);
    return to;
}

int memcmp(const void *a, const void *b, std::size_t count) {
    auto *x = static_cast<const unsigned char *>(a);
    auto *y = static_cast<const unsigned char *>(b);
    for (; count; --count, ++x, ++y)
        if (*x != *y) return *x < *y ? -1 : 1;
    return 0;
}
}
