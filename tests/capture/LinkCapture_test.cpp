#include "capture/LinkCapture.h"

#include "capture/CellTexts.h"

#include <gtest/gtest.h>

#include <sstream>

namespace corvix {
namespace {

// What the window did over a sequence of events.
struct Outcome {
    std::vector<std::string> results;
    int clears = 0, statusShows = 0, ticks = 0, emptyDownloads = 0;
    bool capturing = false;
    bool operator==(const Outcome &) const = default;
};

// Feeds events written as words, "word*n" for n of them: S start, T tick,
// L:p a look finding p, D a download without a price, D:p one with p,
// N a download before the page has a document, E a close by hand. A word
// ending in "^" is an answer to the start before the current one.
Outcome Feed(const std::string &events)
{
    LinkCapture capture;
    Outcome out;
    std::istringstream words(events);
    for (std::string word; words >> word;) {
        int times = 1;
        if (const auto star = word.find('*'); star != std::string::npos) {
            times = std::stoi(word.substr(star + 1));
            word.erase(star);
        }
        const bool earlier = word.back() == '^';
        const PageReading page{word[0] != 'N', word.size() > 2 ? word.substr(2, word.size() - 2 - earlier) : ""};
        for (int i = 0; i < times; ++i) {
            const LinkCapture::StartId start = capture.CurrentStart() - (earlier ? 1 : 0);
            CaptureAnswer a;
            switch (word[0]) {
            case 'S': capture.Start({}); break;
            case 'T': a = capture.Tick(); break;
            case 'L': a = capture.Look(start, page); break;
            case 'E': capture.End(); break;
            default: a = capture.DownloadComplete(start, page); break;
            }
            out.clears += a.clearCell;
            out.statusShows += a.showStatus;
            if (a.result)
                out.results.push_back(*a.result);
        }
    }
    out.ticks = capture.Ticks();
    out.emptyDownloads = capture.EmptyDownloads();
    out.capturing = capture.Capturing();
    return out;
}

TEST(LinkCapture, EventSequencesEndInOneResultForTheirOwnLink)
{
    const std::string fail = FailureText();
    const struct Row {
        const char *events;
        Outcome expected;
    } rows[] = {
        {"T*10 L:1 D", {}},                                        // nothing started
        {"S T*9", {{}, 0, 9, 9, 0, true}},                          // ninth tick: one second left
        {"S T*10", {{fail}, 0, 9, 9, 0, false}},                    // the tenth tick fails
        {"S T*12 D", {{fail}, 0, 9, 9, 0, false}},                  // once
        {"S D*8", {{}, 8, 0, 0, 8, true}},                          // eight empty loads wait
        {"S D*9", {{fail}, 9, 0, 0, 9, false}},                     // the ninth fails, counted
        {"S N*20", {{}, 20, 0, 0, 0, true}},                        // no document: no count
        {"S D*8 L:7.00", {{"7.00"}, 8, 0, 0, 8, false}},            // a price before the ninth
        {"S T*9 D:1.00 T L:2", {{"1.00"}, 0, 9, 9, 0, false}},      // the first result only
        {"S L: L:3.20", {{"3.20"}, 0, 0, 0, 0, false}},             // an empty look is no price
        {"S S L:9.99^ D^ D:1^ T", {{}, 0, 1, 1, 0, true}},          // an earlier link's answers
        {"S S L:9.99^ L:1.00", {{"1.00"}, 0, 0, 0, 0, false}},      // ... then its own
        {"S T*5 D*5 S T*9 D*8", {{}, 13, 14, 9, 8, true}},           // each link counts afresh
        {"S T*5 E T*10 D*10 L:1", {{}, 0, 5, 5, 0, false}},          // closed by hand: no result
        {"S L:1 S T*10", {{"1", fail}, 0, 9, 9, 0, false}},          // a run's next link
    };
    for (const Row &row : rows)
        EXPECT_EQ(Feed(row.events), row.expected) << row.events;
}

TEST(LinkCapture, StopIsAskedOnceForTheWindowAndSecondsCountDown)
{
    LinkCapture capture;
    EXPECT_TRUE(capture.AskStop());
    capture.Start({});
    EXPECT_TRUE(capture.StopAsked()) << "the run ends after this link";
    EXPECT_FALSE(capture.AskStop());
    EXPECT_EQ(capture.SecondsLeft(), 10);
    for (int i = 0; i < 3; ++i)
        capture.Tick();
    EXPECT_EQ(capture.SecondsLeft(), 7);
}

} // namespace
} // namespace corvix
