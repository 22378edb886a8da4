// The terminal as a mirror of the active screen buffer: the frame a terminal
// of a given size should show, and the bytes that take the terminal from the
// frame it shows to the next one. Pure: it writes nothing itself.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/screen/screen_buffer.h"

namespace standin {

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<CHAR_INFO> cells;  // row-major, width x height
    int cursorX = 0;               // always inside the frame
    int cursorY = 0;
    bool cursorVisible = false;
};

// The buffer's window drawn from the terminal's top left, clipped to the
// terminal; terminal cells beyond the window are blank. The cursor shows only
// when it is visible and inside what is drawn.
Frame ComposeFrame(const ScreenBuffer &buffer, int columns, int rows);

class TerminalMirror {
public:
    // Forget what the terminal shows, so that the next update redraws it all.
    void Invalidate() { known_ = false; }
    // The bytes that make the terminal show the frame, or nothing when it
    // already does. Only changed cells are drawn, and a hidden cursor is not
    // moved until it shows again or the terminal is handed back.
    std::string Update(const Frame &frame);
    // Whether anything was ever drawn; then the terminal must be handed back.
    bool Started() const { return started_; }
    // The bytes that hand the terminal back: the cursor where the buffer has
    // it, plain colours, line wrap and a visible cursor.
    std::string HandBack() const;

private:
    bool Bridge(const Frame &frame, int x, int y, std::size_t jumpCost, std::string &out) const;

    Frame shown_;
    bool known_ = false;
    bool started_ = false;
    int pen_ = -1;                  // attribute the terminal draws with; -1 unknown
    int atX_ = -1, atY_ = -1;       // the terminal's cursor; -1 unknown
    int visible_ = -1;              // the terminal's cursor shown; -1 unknown
};

// The escape sequences, shared with the tests.
std::string CursorTo(int x, int y);     // 0-based
std::string PenFor(WORD attribute);     // the terminal's 16 colours, reverse and underline

}  // namespace standin
