#include "products/LinkFile.h"

#include "common/CoreTestSupport.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvix {
namespace {

using test::TempDataRoot;

std::string FixturePath(const char *name)
{
    return std::string(CORVIX_FIXTURES_DIR) + "/products/" + name;
}

TEST(LinkFile, ReadsValuesByCaseFoldedAsciiNames)
{
    const LinkFile file = LinkFile::Parse("[A0]\r\ntitle=Phone\r\nShopX = http://x/1 \r\n[a1]\r\nTITLE=Case\r\n");
    struct Case {
        const char *section, *key, *expected;
    } cases[] = {
        {"A0", "title", "Phone"},     {"a0", "TITLE", "Phone"},  {"A0", "shopx", "http://x/1"},
        {"A1", "title", "Case"},      {" A1 ", "Title", "Case"}, {"A0", "ShopY", ""},
        {"A2", "title", ""},          {"A0", "", ""},            {"A0", "titl", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(file.Value(c.section, c.key), c.expected) << c.section << "/" << c.key;
    EXPECT_TRUE(file.HasValue("a0", "SHOPX"));
    EXPECT_FALSE(file.HasValue("A0", "ShopY"));
}

TEST(LinkFile, NeverFoldsOrSplitsTwoByteCharacters)
{
    // 網 = BE 57 and 緒 = BE 77: their second bytes are "W" and "w".
    const std::string wang = Gbk("網站"), xu = Gbk("緒站");
    ASSERT_EQ(wang.substr(0, 2), "\xBE\x57");
    ASSERT_EQ(xu.substr(0, 2), "\xBE\x77");
    LinkFile file;
    file.SetValue("A0", wang, "http://one");
    file.SetValue("A0", xu, "http://two");
    EXPECT_EQ(file.Value("A0", wang), "http://one");
    EXPECT_EQ(file.Value("A0", xu), "http://two");

    // 乚 = 81 5D: a section name whose second byte is "]" survives a reload whole.
    const std::string yi = "\x81\x5D";
    file.SetValue(yi + "x", "title", "T");
    const LinkFile reloaded = LinkFile::Parse(file.Text());
    EXPECT_EQ(reloaded.Value(yi + "x", "title"), "T");
    EXPECT_EQ(reloaded.Value(yi, "title"), "");
    EXPECT_EQ(reloaded.Value("A0", xu), "http://two");
    EXPECT_EQ(reloaded.Text(), file.Text());
}

TEST(LinkFile, WritesCrLfKeyValueLinesWithoutBlanks)
{
    LinkFile file;
    file.SetValue("A0", "title", "Phone");
    file.SetValue("A0", Gbk("淘宝"), "http://t/1");
    file.SetValue("A1", "title", "Case");
    file.SetValue("A0", "title", "Phone 2");
    EXPECT_EQ(file.Text(), "[A0]\r\ntitle=Phone 2\r\n" + Gbk("淘宝") + "=http://t/1\r\n[A1]\r\ntitle=Case\r\n");
}

TEST(LinkFile, KeepsUntouchedLinesAndInsertsBeforeTrailingBlankLines)
{
    const std::string text = "; made by hand\r\n[A0]\r\ntitle=P\r\n\r\n[Other]\r\nk = v\r\nno equals here\r\n";
    LinkFile file = LinkFile::Parse(text);
    EXPECT_EQ(file.Text(), text);
    file.SetValue("a0", "X", "http://x");
    file.SetValue("other", "K", "w");
    EXPECT_EQ(file.Text(),
              "; made by hand\r\n[A0]\r\ntitle=P\r\nX=http://x\r\n\r\n[Other]\r\nK=w\r\nno equals here\r\n");
}

TEST(LinkFile, ValuesHoldingBracketsAndEqualSignsStayValues)
{
    LinkFile file;
    file.SetValue("A0", "title", "[A1]");
    file.SetValue("A0", "X", "http://x/?a=[b]&c=d");
    file.SetValue("A1", "title", "x]y[A7");
    const LinkFile reloaded = LinkFile::Parse(file.Text());
    EXPECT_EQ(reloaded.Value("A0", "title"), "[A1]");
    EXPECT_EQ(reloaded.Value("A0", "X"), "http://x/?a=[b]&c=d");
    EXPECT_EQ(reloaded.Value("A1", "title"), "x]y[A7");
    EXPECT_EQ(reloaded.ProductCount(), 2);
}

TEST(LinkFile, KeysStartingWithABracketOrHoldingEqualSigns)
{
    // Rule titles are file names and may hold "[", "]" or "=".
    LinkFile file;
    file.SetValue("A0", "[JD]shop", "http://jd/1");
    file.SetValue("A0", "a=b", "http://ab/1");
    file.SetValue("A0", "title", "T");
    const LinkFile reloaded = LinkFile::Parse(file.Text());
    EXPECT_EQ(reloaded.Value("A0", "[JD]shop"), "http://jd/1");
    EXPECT_EQ(reloaded.Value("A0", "a=b"), "http://ab/1");
    EXPECT_EQ(reloaded.Value("A0", "title"), "T");
    EXPECT_EQ(reloaded.ProductCount(), 1);
}

TEST(LinkFile, LineBreaksInValuesBecomeBlanks)
{
    EXPECT_EQ(SingleLineText("http://x/1\n"), "http://x/1");
    EXPECT_EQ(SingleLineText("\r\nA\r\nB\n\nC\r"), "A B C");
    EXPECT_EQ(SingleLineText(""), "");
    LinkFile file;
    file.SetValue("A0", "title", "two\r\nlines\r\n");
    EXPECT_EQ(file.Text(), "[A0]\r\ntitle=two lines\r\n");
}

TEST(LinkFile, DuplicateSectionsAndKeys_FirstOneCounts)
{
    LinkFile file = LinkFile::Parse("[A0]\nx=1\nx=2\n[A0]\nx=3\ny=4\n");
    EXPECT_EQ(file.Value("A0", "x"), "1");
    EXPECT_EQ(file.Value("A0", "y"), "");
    file.SetValue("A0", "x", "9");
    EXPECT_EQ(file.Text(), "[A0]\nx=9\nx=2\n[A0]\nx=3\ny=4\n");
}

TEST(LinkFile, ProductCountFollowsSectionNumbers)
{
    struct Case {
        const char *text;
        int count;
    } cases[] = {
        {"", 0},
        {"title=[A0]\r\n", 0},
        {"[A0]\r\n[A1]\r\n[A2]\r\n", 3},
        {"[A0]\r\ntitle=[A5] [A6]\r\n", 1},
        {"[A0]\r\n[A2]\r\n", 2}, // a missing section is no row
        {"[Other]\r\n[A01]\r\n[A]\r\n[Ax]\r\n", 0},
        {"[a3]\r\n[A1]\r\n[A1]\r\n", 2},
        {"[A0]\r\n[A9999999]\r\n", 2},
        {"[A999999999]\r\n[A1000000000]\r\n", 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LinkFile::Parse(c.text).ProductCount(), c.count) << c.text;
}

TEST(LinkFile, RemoveProductSectionRenumbersTheFollowingSections)
{
    struct Case {
        const char *name;
        const char *before;
        int row;
        const char *after;
    } cases[] = {
        {"middle", "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\n[A2]\r\ntitle=c\r\n", 1,
         "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=c\r\n"},
        {"first", "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\n", 0, "[A0]\r\ntitle=b\r\n"},
        {"last", "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\n", 1, "[A0]\r\ntitle=a\r\n"},
        {"the row after a gap", "[A0]\r\ntitle=a\r\n[A2]\r\ntitle=c\r\n", 1, "[A0]\r\ntitle=a\r\n"},
        {"a gap after the row closes", "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\n[A3]\r\ntitle=d\r\n", 1,
         "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=d\r\n"},
        {"beyond the last row", "[A0]\r\ntitle=a\r\n[A2]\r\ntitle=c\r\n", 2,
         "[A0]\r\ntitle=a\r\n[A2]\r\ntitle=c\r\n"},
        {"duplicates of the row go", "[A0]\r\nx=1\r\n[A1]\r\nx=2\r\n[a1]\r\nx=3\r\n[A2]\r\nx=4\r\n", 1,
         "[A0]\r\nx=1\r\n[A1]\r\nx=4\r\n"},
        {"brackets in values", "[A0]\r\ntitle=[A1]\r\n[A1]\r\ntitle=x]\r\nY=http://y/[A2]\r\n[A2]\r\ntitle=[c\r\n", 0,
         "[A0]\r\ntitle=x]\r\nY=http://y/[A2]\r\n[A1]\r\ntitle=[c\r\n"},
        {"foreign sections stay", "[Head]\r\nk=v\r\n[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\n", 0,
         "[Head]\r\nk=v\r\n[A0]\r\ntitle=b\r\n"},
        {"empty file", "", 0, ""},
    };
    for (const Case &c : cases) {
        LinkFile file = LinkFile::Parse(c.before);
        file.RemoveProductSection(c.row);
        EXPECT_EQ(file.Text(), c.after) << c.name;
        // Lookups follow the new numbers at once.
        const LinkFile reloaded = LinkFile::Parse(file.Text());
        for (int r = 0; r < 3; ++r)
            EXPECT_EQ(file.Value(LinkFile::SectionName(r), "title"), reloaded.Value(LinkFile::SectionName(r), "title"))
                << c.name;
    }
}

TEST(LinkFile, RowsAreTheProductSectionsInNumberOrder)
{
    LinkFile file = LinkFile::Parse("[A7]\r\ntitle=c\r\n[Other]\r\ntitle=o\r\n[A0]\r\ntitle=a\r\n[a3]\r\ntitle=b\r\n");
    ASSERT_EQ(file.ProductCount(), 3);
    EXPECT_EQ(file.ProductValue(0, "title"), "a");
    EXPECT_EQ(file.ProductValue(1, "title"), "b");
    EXPECT_EQ(file.ProductValue(2, "title"), "c");
    EXPECT_EQ(file.ProductValue(3, "title"), "");
    file.SetProductValue(1, "X", "http://b");
    // A row beyond the last: the rows are numbered without gaps first.
    file.SetProductValue(4, "title", "e");
    EXPECT_EQ(file.Text(), "[A2]\r\ntitle=c\r\n[Other]\r\ntitle=o\r\n[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\nX=http://b\r\n"
                           "[A3]\r\n[A4]\r\ntitle=e\r\n");
    EXPECT_EQ(file.ProductCount(), 5);
    EXPECT_EQ(file.ProductValue(2, "title"), "c");
}

TEST(LinkFile, GarbageFileFixture)
{
    const LinkFile file = LinkFile::Load(FixturePath("url_garbage.ini")).value();
    EXPECT_EQ(file.ProductCount(), 3);
    EXPECT_EQ(file.Value("A0", "title"), Gbk("手机 [新款]"));
    EXPECT_EQ(file.Value("A0", Gbk("京东")), "http://127.0.0.1/a?x=[1]");
    EXPECT_EQ(file.Value("A1", "title"), "B=b");
    EXPECT_EQ(file.Value("A2", "title"), "C");
    EXPECT_EQ(file.Value("A2", Gbk("京东")), "");
    // Everything after the 0x1A end-of-text byte is not part of the file.
    EXPECT_EQ(file.Value("A3", "title"), "");
}

TEST(LinkFile, ReadLinkAndWriteLinkGoThroughTheFile)
{
    TempDataRoot root;
    const DataDirs &dirs = root.Dirs();
    EXPECT_EQ(ReadLink(dirs, 0, "title"), "");
    ASSERT_TRUE(WriteLink(dirs, 0, "title", "P"));
    ASSERT_TRUE(WriteLink(dirs, 1, "X", "http://x"));
    EXPECT_EQ(TempDataRoot::ReadBytes(LinkFilePath(dirs)), "[A0]\r\ntitle=P\r\n[A1]\r\nX=http://x\r\n");
    EXPECT_EQ(ReadLink(dirs, 1, "x"), "http://x");

    // A change made by someone else, same size, is seen at the next read.
    TempDataRoot::WriteBytes(LinkFilePath(dirs), "[A0]\r\ntitle=Q\r\n[A1]\r\nX=http://y\r\n");
    EXPECT_EQ(ReadLink(dirs, 0, "title"), "Q");
    ASSERT_TRUE(WriteLink(dirs, 0, "X", "http://z"));
    EXPECT_EQ(TempDataRoot::ReadBytes(LinkFilePath(dirs)), "[A0]\r\ntitle=Q\r\nX=http://z\r\n[A1]\r\nX=http://y\r\n");

    // A url.ini that cannot be read is not written over with one link.
    std::filesystem::remove(LinkFilePath(dirs));
    std::filesystem::create_directory(LinkFilePath(dirs));
    const Result<void> refused = WriteLink(dirs, 0, "X", "http://w");
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.error().read);
    EXPECT_TRUE(std::filesystem::is_directory(LinkFilePath(dirs)));
    EXPECT_EQ(ReadLink(dirs, 0, "X"), "");
}

TEST(LinkFile, TakenSectionComesBackAtItsRow)
{
    struct Case {
        const char *name;
        const char *before;
        int row;
        const char *restored; // nullptr: the file as before
    } cases[] = {
        {"middle", "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\nX=http://b\r\n[A2]\r\ntitle=c\r\n", 1, nullptr},
        {"first", "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\n", 0, nullptr},
        {"last, before a foreign section", "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\n[Other]\r\nk=v\r\n", 1, nullptr},
        {"comments and duplicates go with it", "[A0]\r\nx=1\r\n[A1]\r\n;c\r\nx=2\r\n[a1]\r\nx=3\r\n[A2]\r\nx=4\r\n", 1,
         nullptr},
        {"a gapped row comes back numbered", "[A0]\r\ntitle=a\r\n[A7]\r\ntitle=c\r\n[A9]\r\ntitle=d\r\n", 1,
         "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=c\r\n[A2]\r\ntitle=d\r\n"},
        {"no section for the row", "[A0]\r\ntitle=a\r\n", 3, nullptr},
    };
    for (const Case &c : cases) {
        LinkFile file = LinkFile::Parse(c.before);
        const LinkFile::TakenSections taken = file.TakeProductSection(c.row);
        LinkFile removed = LinkFile::Parse(c.before);
        removed.RemoveProductSection(c.row);
        EXPECT_EQ(file.Text(), removed.Text()) << c.name;
        file.RestoreProductSection(c.row, taken);
        EXPECT_EQ(file.Text(), c.restored ? c.restored : c.before) << c.name;
        EXPECT_EQ(file.ProductCount(), LinkFile::Parse(file.Text()).ProductCount()) << c.name;
    }
}

TEST(LinkFile, RestoredSectionFollowsLaterChanges)
{
    LinkFile file = LinkFile::Parse("[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\n");
    const LinkFile::TakenSections taken = file.TakeProductSection(0);
    file.SetProductValue(0, "X", "http://b");
    file.SetProductValue(1, "title", "new");
    file.RestoreProductSection(0, taken);
    EXPECT_EQ(file.Text(), "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\nX=http://b\r\n[A2]\r\ntitle=new\r\n");
    // A row far beyond the file: the rows before it get empty sections.
    file.RestoreProductSection(5, taken);
    EXPECT_EQ(file.ProductCount(), 6);
    EXPECT_EQ(file.ProductValue(5, "title"), "a");
}

TEST(LinkFile, AnEmptyValueRemovesTheKey)
{
    struct Case {
        const char *name;
        int row;
        const char *key;
        const char *value;
        const char *after;
    } cases[] = {
        {"set", 0, "X", "http://x", "[A0]\r\ntitle=a\r\nX=http://x\r\nx=dup\r\n[A1]\r\n"},
        {"removed with its duplicates", 0, "x", "", "[A0]\r\ntitle=a\r\n[A1]\r\n"},
        {"line breaks only are empty", 0, "X", "\r\n", "[A0]\r\ntitle=a\r\n[A1]\r\n"},
        {"absent key", 1, "X", "", "[A0]\r\ntitle=a\r\nX=old\r\nx=dup\r\n[A1]\r\n"},
        {"no row is made for nothing", 4, "X", "", "[A0]\r\ntitle=a\r\nX=old\r\nx=dup\r\n[A1]\r\n"},
    };
    for (const Case &c : cases) {
        LinkFile file = LinkFile::Parse("[A0]\r\ntitle=a\r\nX=old\r\nx=dup\r\n[A1]\r\n");
        file.SetOrRemoveProductValue(c.row, c.key, c.value);
        EXPECT_EQ(file.Text(), c.after) << c.name;
    }
}

TEST(LinkFile, EuroAndFfAreCharactersOfTheirOwn)
{
    // "€" is the single byte 80: the "=" or "]" after it ends the name.
    const std::string euro = "\x80";
    const LinkFile file = LinkFile::Parse("[A0" + euro + "]\r\ntitle=P" + euro + "\r\nshop" + euro +
                                          "=http://e\r\nS\xFF=http://f\r\n" + Gbk("億") + "=http://y\r\n");
    EXPECT_TRUE(file.HasSection("A0" + euro));
    EXPECT_EQ(file.Value("A0" + euro, "title"), "P" + euro);
    EXPECT_EQ(file.Value("A0" + euro, "SHOP" + euro), "http://e");
    EXPECT_EQ(file.Value("A0" + euro, "s\xFF"), "http://f");
    EXPECT_EQ(file.Value("A0" + euro, Gbk("億")), "http://y");
}

TEST(LinkFile, UnchangedLinesKeepTheirBytesAndLineBreaks)
{
    static const char bytes[] = "; x\n[A0]\r\ntitle=a\r\r\n\0junk\xFF\n[B]\nk=v";
    const std::string text(bytes, sizeof bytes - 1);
    LinkFile file = LinkFile::Parse(text);
    EXPECT_EQ(file.Text(), text);
    file.SetValue("C", "k", "w");
    EXPECT_EQ(file.Text(), text + "\r\n[C]\r\nk=w\r\n");
}

TEST(LinkFile, NumberedValuesRunFromOneToTheFirstGap)
{
    const LinkFile file = LinkFile::Parse("[s]\r\n2=b\r\n1 = a \r\nBELOW1=x\r\n01=z\r\n2=dup\r\n4=d\r\n1x=no\r\n");
    EXPECT_EQ(file.NumberedValues("s", ""), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(file.NumberedValues("S", "below"), std::vector<std::string>{"x"});
    EXPECT_TRUE(file.NumberedValues("none", "").empty());
}

} // namespace
} // namespace corvix
