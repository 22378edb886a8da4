// The text typed ahead that nothing read, as it goes back to the terminal's
// input at exit: a pure function of the keys' text and what the program read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// The text of one key typed at the terminal, by the number of its press in
// the console input (see TypedText: an empty text is Backspace).
struct QueuedText {
    std::uint64_t record;
    std::string text;
};

// What a terminal's input queue holds at most: the kernel's line discipline
// keeps 4,096 bytes and one of them free.
constexpr std::size_t kTerminalInputRoom = 4095;

// The bytes to give back, oldest first: the text of every key numbered
// firstUnread or later, with each Backspace taking back the key before it
// (never past a line end, which the reader has already taken), and at most
// room bytes, cut between keys so that no character is split.
std::string TextToGiveBack(const std::vector<QueuedText> &typed, std::uint64_t firstUnread, std::size_t room);

}  // namespace standin
