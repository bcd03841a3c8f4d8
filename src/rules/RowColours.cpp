#include "rules/RowColours.h"

namespace corvix {

void RowColourTable::Set(int row, ColorRef text, ColorRef background)
{
    rows_[row] = RowColours{text, background};
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
