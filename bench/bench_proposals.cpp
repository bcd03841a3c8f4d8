// Rule proposals for a picked price on a 1.5 MB shop page (no browser): the
// marker search for every candidate marker, the element finder over some
// 20,000 spans and divs, the structured-data scan. Target: well under 1 s, the
// time a user waits between the click and the list.
#include "capture/PriceExtraction.h"
#include "capture/RuleProposals.h"
#include "support/Gbk.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace corvix;

namespace {

struct BigPick {
    DomSnapshot page;
    PickedNode node;
};

const BigPick &Pick()
{
    static const BigPick pick = [] {
        BigPick p;
        std::string html = "<html><head><script type=\"application/ld+json\">{\"@type\":\"Product\",\"offers\":"
                           "{\"@type\":\"Offer\",\"price\":\"1299.00\"}}</script></head><body>";
        auto &spans = p.node.elements[static_cast<size_t>(PageTag::Span)];
        auto &divs = p.node.elements[static_cast<size_t>(PageTag::Div)];
        for (int i = 0; html.size() < 1536 * 1024; ++i) {
            const std::string id = std::to_string(100000 + i);
            html += "<div class=\"row\" data-id=\"" + id + "\"><a href=\"/item/" + id + "\">" +
                    Gbk("商品名称 Product Name 手机") + "</a><span class=\"old\">" + Gbk("￥") + " 99.00</span></div>\n";
            divs.push_back({"row", Gbk("商品名称 Product Name 手机"), "", "", "", "", ""});
            spans.push_back({"old", Gbk("￥") + " 99.00", "", "", "", "", Gbk("￥") + " 99.00"});
        }
        const std::string price = Gbk("￥") + " 1,299.00";
        html += "<span class=\"price\" id=\"price-8812\"" + std::string(kPickMark) + ">" + price + "</span></body></html>";
        spans.push_back({"price", price, "", "price-8812", "", "", price});
        p.node.tag = static_cast<int>(PageTag::Span);
        p.node.index = static_cast<int>(spans.size()) - 1;
        p.node.text = price;
        p.node.outerHtml = "<span class=\"price\" id=\"price-8812\"" + std::string(kPickMark) + ">" + price + "</span>";
        p.page.hasDocument = true;
        p.page.pageSource = std::move(html);
        return p;
    }();
    return pick;
}

void BM_ProposalsOn1_5MbPage(benchmark::State &state)
{
    const BigPick &pick = Pick();
    size_t count = 0;
    for (auto _ : state) {
        const std::vector<RuleProposal> proposals = ProposeRules(pick.page, pick.node);
        count = proposals.size();
        benchmark::DoNotOptimize(proposals.data());
    }
    state.counters["proposals"] = static_cast<double>(count);
    if (count == 0)
        state.SkipWithError("no proposals");
}
BENCHMARK(BM_ProposalsOn1_5MbPage)->Unit(benchmark::kMillisecond);

void BM_SecondPageCheck(benchmark::State &state)
{
    const BigPick &pick = Pick();
    std::vector<RuleProposal> proposals = ProposeRules(pick.page, pick.node);
    std::string source = pick.page.pageSource;
    source.erase(source.find(kPickMark), kPickMark.size());
    const DomSnapshot second = AnswerRequest(source, pick.node.elements, RequestForProposals(proposals));
    for (auto _ : state) {
        CheckOnSecondPage(proposals, second);
        benchmark::DoNotOptimize(proposals.data());
    }
}
BENCHMARK(BM_SecondPageCheck)->Unit(benchmark::kMillisecond);

// One look at the second page reads every proposal from one snapshot, as one
// look of a capture reads its one rule: the two should cost about the same.
void BM_SecondPageLookAllProposals(benchmark::State &state)
{
    const BigPick &pick = Pick();
    std::vector<RuleProposal> proposals = ProposeRules(pick.page, pick.node);
    std::string source = pick.page.pageSource;
    source.erase(source.find(kPickMark), kPickMark.size());
    for (auto _ : state) {
        for (RuleProposal &p : proposals)
            p.holdsOnSecond = false;
        const DomSnapshot look = AnswerRequest(source, pick.node.elements, RequestForProposals(proposals));
        benchmark::DoNotOptimize(LookAtSecondPage(proposals, look));
    }
    state.counters["proposals"] = static_cast<double>(proposals.size());
}
BENCHMARK(BM_SecondPageLookAllProposals)->Unit(benchmark::kMillisecond);

void BM_CaptureLookOneRule(benchmark::State &state)
{
    const BigPick &pick = Pick();
    const Rule rule = ProposeRules(pick.page, pick.node).front().rule;
    std::string source = pick.page.pageSource;
    source.erase(source.find(kPickMark), kPickMark.size());
    for (auto _ : state) {
        const DomSnapshot look = AnswerRequest(source, pick.node.elements, RequestForRule(rule));
        benchmark::DoNotOptimize(ExtractPrice(rule, look));
    }
}
BENCHMARK(BM_CaptureLookOneRule)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
