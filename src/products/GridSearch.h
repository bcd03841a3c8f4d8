#pragma once
// The search of the product grid behind the button 按钮8 ("查询").
#include <string_view>

namespace corvix {

class ProductGridModel;

// The first row whose ID (column 0) begins with text, ASCII letters compared
// without regard to case; when there is none, the first row with a cell in
// columns 1.. that begins with text byte for byte. -1 when neither pass finds
// one or text is empty.
int SearchGridRows(const ProductGridModel &grid, std::string_view text);

} // namespace corvix
