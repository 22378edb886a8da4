// Capitalising the input one piece at a time as if it were one string.
#define VELMORIN_NO_STRING_ALLOCATOR
#include "filter/text_stream.h"

#include "include/velmorin.h"
#include "platform/windows.h"

const unsigned char *TextStream::Capitalise(std::uint32_t length) {
    Release();
    unsigned char *piece = buffer_ + 1;
    if (length == 0 || passing_) return piece;
    if (!started_) {
        buffer_[0] = ' ';
        started_ = true;
    }
    for (std::uint32_t i = 0; i < length; ++i) {
        if (piece[i] == 0) {
            passing_ = true;
            break;
        }
    }
    // The argument holds the byte before the piece: VELMORIN then starts a
    // word at the piece's first byte exactly when that byte is a space.
    BSTR text = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(buffer_), length + 1);
    if (text == nullptr) return nullptr;
    VelmorinString argument = reinterpret_cast<VelmorinString>(text);
    result_ = VELMORIN(&argument);
    SysFreeString(text);
    if (result_ == nullptr) return nullptr;
    buffer_[0] = piece[length - 1];
    return result_ + 1;
}

void TextStream::Release() {
    SysFreeString(reinterpret_cast<BSTR>(result_));
    result_ = nullptr;
}
