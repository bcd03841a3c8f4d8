#include "support/Gbk.h"
#include "support/HostName.h"
#include "support/ListText.h"
#include "support/RegexObject.h"
#include "support/TextUtils.h"

#include <gtest/gtest.h>

using namespace corvix;

namespace {

std::string G(const char *utf8) { return Gbk(utf8); }

TEST(RegexObject, BlankLinePatternRemovesEmptyAndBlankLines)
{
    RegexObject regex;
    ASSERT_TRUE(regex.ExecutePattern("\\n\\s*\\r", "a\r\n \r\n\r\nb\r\n"));
    EXPECT_EQ(regex.ReplaceMatches(""), "a\r\nb\r\n");
}

TEST(RegexObject, SettingsCaseLinesGlobal)
{
    RegexObject regex;
    // Defaults: case-insensitive, multi-line, global.
    ASSERT_TRUE(regex.ExecutePattern("b", "aBcb"));
    EXPECT_EQ(regex.MatchCount(), 2);
    EXPECT_EQ(regex.MatchText(1), "B");
    ASSERT_TRUE(regex.ExecutePattern("b", "aBcb", true));
    EXPECT_EQ(regex.MatchCount(), 1);
    ASSERT_TRUE(regex.ExecutePattern("^b", "a\nb"));
    EXPECT_EQ(regex.MatchCount(), 1);
    ASSERT_TRUE(regex.ExecutePattern("^b", "a\nb", false, false));
    EXPECT_EQ(regex.MatchCount(), 0);
    // Not global: at most one match, and only it is replaced.
    ASSERT_TRUE(regex.ExecutePattern("o", "foo", false, true, false));
    EXPECT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(regex.ReplaceMatches("0"), "f0o");
    ASSERT_TRUE(regex.ExecutePattern("o", "foo"));
    EXPECT_EQ(regex.ReplaceMatches("0"), "f00");
    // No match is still a result.
    ASSERT_TRUE(regex.ExecutePattern("x", "foo"));
    EXPECT_EQ(regex.MatchCount(), 0);
    EXPECT_EQ(regex.ReplaceMatches("y"), "foo");
}

TEST(RegexObject, InvalidPatternGivesNothing)
{
    RegexObject regex;
    ASSERT_TRUE(regex.ExecutePattern("o", "foo"));
    EXPECT_FALSE(regex.ExecutePattern("(", "foo"));
    EXPECT_EQ(regex.MatchCount(), 0);
    EXPECT_EQ(regex.MatchText(1), "");
    EXPECT_EQ(regex.ReplaceMatches("x"), "");
    RegexObject fresh;
    EXPECT_EQ(fresh.MatchCount(), 0);
    EXPECT_EQ(fresh.ReplaceMatches("x"), "");
}

TEST(RegexObject, MatchNumbersOutsideTheRange)
{
    RegexObject regex;
    ASSERT_TRUE(regex.ExecutePattern("\\d+", "a1b22"));
    EXPECT_EQ(regex.MatchText(0), "");
    EXPECT_EQ(regex.MatchText(2), "22");
    EXPECT_EQ(regex.MatchText(3), "");
    EXPECT_EQ(regex.MatchText(-1), "");
}

TEST(RegexObject, GbkInAndOut)
{
    RegexObject regex;
    ASSERT_TRUE(regex.ExecutePattern(G("价格：(\\d+)"), G("商品价格：128元")));
    ASSERT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(regex.MatchText(1), G("价格：128"));
    EXPECT_EQ(regex.ReplaceMatches(G("[$1]")), G("商品[128]元"));
    // "\" as a second byte (乗) is no escape once the text is Unicode.
    ASSERT_TRUE(regex.ExecutePattern(G("乗"), G("a乗b乗")));
    EXPECT_EQ(regex.MatchCount(), 2);
}

TEST(RegexObject, ClassEscapesAreAscii)
{
    RegexObject regex;
    ASSERT_TRUE(regex.ExecutePattern("\\d+", G("１２3")));
    ASSERT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(regex.MatchText(1), "3");
    ASSERT_TRUE(regex.ExecutePattern("\\s", G("a　b")));
    EXPECT_EQ(regex.MatchCount(), 0);
    ASSERT_TRUE(regex.ExecutePattern("[\\s,]+", "a ,\tb"));
    EXPECT_EQ(regex.MatchText(1), " ,\t");
    ASSERT_TRUE(regex.ExecutePattern("[^\\S]", "a b"));
    EXPECT_EQ(regex.MatchText(1), " ");
    ASSERT_TRUE(regex.ExecutePattern("\\w+", G("ab_1中")));
    EXPECT_EQ(regex.MatchText(1), "ab_1");
    ASSERT_TRUE(regex.ExecutePattern("\\\\s", "a\\sb"));
    EXPECT_EQ(regex.MatchText(1), "\\s");
}

TEST(RegexObject, ReplacementDollarForms)
{
    RegexObject regex;
    ASSERT_TRUE(regex.ExecutePattern("(b)(c)?", "abd"));
    EXPECT_EQ(regex.ReplaceMatches("[$&|$1|$2|$$|$3|$`|$']"), "a[b|b||$|$3|a|d]d");
    EXPECT_EQ(regex.ReplaceMatches("\\1"), "a\\1d");
}

TEST(RegexObject, QuotePlaceholderInThePattern)
{
    RegexObject regex;
    ASSERT_TRUE(regex.ExecutePattern(G("#引号(\\w+)#引号"), "x\"abc\"y", false, true, true, true));
    ASSERT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(regex.MatchText(1), "\"abc\"");
    ASSERT_TRUE(regex.ExecutePattern(G("#引号(\\w+)#引号"), "x\"abc\"y"));
    EXPECT_EQ(regex.MatchCount(), 0);
}

TEST(CleanListText, OneOuterLineBreakAndBlankLines)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\r\nA", "A"},
        {"A\r\n", "A"},
        {"\r\n\r\nA\r\n\r\n", "\r\nA\r\n"}, // one pair at each end only; no line feed precedes the first
        {"a\r\n\r\n\r\nb", "a\r\nb"},
        {"A\r\n \r\n\t\r\nB\r\nC", "A\r\nB\r\nC"},
        {"A\r\n  B", "A\r\n  B"},             // leading blanks of a title stay
        {G("A\r\n　\r\nB"), G("A\r\n　\r\nB")}, // a full-width blank is no blank here
        {"", ""},
        {"\r\n", ""},
        {G("中\r\n\r\n乗\\"), G("中\r\n乗\\")},
    };
    for (const auto &[input, expected] : cases)
        EXPECT_EQ(CleanListText(input), expected) << input;
}

TEST(RemoveLine, ByNumber)
{
    struct Case {
        std::string text;
        long long line;
        std::string expected;
    };
    const Case cases[] = {
        {"A\r\nB\r\nC", 2, "A\r\nC"},
        {"A\r\nB\r\nC", 1, "B\r\nC"},
        {"A\r\nB\r\nC", 3, "A\r\nB"},
        {"A\r\nB\r\nC", 4, "A\r\nB\r\nC"},
        {"A\r\nB\r\nC", 0, "A\r\nB\r\nC"},
        {"A", 1, ""},
        {"A", 2, "A"},
        {"A\r\nB\r\n", 2, "A"},         // the trailing line break goes with the split
        {"\r\nA", 1, "A"},
        {"", 1, ""},
        {G("億|1\r\n乗\\2"), 1, G("乗\\2")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RemoveLine(c.text, c.line), c.expected) << c.text << " line " << c.line;
}

TEST(InsertLine, UndoesRemoveLine)
{
    struct Case {
        std::string text;
        long long line;
    };
    const Case cases[] = {
        {"A\r\nB\r\nC", 1}, {"A\r\nB\r\nC", 2}, {"A\r\nB\r\nC", 3}, {"A", 1},
        {"A|\r\n\r\nB|", 3}, {"A|\r\n\r\nB|", 1}, {G("億|1\r\n乗\\2"), 2},
    };
    for (const Case &c : cases) {
        const std::string line = SplitText(c.text, "\r\n")[static_cast<size_t>(c.line - 1)];
        EXPECT_EQ(InsertLine(RemoveLine(c.text, c.line), c.line, line), c.text) << c.text << " line " << c.line;
    }
    // Beyond the last line it becomes the last one.
    EXPECT_EQ(InsertLine("A", 5, "B"), "A\r\nB");
}

TEST(FirstHostName, HostOfALink)
{
    const std::pair<std::string, std::string> cases[] = {
        {"https://item.shop.example.com/p/1.html", "item.shop.example.com"},
        {"http://127.0.0.1:8080/a", "127.0.0.1"},
        {"http://localhost/x", ""},
        {"abc", ""},
        {"", ""},
        {"a.b.", "a.b."},
        {"HTTP://WWW.Shop.CN/X", "WWW.Shop.CN"},
        {G("链接：https://www.abc.cn/商品"), "www.abc.cn"},
        {"x-y.z", "x-y.z"},
        {"-a.b", "a.b"},
    };
    for (const auto &[link, host] : cases)
        EXPECT_EQ(FirstHostName(link), host) << link;
}

TEST(WebAddress, OnlyHttpAndHttpsPagesAndHostsTypedWithoutScheme)
{
    const std::pair<std::string, std::string> cases[] = {
        {"http://shop.example/p?id=1", "http://shop.example/p?id=1"},
        {" HTTPS://127.0.0.1:8080/a ", "HTTPS://127.0.0.1:8080/a"},
        {"http://localhost/x", "http://localhost/x"},
        {"shop.example.com/item/1", "http://shop.example.com/item/1"},
        {"127.0.0.1:8080/a", "http://127.0.0.1:8080/a"},
        {"httpbin.org/get", "http://httpbin.org/get"},
        {"file:///etc/passwd?http", ""},
        {"javascript:location='http://a.b'", ""},
        {"ftp://a.b/x", ""},
        {"a.b:http", ""},
        {"http:///etc/passwd", ""},
        {"http:a.b", ""},
        {"see http://a.b", ""},
        {"abc", ""},
        {"", ""},
    };
    for (const auto &[link, address] : cases)
        EXPECT_EQ(WebAddress(link), address) << link;
}

TEST(HostOfAddress, LowerCasedWithoutPortOrUser)
{
    const std::pair<std::string, std::string> cases[] = {
        {"HTTP://Shop.Example:8080/p?id=1", "shop.example"},
        {"https://user:pw@a.localhost/x", "a.localhost"},
        {"http://127.0.0.1:8080/a", "127.0.0.1"},
        {"http://localhost", "localhost"},
        {"", ""},
    };
    for (const auto &[address, host] : cases)
        EXPECT_EQ(HostOfAddress(address), host) << address;
}

} // namespace
