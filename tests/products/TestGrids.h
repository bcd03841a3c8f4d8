#pragma once
// A product grid made from a table, for the tests of the data layer.
#include "products/ProductGridModel.h"
#include "support/Gbk.h"

#include <memory>
#include <string>
#include <vector>

namespace corvix::test {

// ID, 商品名称, then the given rule titles (UTF-8 in, GBK in the grid).
inline std::unique_ptr<ProductGridModel> MakeGrid(const std::vector<std::string> &rules,
                                           const std::vector<std::vector<std::string>> &utf8Rows)
{
    auto grid = std::make_unique<ProductGridModel>();
    grid->AddFixedColumns();
    for (const auto &rule : rules)
        grid->AddColumn(Gbk(rule), 60, Qt::AlignHCenter);
    std::vector<std::vector<std::string>> rows;
    for (const auto &r : utf8Rows) {
        rows.emplace_back();
        for (const auto &cell : r)
            rows.back().push_back(Gbk(cell));
    }
    grid->AppendRows(rows);
    return grid;
}

} // namespace corvix::test
