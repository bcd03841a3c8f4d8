#pragma once
// The course of a price pick on a shop page: which price the user pointed at,
// and the states of the pick window. Pure logic over texts and times; the
// window feeds it what the page and the user did. Texts are GBK.
#include "products/PriceText.h"

#include <string_view>

#include <optional>
#include <string>
#include <vector>

namespace corvix {

// The price a person reads where the user clicked or selected.
struct PointedPrice {
    int level = -1;   // in the chain of elements the page reported: 0 is the one pointed at
    std::string text; // that element's text as shown, trimmed
    PriceText price;
};

// The whole price around a click or a selection. chain holds the shown texts
// of the element pointed at (for a selection: the element that holds all of
// it) and of its ancestors, innermost first. A click on any piece of a price
// (its sign, whole part, separator, cents or a label in the same block)
// stands for the smallest element whose text reads as one price and holds
// every digit of it: "248." inside "$248.00" climbs to "$248.00", and "￥368"
// to "￥368.00", but never to a block that says more than the price. A
// selection that reads as one price chooses the smallest element that reads as
// that price. nullopt when no element of the chain reads as a price.
std::optional<PointedPrice> PricePointedAt(const std::vector<std::string> &chain,
                                           const std::string &selection = {});

class LinkFile;

// Another product's link of the shop that link belongs to (the same host),
// for checking proposals on a second page: the first in url.ini's rows under
// one of keys (shop titles). Empty when there is none.
std::string OtherLinkOfShop(const LinkFile &links, const std::vector<std::string> &keys, std::string_view link);

// The states of the pick window, one at a time.
enum class PickState {
    Loading,   // the page is loading or its scripts are still settling
    Picking,   // the mouse points at the page; nothing chosen yet
    Picked,    // a price was chosen and its proposals are shown
    Verifying, // the proposals are being run on the second page
};

// How long the page's scripts get before the pick starts: the document must
// have been parsed, then stay unchanged for kPickQuietMs, or kPickSettleLimitMs
// must have passed since it was parsed (a page that never stops changing).
constexpr int kPickQuietMs = 500;
constexpr int kPickSettleLimitMs = 3000;

class PickFlow {
public:
    PickState State() const { return state_; }

    // A link starts loading: everything chosen before is dropped.
    void Load() { state_ = PickState::Loading; }
    // A look at the loading page. True when the pick may start now: the
    // document is parsed and has settled (see kPickQuietMs).
    bool PageLooked(bool parsed, int quietMs, int msSinceParsed);
    // The user chose a price. False while the page is loading; a pick replaces
    // the one before, also while that one is being verified.
    bool Picked();
    // The second page's check starts: only once something was picked.
    bool StartVerify(bool haveLink, bool haveProposals);
    // The check has its answer (or ran out of time).
    void VerifyDone();

private:
    PickState state_ = PickState::Loading;
};

} // namespace corvix
