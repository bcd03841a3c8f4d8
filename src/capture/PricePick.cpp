#include "capture/PricePick.h"

#include "products/LinkFile.h"
#include "support/HostName.h"

#include <algorithm>

namespace corvix {
namespace {

std::string Trimmed(const std::string &text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool SamePrice(const PriceText &a, const PriceText &b)
{
    return a.value == b.value && a.decimals == b.decimals;
}

// The parent holds the same price with more of its digits: the cents beside
// the whole part, or the whole part beside the cents.
bool Completes(const std::string &innerText, const PriceText &inner, const std::string &outerText,
               const PriceText &outer)
{
    const std::string a = DigitsOf(innerText), b = DigitsOf(outerText);
    return b.size() > a.size() && b.find(a) != std::string::npos && outer.decimals >= inner.decimals;
}

} // namespace

std::optional<PointedPrice> PricePointedAt(const std::vector<std::string> &chain, const std::string &selection)
{
    std::vector<std::optional<PriceText>> prices;
    prices.reserve(chain.size());
    for (const std::string &text : chain)
        prices.push_back(ReadOnePrice(text));
    auto at = [&](size_t level) {
        return PointedPrice{static_cast<int>(level), Trimmed(chain[level]), *prices[level]};
    };
    if (const std::optional<PriceText> selected = ReadOnePrice(selection)) {
        for (size_t level = 0; level < chain.size(); ++level)
            if (prices[level] && SamePrice(*prices[level], *selected))
                return at(level);
    }
    const auto first = std::find_if(prices.begin(), prices.end(), [](const auto &p) { return p.has_value(); });
    if (first == prices.end())
        return std::nullopt;
    size_t level = static_cast<size_t>(first - prices.begin());
    while (level + 1 < chain.size() && prices[level + 1]
           && Completes(chain[level], *prices[level], chain[level + 1], *prices[level + 1]))
        ++level;
    return at(level);
}

std::string OtherLinkOfShop(const LinkFile &links, const std::vector<std::string> &keys, std::string_view link)
{
    const std::string address = WebAddress(link);
    const std::string host = HostOfAddress(address);
    if (host.empty())
        return {};
    for (int row = 0; row < links.ProductCount(); ++row)
        for (const std::string &key : keys) {
            const std::string other = WebAddress(links.ProductValue(row, key));
            if (!other.empty() && other != address && HostOfAddress(other) == host)
                return other;
        }
    return {};
}

bool PickFlow::PageLooked(bool parsed, int quietMs, int msSinceParsed)
{
    if (state_ != PickState::Loading || !parsed)
        return false;
    if (quietMs < kPickQuietMs && msSinceParsed < kPickSettleLimitMs)
        return false;
    state_ = PickState::Picking;
    return true;
}

bool PickFlow::Picked()
{
    if (state_ == PickState::Loading)
        return false;
    state_ = PickState::Picked;
    return true;
}

bool PickFlow::StartVerify(bool haveLink, bool haveProposals)
{
    if (state_ == PickState::Loading || state_ == PickState::Picking || !haveLink || !haveProposals)
        return false;
    state_ = PickState::Verifying;
    return true;
}

void PickFlow::VerifyDone()
{
    if (state_ == PickState::Verifying)
        state_ = PickState::Picked;
}

} // namespace corvix
