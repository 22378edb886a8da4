// The benchmarks' text, from a fixed-seed generator so that figures from
// different runs and machines are taken on the same bytes.
#include "bench/sample_text.h"

#include <cstdint>

namespace {

// splitmix64: small, fast, and the same everywhere.
struct Random {
    std::uint64_t state;
    std::uint64_t Next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }
};

// Roughly English letter frequencies, so that word starts are as mixed as
// in real text.
constexpr char kLetters[] = "eeeeeeeeeeeetttttttttaaaaaaaaooooooooiiiiiiinnnnnnnssssss"
                            "hhhhhhrrrrrrddddllllcccuuummmwwffggyyppbbvkjxqz";

void AppendWord(std::string &text, Random &random) {
    unsigned length = 1 + random.Below(12);
    unsigned kind = random.Below(100);
    for (unsigned i = 0; i < length; ++i) {
        char c = kLetters[random.Below(sizeof kLetters - 1)];
        if (i == 0 && kind < 8) c = static_cast<char>(c - 0x20);  // a capital already
        if (kind >= 8 && kind < 11) c = static_cast<char>('0' + random.Below(10));
        if (kind >= 11 && kind < 16 && random.Below(4) == 0) {
            // Two bytes of an accented letter in UTF-8, as a Latin text holds.
            text += static_cast<char>(0xC3);
            c = static_cast<char>(0xA0 + random.Below(0x1F));
        }
        text += c;
    }
    unsigned mark = random.Below(100);
    if (mark < 6) text += ',';
    else if (mark < 9) text += '.';
    else if (mark < 10) text += "!?;:"[random.Below(4)];
    else if (mark < 11) text += '-';
}

}  // namespace

std::string SampleText(std::size_t size) {
    std::string text;
    text.reserve(size + 32);
    Random random{20240611};
    while (text.size() < size) {
        AppendWord(text, random);
        text += ' ';
        if (random.Below(50) == 0) text += ' ';  // a doubled space now and then
    }
    text.resize(size);
    return text;
}
