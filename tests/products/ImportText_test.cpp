#include "products/ImportText.h"

#include "support/Gbk.h"

#include <gtest/gtest.h>

namespace corvix {
namespace {

TEST(ImportText, NormaliseSeparators)
{
    struct Case {
        std::string in, out;
    } cases[] = {
        {Gbk("Phone，L1|L2"), "Phone,L1,L2"},
        {Gbk("Case《L3》"), "Case,L3,"},
        {"a<b>c,d", "a,b,c,d"},
        {"", ""},
        {"no separators", "no separators"},
        // 億 ends in "|", 乗 in "\": a two-byte character is never cut.
        {Gbk("億元|x"), Gbk("億元") + ",x"},
        {Gbk("T，a") + "\r\n" + Gbk("U》b"), "T,a\r\nU,b"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(NormaliseSeparators(c.in), c.out) << GbkToUtf8(c.in);
}

TEST(ImportText, PrepareClipboardTextOffersOnlyTextsWithSeparatedFirstLine)
{
    struct Case {
        std::string in, out;
    } cases[] = {
        {Gbk("Phone，L1|L2") + "\r\n" + Gbk("Case《L3》"), "Phone,L1,L2\r\nCase,L3,"},
        {"Bare title\r\nx,y", ""},
        {"", ""},
        {"a|b", "a,b"},
        {",", ""}, // one empty field before the separator and nothing after
        {"\r\na,b", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PrepareClipboardText(c.in), c.out) << GbkToUtf8(c.in);
}

TEST(ImportText, CountLines)
{
    struct Case {
        const char *text;
        int lines;
    } cases[] = {
        {"", 0},          {"a", 1},           {"a\r\nb", 2},        {"a\r\nb\r\nc\r\n", 3},
        {"a\r\n", 1},     {"\r\n", 1},        {"a\nb", 2},          {"\n\n", 2},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CountLines(c.text), c.lines) << c.text;
}

} // namespace
} // namespace corvix
