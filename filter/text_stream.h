// The whole input as one text, capitalised piece by piece: each piece is
// given to VELMORIN with the byte before it in front, so that a word starts
// after a space across the pieces' edges exactly as in one call, and after
// the first zero byte every byte passes unchanged.
#pragma once

#include <cstdint>

class TextStream {
public:
    // The most bytes one piece may have.
    static constexpr std::uint32_t kPieceMax = 64 * 1024;

    // Where the next piece's bytes are to be put, kPieceMax of them at most.
    unsigned char *PieceBuffer() { return buffer_ + 1; }

    // Capitalises the piece of length bytes in PieceBuffer(). Returns the
    // bytes to write, length of them, or null when memory ran out.
    const unsigned char *Capitalise(std::uint32_t length);

    // Releases what the last Capitalise returned.
    void Release();

private:
    // The byte before the piece, then the piece. Before the first piece the
    // byte is a space: the text's first byte starts a word. (Zero until then,
    // so that the buffer takes no room in the program file.)
    unsigned char buffer_[1 + kPieceMax] = {};
    unsigned char *result_ = nullptr;  // a string of the allocator, or null
    bool started_ = false;
    bool passing_ = false;             // a zero byte was seen: the rest passes as it is
};
