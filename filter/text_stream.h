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

    // Where the next piece's bytes are to be put, kPieceMax of them at most;
    // null when there is no memory for it.
    unsigned char *PieceBuffer();

    // Capitalises the piece of length bytes in PieceBuffer(). Returns the
    // bytes to write, length of them, or null when memory ran out.
    const unsigned char *Capitalise(std::uint32_t length);

    // Releases what the last Capitalise returned.
    void Release();

private:
    // A string of the allocator, 1 + kPieceMax bytes long: the byte before
    // the piece, then the piece, read straight into it. Kept from piece to
    // piece, so that a full piece costs the allocator one string, VELMORIN's.
    unsigned char *whole_ = nullptr;
    unsigned char *result_ = nullptr;  // a string of the allocator, or null
    bool passing_ = false;             // a zero byte was seen: the rest passes as it is
};
