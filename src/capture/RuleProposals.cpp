#include "capture/RuleProposals.h"

#include "capture/PriceExtraction.h"
#include "products/PriceText.h"
#include "support/Gbk.h"
#include "support/GbkBytes.h"
#include "support/TextUtils.h"

#include <algorithm>
#include <cctype>

namespace corvix {
namespace {

// Ranks: names that shops reuse on every product first, the page's own
// declaration and markers next, ids and positions last.
constexpr int kByName = 10;
constexpr int kDeclared = 15;
constexpr int kByMarkers = 20;
constexpr int kById = 30;
constexpr int kByPosition = 90;
constexpr int kNumberPenalty = 50;
constexpr int kLineBreakPenalty = 10;
constexpr int kCopyPenalty = 5;
constexpr size_t kMarkerReach = 160;
// Copies of the price are looked for this far around the picked element, and
// are short: a price with its sign and a word or two.
constexpr size_t kCopyReach = 4000;
constexpr size_t kLongestCopy = 40;
constexpr size_t kMarkersPerPlace = 3;

// Places in kElementKinds.
enum KindPlace { kSpanPlace, kDivPlace, kTextInputPlace, kHiddenInputPlace, kTextAreaPlace };

// A word with this many digits, or a long one (kTokenLength) with kTokenDigits,
// reads like an id rather than a name.
constexpr size_t kIdDigits = 4;
constexpr size_t kTokenLength = 12;
constexpr size_t kTokenDigits = 3;
// A marker costs a point more for each this many bytes.
constexpr int kMarkerBytesPerPoint = 40;
constexpr std::string_view kAttributeValueStart = "=\"";

struct FinderKind {
    PageTag tag;
    const char *types; // inputs only: the reader's type list
};

FinderKind KindOf(int kindIndex)
{
    // In the order of kElementKinds.
    static constexpr FinderKind kinds[] = {{PageTag::Span, nullptr},
                                           {PageTag::Div, nullptr},
                                           {PageTag::Input, "text|password|file"},
                                           {PageTag::Input, "hidden"},
                                           {PageTag::TextArea, nullptr}};
    return kinds[kindIndex];
}

bool Counts(const PageElement &e, const char *types)
{
    return !types || std::string_view(types).find(LegacyInputType(e.type)) != std::string_view::npos;
}

bool Matches(const PageElement &e, PageTag tag, std::string_view name)
{
    if (e.name == name || e.id == name || e.title == name)
        return true;
    return tag != PageTag::Input && (e.className == name || e.text == name);
}

// The kind whose reader reads the element, or nothing.
std::string_view KindForElement(PageTag tag, const PageElement &e)
{
    switch (tag) {
    case PageTag::Span:
        return kElementKinds[kSpanPlace];
    case PageTag::Div:
        return kElementKinds[kDivPlace];
    case PageTag::TextArea:
        return kElementKinds[kTextAreaPlace];
    case PageTag::Input:
        if (Counts(e, KindOf(kTextInputPlace).types))
            return kElementKinds[kTextInputPlace];
        if (Counts(e, KindOf(kHiddenInputPlace).types))
            return kElementKinds[kHiddenInputPlace];
        break;
    }
    return {};
}

// A number that is part of a word (h1, utf8) is a name; a number of its own, a
// word with four digits or more, or a long mix of letters and digits reads like
// a product id, a session token or a date, which another product does not share.
bool HoldsIdLikeNumber(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        size_t end = i, digits = 0;
        while (end < text.size() && (IsAsciiDigit(text[end]) || IsAsciiLetter(text[end])))
            digits += IsAsciiDigit(text[end++]) ? 1 : 0;
        if (end == i) {
            ++i;
            continue;
        }
        if (IsAsciiDigit(text[i]) || digits >= kIdDigits || (end - i >= kTokenLength && digits >= kTokenDigits))
            return true;
        i = end;
    }
    return false;
}

std::string NumberText(std::string_view price)
{
    std::string digits;
    for (char c : price)
        if (IsAsciiDigit(c) || c == '.')
            digits += c;
    return digits;
}

bool SamePrice(std::string_view a, std::string_view b)
{
    const std::string x = NumberText(a), y = NumberText(b);
    return !x.empty() && !y.empty() && TextToNumber(x) == TextToNumber(y);
}

// What a proposal reads, against the whole price the user pointed at.
PriceFit FitOf(const std::string &read, const PriceText &whole, const std::string &wholeText, bool declared)
{
    const std::optional<PriceText> one = ReadOnePrice(read);
    // A declaration states the number alone, without the decimals the page shows.
    if (declared)
        return one && one->value == whole.value ? PriceFit::Whole : PriceFit::More;
    if (one && one->value == whole.value && one->decimals >= whole.decimals)
        return PriceFit::Whole;
    const std::string part = DigitsOf(read), all = DigitsOf(wholeText);
    if (one && part.size() < all.size() && all.find(part) != std::string::npos)
        return PriceFit::Part;
    return PriceFit::More;
}

bool IsAttributeNameByte(char c)
{
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '_' || c == ':';
}

// Attributes that hold a value rather than a name: a copy of the price there
// is meant to be read by programs.
bool HoldsValue(std::string_view attribute)
{
    return attribute == "content" || attribute == "value" || attribute.starts_with("data-");
}

// Places in [from, to) of the lowered source that may hold a copy of the
// price: short texts between tags, and values of value-holding attributes.
std::vector<std::pair<size_t, size_t>> CopyPlaces(std::string_view s, size_t from, size_t to)
{
    std::vector<std::pair<size_t, size_t>> places;
    for (size_t gt = s.find('>', from); gt < to; gt = s.find('>', gt + 1)) {
        const size_t lt = s.find('<', gt + 1);
        if (lt == std::string_view::npos || lt > to)
            break;
        if (lt - gt - 1 <= kLongestCopy && lt > gt + 1)
            places.emplace_back(gt + 1, lt);
    }
    for (size_t q = s.find(kAttributeValueStart, from); q < to; q = s.find(kAttributeValueStart, q + 1)) {
        size_t name = q;
        while (name > 0 && IsAttributeNameByte(s[name - 1]))
            --name;
        const size_t value = q + kAttributeValueStart.size();
        const size_t close = s.find('"', value);
        if (close == std::string_view::npos || close > to || close - value > kLongestCopy || close == value)
            continue;
        if (name > 0 && IsAsciiSpace(s[name - 1]) && HoldsValue(s.substr(name, q - name)))
            places.emplace_back(value, close);
    }
    return places;
}

struct PickPlace {
    std::string source; // without the mark
    std::string lowered;
    size_t start = 0, end = 0; // the chosen element in source
};

bool LocatePick(const std::string &marked, const PickedNode &node, PickPlace &place)
{
    const size_t mark = marked.find(kPickMark);
    const size_t open = mark == std::string::npos ? mark : marked.rfind('<', mark);
    if (open == std::string::npos || node.outerHtml.size() < kPickMark.size())
        return false;
    place.source = marked.substr(0, mark) + marked.substr(mark + kPickMark.size());
    place.lowered = ToLowerText(place.source);
    place.start = open;
    place.end = std::min(place.source.size(), open + node.outerHtml.size() - kPickMark.size());
    return true;
}

// Where the price sits in the source: an input's value, else the shown text
// inside the element, else the element's whole content.
std::pair<size_t, size_t> PriceRegion(const PickPlace &place, const PickedNode &node)
{
    const std::string_view s = place.lowered;
    const size_t tagEnd = s.find('>', place.start);
    if (tagEnd == std::string_view::npos || tagEnd >= place.end)
        return {0, 0};
    const std::string_view openTag = s.substr(place.start, tagEnd - place.start);
    if (openTag.starts_with("<input")) {
        constexpr std::string_view kValue = " value=\"";
        const size_t v = openTag.find(kValue);
        if (v == std::string_view::npos)
            return {0, 0};
        const size_t p = place.start + v + kValue.size();
        const size_t close = s.find('"', p);
        return close == std::string_view::npos ? std::pair<size_t, size_t>{0, 0} : std::pair{p, close};
    }
    const size_t inner = tagEnd + 1;
    const size_t close = s.rfind("</", place.end);
    const size_t innerEnd = close == std::string_view::npos || close < inner ? inner : close;
    const std::string shown = ToLowerText(TrimText(node.text));
    if (!shown.empty()) {
        const size_t at = s.substr(inner, innerEnd - inner).find(shown);
        if (at != std::string_view::npos)
            return {inner + at, inner + at + shown.size()};
    }
    return {inner, innerEnd};
}

// At a tag, an attribute or a JSON key; never inside a value.
bool StartsMarker(std::string_view s, size_t i)
{
    if (s[i] == '<')
        return true;
    if (i == 0)
        return false;
    const char before = s[i - 1];
    return (IsAsciiSpace(before) && IsAsciiLetter(s[i])) ||
           (s[i] == '"' && (IsAsciiSpace(before) || before == '{' || before == ',' || before == '['));
}

bool EndsMarker(std::string_view s, size_t e)
{
    const char last = s[e - 1];
    // Only bytes that cannot be the second byte of a GBK character end a marker.
    return last == '>' || last == '"' || last == ',' || (e < s.size() && s[e] == '<');
}

// Markers that the lines of the picked page source (a break after every ">",
// as the window "页面源代码" shows it) do not show whole.
bool SpansLineBreak(std::string_view marker)
{
    const size_t gt = marker.find('>');
    return gt != std::string_view::npos && gt + 1 != marker.size();
}

int MarkerPenalty(std::string_view marker, std::string &why)
{
    // Short markers that open a tag read best; an attribute start is next.
    int penalty = static_cast<int>(marker.size()) / kMarkerBytesPerPoint + (marker.front() == '<' ? 0 : 1);
    if (HoldsIdLikeNumber(marker)) {
        penalty += kNumberPenalty;
        why = "，标记含像商品编号的数字，换商品时容易失效";
    } else if (SpansLineBreak(marker)) {
        penalty += kLineBreakPenalty;
        why = "，标记跨越页面源代码中的换行";
    }
    return penalty;
}

struct MarkerPick {
    std::string left, right;
    int penalty = 0;
    std::string why;
};

// Left and right markers that the marker search finds first around [p, r).
std::vector<MarkerPick> MarkersAround(std::string_view s, size_t p, size_t r)
{
    std::vector<MarkerPick> lefts;
    for (size_t i = p; i-- > 0 && p - i <= kMarkerReach;) {
        if (s[i] == '\n')
            break;
        if (!StartsMarker(s, i))
            continue;
        const std::string_view left = s.substr(i, p - i);
        if (FindText(s.substr(0, p), left) != static_cast<TextPos>(i) + 1)
            continue;
        MarkerPick pick{std::string(left), {}, 0, {}};
        pick.penalty = MarkerPenalty(left, pick.why);
        lefts.push_back(std::move(pick));
    }
    std::string right;
    std::string rightWhy;
    int rightPenalty = 0;
    for (size_t e = r + 1; e <= s.size() && e - r <= kMarkerReach; ++e) {
        if (s[e - 1] == '\n')
            break;
        if (!EndsMarker(s, e))
            continue;
        const std::string_view candidate = s.substr(r, e - r);
        if (FindText(s, candidate, static_cast<TextPos>(p) + 1) != static_cast<TextPos>(r) + 1)
            continue;
        std::string why;
        const int penalty = MarkerPenalty(candidate, why);
        if (right.empty() || penalty < rightPenalty) {
            right = std::string(candidate);
            rightPenalty = penalty;
            rightWhy = why;
        }
        if (candidate.back() == '>')
            break; // the closing tag: longer ones only add risk
    }
    if (right.empty())
        return {};
    std::stable_sort(lefts.begin(), lefts.end(),
                     [](const MarkerPick &a, const MarkerPick &b) { return a.penalty < b.penalty; });
    if (lefts.size() > kMarkersPerPlace)
        lefts.resize(kMarkersPerPlace);
    for (MarkerPick &pick : lefts) {
        pick.right = right;
        pick.penalty += rightPenalty;
        if (pick.why.empty())
            pick.why = rightWhy;
    }
    return lefts;
}

// The places where the page declares its price for search engines and shops:
// JSON-LD offers, microdata and Open Graph product tags.
std::vector<std::pair<size_t, size_t>> DeclaredPrices(std::string_view s)
{
    std::vector<std::pair<size_t, size_t>> found;
    for (size_t at = s.find("application/ld+json"); at != std::string_view::npos;
         at = s.find("application/ld+json", at + 1)) {
        const size_t end = std::min(s.find("</script", at), s.size());
        constexpr std::string_view kPriceKey = "\"price\"";
        for (size_t k = s.find(kPriceKey, at); k < end; k = s.find(kPriceKey, k + 1)) {
            size_t v = k + kPriceKey.size();
            while (v < end && (IsAsciiSpace(s[v]) || s[v] == ':'))
                ++v;
            if (v < end && s[v] == '"') {
                const size_t close = s.find('"', v + 1);
                if (close < end)
                    found.emplace_back(v + 1, close);
            } else {
                size_t e = v;
                while (e < end && (IsAsciiDigit(s[e]) || s[e] == '.'))
                    ++e;
                if (e > v)
                    found.emplace_back(v, e);
            }
        }
    }
    for (std::string_view what : {"itemprop=\"price\"", "property=\"og:price:amount\"",
                                  "property=\"product:price:amount\""}) {
        for (size_t at = s.find(what); at != std::string_view::npos; at = s.find(what, at + 1)) {
            const size_t tagEnd = s.find('>', at);
            if (tagEnd == std::string_view::npos)
                break;
            const size_t open = s.rfind('<', at);
            constexpr std::string_view kContent = " content=\"";
            const size_t content = s.substr(open, tagEnd - open).find(kContent);
            if (content != std::string_view::npos) {
                const size_t v = open + content + kContent.size();
                if (const size_t close = s.find('"', v); close != std::string_view::npos)
                    found.emplace_back(v, close);
            } else if (const size_t close = s.find('<', tagEnd); close != std::string_view::npos) {
                found.emplace_back(tagEnd + 1, close);
            }
        }
    }
    return found;
}

Rule MarkerRule(std::string left, std::string right)
{
    Rule rule;
    rule.method = RuleMethod::Markers;
    rule.left = std::move(left);
    rule.right = std::move(right);
    return rule;
}

Rule ElementRule(std::string_view kind, std::string name)
{
    Rule rule;
    rule.method = RuleMethod::Element;
    rule.elementKind = std::string(kind);
    rule.elementName = std::move(name);
    return rule;
}

bool SameRule(const Rule &a, const Rule &b)
{
    return a.method == b.method && a.left == b.left && a.right == b.right && a.elementKind == b.elementKind &&
           a.elementName == b.elementName;
}

class Proposer {
public:
    Proposer(const PickPlace &place, const PickedNode &node) : place_(place), node_(node)
    {
        page_.hasDocument = true;
        page_.pageSource = place.source;
        const auto [p, r] = PriceRegion(place, node);
        if (r > p)
            target_ = StripPriceText(place.source.substr(p, r - p));
        whole_ = ReadOnePrice(node.text);
    }

    void AddElementRules()
    {
        if (node_.tag < 0 || node_.tag >= static_cast<int>(kPageTags))
            return;
        const auto &list = node_.elements[static_cast<size_t>(node_.tag)];
        if (node_.index < 0 || node_.index >= static_cast<int>(list.size()))
            return;
        const PageElement &e = list[static_cast<size_t>(node_.index)];
        const std::string_view kind = KindForElement(static_cast<PageTag>(node_.tag), e);
        if (kind.empty())
            return;
        const bool input = node_.tag == static_cast<int>(PageTag::Input);
        struct Name {
            const std::string *value;
            const char *label;
            int rank;
        } names[] = {{&e.className, "class 名称", kByName},
                     {&e.name, "name ", kByName},
                     {&e.title, "title ", kByName},
                     {&e.id, "id ", kById}};
        for (const Name &n : names) {
            if ((input && n.value == &e.className) || n.value->empty())
                continue;
            if (n.value->find_first_of("\r\n") != std::string::npos)
                continue;
            std::string reason = Gbk(std::string("按 ") + n.label + "查找，");
            int rank = n.rank;
            if (HoldsIdLikeNumber(*n.value)) {
                rank += kNumberPenalty;
                reason += Gbk("含像商品编号的数字，换商品时容易失效");
            } else {
                reason += Gbk(n.rank == kById ? "最稳定" : "同一商店的商品页通常相同");
            }
            AddElementRule(kind, *n.value, rank, reason);
        }
        const int position = PositionOf(list, static_cast<size_t>(node_.index), kind);
        AddElementRule(kind, std::to_string(position), kByPosition,
                       Gbk("按位置第 " + std::to_string(position) + " 个 " + std::string(kind) +
                           "，页面改版时容易失效"));
    }

    void AddMarkerRules()
    {
        const auto [p, r] = PriceRegion(place_, node_);
        if (r > p)
            AddMarkers(p, r, false);
        for (const auto &[dp, dr] : DeclaredPrices(place_.lowered))
            if (dr > dp && SamePrice(place_.lowered.substr(dp, dr - dp), target_))
                AddMarkers(dp, dr, true);
    }

    // Markers around other writings of the same price near the pick: a copy
    // for screen readers beside a price split into pieces, an attribute that
    // holds it.
    void AddCopiesOfThePrice()
    {
        if (!whole_)
            return;
        const std::string_view s = place_.lowered;
        const size_t from = place_.start > kCopyReach ? place_.start - kCopyReach : 0;
        const size_t to = std::min(s.size(), place_.end + kCopyReach);
        for (const auto &[p, r] : CopyPlaces(s, from, to)) {
            const std::string cleaned = StripPriceText(place_.source.substr(p, r - p));
            if (FitOf(cleaned, *whole_, node_.text, false) == PriceFit::Whole)
                AddMarkers(p, r, false, kCopyPenalty);
        }
    }

    std::vector<RuleProposal> Take()
    {
        std::stable_sort(proposals_.begin(), proposals_.end(), [](const RuleProposal &a, const RuleProposal &b) {
            const bool aWhole = a.fit == PriceFit::Whole, bWhole = b.fit == PriceFit::Whole;
            return aWhole != bWhole ? aWhole : a.rank < b.rank;
        });
        std::vector<RuleProposal> unique;
        for (RuleProposal &p : proposals_)
            if (std::none_of(unique.begin(), unique.end(),
                             [&](const RuleProposal &u) { return SameRule(u.rule, p.rule); }))
                unique.push_back(std::move(p));
        return unique;
    }

private:
    static int PositionOf(const std::vector<PageElement> &list, size_t index, std::string_view kind)
    {
        const char *types = KindOf(ElementKindIndex(kind)).types;
        int counted = 0;
        for (size_t i = 0; i <= index; ++i)
            counted += Counts(list[i], types) ? 1 : 0;
        return counted;
    }

    void AddElementRule(std::string_view kind, const std::string &name, int rank, std::string reason)
    {
        const auto &list = node_.elements[static_cast<size_t>(node_.tag)];
        if (FindPageElement(list, kind, name) != node_.index)
            return;
        Rule rule = ElementRule(kind, name);
        const DomSnapshot answer = AnswerRequest(place_.source, node_.elements, RequestForRule(rule));
        Add(std::move(rule), answer, rank, std::move(reason), false);
    }

    void AddMarkers(size_t p, size_t r, bool declared, int penalty = 0)
    {
        for (MarkerPick &pick : MarkersAround(place_.lowered, p, r)) {
            std::string reason = Gbk(declared ? "页面声明的价格" : "按标记查找，标记在标签边界上") + Gbk(pick.why);
            Rule rule = MarkerRule(std::move(pick.left), std::move(pick.right));
            // Only what the marker search itself returns counts.
            if (ReadMarkerValue(rule.left, rule.right, page_) != place_.lowered.substr(p, r - p))
                continue;
            Add(std::move(rule), page_, (declared ? kDeclared : kByMarkers) + pick.penalty + penalty,
                std::move(reason), declared);
        }
    }

    void Add(Rule rule, const DomSnapshot &page, int rank, std::string reason, bool declared)
    {
        RuleProposal proposal;
        proposal.price = ExtractPrice(rule, page);
        if (proposal.price.empty())
            return;
        // Without a price the pick could read, the rule must read the picked
        // text itself, not a container that also holds it.
        proposal.fit = whole_ ? FitOf(proposal.price, *whole_, node_.text, declared)
                       : (declared ? SamePrice(proposal.price, target_) : proposal.price == target_)
                           ? PriceFit::Whole
                           : PriceFit::More;
        if (proposal.fit == PriceFit::Part)
            reason += Gbk("，只取到价格的一部分");
        else if (proposal.fit == PriceFit::More)
            reason += Gbk("，取到的不只是价格");
        proposal.rule = std::move(rule);
        proposal.rank = rank;
        proposal.reason = std::move(reason);
        proposal.declared = declared;
        proposals_.push_back(std::move(proposal));
    }

    const PickPlace &place_;
    const PickedNode &node_;
    DomSnapshot page_;
    std::string target_;
    std::optional<PriceText> whole_;
    std::vector<RuleProposal> proposals_;
};

// Why a proposal found no price on the second page.
std::string WhyNoPrice(const RuleProposal &p, std::string_view source)
{
    constexpr size_t kShownLength = 40;
    if (!p.secondPrice.empty())
        return Gbk("取到的不是价格：") + LeftText(p.secondPrice, kShownLength);
    if (p.rule.method != RuleMethod::Markers)
        return Gbk("页面上没有这个元素");
    if (!source.empty() && FindText(source, PageMarker(ToLowerText(p.rule.left))) < 1)
        return Gbk("页面上没有这个标记");
    return Gbk("标记之间是空的");
}

} // namespace

int FindPageElement(const std::vector<PageElement> &elements, std::string_view kind, std::string_view name)
{
    const int kindIndex = ElementKindIndex(kind);
    if (kindIndex < 0)
        return -1;
    const FinderKind finder = KindOf(kindIndex);
    // The name doubles as a position, as DomHelper reads it.
    const long long position = TruncateToInteger(TextToNumber(name));
    long long counted = 0;
    for (size_t i = 0; i < elements.size(); ++i) {
        if (!Counts(elements[i], finder.types))
            continue;
        ++counted;
        if (Matches(elements[i], finder.tag, name) || counted == position)
            return static_cast<int>(i);
    }
    return -1;
}

DomSnapshot AnswerRequest(const std::string &source, const std::array<std::vector<PageElement>, kPageTags> &elements,
                          const DomRequest &request)
{
    DomSnapshot page;
    page.hasDocument = true;
    page.pageSource = source;
    for (const ElementQuery &q : request.elements) {
        std::string value;
        for (size_t k = 0; k < kElementKinds.size(); ++k) {
            if (ElementReaderForKind(kElementKinds[k]) != q.reader)
                continue;
            const auto &list = elements[static_cast<size_t>(KindOf(static_cast<int>(k)).tag)];
            if (const int found = FindPageElement(list, kElementKinds[k], q.name); found >= 0)
                value = list[static_cast<size_t>(found)].value;
        }
        page.elements.emplace_back(q, std::move(value));
    }
    return page;
}

std::vector<RuleProposal> ProposeRules(const DomSnapshot &page, const PickedNode &node)
{
    PickPlace place;
    if (!page.hasDocument || !LocatePick(page.GetPageSource(), node, place))
        return {};
    Proposer proposer(place, node);
    proposer.AddElementRules();
    proposer.AddMarkerRules();
    proposer.AddCopiesOfThePrice();
    return proposer.Take();
}

DomRequest RequestForProposals(const std::vector<RuleProposal> &proposals)
{
    DomRequest request;
    for (const RuleProposal &p : proposals)
        request.Merge(RequestForRule(p.rule));
    return request;
}

bool LookAtSecondPage(std::vector<RuleProposal> &proposals, const DomSnapshot &second)
{
    bool all = true;
    for (RuleProposal &p : proposals) {
        if (!p.holdsOnSecond) {
            p.secondPrice = ExtractPrice(p.rule, second);
            // As a person reads a cell of the grid: one price, no label with a
            // second number, no counter ("1/4").
            p.holdsOnSecond = ReadOnePrice(p.secondPrice).has_value();
        }
        all = all && p.holdsOnSecond;
    }
    return all;
}

void FinishSecondPage(std::vector<RuleProposal> &proposals, std::string_view source)
{
    // The price most proposals read; on a tie, the one the likeliest reads.
    std::optional<double> agreed;
    int votes = 0;
    for (const RuleProposal &p : proposals) {
        if (!p.holdsOnSecond)
            continue;
        const double value = ReadOnePrice(p.secondPrice)->value;
        const int n = static_cast<int>(std::count_if(proposals.begin(), proposals.end(), [&](const RuleProposal &q) {
            return q.holdsOnSecond && ReadOnePrice(q.secondPrice)->value == value;
        }));
        if (n > votes) {
            votes = n;
            agreed = value;
        }
    }
    for (RuleProposal &p : proposals) {
        p.checkedOnSecond = true;
        p.differsOnSecond = p.holdsOnSecond && ReadOnePrice(p.secondPrice)->value != agreed;
        p.secondNote = !p.holdsOnSecond    ? WhyNoPrice(p, source)
                       : p.differsOnSecond ? Gbk("与其他规则取到的价格不同")
                                           : std::string();
    }
    auto group = [](const RuleProposal &p) { return !p.holdsOnSecond ? 2 : p.differsOnSecond ? 1 : 0; };
    std::stable_sort(proposals.begin(), proposals.end(),
                     [&](const RuleProposal &a, const RuleProposal &b) { return group(a) < group(b); });
}

void CheckOnSecondPage(std::vector<RuleProposal> &proposals, const DomSnapshot &second)
{
    for (RuleProposal &p : proposals)
        p.holdsOnSecond = false;
    LookAtSecondPage(proposals, second);
    FinishSecondPage(proposals, ToLowerText(second.GetPageSource()));
}

} // namespace corvix
