// Edge cases of the text primitives over real GBK bytes. Characters used for
// their second bytes: 乗 81 5C ("\"), 乕 81 5B ("["), 億 83 7C ("|"),
// 丄 81 41 ("A"), 乤 81 61 ("a"); 中 D6 D0 + 网 CD F8 contain 型 D0 CD across
// their boundary.
#include "support/Gbk.h"
#include "support/TextUtils.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>

using namespace corvix;

namespace {

std::string G(const char *utf8) { return Gbk(utf8); }

struct FindCase {
    std::string text, what;
    TextPos start;
    bool ignoreCase;
    TextPos expected;
};

TEST(FindText, PositionsStartsAndEmptyTexts)
{
    const FindCase cases[] = {
        {"abcabc", "c", 1, false, 3},
        {"abcabc", "c", 4, false, 6},
        {"abcabc", "c", 6, false, 6},
        {"abcabc", "c", 0, false, 3},   // below 1 means 1
        {"abcabc", "c", -9, false, 3},
        {"abcabc", "c", 7, false, -1},  // beyond the end
        {"abcabc", "x", 1, false, -1},
        {"abc", "", 1, false, 1},       // empty what: 1, not the start
        {"abc", "", 3, false, 1},
        {"abc", "", 4, false, -1},
        {"", "", 1, false, -1},
        {"", "a", 1, false, -1},
        {"ab", "abc", 1, false, -1},
        {"ABC", "b", 1, false, -1},
        {"ABC", "b", 1, true, 2},
        {"xAbC", "aBc", 1, true, 2},
    };
    for (const FindCase &c : cases)
        EXPECT_EQ(FindText(c.text, c.what, c.start, c.ignoreCase), c.expected)
            << c.text << " / " << c.what << " from " << c.start;
}

TEST(FindText, NeverMatchesFromTheSecondByteOfACharacter)
{
    // 型 (D0 CD) stands across the boundary of 中 and 网.
    EXPECT_EQ(FindText(G("中网"), G("型")), -1);
    EXPECT_EQ(FindText(G("中网型"), G("型")), 5);
    EXPECT_EQ(FindText(G("中网"), G("网")), 3);
    // Second bytes that are ASCII: "\", "[", "|", "A".
    EXPECT_EQ(FindText(G("乗\\"), "\\"), 3);
    EXPECT_EQ(FindText(G("乕[a]"), "["), 3);
    EXPECT_EQ(FindText(G("億|"), "|"), 3);
    EXPECT_EQ(FindText(G("乕"), "["), -1);
    // A search from the middle of a character still counts characters from the
    // first byte of the text.
    EXPECT_EQ(FindText(G("乗\\"), "\\", 2), 3);
    // The boundary rule holds far into a long run of two-byte characters.
    std::string longRun;
    for (int i = 0; i < 5000; ++i)
        longRun += G("中网");
    EXPECT_EQ(FindText(longRun + G("型"), G("型")), static_cast<TextPos>(longRun.size()) + 1);
    EXPECT_EQ(FindText(longRun, G("型")), -1);
    EXPECT_EQ(FindText(longRun, G("网中"), 3), 3);
    // With ignore case only single-byte letters fold: 丄 (81 41) is not 乤 (81 61).
    EXPECT_EQ(FindText(G("丄"), G("乤"), 1, true), -1);
    EXPECT_EQ(FindText(G("丄b"), "Ab", 1, true), -1);
    EXPECT_EQ(FindText(G("丄Ab"), "ab", 1, true), 3);
}

TEST(FindText, LoneHighByteAtTheEndEndsTheScan)
{
    EXPECT_EQ(FindText("ab\x81", "\x81"), -1);
    EXPECT_EQ(FindText("\x81", "\x81"), -1);
    EXPECT_EQ(FindText("ab\x81", "b"), 2);
    // 0x81 followed by "a" is one character, so "a" is not found after it.
    EXPECT_EQ(FindText("\x81" "a", "a"), -1);
}

TEST(FindTextBackward, LastOccurrenceWithinTheFirstBytes)
{
    const FindCase cases[] = {
        {"abca", "a", 4, false, 1},
        {"abca", "a", kWholeText, false, 4}, // omitted: the whole text
        {"abca", "a", 1, false, -1},
        {"abca", "a", 0, false, -1},
        {"abca", "a", -3, false, -1},
        {"abca", "a", 5, false, 4},
        {"abca", "a", 99, false, 4},
        {"abcabc", "bc", 6, false, 2},  // the second "bc" does not fit in 5 bytes
        {"abcabc", "bc", 7, false, 5},
        {"abc", "x", kWholeText, false, -1},
        {"abc", "", kWholeText, false, -1},
        {"ABCA", "a", kWholeText, true, 4},
        {"ABCA", "a", kWholeText, false, -1},
    };
    for (const FindCase &c : cases)
        EXPECT_EQ(FindTextBackward(c.text, c.what, c.start, c.ignoreCase), c.expected)
            << c.text << " / " << c.what << " before " << c.start;
    EXPECT_EQ(FindTextBackward(G("乗乗"), "\\"), -1);
    EXPECT_EQ(FindTextBackward(G("a乗\\b"), "\\"), 4);
    EXPECT_EQ(FindTextBackward(G("中网中网"), G("型")), -1);
}

TEST(SubTexts, MidLeftRight)
{
    EXPECT_EQ(MidText("abcdef", 2, 3), "bcd");
    EXPECT_EQ(MidText("abcdef", 6, 10), "f");
    EXPECT_EQ(MidText("abcdef", 0, 3), "");
    EXPECT_EQ(MidText("abcdef", 7, 1), "");
    EXPECT_EQ(MidText("abcdef", 2, 0), "");
    EXPECT_EQ(MidText("abcdef", 2, -1), "");
    EXPECT_EQ(MidText("", 1, 1), "");
    // Bytes, not characters: half a character comes out as it is.
    EXPECT_EQ(MidText(G("中"), 2, 1), "\xD0");
    EXPECT_EQ(LeftText("abc", 2), "ab");
    EXPECT_EQ(LeftText("abc", 9), "abc");
    EXPECT_EQ(LeftText("abc", 0), "");
    EXPECT_EQ(LeftText("abc", -1), "");
    EXPECT_EQ(RightText("abc", 2), "bc");
    EXPECT_EQ(RightText("abc", 9), "abc");
    EXPECT_EQ(RightText("abc", 0), "");
    EXPECT_EQ(RightText("abc", -3), "");
}

TEST(ReplaceText, StartCountAndNoRescanning)
{
    EXPECT_EQ(ReplaceText("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(ReplaceText("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(ReplaceText("abcabc", "b", "X", 3), "abcaXc");
    EXPECT_EQ(ReplaceText("abcabc", "b", "X", 1, 1), "aXcabc");
    EXPECT_EQ(ReplaceText("abcabc", "b", "X", 1, 0), "abcabc");
    EXPECT_EQ(ReplaceText("abcabc", "b", "X", 7), "abcabc");
    EXPECT_EQ(ReplaceText("abcabc", "b", "X", -2), "aXcaXc");
    EXPECT_EQ(ReplaceText("abcabc", "b"), "acac");
    EXPECT_EQ(ReplaceText("abc", "", "X"), "abc");
    EXPECT_EQ(ReplaceText("", "a", "X"), "");
    EXPECT_EQ(ReplaceText("ABab", "ab", "x", 1, kAll, false), "xx");
    EXPECT_EQ(ReplaceText("ABab", "ab", "x", 1, kAll, true), "ABx");
    EXPECT_EQ(ReplaceText(G("乗\\乗"), "\\", "/"), G("乗/乗"));
    EXPECT_EQ(ReplaceText(G("中网"), G("型"), "X"), G("中网"));
}

TEST(SplitText, PiecesAndTheDroppedTrailingPiece)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitText("a,b,,c"), (V{"a", "b", "", "c"}));
    EXPECT_EQ(SplitText(",a"), (V{"", "a"}));
    EXPECT_EQ(SplitText("a,b,"), (V{"a", "b"}));
    EXPECT_EQ(SplitText("a,,"), (V{"a", ""}));
    EXPECT_EQ(SplitText(","), (V{""}));
    EXPECT_EQ(SplitText(""), V{});
    EXPECT_EQ(SplitText("abc"), (V{"abc"}));
    EXPECT_EQ(SplitText("a,b,c", ",", 2), (V{"a", "b"}));
    EXPECT_EQ(SplitText("a,b,c", ",", 0), V{});
    EXPECT_EQ(SplitText("a,b", "", -1), (V{"a,b"}));
    EXPECT_EQ(SplitText("A\r\nB\r\n", "\r\n"), (V{"A", "B"}));
    EXPECT_EQ(SplitText("\r\nA", "\r\n"), (V{"", "A"}));
    // 億 ends in "|": splitting at "|" keeps it whole.
    EXPECT_EQ(SplitText(G("億|价格|") + "12", "|"), (V{G("億"), G("价格"), "12"}));
}

TEST(TrimText, AsciiAndFullWidthBlanks)
{
    EXPECT_EQ(TrimText("  a b  "), "a b");
    EXPECT_EQ(TrimText(G("　a　 ")), "a");
    EXPECT_EQ(TrimText("\ta\r\n"), "\ta\r\n");
    EXPECT_EQ(TrimText("   "), "");
    EXPECT_EQ(TrimText(""), "");
    // 啊 is B0 A1: its second byte and a following A1 are no full-width blank.
    EXPECT_EQ(TrimText(G("啊") + "\xA1"), G("啊") + "\xA1");
    EXPECT_EQ(TrimText(G("啊　")), G("啊"));
}

TEST(ToLowerText, OnlySingleByteLetters)
{
    EXPECT_EQ(ToLowerText("AbC-Z@["), "abc-z@[");
    EXPECT_EQ(ToLowerText(G("中A网B")), G("中a网b"));
    // The second byte of 丄 is "A" and stays.
    EXPECT_EQ(ToLowerText(G("丄A丄")), G("丄a丄"));
    EXPECT_EQ(ToLowerText("A\x81"), "a\x81");
    EXPECT_EQ(ToLowerText(""), "");
    // Long enough for the eight-byte steps, with characters at odd offsets.
    const std::string mixed = "HELLO WORLD " + G("丄") + "ABCDEFGHIJ" + G("丄丄") + "K" + G("丄");
    EXPECT_EQ(ToLowerText(mixed), "hello world " + G("丄") + "abcdefghij" + G("丄丄") + "k" + G("丄"));
}

TEST(ToLowerText, SameAsACharacterWalkOnRandomBytes)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 100);
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        const int n = length(rng);
        for (int k = 0; k < n; ++k) {
            // Mostly ASCII letters, so that eight-byte words without high bytes occur.
            const int b = byte(rng);
            text.push_back(static_cast<char>(b < 160 ? 'A' + b % 58 : b));
        }
        std::string expected = text;
        for (size_t i = 0; i < expected.size(); ++i) {
            const auto c = static_cast<unsigned char>(expected[i]);
            if (c >= 0x81 && c <= 0xFE) // a lead byte: its second byte stays
                ++i;
            else if (c >= 'A' && c <= 'Z')
                expected[i] = static_cast<char>(c + 32);
        }
        ASSERT_EQ(ToLowerText(text), expected) << text;
    }
}

TEST(Numbers, LeadingIntegerAndNumber)
{
    const std::pair<std::string, long long> integers[] = {
        {"123abc", 123}, {"  -42", -42}, {"+7", 7}, {"abc", 0}, {"", 0}, {"12.9", 12}, {"- 1", 0},
        {"\t\r\n5", 5},  {G("１２３"), 123}, {G("－５"), -5}, {G("　12"), 12}, {G("１2３x"), 123},
        {G("价格12"), 0}, {"99999999999999999999", LLONG_MAX}, {"-99999999999999999999", LLONG_MIN},
        {"0000000000", 0}, {"1543917600", 1543917600},
    };
    for (const auto &[text, value] : integers)
        EXPECT_EQ(TextToInteger(text), value) << text;
    const std::pair<std::string, double> numbers[] = {
        {"1,299.00", 1.0}, {"12.50" + G("元"), 12.5}, {".5", 0.5}, {"-3.25e2x", -325.0}, {"1e", 1.0},
        {"abc", 0.0},      {G("１２．５"), 12.5},     {"5.", 5.0}, {".", 0.0},           {"-.25", -0.25},
    };
    for (const auto &[text, value] : numbers)
        EXPECT_DOUBLE_EQ(TextToNumber(text), value) << text;
    EXPECT_EQ(TruncateToInteger(2.7), 2);
    EXPECT_EQ(TruncateToInteger(-2.7), -2);
    EXPECT_EQ(TruncateToInteger(std::nan("")), 0);
    EXPECT_EQ(TruncateToInteger(1e300), LLONG_MAX);
}

TEST(SmallPrimitives, CompareLengthBlank)
{
    EXPECT_EQ(CompareTexts("a", "b"), -1);
    EXPECT_EQ(CompareTexts("b", "a"), 1);
    EXPECT_EQ(CompareTexts("a", "a"), 0);
    EXPECT_EQ(CompareTexts("ab", "a"), 1);
    EXPECT_EQ(CompareTexts("", "a"), -1);
    EXPECT_EQ(CompareTexts("", ""), 0);
    EXPECT_EQ(CompareTexts("\x80", "a"), 1); // bytes compare unsigned
    EXPECT_EQ(TextLength(G("中a")), 3);
    EXPECT_EQ(BlankText(3), "   ");
    EXPECT_EQ(BlankText(0), "");
    EXPECT_EQ(BlankText(-1), "");
}

TEST(TextBetween, MarkersStartAndPlaceholder)
{
    EXPECT_EQ(TextBetween("price:<b>12.50</b>", "<b>", "</b>"), "12.50");
    EXPECT_EQ(TextBetween("price:<b>12.50", "<b>", "</b>"), "");
    EXPECT_EQ(TextBetween("</b>price:<b>12.50", "<b>", "</b>"), "");
    EXPECT_EQ(TextBetween("xyz 1 abc 2", "abc", "xyz"), "");
    EXPECT_EQ(TextBetween("[open]1[/open]", "[open]", "[/open]"), "1");
    EXPECT_EQ(TextBetween("[open][/open]", "[open]", "[/open]"), "");
    EXPECT_EQ(TextBetween("a<b>c<b>d</b>", "<b>", "</b>"), "c<b>d");
    // Empty markers: from the beginning; never anything.
    EXPECT_EQ(TextBetween("12</b>34</b>", "", "</b>"), "12");
    EXPECT_EQ(TextBetween("12</b>34</b>", "", "</b>", 5), "12");
    EXPECT_EQ(TextBetween("<b>12", "<b>", ""), "");
    // A start skips earlier markers.
    EXPECT_EQ(TextBetween("[A0]x[A1]y[", "[", "]", 5), "A1");
    // "#引号" stands for a double quote in both markers.
    EXPECT_EQ(TextBetween("<em class=\"p\">99</em>", G("class=#引号p#引号>"), "<"), "99");
    EXPECT_EQ(TextBetween("a\"1\"b", G("#引号"), G("#引号")), "1");
    EXPECT_EQ(TextBetween(G("<em>￥128</em>"), G("<em>￥"), "</em>"), "128");
    // Markers are found at character boundaries only.
    EXPECT_EQ(TextBetween(G("乕[a]"), "[", "]"), "a");
    EXPECT_EQ(TextBetween("ABC", "b", "c", 0, true), "");
    EXPECT_EQ(TextBetween("AbxC", "B", "c", 0, true), "x");
}

TEST(CountOccurrences, NonOverlapping)
{
    EXPECT_EQ(CountOccurrences("aaaa", "aa", true), 2);
    EXPECT_EQ(CountOccurrences("aaa", "aa", true), 1);
    EXPECT_EQ(CountOccurrences("", "a", true), 0);
    EXPECT_EQ(CountOccurrences("a", "", true), 0);
    EXPECT_EQ(CountOccurrences("aAa", "a", true), 2);
    EXPECT_EQ(CountOccurrences("aAa", "a", false), 3);
    EXPECT_EQ(CountOccurrences(G("乗\\乗\\"), "\\", true), 2);
    EXPECT_EQ(CountOccurrences(G("中网中网"), G("型"), true), 0);
}

TEST(QuotePlaceholder, EveryOccurrence)
{
    EXPECT_EQ(QuotePlaceholder(G("a#引号b#引号")), "a\"b\"");
    EXPECT_EQ(QuotePlaceholder("#"), "#");
    EXPECT_EQ(QuotePlaceholder(""), "");
}

// The cleaning exactly as the program has always done it, one pass per '<':
// the reference for the faster StripPriceText.
std::string LiteralStripPriceText(std::string_view input)
{
    std::string text(input);
    for (const std::string &what : {G("￥"), std::string("\t"), std::string(" "), std::string("&quot;"),
                                    std::string("&amp;"), std::string("&lt;"), std::string("&gt;"),
                                    std::string("&nbsp;")})
        text = ReplaceText(text, what, "", 1, kAll, true);
    const int n = CountOccurrences(text, "<", false);
    for (int i = 0; i < n; ++i) {
        const std::string tag = TextBetween(text, "<", ">");
        text = ReplaceText(text, "<" + tag + ">", "", 1, kAll, true);
    }
    return text;
}

TEST(StripPriceText, CleansPrices)
{
    const std::pair<std::string, std::string> cases[] = {
        {G("<span class=p>￥ 1,299.00</span>"), "1,299.00"},
        {"12&nbsp;&amp;3", "123"},
        {"a<b", "a<b"},
        {"&quot;&lt;b&gt;", "b"},          // entities are removed, not decoded
        {"&am p;1", "1"},                   // the blank goes first, then "&amp;"
        {"1\r\n2", "1\r\n2"},               // line breaks stay
        {"<<b>a>", "a>"},                   // the first tag is "<<b>"
        {"<b><<b>a>", ""},                  // "<b>" twice, then the joined "<a>"
        {"<b>1<i>2</i></b>", "12"},
        {"<>1<>", "1"},
        {"x<y>z<", "xz<"},
        {"<a<b>>", ">"},
        {"1<b>2<b", "12<b"},
        {"<b>x", "x"},
        {"<i>a<b", "a<b"},
        {"a<b<i>c</i>", "ac"},            // the first tag is "<b<i>"
        {"a<b c>d<b c>", "ad"},            // blanks go before the tags
        {G("乕<b>12</b>元"), G("乕12元")},
        {"\x81<b>1", "\x81<b>1"},          // that '<' is the second byte of a character
        {"", ""},
    };
    for (const auto &[input, expected] : cases) {
        EXPECT_EQ(StripPriceText(input), expected) << input;
        EXPECT_EQ(LiteralStripPriceText(input), expected) << input;
    }
}

std::string RandomMarkup(std::mt19937 &rng, int pieces)
{
    static const std::vector<std::string> parts = {
        "<", ">", "<", ">", "<b>", "</b>", "<i>", "</i>", "<b", "b>", "a", "b", "1", ".", " ", "\t", "&nbsp;",
        "&am", "p;", "&lt;", "&gt;", G("中"), G("乗"), G("乕"), G("億"), G("丄"), G("￥"), "\x81", "\xA3", "<<", ">>",
        "<a href=x>", "</a>", "\r\n",
    };
    std::uniform_int_distribution<size_t> pick(0, parts.size() - 1);
    std::string out;
    for (int i = 0; i < pieces; ++i)
        out += parts[pick(rng)];
    return out;
}

TEST(StripPriceText, SameAsThePassByPassCleaningOnGeneratedMarkup)
{
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> length(0, 40);
    for (int i = 0; i < 20000; ++i) {
        const std::string input = RandomMarkup(rng, length(rng));
        ASSERT_EQ(StripPriceText(input), LiteralStripPriceText(input)) << "input: " << input;
    }
    // Longer texts with few distinct tags, so that copies and joins abound.
    std::uniform_int_distribution<int> small(0, 5);
    const std::string alphabet[] = {"<", ">", "a", "b", "<a>", G("乗")};
    for (int i = 0; i < 3000; ++i) {
        std::string input;
        const int n = 20 + i % 200;
        for (int k = 0; k < n; ++k)
            input += alphabet[small(rng)];
        ASSERT_EQ(StripPriceText(input), LiteralStripPriceText(input)) << "input: " << input;
    }
}

} // namespace

// Code page 936 writes "€" as the single byte 80 (and leaves FF single): only
// 81..FE start a two-byte character. Each row puts such a byte before a
// two-byte character whose second byte is the one searched for, or before an
// ASCII letter that folds.
TEST(SingleByteCharacters, EuroAndFfEndTheirOwnCharacter)
{
    const std::string euro = "\x80", ff = "\xFF";
    const FindCase finds[] = {
        {"89,90" + euro + "|120.00|", "|", 1, false, 7},
        {euro + G("億") + "|", "|", 1, false, 4},
        {euro + G("乗") + "\\", "\\", 1, false, 4},
        {euro + G("乕") + "[", "[", 1, false, 4},
        {ff + G("億") + "|", "|", 1, false, 4},
        {euro + "A", "a", 1, true, 2},
        {"[left]" + euro + "[/left]", "[/left]", 1, false, 8},
        {"x" + euro, euro, 1, false, 2},
    };
    for (const FindCase &c : finds)
        EXPECT_EQ(FindText(c.text, c.what, c.start, c.ignoreCase), c.expected) << c.text << " / " << c.what;

    EXPECT_EQ(SplitText("89,90" + euro + "|120.00|", "|"), (std::vector<std::string>{"89,90" + euro, "120.00"}));
    EXPECT_EQ(ReplaceText(euro + G("億") + "|", "|", "!"), euro + G("億") + "!");
    EXPECT_EQ(ToLowerText(euro + "AB" + ff + "C"), euro + "ab" + ff + "c");
    EXPECT_EQ(TrimText(" " + euro + " "), euro);
    EXPECT_EQ(TextBetween("[left]" + euro + "[/left]", "[left]", "[/left]"), euro);
    EXPECT_EQ(CountOccurrences(euro + "|" + euro + "|", "|", true), 2);
    EXPECT_EQ(TextToNumber(euro + "12"), 0.0);
    EXPECT_EQ(StripPriceText(euro + "<b>9</b>"), euro + "9");
}
