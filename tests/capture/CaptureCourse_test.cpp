#include "capture/CaptureCourse.h"

#include "capture/CellTexts.h"
#include "capture/EventWords.h"
#include "products/ProductGridModel.h"

#include <gtest/gtest.h>

namespace corvix {
namespace {

// A plan of rows separated by "|", one word per shop column: a host letter for
// a web link of that host, "-" for no link, "x" for a link that is no web address.
CapturePlan Plan(const std::string &rows, bool retry)
{
    CapturePlan plan;
    plan.retry = retry;
    int row = 0;
    int column = kFirstSiteColumn;
    for (const test::EventWord &word : test::EventWords(rows)) {
        if (word.word == "|") {
            ++row, column = kFirstSiteColumn;
            continue;
        }
        if (!retry && plan.titles.size() <= static_cast<size_t>(row))
            plan.titles.push_back("P" + std::to_string(row));
        if (plan.shops.size() <= static_cast<size_t>(column - kFirstSiteColumn))
            plan.shops.push_back("S" + std::to_string(column - kFirstSiteColumn));
        PlannedLink link{.row = row, .column = column++, .stored = {}, .address = {}, .kind = LinkKind::Missing};
        if (word.word == "x") {
            link.stored = "a.example/p", link.kind = LinkKind::NotWeb;
        } else if (word.word != "-") {
            link.stored = link.address = "http://" + word.word + ".example/p";
            link.kind = LinkKind::Web;
        }
        plan.links.push_back(link);
    }
    return plan;
}

// Texts of the cell texts a capture writes, as the tables name them.
std::string Named(const std::string &text)
{
    if (text == FailureText())
        return "fail";
    if (text == OutOfStockText())
        return "sold";
    return text == BadLinkText() ? "bad" : text;
}
std::string Unnamed(const std::string &text)
{
    return text == "fail" ? FailureText() : text == "sold" ? OutOfStockText() : text;
}

struct Outcome {
    std::string steps{};   // L<link>@<pane> a load, K<link> a skip, B<link> a bad link
    std::string changes{}; // <row>,<column>=<text> a text, <row>,<column>+ refreshed
    int panes = 1;
    int done = 0, priced = 0, outOfStock = 0, failed = 0;
    std::vector<BadLink> badLinks{};
    bool stopped = false;
    bool over = false; // nothing waits, nothing loads
    bool operator==(const Outcome &) const = default;
};

void PrintTo(const Outcome &o, std::ostream *os)
{
    *os << "{steps \"" << o.steps << "\", changes \"" << o.changes << "\", panes " << o.panes << ", done " << o.done
        << ", priced " << o.priced << ", outOfStock " << o.outOfStock << ", failed " << o.failed << ", badLinks "
        << o.badLinks.size() << ", stopped " << o.stopped << ", over " << o.over << "}";
}

// Events, each followed by the links that may begin then, as the window side
// does: C<pane>:<text> a result, D<pane> a download without a price, E<pane>
// the pane's link ends, S a stop. Every cell shows "old" before its link.
Outcome Feed(const std::string &plan, bool retry, int parallel, const std::string &events)
{
    CaptureCourse course(Plan(plan, retry), parallel);
    Outcome out;
    const auto note = [&out](const std::vector<CellChange> &changes) {
        for (const CellChange &c : changes)
            out.changes += (out.changes.empty() ? "" : " ") + std::to_string(c.row) + "," + std::to_string(c.column)
                           + (c.kind == CellChange::Kind::Refreshed ? "+" : "=" + Named(c.text));
    };
    const auto begin = [&] {
        while (const std::optional<CourseStep> step = course.Next([](int, int) { return std::string("old"); })) {
            const char kind = step->kind == CourseStep::Kind::Load ? 'L' : step->kind == CourseStep::Kind::Skip ? 'K' : 'B';
            out.steps += (out.steps.empty() ? "" : " ") + std::string(1, kind) + std::to_string(step->link)
                         + (step->pane >= 0 ? "@" + std::to_string(step->pane) : "");
            note(step->changes);
        }
    };
    begin();
    for (const test::EventWord &event : test::EventWords(events)) {
        for (int i = 0; i < event.times; ++i) {
            const int pane = event.word.size() > 1 ? event.word[1] - '0' : -1;
            switch (event.word[0]) {
            case 'C':
                note(course.Captured(pane, Unnamed(event.word.substr(3))));
                break;
            case 'D':
                note(course.DownloadedWithoutPrice(pane));
                break;
            case 'E':
                if (const std::optional<LinkEnd> end = course.Ended(pane))
                    note(end->changes);
                break;
            case 'S':
                course.Stop();
                break;
            }
            begin();
        }
    }
    const RunSummary &s = course.Summary();
    out.panes = course.PaneCount();
    out.done = s.done, out.priced = s.priced, out.outOfStock = s.outOfStock, out.failed = s.Failed();
    out.badLinks = s.badLinks;
    out.stopped = s.stopped;
    out.over = course.Done();
    EXPECT_EQ(s.total, Plan(plan, retry).CountedLinks());
    return out;
}

TEST(CaptureCourse, EventSequencesGiveTheGridChangesAndTheSummary)
{
    const struct Row {
        const char *plan;
        bool retry;
        int parallel;
        const char *events;
        Outcome expected;
    } rows[] = {
        // One pane: link after link, each result shown and marked refreshed.
        {"a a", false, 1, "C0:1.00 E0 C0:2.00 E0",
         {.steps = "L0@0 L1@0", .changes = "0,2=1.00 0,2+ 0,3=2.00 0,3+", .done = 2, .priced = 2, .over = true}},
        // No result (closed by hand) gives back the cell's text; a page without a price empties it meanwhile.
        {"a", false, 1, "D0 E0", {.steps = "L0@0", .changes = "0,2= 0,2=old", .done = 1, .failed = 1, .over = true}},
        {"a", false, 1, "C0:fail E0", {.steps = "L0@0", .changes = "0,2=fail 0,2+", .done = 1, .failed = 1, .over = true}},
        // Sold out is neither a price nor a failure.
        {"a", false, 1, "C0:sold E0", {.steps = "L0@0", .changes = "0,2=sold 0,2+", .done = 1, .outOfStock = 1, .over = true}},
        // A run lists a bad link for its message; a missing one is skipped, uncounted.
        {"a - x", false, 1, "C0:1.00 E0",
         {.steps = "L0@0 K1 B2", .changes = "0,2=1.00 0,2+", .done = 2, .priced = 1, .failed = 1,
          .badLinks = {{"P0", "S2"}}, .over = true}},
        // A retry marks the bad link's cell instead.
        {"x | a", true, 1, "C0:3.00 E0",
         {.steps = "B0 L1@0", .changes = "0,2=bad 1,2=3.00 1,2+", .done = 2, .priced = 1, .failed = 1, .over = true}},
        // Several hosts: a pane per host at most, never two links of one host at once.
        {"a b a c", false, 3, "C0:1 E0 E1 C2:3 E2 C0:2 E0",
         {.steps = "L0@0 L1@1 L3@2 L2@0", .changes = "0,2=1 0,2+ 0,3=old 0,5=3 0,5+ 0,4=2 0,4+", .panes = 3,
          .done = 4, .priced = 3, .failed = 1, .over = true}},
        {"a b | a b", false, 2, "E1 E0", {.steps = "L0@0 L1@1 L3@1 L2@0", .changes = "0,3=old 0,2=old", .panes = 2,
                                          .done = 2, .failed = 2}},
        {"a a a", false, 8, "", {.steps = "L0@0", .panes = 1}},
        {"x -", false, 4, "", {.steps = "B0 K1", .done = 1, .failed = 1, .badLinks = {{"P0", "S0"}}, .over = true}},
        // A stop: the links under way still end, nothing more begins.
        {"a a b", false, 1, "S C0:1 E0", {.steps = "L0@0", .changes = "0,2=1 0,2+", .done = 1, .priced = 1,
                                         .stopped = true, .over = true}},
        {"a b a b", false, 2, "S S E0", {.steps = "L0@0 L1@1", .changes = "0,2=old", .panes = 2, .done = 1,
                                         .failed = 1, .stopped = true}},
        {"a - x", false, 1, "S E0", {.steps = "L0@0", .changes = "0,2=old", .done = 1, .failed = 1,
                                     .stopped = true, .over = true}},
        // Links that load nothing go in their turn: one pane, after the link before.
        {"a x b", false, 1, "", {.steps = "L0@0"}},
        {"a x b", false, 1, "E0", {.steps = "L0@0 B1 L2@0", .changes = "0,2=old", .done = 2, .failed = 2,
                                   .badLinks = {{"P0", "S1"}}}},
        {"a x b", false, 2, "", {.steps = "L0@0 B1 L2@1", .panes = 2, .done = 1, .failed = 1,
                                 .badLinks = {{"P0", "S1"}}}},
        // What an idle pane or an ended link reports is no one's.
        {"a", false, 1, "E1 C1:5 D1 C0:1 E0 E0 D0 C0:2",
         {.steps = "L0@0", .changes = "0,2=1 0,2+", .done = 1, .priced = 1, .over = true}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.plan) + (row.retry ? " (retry)" : "") + " x" + std::to_string(row.parallel) + ": "
                     + row.events);
        EXPECT_EQ(Feed(row.plan, row.retry, row.parallel, row.events), row.expected);
    }
}

} // namespace
} // namespace corvix
