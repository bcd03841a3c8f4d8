#include "capture/LinkCapture.h"
#include "capture/CellTexts.h"
#include "capture/EventWords.h"
#include <gtest/gtest.h>
#include <tuple>

namespace corvix {
namespace {

struct Outcome {
    std::vector<std::string> results{};
    int clears = 0, statusShows = 0, ticks = 0, emptyDownloads = 0, capturing = 0;
    bool operator==(const Outcome &) const = default;
};

void PrintTo(const Outcome &o, std::ostream *os)
{
    *os << "{results";
    for (const std::string &r : o.results)
        *os << " \"" << r << "\"";
    *os << ", clears " << o.clears << ", statusShows " << o.statusShows << ", ticks " << o.ticks
        << ", emptyDownloads " << o.emptyDownloads << ", capturing " << o.capturing << "}";
}

// Events as words, "word*n" for n of them: S start, T tick, L:p a look finding
// p, D a download without a price, D:p one with p, N a download before the page
// has a document, E a close by hand; "^" last: an answer to the start before;
// "!" ("+") last: the page declares its product sold out (in stock).
Outcome Feed(const std::string &events)
{
    LinkCapture capture;
    Outcome out;
    for (const test::EventWord &event : test::EventWords(events)) {
        std::string word = event.word;
        const int times = event.times;
        std::optional<Availability> declared;
        if (word.back() == '!' || word.back() == '+') {
            declared = word.back() == '!' ? Availability::OutOfStock : Availability::InStock;
            word.pop_back();
        }
        const bool earlier = word.back() == '^';
        const PageReading page{word[0] != 'N', word.size() > 2 ? word.substr(2, word.size() - 2 - earlier) : "",
                               declared};
        for (int i = 0; i < times; ++i) {
            const LinkCapture::StartId start = capture.CurrentStart() - earlier;
            const CaptureAnswer a = word[0] == 'S' ? (capture.Start({}), CaptureAnswer{})
                                  : word[0] == 'E' ? (capture.End(), CaptureAnswer{})
                                  : word[0] == 'T' ? capture.Tick()
                                  : word[0] == 'L' ? capture.Look(start, page) : capture.DownloadComplete(start, page);
            out.clears += a.clearCell, out.statusShows += a.showStatus;
            if (a.result)
                out.results.push_back(*a.result);
        }
    }
    return {out.results, out.clears, out.statusShows, capture.Ticks(), capture.EmptyDownloads(), capture.Capturing()};
}

TEST(LinkCapture, EventSequencesEndInOneResultForTheirOwnLink)
{
    const std::string fail = FailureText();
    const std::string sold = OutOfStockText();
    const std::pair<const char *, Outcome> rows[] = {
        {"T*10 L:1 D", {}}, // nothing started
        {"S T*9", {.statusShows = 9, .ticks = 9, .capturing = 1}}, // ninth tick: one second left
        {"S T*10", {.results = {fail}, .statusShows = 9, .ticks = 9}}, // the tenth tick fails
        {"S T*12 D", {.results = {fail}, .statusShows = 9, .ticks = 9}}, // once
        {"S D*8", {.clears = 8, .emptyDownloads = 8, .capturing = 1}}, // eight empty loads wait
        {"S D*9", {.results = {fail}, .clears = 9, .emptyDownloads = 9}}, // the ninth fails, counted
        {"S N*20", {.clears = 20, .capturing = 1}}, // no document: no count
        {"S D*8 L:7.00", {.results = {"7.00"}, .clears = 8, .emptyDownloads = 8}}, // a price before the ninth
        {"S T*9 D:1.00 T L:2", {.results = {"1.00"}, .statusShows = 9, .ticks = 9}}, // the first result only
        {"S L: L:3.20", {.results = {"3.20"}}}, // an empty look is no price
        {"S S L:9.99^ D^ D:1^ T", {.statusShows = 1, .ticks = 1, .capturing = 1}}, // an earlier link's answers
        {"S S L:9.99^ L:1.00", {.results = {"1.00"}}}, // ... then its own
        // Each link counts afresh.
        {"S T*5 D*5 S T*9 D*8", {.clears = 13, .statusShows = 14, .ticks = 9, .emptyDownloads = 8, .capturing = 1}},
        {"S T*5 E T*10 D*10 L:1", {.statusShows = 5, .ticks = 5}}, // closed by hand: no result
        {"S L:1 S T*10", {.results = {"1", fail}, .statusShows = 9, .ticks = 9}}, // a run's next link
        // A sold-out page: no price in time is "缺货", not a failure.
        {"S L! T*10", {.results = {sold}, .statusShows = 9, .ticks = 9}},
        {"S D! D*8", {.results = {sold}, .clears = 9, .emptyDownloads = 9}},
        {"S L! L:5.00", {.results = {"5.00"}}}, // a price that comes still counts
        {"S L! L+ T*10", {.results = {fail}, .statusShows = 9, .ticks = 9}}, // the page changed its mind
        {"S L! L T*10", {.results = {sold}, .statusShows = 9, .ticks = 9}}, // a read that did not ask changes nothing
        {"S L! S T*10", {.results = {fail}, .statusShows = 9, .ticks = 9}}, // the next link starts afresh
        {"S N! T*10", {.results = {fail}, .clears = 1, .statusShows = 9, .ticks = 9}}, // no document declares nothing
    };
    for (const auto &[events, expected] : rows) {
        SCOPED_TRACE(events);
        EXPECT_EQ(Feed(events), expected);
    }
}

TEST(LinkCapture, DeclarationsAreAskedForOnlyAfterAReadWithoutPrice)
{
    LinkCapture capture;
    capture.Start({});
    const bool atStart = capture.WantsDeclarations();
    capture.Look(capture.CurrentStart(), {false, "", {}}); // no document yet
    const bool beforeDocument = capture.WantsDeclarations();
    capture.Look(capture.CurrentStart(), {true, "", {}});
    const bool afterPriceless = capture.WantsDeclarations();
    capture.Start({});
    EXPECT_EQ(std::tuple(atStart, beforeDocument, afterPriceless, capture.WantsDeclarations()),
              std::tuple(false, false, true, false));
}

TEST(LinkCapture, StopIsAskedOnceForTheWindowAndSecondsCountDown)
{
    LinkCapture capture;
    EXPECT_TRUE(capture.AskStop());
    capture.Start({}); // the run ends after this link: asked once for the window
    capture.Tick(), capture.Tick(), capture.Tick();
    EXPECT_EQ(std::tuple(capture.StopAsked(), capture.AskStop(), capture.SecondsLeft()), std::tuple(true, false, 7));
}

struct Ends {
    std::vector<std::string> results{};
    int reloads = 0;
    bool spent = false; // the next link must not reuse the page
    bool operator==(const Ends &) const = default;
};

void PrintTo(const Ends &e, std::ostream *os)
{
    *os << "{results";
    for (const std::string &r : e.results)
        *os << " \"" << r << "\"";
    *os << ", reloads " << e.reloads << ", spent " << e.spent << "}";
}

// Which ends leave a page that the next link must not reuse, and a lost
// renderer: S start, N start without a link, R (lost), with a page read L:p, a
// tick T, a close by hand E.
TEST(LinkCapture, ALostRendererReloadsOnceAndSpentPagesAreNotReused)
{
    const std::string fail = FailureText();
    const std::pair<const char *, Ends> rows[] = {
        {"S L:1", {.results = {"1"}}},                          // a price: the page is fit for the next link
        {"S T*10", {.results = {fail}, .spent = true}},         // timed out: the page may still be busy
        {"S E", {.spent = true}},                               // abandoned
        {"S L:1 E", {.results = {"1"}}},                        // a close after the result abandons nothing
        {"S T*5 R T*9 L:2", {.results = {"2"}, .reloads = 1, .spent = true}}, // a neighbour's crash: ticks afresh
        {"S R R", {.results = {fail}, .reloads = 1, .spent = true}},   // its own crash again: failed, no loop
        {"S R T*10", {.results = {fail}, .reloads = 1, .spent = true}}, // the reload times out like any link
        {"S R S R", {.reloads = 2, .spent = true}},             // each link may be reloaded once
        {"S L:1 R", {.results = {"1"}, .spent = true}},         // lost between links: dropped all the same
        {"S R S L:3", {.results = {"3"}, .reloads = 1}},        // the next link starts with a fresh page
        {"N E", {}},                                            // a job without a link loaded nothing
    };
    for (const auto &[events, expected] : rows) {
        SCOPED_TRACE(events);
        LinkCapture capture;
        Ends ends;
        for (const test::EventWord &event : test::EventWords(events)) {
            const std::string &word = event.word;
            for (int i = 0; i < event.times; ++i) {
                const CaptureAnswer a = word[0] == 'S' ? (capture.Start({0, 2, "http://a.example/p", {}, {}, {}}), CaptureAnswer{})
                                      : word[0] == 'N' ? (capture.Start({}), CaptureAnswer{})
                                      : word[0] == 'E' ? (capture.End(), CaptureAnswer{})
                                      : word[0] == 'R' ? capture.RendererLost()
                                      : word[0] == 'T' ? capture.Tick()
                                                       : capture.Look(capture.CurrentStart(), {true, word.substr(2), {}});
                ends.reloads += a.reload;
                if (a.result)
                    ends.results.push_back(*a.result);
            }
        }
        ends.spent = capture.PageSpent();
        EXPECT_EQ(ends, expected);
    }
}

} // namespace
} // namespace corvix
