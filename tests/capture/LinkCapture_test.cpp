#include "capture/LinkCapture.h"
#include "capture/CellTexts.h"
#include <gtest/gtest.h>
#include <sstream>
#include <tuple>

namespace corvix {
namespace {

struct Outcome {
    std::vector<std::string> results;
    int clears = 0, statusShows = 0, ticks = 0, emptyDownloads = 0, capturing = 0;
    bool operator==(const Outcome &) const = default;
};

// Events as words, "word*n" for n of them: S start, T tick, L:p a look finding
// p, D a download without a price, D:p one with p, N a download before the page
// has a document, E a close by hand; "^" last: an answer to the start before;
// "!" ("+") last: the page declares its product sold out (in stock).
Outcome Feed(const std::string &events)
{
    LinkCapture capture;
    Outcome out;
    std::istringstream words(events);
    for (std::string word; words >> word;) {
        const size_t star = word.find('*');
        const int times = star == std::string::npos ? 1 : std::stoi(word.substr(star + 1));
        word.resize(std::min(star, word.size()));
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
        {"T*10 L:1 D", {}},                                   // nothing started
        {"S T*9", {{}, 0, 9, 9, 0, 1}},                     // ninth tick: one second left
        {"S T*10", {{fail}, 0, 9, 9, 0, 0}},               // the tenth tick fails
        {"S T*12 D", {{fail}, 0, 9, 9, 0, 0}},             // once
        {"S D*8", {{}, 8, 0, 0, 8, 1}},                     // eight empty loads wait
        {"S D*9", {{fail}, 9, 0, 0, 9, 0}},                // the ninth fails, counted
        {"S N*20", {{}, 20, 0, 0, 0, 1}},                   // no document: no count
        {"S D*8 L:7.00", {{"7.00"}, 8, 0, 0, 8, 0}},       // a price before the ninth
        {"S T*9 D:1.00 T L:2", {{"1.00"}, 0, 9, 9, 0, 0}}, // the first result only
        {"S L: L:3.20", {{"3.20"}, 0, 0, 0, 0, 0}},        // an empty look is no price
        {"S S L:9.99^ D^ D:1^ T", {{}, 0, 1, 1, 0, 1}},     // an earlier link's answers
        {"S S L:9.99^ L:1.00", {{"1.00"}, 0, 0, 0, 0, 0}}, // ... then its own
        {"S T*5 D*5 S T*9 D*8", {{}, 13, 14, 9, 8, 1}},     // each link counts afresh
        {"S T*5 E T*10 D*10 L:1", {{}, 0, 5, 5, 0, 0}},    // closed by hand: no result
        {"S L:1 S T*10", {{"1", fail}, 0, 9, 9, 0, 0}},    // a run's next link
        // A sold-out page: no price in time is "缺货", not a failure.
        {"S L! T*10", {{sold}, 0, 9, 9, 0, 0}},
        {"S D! D*8", {{sold}, 9, 0, 0, 9, 0}},
        {"S L! L:5.00", {{"5.00"}, 0, 0, 0, 0, 0}},         // a price that comes still counts
        {"S L! L+ T*10", {{fail}, 0, 9, 9, 0, 0}},          // the page changed its mind
        {"S L! L T*10", {{sold}, 0, 9, 9, 0, 0}},           // a read that did not ask changes nothing
        {"S L! S T*10", {{fail}, 0, 9, 9, 0, 0}},           // the next link starts afresh
        {"S N! T*10", {{fail}, 1, 9, 9, 0, 0}},             // no document declares nothing
    };
    for (const auto &[events, expected] : rows)
        EXPECT_EQ(Feed(events), expected) << events;
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

// Which ends leave a page that the next link must not reuse, and a lost
// renderer: R (lost), with a page read L:p, a tick T, a close by hand E.
TEST(LinkCapture, ALostRendererReloadsOnceAndSpentPagesAreNotReused)
{
    const std::string fail = FailureText();
    struct Row {
        const char *events;
        std::vector<std::string> results;
        int reloads;
        bool spent;
    };
    const Row rows[] = {
        {"S L:1", {"1"}, 0, false},             // a price: the page is fit for the next link
        {"S T*10", {fail}, 0, true},            // timed out: the page may still be busy
        {"S E", {}, 0, true},                   // abandoned
        {"S L:1 E", {"1"}, 0, false},           // a close after the result abandons nothing
        {"S T*5 R T*9 L:2", {"2"}, 1, true},    // a neighbour's crash: loaded again, ticks afresh
        {"S R R", {fail}, 1, true},             // its own crash again: failed, no loop
        {"S R T*10", {fail}, 1, true},          // the reload times out like any link
        {"S R S R", {}, 2, true},               // each link may be reloaded once
        {"S L:1 R", {"1"}, 0, true},            // lost between links: dropped all the same
        {"S R S L:3", {"3"}, 1, false},         // the next link starts with a fresh page
        {"N E", {}, 0, false},                  // a job without a link loaded nothing
    };
    for (const Row &row : rows) {
        LinkCapture capture;
        std::vector<std::string> results;
        int reloads = 0;
        std::istringstream words(row.events);
        for (std::string word; words >> word;) {
            const size_t star = word.find('*');
            const int times = star == std::string::npos ? 1 : std::stoi(word.substr(star + 1));
            for (int i = 0; i < times; ++i) {
                const CaptureAnswer a = word[0] == 'S' ? (capture.Start({0, 2, "http://a.example/p", {}, {}, {}}), CaptureAnswer{})
                                      : word[0] == 'N' ? (capture.Start({}), CaptureAnswer{})
                                      : word[0] == 'E' ? (capture.End(), CaptureAnswer{})
                                      : word[0] == 'R' ? capture.RendererLost()
                                      : word[0] == 'T' ? capture.Tick()
                                                       : capture.Look(capture.CurrentStart(), {true, word.substr(2), {}});
                reloads += a.reload;
                if (a.result)
                    results.push_back(*a.result);
            }
        }
        EXPECT_EQ(std::tuple(results, reloads, capture.PageSpent()), std::tuple(row.results, row.reloads, row.spent))
            << row.events;
    }
}

} // namespace
} // namespace corvix
