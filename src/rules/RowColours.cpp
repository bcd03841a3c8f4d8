#include "rules/RowColours.h"

namespace corvix {

void RowColourTable::Set(int row, ColorRef text, ColorRef background)
{
    rows_[row] = RowColours{text, background};
}

void RowColourTable::RemoveRow(int row)
{
    std::map<int, RowColours> moved;
    for (const auto &[index, colours] : rows_) {
        if (index != row)
            moved.emplace(index > row ? index - 1 : index, colours);
    }
    rows_ = std::move(moved);
}

std::optional<RowColours> RowColourTable::ColoursFor(int row, bool selected) const
{
    if (rows_.empty())
        return std::nullopt;
    if (selected)
        return RowColours{kSelectedRowText, kSelectedRowBackground};
    const auto it = rows_.find(row);
    if (it == rows_.end())
        return std::nullopt;
    return it->second;
}

} // namespace corvix
