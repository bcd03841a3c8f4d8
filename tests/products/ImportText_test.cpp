#include "products/ImportText.h"

#include "common/CoreTestSupport.h"
#include "products/LinkFile.h"

#include "support/Gbk.h"

#include <gtest/gtest.h>

#include <vector>

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
        {"Phone\thttp://a\t\thttp://c", "Phone,http://a,,http://c"}, // cells copied from a spreadsheet
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

TEST(ImportText, CountImportCountsTheRowsARunBuildsAndTheLinksItLeavesOut)
{
    struct Case {
        const char *text;
        int ruleColumns, rows, ignored;
    } cases[] = {
        {"", 2, 0, 0},
        {"a,L1\r\nb,L2,L3\r\n", 2, 2, 0},
        {"title only\r\n\r\na,L1,\r\nb,", 2, 1, 0}, // lines without a second field build no row
        {"a,L1,L2,L3,L4\r\nb,L1,L2,L3", 2, 2, 3},
        {"a,L1,,  ,L4", 1, 1, 1}, // empty fields are no links
        {"a,L1,L2\r\nb,L3", 0, 2, 3},
    };
    for (const Case &c : cases) {
        const ImportCount count = CountImport(c.text, c.ruleColumns);
        EXPECT_EQ(count.rows, c.rows) << c.text;
        EXPECT_EQ(count.ignoredLinks, c.ignored) << c.text;
    }
}

TEST(ImportText, CountImportNamesTheLinesThatGiveNoProduct)
{
    EXPECT_EQ(CountImport("title only\r\n\r\na,L1\r\n  \r\nb,\r\nc", 2).linesWithoutProduct,
              (std::vector<int>{1, 5, 6}));
}

// url.ini after an import over url.ini as it was, the shops being S1 and S2.
std::string Merged(std::string before, std::string importText, ImportMode mode)
{
    LinkFile links = LinkFile::Parse(before);
    MergeImport(links, ImportedProducts(importText), {"S1", "S2"}, mode);
    return links.Text();
}

TEST(ImportText, MergeImportWritesEachProductsSectionWhole)
{
    const std::string old = "[A0]\r\ntitle=Old\r\nS1=http://a/old\r\nS2=http://b/old\r\nS9=http://c/old\r\n"
                            "[A1]\r\ntitle=Keep\r\nS1=http://a/k\r\nS9=http://c/k\r\n"
                            "[A5]\r\ntitle=Third\r\nS1=http://a/t\r\n"
                            "[other]\r\nx=1\r\n";
    const struct {
        const char *name;
        ImportMode mode;
        std::string text, expected;
    } cases[] = {
        {"a blank field removes the old product's link; a shorter list drops the rest", ImportMode::Replace,
         "New,,http://b/n\r\nKeep,http://a/k2,",
         "[A0]\r\ntitle=New\r\nS2=http://b/n\r\n"
         "[A1]\r\ntitle=Keep\r\nS1=http://a/k2\r\nS9=http://c/k\r\n"
         "[other]\r\nx=1\r\n"},
        {"append: new products follow, the same title is updated in its row", ImportMode::Append,
         "New,http://a/n\r\nThird,,http://b/t",
         "[A0]\r\ntitle=Old\r\nS1=http://a/old\r\nS2=http://b/old\r\nS9=http://c/old\r\n"
         "[A1]\r\ntitle=Keep\r\nS1=http://a/k\r\nS9=http://c/k\r\n"
         "[A2]\r\ntitle=Third\r\nS2=http://b/t\r\n"
         "[other]\r\nx=1\r\n"
         "[A3]\r\ntitle=New\r\nS1=http://a/n\r\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Merged(old, c.text, c.mode), c.expected) << c.name;
}

TEST(ImportText, ProductsDroppedByReplaceCountsTitlesTheImportDoesNotName)
{
    const LinkFile links = LinkFile::Parse("[A0]\r\ntitle=P\r\n[A1]\r\ntitle=Q\r\n[A2]\r\ntitle=R\r\n");
    EXPECT_EQ(ProductsDroppedByReplace(links, ImportedProducts("Q,x\r\nNew,y")), 2);
    EXPECT_EQ(ProductsDroppedByReplace(links, ImportedProducts("R,x\r\nP,x\r\nQ,y\r\nNew,z")), 0);
}

TEST(ImportText, DecodeImportFileTakesUtf8OrGbkAndEndsLinesWithCrLf)
{
    struct Case {
        const char *name;
        std::string bytes, text;
        std::vector<int> linesWithoutGbk;
    } cases[] = {
        {"UTF-8, line feeds", "手机,http://a\n外壳|http://b\n", Gbk("手机,http://a\r\n外壳|http://b\r\n"), {}},
        {"UTF-8 with a mark", "\xEF\xBB\xBF" "ab,http://a\r\n", "ab,http://a\r\n", {}},
        {"GBK, CR LF, as before", Gbk("億元,http://a\r\n乗\\,http://b"), Gbk("億元,http://a\r\n乗\\,http://b"), {}},
        {"GBK, line feeds", Gbk("手机,http://a\n外壳"), Gbk("手机,http://a\r\n外壳"), {}},
        {"ASCII", "a,http://a\nb", "a,http://a\r\nb", {}},
        {"no GBK form", "ok,http://a\n\xF0\x9F\x98\x80 phone,http://b\nfine\n\xE0\xB8\x81",
         "ok,http://a\r\n? phone,http://b\r\nfine\r\n?", {2, 4}},
        {"broken after a mark", "\xEF\xBB\xBF" "a\n\xFF", "a\r\n?", {2}},
    };
    for (const Case &c : cases) {
        const ImportFile file = DecodeImportFile(c.bytes);
        EXPECT_EQ(file.text, c.text) << c.name;
        EXPECT_EQ(file.linesWithoutGbk, c.linesWithoutGbk) << c.name;
    }
}

} // namespace
} // namespace corvix
