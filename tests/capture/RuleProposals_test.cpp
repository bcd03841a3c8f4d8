// Rules proposed for a picked price, over small pages described by their markup.
#include "capture/PriceExtraction.h"
#include "capture/RuleProposals.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace corvix {
namespace {

std::string Attribute(const std::string &tag, const char *name)
{
    std::smatch m;
    const std::regex re(std::string(" ") + name + "=\"([^\"]*)\"");
    return std::regex_search(tag, m, re) ? m[1].str() : std::string();
}

// The page as the pick reports it: markup (UTF-8, chosen element carrying
// kPickMark), the finder's element lists, the chosen element's kind ancestor.
struct Page {
    DomSnapshot snapshot;
    PickedNode node;
};

Page Describe(const std::string &utf8)
{
    Page page;
    const std::string html = Gbk(utf8);
    page.snapshot.hasDocument = true;
    page.snapshot.pageSource = html;
    const size_t mark = html.find(kPickMark);
    const std::regex open("<(span|div|input|textarea)([^>]*)>");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), open); it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[1], tag = (*it)[0];
        const size_t start = static_cast<size_t>(it->position()), inner = start + tag.size();
        size_t close = inner;
        for (int depth = 1; name != "input" && depth > 0;) {
            const size_t nested = html.find("<" + name, close), end = html.find("</" + name, close);
            const bool opens = nested < end && (html[nested + name.size() + 1] == ' ' || html[nested + name.size() + 1] == '>');
            depth += opens ? 1 : -1;
            close = opens ? nested + 1 : end + (depth > 0 ? 1 : 0);
        }
        PageElement e{Attribute(tag, "class"), {},          Attribute(tag, "name"), Attribute(tag, "id"),
                      Attribute(tag, "title"), Attribute(tag, "type"), {}};
        e.value = name == "input" ? Attribute(tag, "value") : html.substr(inner, close - inner);
        e.text = std::regex_replace(e.value, std::regex("<[^>]*>"), "");
        const int t = name == "span" ? 0 : name == "div" ? 1 : name == "input" ? 2 : 3;
        auto &list = page.node.elements[static_cast<size_t>(t)];
        if (mark != std::string::npos && start < mark && mark <= close + 1) {
            page.node.tag = t;
            page.node.index = static_cast<int>(list.size());
        }
        list.push_back(e);
    }
    const size_t from = html.rfind('<', mark);
    const size_t end = html.find('<', html.find('>', mark));
    page.node.outerHtml = html.substr(from, end - from) + "</x>";
    page.node.text = std::regex_replace(html.substr(html.find('>', mark) + 1, end - html.find('>', mark) - 1),
                                        std::regex("^\\s+|\\s+$"), "");
    return page;
}

std::string Show(const Rule &rule)
{
    return GbkToUtf8(rule.method == RuleMethod::Markers ? rule.left + "|" + rule.right
                                                        : rule.elementKind + ":" + rule.elementName);
}

const char kShared[] = R"(<body><span class="price">￥ 88.00</span>
<span class="price" id="main-price" data-corvix-pick="">￥ 1,099.00</span></body>)";
const char kEm[] = R"(<body><em>9</em><span class="now">￥<em data-corvix-pick="">1099</em></span></body>)";
const char kInput[] = R"(<body><input type="text" value="x"><input type="hidden" id="price" value="￥12.50" data-corvix-pick=""></body>)";
const char kTextArea[] = R"(<body><textarea name="p" data-corvix-pick="">88.8</textarea></body>)";
const char kScript[] = R"(<body><div class="box"><span id="pp" data-corvix-pick="">1,099.00</span></div><script>document.getElementById("pp").textContent = "1,099.00";</script></body>)";
const char kJsonLd[] = R"(<head><script type="application/ld+json">{"@type":"Product","offers":{"@type":"Offer","price":"1099.00"}}</script></head><body><b>x</b><div><b data-corvix-pick="">￥1,099.00</b></div></body>)";
const char kGbk[] = R"(<body><span title="原价">￥120</span><span title="价格" data-corvix-pick="">￥99.00</span></body>)";
const char kChangingId[] = R"(<body><span class="sale" id="p-100234567" data-corvix-pick="">￥5.00</span></body>)";

TEST(RuleProposalsTest, EveryProposalReadsThePickedPriceAndTheLikeliestComesFirst)
{
    struct Row {
        const char *page;
        const char *first;     // the first proposal
        const char *contains;  // another one that must be there
        const char *price;
    } rows[] = {
        {kShared, R"(<span class="price" id="main-price">|</span>)", "span:main-price", "1,099.00"},
        {kEm, "span:now", R"(<span class="now">￥<em>|</em>)", "1099"},
        {kInput, R"(<input type="hidden" id="price" value="|")", "inputs:price", "12.50"},
        {kTextArea, "text:p", "text:1", "88.8"},
        {kScript, R"(<span id="pp">|</span>)", "span:pp", "1,099.00"},
        {kJsonLd, R"("price":"|")", R"(<div><b>|</b>)", "1099.00"},
        {kGbk, "span:价格", R"(<span title="价格">|</span>)", "99.00"},
        {kChangingId, "span:sale", "span:p-100234567", "5.00"},
    };
    for (const Row &row : rows) {
        const Page page = Describe(row.page);
        const std::vector<RuleProposal> proposals = ProposeRules(page.snapshot, page.node);
        ASSERT_FALSE(proposals.empty()) << row.page;
        EXPECT_EQ(Show(proposals[0].rule), row.first) << row.page;
        EXPECT_EQ(GbkToUtf8(proposals[0].price), row.price) << row.page;
        bool found = false;
        for (const RuleProposal &p : proposals) {
            found = found || Show(p.rule) == row.contains;
            // Checked with the capture's own extraction on the unmarked page.
            std::string source = page.snapshot.pageSource;
            source.erase(source.find(kPickMark), kPickMark.size());
            const DomSnapshot plain = AnswerRequest(source, page.node.elements, RequestForRule(p.rule));
            EXPECT_EQ(ExtractPrice(p.rule, plain), p.price) << Show(p.rule);
        }
        EXPECT_TRUE(found) << row.contains;
    }
}

TEST(RuleProposalsTest, TheSecondProductCheckDemotesWhatFailsThere)
{
    const Page first = Describe(R"(<body><span class="tag">包邮</span><span data-corvix-pick="">￥9.90</span></body>)");
    std::vector<RuleProposal> proposals = ProposeRules(first.snapshot, first.node);
    ASSERT_EQ(Show(proposals.back().rule), "span:2");
    std::reverse(proposals.begin(), proposals.end()); // whatever the order before
    Page second = Describe(R"(<body><span>￥19.90</span><span class="tag">包邮</span></body>)");
    CheckOnSecondPage(proposals, AnswerRequest(second.snapshot.pageSource, second.node.elements,
                                               RequestForProposals(proposals)));
    const auto holds = [](const RuleProposal &p) { return p.holdsOnSecond; };
    EXPECT_TRUE(std::is_partitioned(proposals.begin(), proposals.end(), holds));
    const auto position = std::find_if(proposals.begin(), proposals.end(),
                                       [](const RuleProposal &p) { return Show(p.rule) == "span:2"; });
    ASSERT_NE(position, proposals.end());
    EXPECT_FALSE(position->holdsOnSecond) << GbkToUtf8(position->secondPrice); // 包邮 is no price
    EXPECT_TRUE(proposals.front().holdsOnSecond);
    EXPECT_EQ(GbkToUtf8(proposals.front().secondPrice), "19.90");
}

// Shop layouts where the first proposal used to read a piece of the price.
TEST(RuleProposalsTest, ThePiecesOfASplitPriceNeverComeFirst)
{
    struct Row {
        const char *page;
        const char *shown; // the whole price as the pick reports it
        const char *first;
        const char *price;
        const char *part;  // a proposal that reads a piece or more, marked and last
        PriceFit fit;      // which of the two
    } rows[] = {
        // Sign, whole part and cents apart, with a copy for screen readers.
        {R"(<body><div class="card"><span class="a-price" data-corvix-pick=""><span class="a-offscreen">$248.00</span><span aria-hidden="true"><span class="sym">$</span><span class="whole">248<span class="dec">.</span></span><span class="frac">00</span></span></span></div></body>)",
         "$248.00", R"(<span class="a-offscreen">|</span>)", "$248.00", "span:a-price", PriceFit::More},
        // The whole part in <b>, the cents after it, a sales label beside it; the
        // page reported the <b> with the whole price around it.
        {R"(<body><div class="buy"><span class="p">￥<b data-corvix-pick="">368</b>.00</span><i>618狂欢价</i></div></body>)",
         "￥368.00", "span:p", "368.00", R"(<span class="p">￥<b>|</b>)", PriceFit::Part},
        // The price only in an attribute besides the pieces.
        {R"(<body><div class="pr" data-price="179.99" data-corvix-pick=""><span>$179</span><sup>99</sup></div></body>)",
         "$179.99", R"(<div class="pr" data-price="|")", "179.99", "div:pr", PriceFit::More},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << (&row - &*std::begin(rows)));
        Page page = Describe(row.page);
        page.node.text = Gbk(row.shown);
        const std::vector<RuleProposal> proposals = ProposeRules(page.snapshot, page.node);
        ASSERT_FALSE(proposals.empty()) << row.shown;
        EXPECT_EQ(Show(proposals[0].rule), row.first) << row.shown;
        EXPECT_EQ(GbkToUtf8(proposals[0].price), row.price) << row.shown;
        const auto part = std::find_if(proposals.begin(), proposals.end(),
                                       [&](const RuleProposal &p) { return Show(p.rule) == row.part; });
        ASSERT_NE(part, proposals.end()) << row.part;
        EXPECT_EQ(part->fit, row.fit) << row.part;
        EXPECT_NE(GbkToUtf8(part->reason).find(row.fit == PriceFit::Part ? "只取到价格的一部分" : "取到的不只是价格"),
                  std::string::npos) << row.part;
        EXPECT_TRUE(std::all_of(part, proposals.end(), [](const RuleProposal &p) { return p.fit != PriceFit::Whole; }))
            << row.shown << ": a proposal reading the whole price comes after " << row.part;
    }
}

TEST(RuleProposalsTest, TheSecondPageIsReadUntilEveryProposalHasAPriceAndDisagreementIsFlagged)
{
    const Page first = Describe(R"(<body><span class="old">￥99.00</span><span class="now" data-corvix-pick="">￥59.00</span></body>)");
    std::vector<RuleProposal> proposals = ProposeRules(first.snapshot, first.node);
    auto find = [&](const char *rule) {
        const auto at = std::find_if(proposals.begin(), proposals.end(), [&](const RuleProposal &p) { return Show(p.rule) == rule; });
        if (at == proposals.end()) {
            ADD_FAILURE() << "no proposal " << rule;
            return RuleProposal{};
        }
        return *at;
    };
    const auto read = [&](const char *utf8) {
        const Page second = Describe(utf8);
        return AnswerRequest(second.snapshot.pageSource, second.node.elements, RequestForProposals(proposals));
    };
    // The script fills the price in late; the position now lands on another price.
    EXPECT_FALSE(LookAtSecondPage(proposals, read(R"(<body><span class="now"></span></body>)")));
    EXPECT_TRUE(LookAtSecondPage(
        proposals, read(R"(<body><span class="new">新品</span><span class="old">￥129.00</span><span class="now">￥79.00</span></body>)")));
    FinishSecondPage(proposals, "");
    EXPECT_EQ(GbkToUtf8(find("span:now").secondPrice), "79.00");
    EXPECT_FALSE(find("span:now").differsOnSecond);
    EXPECT_TRUE(find("span:2").differsOnSecond) << GbkToUtf8(find("span:2").secondPrice);
    EXPECT_EQ(GbkToUtf8(find("span:2").secondNote), "与其他规则取到的价格不同");
    EXPECT_FALSE(proposals.front().differsOnSecond);
    EXPECT_TRUE(proposals.back().differsOnSecond);

    // What a proposal got there, or why not.
    proposals = ProposeRules(first.snapshot, first.node);
    CheckOnSecondPage(proposals, read(R"(<body><span class="x">新</span><span>1/4</span><div>上海</div></body>)"));
    EXPECT_EQ(GbkToUtf8(find("span:now").secondNote), "页面上没有这个元素");
    EXPECT_EQ(GbkToUtf8(find("span:2").secondNote), "取到的不是价格：1/4");
    EXPECT_EQ(GbkToUtf8(find(R"(<span class="now">|</span>)").secondNote), "页面上没有这个标记");
}

TEST(RuleProposalsTest, TheFinderIsDomHelpers)
{
    const std::vector<PageElement> inputs = {{"", "", "q", "", "", "checkbox", "a"},
                                             {"", "", "q", "", "", "number", "b"},
                                             {"", "", "", "h", "", "hidden", "c"},
                                             {"", "", "", "", "3", "text", "d"}};
    struct Row {
        const char *kind, *name;
        int found;
    } rows[] = {{"input", "q", 1},  {"input", "2", 3},   {"input", "2.9", 3}, {"inputs", "1", 2},
                {"inputs", "q", -1}, {"input", "3", 3},  {"Input", "q", -1},  {"input", "", 1}};
    for (const Row &row : rows)
        EXPECT_EQ(FindPageElement(inputs, row.kind, row.name), row.found) << row.kind << " " << row.name;
    EXPECT_TRUE(ProposeRules(Describe("<span>1</span>").snapshot, PickedNode{}).empty()) << "no mark, nothing";
}

// A reason is told in the words of the window the user sees, never by a file
// of the program.
TEST(RuleProposalsTest, ReasonsNameThePageSourceNotAFile)
{
    bool named = false;
    for (const char *markup : {kShared, kEm, kInput, kScript, kJsonLd}) {
        const Page page = Describe(markup);
        for (const RuleProposal &p : ProposeRules(page.snapshot, page.node)) {
            EXPECT_EQ(p.reason.find(".txt"), std::string::npos) << GbkToUtf8(p.reason);
            named = named || p.reason.find(Gbk("页面源代码")) != std::string::npos;
        }
    }
    EXPECT_TRUE(named) << "a marker across a line break of the shown source";
}

} // namespace
} // namespace corvix
