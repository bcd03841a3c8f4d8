#include "capture/CellTexts.h"

#include "products/PriceText.h"
#include "support/Gbk.h"
#include "support/TextUtils.h"

#include <array>

namespace corvix {
namespace {

// What shops write where the price stood when the product cannot be bought.
// A rule that reads a whole block of the page may read one of these in a
// sentence, so a short text that holds one counts; longer texts say more than
// the stock and are left as they are.
constexpr std::array kStockPhrases = {
    "缺货",     "无货",     "暂时缺货", "已售完",   "售完",     "已售罄",   "售罄",     "已下架",
    "下架",     "暂无报价", "到货通知", "已抢光",   "抢光了",   "卖光了",   "已卖完",   "无库存",
    "暂无库存", "库存不足", "停售",     "已停售",   "停产",     "补货中",   "暂停销售", "商品已失效",
    "sold out", "soldout",  "out of stock", "out-of-stock", "currently unavailable", "unavailable",
    "no longer available", "discontinued", "ausverkauft", "rupture de stock", "agotado", "esaurito",
};
constexpr size_t kLongestStockText = 64; // bytes: a price slot, not a paragraph

const std::vector<std::string> &StockPhrasesGbk()
{
    static const std::vector<std::string> phrases = [] {
        std::vector<std::string> out;
        for (const char *utf8 : kStockPhrases)
            out.push_back(Gbk(utf8));
        return out;
    }();
    return phrases;
}

} // namespace

const std::string &FailureText()
{
    static const std::string text = Gbk("获取失败");
    return text;
}

const std::string &BadLinkText()
{
    static const std::string text = Gbk("链接不正确");
    return text;
}

const std::string &NoLinkText()
{
    static const std::string text = Gbk("—");
    return text;
}

const std::string &OutOfStockText()
{
    static const std::string text = Gbk("缺货");
    return text;
}

bool IsStockPhrase(std::string_view gbkText)
{
    const std::string text = TrimText(gbkText);
    if (text.empty() || text.size() > kLongestStockText)
        return false;
    bool found = false;
    for (const std::string &phrase : StockPhrasesGbk())
        if (FindText(text, phrase, 1, true) > 0) {
            found = true;
            break;
        }
    return found && !ReadPrice(text).has_value();
}

CellState ClassifyCell(std::string_view gbkText)
{
    if (gbkText.empty())
        return CellState::Empty;
    if (gbkText == FailureText())
        return CellState::Failed;
    if (gbkText == BadLinkText())
        return CellState::BadLink;
    if (gbkText == NoLinkText())
        return CellState::NoLink;
    if (IsStockPhrase(gbkText))
        return CellState::OutOfStock;
    if (ReadPrice(gbkText))
        return CellState::Price;
    return CellState::Other;
}

} // namespace corvix
