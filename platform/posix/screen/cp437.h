// How the console shows a cell's byte: the glyph of code page 437, the
// default OEM code page of Windows consoles, as Unicode for the terminal, and
// the UTF-8 the terminal takes Unicode in.
#pragma once

#include <cstdint>

namespace standin {

// The code point shown for the byte. Control bytes have glyphs of their own
// (7 is a bullet, 13 a note); byte 0 is shown as a blank.
char32_t Cp437Glyph(unsigned char byte);

// Writes the UTF-8 form of a code point to out; returns the number of bytes
// (1 to 4).
int AppendUtf8(char32_t codePoint, char *out);

// Writes the UTF-8 form of the byte's glyph; returns the number of bytes (1 to 3).
int AppendGlyphUtf8(unsigned char byte, char *out);

}  // namespace standin
