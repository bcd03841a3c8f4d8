#pragma once
// Row colours of the rule list, as Windows COLORREF values (0x00BBGGRR), and the
// table that remembers the colours registered for each row index.
#include <cstdint>
#include <map>
#include <optional>

namespace corvix {

using ColorRef = std::uint32_t;

inline constexpr ColorRef kWhite = 0xFFFFFF;
inline constexpr ColorRef kEnabledRowText = 0xFF0000;   // blue
inline constexpr ColorRef kClosedRowText = 0x0000FF;    // red
inline constexpr ColorRef kSelectedRowText = kWhite;
inline constexpr ColorRef kSelectedRowBackground = 0x8050FF; // red 255, green 80, blue 128

constexpr int RedOf(ColorRef c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(ColorRef c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(ColorRef c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr ColorRef MakeColorRef(int red, int green, int blue)
{
    return static_cast<ColorRef>(red & 0xFF) | (static_cast<ColorRef>(green & 0xFF) << 8) |
           (static_cast<ColorRef>(blue & 0xFF) << 16);
}

struct RowColours {
    ColorRef text = 0;
    ColorRef background = kWhite;
    friend bool operator==(const RowColours &, const RowColours &) = default;
};

// One colour pair per row index: a registration replaces the earlier one, since
// only the newest registration of a row ever counts. The table is never cleared
// by a refill.
class RowColourTable {
public:
    void Set(int row, ColorRef text, ColorRef background);
    // The row is gone from the list: the rows below it move up one index and
    // take their colours along, so each keeps showing its own state.
    void RemoveRow(int row);

    // The colours a row is drawn in; nothing (the list's own colours) while no
    // row has been registered at all. A selected row is white on pink whatever
    // its state; an unselected row that was never registered keeps the defaults.
    std::optional<RowColours> ColoursFor(int row, bool selected) const;

    bool Empty() const { return rows_.empty(); }

private:
    std::map<int, RowColours> rows_;
};

} // namespace corvix
