#include "products/GridSearch.h"

#include "products/ProductGridModel.h"
#include "support/GbkBytes.h"

namespace corvix {
namespace {

// Two-byte characters compare exactly; only single-byte ASCII letters fold.
bool BeginsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    if (prefix.size() > text.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (IsLeadByte(prefix[i])) {
            if (text[i] != prefix[i] || (i + 1 < prefix.size() && text[i + 1] != prefix[i + 1]))
                return false;
            ++i;
            continue;
        }
        if (FoldAscii(text[i]) != FoldAscii(prefix[i]))
            return false;
    }
    return true;
}

} // namespace

int SearchGridRows(const ProductGridModel &grid, std::string_view text)
{
    if (text.empty())
        return -1;
    const int rows = grid.RowCount();
    for (int r = 0; r < rows; ++r)
        if (BeginsWithIgnoringCase(grid.Text(r, 0), text))
            return r;
    const int columns = grid.ColumnCount();
    for (int r = 0; r < rows; ++r)
        for (int c = 1; c < columns; ++c)
            if (std::string_view(grid.Text(r, c)).starts_with(text))
                return r;
    return -1;
}

} // namespace corvix
