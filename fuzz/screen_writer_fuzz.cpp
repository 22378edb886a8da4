// Fuzz target: WriteText and WriteLineEnd on screen buffers of any size from
// one cell to 300 x 300, from any cursor, in any colours, with any bytes, held
// cell by cell and after every operation to the plain grid model of the rules.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "demo/console.h"
#include "fuzz/fuzz_check.h"
#include "platform/windows.h"
#include "runtime/strings.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/error_probe.h"
#include "tests/support/screen_model.h"

namespace ca = counting_allocator;

namespace {

constexpr int kLargestSide = 300;
// Most screens are small, where the edges lie close together and runs are
// fast; one in four may be as large as the largest side.
constexpr int kSmallSide = 40;
// Grids up to this many cells are compared after every operation, larger
// ones once at the end, to keep the runs fast.
constexpr int kComparedEachTime = 4096;
// The longest text written at once, besides two rows more.
constexpr int kLongestText = 8192;

// One screen buffer for the whole run, resized for each input.
HANDLE Buffer() {
    static HANDLE buffer = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                     nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    return buffer;
}

// A buffer of the size asked, every cell different from its neighbours, so
// that a cell written, moved or blanked wrongly shows.
screen_model::Screen MakeScreen(int width, int height, unsigned seed) {
    HANDLE h = Buffer();
    FUZZ_CHECK(h != INVALID_HANDLE_VALUE, "no screen buffer: error %lu", static_cast<unsigned long>(GetLastError()));
    SMALL_RECT oneCell{0, 0, 0, 0};
    FUZZ_CHECK(SetConsoleWindowInfo(h, TRUE, &oneCell), "window not shrunk");
    FUZZ_CHECK(SetConsoleScreenBufferSize(h, COORD{static_cast<SHORT>(width), static_cast<SHORT>(height)}),
               "buffer not resized to %dx%d", width, height);
    screen_model::Screen model;
    model.width = width;
    model.height = height;
    std::vector<CHAR_INFO> cells(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            screen_model::Cell cell{static_cast<unsigned char>(x * 31 + y * 17 + seed),
                                    static_cast<std::uint16_t>((x + 3 * y + seed) & 0xFF)};
            model.cells.push_back(cell);
            CHAR_INFO &c = cells[static_cast<std::size_t>(y) * width + x];
            c.Char.UnicodeChar = cell.character;
            c.Attributes = cell.attribute;
        }
    SMALL_RECT all{0, 0, static_cast<SHORT>(width - 1), static_cast<SHORT>(height - 1)};
    FUZZ_CHECK(WriteConsoleOutputA(h, cells.data(), COORD{static_cast<SHORT>(width), static_cast<SHORT>(height)},
                                   COORD{0, 0}, &all),
               "buffer not painted");
    return model;
}

void CompareCursor(const screen_model::Screen &model, const char *after) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    FUZZ_CHECK(GetConsoleScreenBufferInfo(Console.screen, &info), "no buffer information");
    FUZZ_CHECK(info.dwCursorPosition.X == model.column && info.dwCursorPosition.Y == model.row,
               "after %s on %dx%d: cursor (%d,%d), the model has (%d,%d)", after, model.width, model.height,
               info.dwCursorPosition.X, info.dwCursorPosition.Y, model.column, model.row);
    FUZZ_CHECK(Console.pendingScroll == (model.scrollOwed ? kScrollOwed : kNoScrollOwed),
               "after %s: pending scroll %#x, the model %s", after, Console.pendingScroll,
               model.scrollOwed ? "owes one" : "owes none");
}

void CompareCells(screen_model::Screen &model, const char *after) {
    const int width = model.width;
    int rowsPerRead = 16384 / width > 0 ? 16384 / width : 1;
    if (rowsPerRead > model.height) rowsPerRead = model.height;
    std::vector<CHAR_INFO> cells(static_cast<std::size_t>(width) * rowsPerRead);
    for (int top = 0; top < model.height; top += rowsPerRead) {
        int rows = model.height - top < rowsPerRead ? model.height - top : rowsPerRead;
        SMALL_RECT region{0, static_cast<SHORT>(top), static_cast<SHORT>(width - 1), static_cast<SHORT>(top + rows - 1)};
        FUZZ_CHECK(ReadConsoleOutputA(Console.screen, cells.data(),
                                      COORD{static_cast<SHORT>(width), static_cast<SHORT>(rows)}, COORD{0, 0}, &region),
                   "cells not read back");
        for (int y = top; y < top + rows; ++y)
            for (int x = 0; x < width; ++x) {
                const CHAR_INFO &got = cells[static_cast<std::size_t>(y - top) * width + x];
                const screen_model::Cell &expected = model.At(x, y);
                FUZZ_CHECK(static_cast<unsigned char>(got.Char.AsciiChar) == expected.character &&
                               got.Attributes == expected.attribute,
                           "after %s on %dx%d: cell (%d,%d) holds %#x in %#x, the model %#x in %#x", after, width,
                           model.height, x, y, static_cast<unsigned char>(got.Char.AsciiChar), got.Attributes,
                           expected.character, expected.attribute);
            }
    }
}

// WriteText with the bytes on the temporary stack, owned or borrowed.
void Write(const std::string &bytes, bool borrowed) {
    Allocation a = AllocString(static_cast<std::uint32_t>(bytes.size()));
    CopyBytes(a.data, reinterpret_cast<const unsigned char *>(bytes.data()), a.count);
    CallFrame frame{};
    if (borrowed)
        PushBorrowed(frame, a.handle);
    else
        PushOwned(frame, a.handle);
    WriteText(frame);
    FUZZ_CHECK(frame.temporaryDepth == 0, "WriteText left %u temporaries", frame.temporaryDepth);
    FUZZ_CHECK(ca::Live() == (borrowed && a.handle != nullptr ? 1u : 0u), "%u strings live after WriteText",
               ca::Live());
    if (borrowed) FreeString(a.handle);
}

int Side(FuzzedDataProvider &in) {
    const bool large = in.ConsumeIntegralInRange<int>(0, 3) == 0;
    return in.ConsumeIntegralInRange<int>(1, large ? kLargestSide : kSmallSide);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    ca::Reset();
    error_probe::Reset();
    EmptyData = 0;
    Console.screen = Buffer();
    Console.pendingScroll = kNoScrollOwed;
    Console.foregroundColour = in.ConsumeIntegralInRange<std::uint32_t>(0, 15);
    Console.backgroundColour = in.ConsumeIntegralInRange<std::uint32_t>(0, 15);
    const int width = Side(in);
    const int height = Side(in);
    screen_model::Screen model = MakeScreen(width, height, in.ConsumeIntegral<std::uint8_t>());
    model.attribute = static_cast<std::uint16_t>(Console.backgroundColour * 16 + Console.foregroundColour);
    model.column = in.ConsumeIntegralInRange<int>(0, width - 1);
    model.row = in.ConsumeIntegralInRange<int>(0, height - 1);
    FUZZ_CHECK(SetConsoleCursorPosition(Console.screen, COORD{static_cast<SHORT>(model.column),
                                                              static_cast<SHORT>(model.row)}),
               "cursor not placed");
    const bool eachTime = width * height <= kComparedEachTime;

    for (int operations = 0; operations < 64 && in.remaining_bytes() > 0; ++operations) {
        const char *after = "WriteText";
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            WriteLineEnd();
            model.WriteLineEnd();
            after = "WriteLineEnd";
            break;
        case 1:
        case 2: {
            const bool borrowed = in.ConsumeBool();
            std::string text = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 2 * width + 2));
            Write(text, borrowed);
            model.WriteText(text);
            break;
        }
        default: {
            // A few bytes many times over: texts longer than the whole screen,
            // on all but the largest screens, where every row a text passes
            // below the last costs a scroll of the whole buffer.
            std::string piece = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(1, 8));
            if (piece.empty()) break;  // the input has run out
            const int longest = (width * height < kLongestText ? width * height : kLongestText) + 2 * width;
            const int most = longest / static_cast<int>(piece.size()) + 1;
            const int times = in.ConsumeIntegralInRange<int>(1, most);
            std::string text;
            for (int i = 0; i < times; ++i) text += piece;
            Write(text, false);
            model.WriteText(text);
            break;
        }
        }
        CompareCursor(model, after);
        if (eachTime) CompareCells(model, after);
    }
    CompareCells(model, "the last operation");
    FUZZ_CHECK(ca::Live() == 0 && ca::BadReleases() == 0, "strings leaked or released twice");
    FUZZ_CHECK(error_probe::Calls() == 0, "a run-time error while writing");
    return 0;
}
