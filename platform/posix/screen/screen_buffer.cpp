// The screen buffer's cell operations, with the clipping rules of the
// Windows console host.
#include "platform/posix/screen/screen_buffer.h"

#include <algorithm>
#include <new>

namespace standin {
namespace {

struct Rect {
    int left, top, right, bottom;
    bool Empty() const { return left > right || top > bottom; }
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
    bool Holds(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

Rect RectOf(const SMALL_RECT &r) { return Rect{r.Left, r.Top, r.Right, r.Bottom}; }

Rect Intersect(const Rect &a, const Rect &b) {
    return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

Rect Whole(const ScreenBuffer &buffer) { return Rect{0, 0, buffer.width - 1, buffer.height - 1}; }

SMALL_RECT SmallRect(const Rect &r) {
    return SMALL_RECT{static_cast<SHORT>(r.left), static_cast<SHORT>(r.top), static_cast<SHORT>(r.right),
                      static_cast<SHORT>(r.bottom)};
}

// The ANSI forms take only the low byte of a cell's character.
CHAR_INFO Stored(const CHAR_INFO &given) {
    return MakeCell(static_cast<unsigned char>(given.Char.AsciiChar), given.Attributes);
}

bool SizeAllowed(long long width, long long height) {
    return width >= 1 && height >= 1 && width <= kLargestSide && height <= kLargestSide;
}

// Where a trimmed block lands on the screen, and where its first cell on the
// screen comes from in the caller's array.
struct Placement {
    Rect onScreen;
    int fromX, fromY;
};

Placement Place(const ScreenBuffer &buffer, COORD origin, const SMALL_RECT &region) {
    Placement p{RectOf(region), origin.X, origin.Y};
    if (p.onScreen.left < 0) {
        p.fromX -= p.onScreen.left;
        p.onScreen.left = 0;
    }
    if (p.onScreen.top < 0) {
        p.fromY -= p.onScreen.top;
        p.onScreen.top = 0;
    }
    p.onScreen.right = std::min(p.onScreen.right, buffer.width - 1);
    p.onScreen.bottom = std::min(p.onScreen.bottom, buffer.height - 1);
    return p;
}

}  // namespace

CHAR_INFO MakeCell(unsigned char byte, WORD attribute) {
    CHAR_INFO cell;
    cell.Char.UnicodeChar = byte;
    cell.Attributes = attribute;
    return cell;
}

DWORD InitBuffer(ScreenBuffer &buffer, int width, int height, WORD attributes) {
    if (!SizeAllowed(width, height)) return ERROR_INVALID_PARAMETER;
    if (static_cast<long long>(width) * height > kMaxCells) return ERROR_NOT_ENOUGH_MEMORY;
    try {
        buffer.cells.assign(static_cast<std::size_t>(width) * height, MakeCell(' ', attributes));
    } catch (const std::bad_alloc &) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    buffer.width = width;
    buffer.height = height;
    buffer.attributes = attributes;
    buffer.cursor = COORD{0, 0};
    buffer.window = SMALL_RECT{0, 0, static_cast<SHORT>(width - 1), static_cast<SHORT>(height - 1)};
    return ERROR_SUCCESS;
}

DWORD ResizeBuffer(ScreenBuffer &buffer, COORD size) {
    if (!SizeAllowed(size.X, size.Y)) return ERROR_INVALID_PARAMETER;
    Rect window = RectOf(buffer.window);
    if (size.X < window.Width() || size.Y < window.Height()) return ERROR_INVALID_PARAMETER;
    if (static_cast<long long>(size.X) * size.Y > kMaxCells) return ERROR_NOT_ENOUGH_MEMORY;
    std::vector<CHAR_INFO> cells;
    try {
        cells.assign(static_cast<std::size_t>(size.X) * size.Y, MakeCell(' ', buffer.attributes));
    } catch (const std::bad_alloc &) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    int keepWidth = std::min<int>(size.X, buffer.width);
    int keepHeight = std::min<int>(size.Y, buffer.height);
    for (int y = 0; y < keepHeight; ++y)
        std::copy_n(&buffer.At(0, y), keepWidth, &cells[static_cast<std::size_t>(y) * size.X]);
    buffer.cells.swap(cells);
    buffer.width = size.X;
    buffer.height = size.Y;
    if (window.right >= size.X) window = Rect{0, window.top, window.Width() - 1, window.bottom};
    if (window.bottom >= size.Y) window = Rect{window.left, 0, window.right, window.Height() - 1};
    buffer.window = SmallRect(window);
    buffer.cursor.X = static_cast<SHORT>(std::min<int>(buffer.cursor.X, size.X - 1));
    buffer.cursor.Y = static_cast<SHORT>(std::min<int>(buffer.cursor.Y, size.Y - 1));
    return ERROR_SUCCESS;
}

DWORD SetWindow(ScreenBuffer &buffer, SMALL_RECT window, COORD largest) {
    Rect w = RectOf(window);
    if (w.Empty() || w.left < 0 || w.top < 0 || w.right >= buffer.width || w.bottom >= buffer.height)
        return ERROR_INVALID_PARAMETER;
    if (w.Width() > largest.X || w.Height() > largest.Y) return ERROR_INVALID_PARAMETER;
    buffer.window = window;
    return ERROR_SUCCESS;
}

DWORD PlaceCursor(ScreenBuffer &buffer, COORD position) {
    if (position.X < 0 || position.Y < 0 || position.X >= buffer.width || position.Y >= buffer.height)
        return ERROR_INVALID_PARAMETER;
    buffer.cursor = position;
    Rect w = RectOf(buffer.window);
    int width = w.Width(), height = w.Height();
    if (position.X < w.left) w.left = position.X;
    else if (position.X > w.right) w.left = position.X - width + 1;
    if (position.Y < w.top) w.top = position.Y;
    else if (position.Y > w.bottom) w.top = position.Y - height + 1;
    buffer.window = SmallRect(Rect{w.left, w.top, w.left + width - 1, w.top + height - 1});
    return ERROR_SUCCESS;
}

DWORD SetCursorInfo(ScreenBuffer &buffer, const CONSOLE_CURSOR_INFO &info) {
    if (info.dwSize < 1 || info.dwSize > 100) return ERROR_INVALID_PARAMETER;
    buffer.cursorInfo.dwSize = info.dwSize;
    buffer.cursorInfo.bVisible = info.bVisible != 0 ? TRUE : FALSE;
    return ERROR_SUCCESS;
}

DWORD FillCells(ScreenBuffer &buffer, FillPart part, WORD value, DWORD length, COORD start) {
    if (!Whole(buffer).Holds(start.X, start.Y)) return 0;
    std::size_t offset = static_cast<std::size_t>(start.Y) * buffer.width + start.X;
    std::size_t count = std::min<std::size_t>(length, buffer.cells.size() - offset);
    for (std::size_t i = offset; i < offset + count; ++i) {
        if (part == FillPart::Character)
            buffer.cells[i].Char.UnicodeChar = static_cast<unsigned char>(value);
        else
            buffer.cells[i].Attributes = value;
    }
    return static_cast<DWORD>(count);
}

DWORD TrimToCells(COORD cellsSize, COORD cellsOrigin, SMALL_RECT &region) {
    if (region.Right < region.Left || region.Bottom < region.Top) return ERROR_INVALID_PARAMETER;
    if (cellsOrigin.X < 0 || cellsOrigin.Y < 0 || cellsOrigin.X >= cellsSize.X || cellsOrigin.Y >= cellsSize.Y)
        return ERROR_INVALID_PARAMETER;
    region.Right = static_cast<SHORT>(std::min<int>(region.Right, region.Left + (cellsSize.X - cellsOrigin.X) - 1));
    region.Bottom = static_cast<SHORT>(std::min<int>(region.Bottom, region.Top + (cellsSize.Y - cellsOrigin.Y) - 1));
    return ERROR_SUCCESS;
}

void WriteBlock(ScreenBuffer &buffer, const CHAR_INFO *cells, COORD cellsSize, COORD cellsOrigin,
                SMALL_RECT &region) {
    Placement p = Place(buffer, cellsOrigin, region);
    if (p.onScreen.Empty()) return;
    for (int y = 0; y < p.onScreen.Height(); ++y) {
        const CHAR_INFO *from = cells + static_cast<std::size_t>(p.fromY + y) * cellsSize.X + p.fromX;
        CHAR_INFO *to = &buffer.At(p.onScreen.left, p.onScreen.top + y);
        for (int x = 0; x < p.onScreen.Width(); ++x) to[x] = Stored(from[x]);
    }
    region = SmallRect(p.onScreen);
}

bool ReadBlock(const ScreenBuffer &buffer, CHAR_INFO *cells, COORD cellsSize, COORD cellsOrigin,
               SMALL_RECT &region) {
    Placement p = Place(buffer, cellsOrigin, region);
    if (p.onScreen.Empty()) return false;
    for (int y = 0; y < p.onScreen.Height(); ++y) {
        const CHAR_INFO *from = &buffer.At(p.onScreen.left, p.onScreen.top + y);
        CHAR_INFO *to = cells + static_cast<std::size_t>(p.fromY + y) * cellsSize.X + p.fromX;
        std::copy_n(from, p.onScreen.Width(), to);
    }
    region = SmallRect(p.onScreen);
    return true;
}

SMALL_RECT EmptyRegion(const SMALL_RECT &region) {
    return SMALL_RECT{region.Left, region.Top, static_cast<SHORT>(region.Left - 1), static_cast<SHORT>(region.Top - 1)};
}

void ScrollBlock(ScreenBuffer &buffer, SMALL_RECT scroll, const SMALL_RECT *clip, COORD destination,
                 CHAR_INFO fill) {
    Rect requested = RectOf(scroll);
    Rect source = Intersect(requested, Whole(buffer));
    if (source.Empty()) return;
    // The part of the source that was cut away moves the destination with it.
    int toX = destination.X + (source.left - requested.left);
    int toY = destination.Y + (source.top - requested.top);
    Rect bounds = clip != nullptr ? Intersect(RectOf(*clip), Whole(buffer)) : Whole(buffer);
    if (bounds.Empty()) return;
    Rect uncovered = Intersect(bounds, source);
    Rect target = Intersect(Rect{toX, toY, toX + source.Width() - 1, toY + source.Height() - 1}, bounds);

    if (!target.Empty()) {
        // Taken out first, so a source that overlaps its target is copied whole.
        std::vector<CHAR_INFO> moving;
        moving.reserve(static_cast<std::size_t>(target.Width()) * target.Height());
        for (int y = target.top; y <= target.bottom; ++y)
            for (int x = target.left; x <= target.right; ++x)
                moving.push_back(buffer.At(source.left + (x - toX), source.top + (y - toY)));
        auto next = moving.begin();
        for (int y = target.top; y <= target.bottom; ++y)
            for (int x = target.left; x <= target.right; ++x) buffer.At(x, y) = *next++;
    }

    CHAR_INFO blank = Stored(fill);
    if (blank.Char.UnicodeChar == 0 && blank.Attributes == 0) blank = MakeCell(' ', buffer.attributes);
    if (uncovered.Empty()) return;
    for (int y = uncovered.top; y <= uncovered.bottom; ++y)
        for (int x = uncovered.left; x <= uncovered.right; ++x)
            if (!target.Holds(x, y)) buffer.At(x, y) = blank;
}

}  // namespace standin
