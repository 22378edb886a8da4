// Backspace and the room of the terminal's input applied to the text typed ahead.
#include "platform/posix/terminal/typed_ahead.h"

namespace standin {

namespace {

bool IsLineEnd(const std::string &text) { return text == "\r" || text == "\n"; }

}  // namespace

std::string TextToGiveBack(const std::vector<QueuedText> &typed, std::uint64_t firstUnread, std::size_t room) {
    // Whole keys, so that Backspace and the cut take a character's bytes together.
    std::vector<const std::string *> keys;
    for (const QueuedText &t : typed) {
        if (t.record < firstUnread) continue;
        if (!t.text.empty())
            keys.push_back(&t.text);
        else if (!keys.empty() && !IsLineEnd(*keys.back()))
            keys.pop_back();
    }
    std::string bytes;
    for (const std::string *key : keys) {
        if (bytes.size() + key->size() > room) break;
        bytes += *key;
    }
    return bytes;
}

}  // namespace standin
