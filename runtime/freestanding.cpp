// The memory primitives that the compiler may call on its own, for the
// Windows deliverables, which link no C run-time. Built with -ffreestanding
// so that these loops are not turned back into calls to themselves.
#include <cstddef>
#include <cstdint>

extern "C" {

void *memcpy(void *to, const void *from, std::size_t count) {
    auto *d = static_cast<unsigned char *>(to);
    auto *s = static_cast<const unsigned char *>(from);
    for (; count >= sizeof(std::uintptr_t); count -= sizeof(std::uintptr_t)) {
        std::uintptr_t word;
        __builtin_memcpy(&word, s, sizeof word);  // a fixed size: inlined as one move
        __builtin_memcpy(d, &word, sizeof word);
        d += sizeof word;
        s += sizeof word;
    }
    while (count--) *d++ = *s++;
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
