// Frames of the active buffer and the escape sequences that draw them.
#include "platform/posix/terminal/terminal_mirror.h"

#include <algorithm>

#include "platform/posix/screen/cp437.h"

namespace standin {
namespace {

constexpr WORD kShownAttributeBits = 0x00FF | COMMON_LVB_REVERSE_VIDEO | COMMON_LVB_UNDERSCORE;
const char kHideCursor[] = "\x1b[?25l";
const char kShowCursor[] = "\x1b[?25h";
const char kNoWrap[] = "\x1b[?7l";  // so the last cell of the last row never scrolls
const char kWrap[] = "\x1b[?7h";
const char kPlainPen[] = "\x1b[0m";
constexpr WORD kDefaultPair = 0x07;

// The console's colour bits are blue, green, red; the terminal's red, green, blue.
int AnsiColour(int bgr) { return ((bgr & 4) >> 2) | (bgr & 2) | ((bgr & 1) << 2); }

bool SameCell(const CHAR_INFO &a, const CHAR_INFO &b) {
    return a.Char.UnicodeChar == b.Char.UnicodeChar &&
           (a.Attributes & kShownAttributeBits) == (b.Attributes & kShownAttributeBits);
}

}  // namespace

std::string CursorTo(int x, int y) {
    return "\x1b[" + std::to_string(y + 1) + ";" + std::to_string(x + 1) + "H";
}

std::string PenFor(WORD attribute) {
    // The console's default pair, light grey on black, is the terminal's own
    // default colours, as Windows Terminal draws it: on a light terminal the
    // cleared screen stays light, and the user's later output on cells the
    // console drew keeps the terminal's colours.
    if ((attribute & 0xFF) == kDefaultPair) {
        std::string pen = "\x1b[0";
        if (attribute & COMMON_LVB_REVERSE_VIDEO) pen += ";7";
        if (attribute & COMMON_LVB_UNDERSCORE) pen += ";4";
        return pen + "m";
    }
    int foreground = (attribute & FOREGROUND_INTENSITY ? 90 : 30) + AnsiColour(attribute & 7);
    int background = (attribute & BACKGROUND_INTENSITY ? 100 : 40) + AnsiColour((attribute >> 4) & 7);
    std::string pen = "\x1b[0;" + std::to_string(foreground) + ";" + std::to_string(background);
    if (attribute & COMMON_LVB_REVERSE_VIDEO) pen += ";7";
    if (attribute & COMMON_LVB_UNDERSCORE) pen += ";4";
    return pen + "m";
}

Frame ComposeFrame(const ScreenBuffer &buffer, int columns, int rows) {
    Frame frame;
    frame.width = std::max(columns, 1);
    frame.height = std::max(rows, 1);
    frame.cells.assign(static_cast<std::size_t>(frame.width) * frame.height, MakeCell(' ', 0x07));
    const SMALL_RECT &w = buffer.window;
    int drawnWidth = std::min(frame.width, w.Right - w.Left + 1);
    int drawnHeight = std::min(frame.height, w.Bottom - w.Top + 1);
    for (int y = 0; y < drawnHeight; ++y)
        std::copy_n(&buffer.At(w.Left, w.Top + y), drawnWidth, &frame.cells[static_cast<std::size_t>(y) * frame.width]);
    int x = buffer.cursor.X - w.Left, y = buffer.cursor.Y - w.Top;
    frame.cursorVisible = buffer.cursorInfo.bVisible && x >= 0 && y >= 0 && x < drawnWidth && y < drawnHeight;
    frame.cursorX = std::clamp(x, 0, frame.width - 1);
    frame.cursorY = std::clamp(y, 0, frame.height - 1);
    return frame;
}

// A short gap of unchanged cells in the pen in use is cheaper to draw again
// than to jump over: "Dit Is" rewrites its space instead of moving the cursor.
bool TerminalMirror::Bridge(const Frame &frame, int x, int y, std::size_t jumpCost, std::string &out) const {
    if (atY_ != y || atX_ < 0 || atX_ >= x) return false;
    std::string gap;
    for (int i = atX_; i < x; ++i) {
        const CHAR_INFO &cell = frame.cells[static_cast<std::size_t>(y) * frame.width + i];
        if ((cell.Attributes & kShownAttributeBits) != pen_) return false;
        char glyph[4];
        gap.append(glyph, AppendGlyphUtf8(static_cast<unsigned char>(cell.Char.UnicodeChar), glyph));
        if (gap.size() > jumpCost) return false;
    }
    out += gap;
    return true;
}

std::string TerminalMirror::Update(const Frame &frame) {
    std::string out;
    bool redraw = !known_ || shown_.width != frame.width || shown_.height != frame.height;
    if (redraw) {
        // A terminal of another size may have moved or wrapped anything.
        out += kNoWrap;
        pen_ = atX_ = atY_ = visible_ = -1;
    }
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const CHAR_INFO &cell = frame.cells[static_cast<std::size_t>(y) * frame.width + x];
            if (!redraw && SameCell(cell, shown_.cells[static_cast<std::size_t>(y) * frame.width + x])) continue;
            if (visible_ != 0) {
                out += kHideCursor;  // no flicker of a cursor racing across the screen
                visible_ = 0;
            }
            if (atX_ != x || atY_ != y) {
                std::string move = CursorTo(x, y);
                if (!Bridge(frame, x, y, move.size(), out)) out += move;
            }
            int attribute = cell.Attributes & kShownAttributeBits;
            if (pen_ != attribute) {
                out += PenFor(static_cast<WORD>(attribute));
                pen_ = attribute;
            }
            char glyph[4];
            out.append(glyph, AppendGlyphUtf8(static_cast<unsigned char>(cell.Char.UnicodeChar), glyph));
            atX_ = x + 1 < frame.width ? x + 1 : -1;  // the last column leaves the cursor unsure
            atY_ = y;
        }
    }
    if (frame.cursorVisible) {
        if (atX_ != frame.cursorX || atY_ != frame.cursorY) out += CursorTo(frame.cursorX, frame.cursorY);
        atX_ = frame.cursorX;
        atY_ = frame.cursorY;
        if (visible_ != 1) out += kShowCursor;
        visible_ = 1;
    } else if (visible_ != 0) {
        out += kHideCursor;
        visible_ = 0;
    }
    shown_ = frame;
    known_ = true;
    started_ = started_ || !out.empty();
    return out;
}

std::string TerminalMirror::HandBack() const {
    std::string out;
    if (!started_) return out;
    if (known_ && (atX_ != shown_.cursorX || atY_ != shown_.cursorY)) out += CursorTo(shown_.cursorX, shown_.cursorY);
    out += kPlainPen;
    out += kWrap;
    out += kShowCursor;
    return out;
}

}  // namespace standin
