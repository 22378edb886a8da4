// Capitalising the input one piece at a time as if it were one string.
#define VELMORIN_NO_STRING_ALLOCATOR
#include "filter/text_stream.h"

#include "include/velmorin.h"
#include "platform/windows.h"

namespace {

// Whether the bytes hold a zero byte, eight at a time.
bool HasZero(const unsigned char *bytes, std::uint32_t length) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
    std::uint32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        __builtin_memcpy(&word, bytes + i, sizeof word);
        if ((word - kOnes) & ~word & kHighs) return true;
    }
    for (; i < length; ++i)
        if (bytes[i] == 0) return true;
    return false;
}

}  // namespace

unsigned char *TextStream::PieceBuffer() {
    if (whole_ == nullptr) {
        whole_ = reinterpret_cast<unsigned char *>(SysAllocStringByteLen(nullptr, 1 + kPieceMax));
        if (whole_ == nullptr) return nullptr;
        whole_[0] = ' ';  // the text's first byte starts a word
    }
    return whole_ + 1;
}

const unsigned char *TextStream::Capitalise(std::uint32_t length) {
    Release();
    unsigned char *piece = whole_ + 1;
    if (length == 0 || passing_) return piece;
    passing_ = HasZero(piece, length);
    // The argument holds the byte before the piece: VELMORIN then starts a
    // word at the piece's first byte exactly when that byte is a space. A
    // short piece needs a string of its own length.
    VelmorinString argument = whole_;
    if (length < kPieceMax) {
        argument = reinterpret_cast<VelmorinString>(
            SysAllocStringByteLen(reinterpret_cast<LPCSTR>(whole_), length + 1));
        if (argument == nullptr) return nullptr;
    }
    result_ = VELMORIN(&argument);
    if (argument != whole_) SysFreeString(reinterpret_cast<BSTR>(argument));
    if (result_ == nullptr) return nullptr;
    whole_[0] = piece[length - 1];
    return result_ + 1;
}

void TextStream::Release() {
    SysFreeString(reinterpret_cast<BSTR>(result_));
    result_ = nullptr;
}
