// Measuring and splitting what a terminal sends, before it is given a meaning.
#include "platform/posix/keys/escape_sequence.h"

namespace standin {

std::size_t Utf8Character(const unsigned char *b, std::size_t n, bool final, std::uint32_t &codePoint) {
    unsigned char lead = b[0];
    std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4 : 1;
    codePoint = lead;
    if (length == 1) return 1;
    std::uint32_t cp = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= n) return final ? 1 : 0;
        unsigned char c = b[i];
        bool ok = (c & 0xC0) == 0x80;
        if (i == 1 && lead == 0xE0) ok = ok && c >= 0xA0;  // overlong
        if (i == 1 && lead == 0xED) ok = ok && c < 0xA0;   // surrogate
        if (i == 1 && lead == 0xF0) ok = ok && c >= 0x90;  // overlong
        if (i == 1 && lead == 0xF4) ok = ok && c < 0x90;   // past U+10FFFF
        if (!ok) return 1;
        cp = cp << 6 | (c & 0x3F);
    }
    codePoint = cp;
    return length;
}

Params ParseParams(const unsigned char *p, std::size_t n) {
    Params r;
    int f = 0, part = 0;
    r.fields = n > 0 ? 1 : 0;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = p[i];
        if (c == ';') {
            ++f;
            part = 0;
            ++r.fields;
        } else if (c == ':') {
            ++part;
        } else if (c >= '0' && c <= '9' && f < Params::kFields && part < Params::kFields) {
            std::uint32_t &v = r.value[f][part];
            if (v < 100000000) v = v * 10 + (c - '0');  // larger numbers name nothing anyway
            r.present[f][part] = true;
        }
    }
    return r;
}

unsigned ModifierBits(const Params &p, int field) {
    std::uint32_t m = p.Get(field, 0, 1);
    return m >= 1 ? (m - 1) & 0xFF : 0;
}

Shape MeasureSequence(const unsigned char *b, std::size_t n, std::size_t start, bool allowMarker) {
    Shape s{Shape::Incomplete, 0, 0, start, start, false, 0};
    std::size_t i = start;
    if (allowMarker && i < n && b[i] >= '<' && b[i] <= '?') s.marker = b[i++];
    s.paramsStart = i;
    while (i < n && b[i] >= 0x30 && b[i] <= 0x3F) ++i;
    s.paramsEnd = i;
    while (i < n && b[i] >= 0x20 && b[i] <= 0x2F) {
        s.intermediates = true;
        ++i;
    }
    if (i >= kLongestSequence) {
        s.status = Shape::Malformed;
    } else if (i < n) {
        s.status = b[i] >= 0x40 && b[i] <= 0x7E ? Shape::Complete : Shape::Malformed;
        s.finalByte = b[i];
        s.length = i + 1;
    }
    return s;
}

}  // namespace standin
