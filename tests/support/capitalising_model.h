// What VELMORIN makes of a text, stated plainly from its contract and from
// nothing in the library, for holding the library's walks and copies to.
#pragma once

#include <string>

namespace capitalising_model {

// A word starts at the start of the text and after each space byte (0x20),
// and nowhere else. A word's first byte is upper-cased only when it is one of
// a to z. The walk ends at the first zero byte; the bytes from there on are
// kept as they are, so the result is always as long as the text.
inline std::string CapitalisedWords(const std::string &text) {
    std::string result = text;
    bool wordStarts = true;
    for (char &c : result) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b == 0) break;
        if (wordStarts && b >= 'a' && b <= 'z') c = static_cast<char>(b - 'a' + 'A');
        wordStarts = b == ' ';
    }
    return result;
}

}  // namespace capitalising_model
