#pragma once
// The texts a capture writes into a price cell instead of a price (GBK), and
// what a cell's text stands for. They are stored in record files as they are,
// so older installations read them too.
#include <string>
#include <string_view>

namespace corvix {

// No price within the time of one link.
const std::string &FailureText();   // "获取失败"
// A link that is present but names no web page.
const std::string &BadLinkText();   // "链接不正确"
// The product has no link in that shop: nothing to capture, nothing failed.
const std::string &NoLinkText();    // "—"
// The page had no price and declared its product out of stock.
const std::string &OutOfStockText(); // "缺货"

// What a shop cell shows. Every part of the program that must tell a price from
// a failure or a sold-out product (retry, counts, exit code, marks, notices,
// chart, export) asks here.
enum class CellState {
    Empty,      // nothing yet
    Price,      // a text in which a price can be read
    OutOfStock, // the shop said the product cannot be bought now
    Failed,     // "获取失败"
    BadLink,    // "链接不正确"
    NoLink,     // "—"
    Other,      // anything else ("-" after a link was typed, a text without a price)
};
CellState ClassifyCell(std::string_view gbkText);

// A short text that says, in a shop's words, that the product cannot be bought
// ("暂时缺货", "已售罄", "Sold out"), and holds no price. Letters compare
// without regard to case.
bool IsStockPhrase(std::string_view gbkText);

// Whether a capture should try again: nothing came, or it failed.
inline bool NeedsRetry(CellState state) { return state == CellState::Empty || state == CellState::Failed; }

} // namespace corvix
