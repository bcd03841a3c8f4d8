#include "support/Gbk.h"

#include <gtest/gtest.h>

using namespace corvix;

namespace {

TEST(Gbk, ConvertsBothWaysWithTheWindowsTable)
{
    EXPECT_EQ(Gbk("获取失败"), "\xBB\xF1\xC8\xA1\xCA\xA7\xB0\xDC");
    EXPECT_EQ(Gbk("￥"), "\xA3\xA4");
    EXPECT_EQ(Gbk("乗"), "\x81\x5C");
    EXPECT_EQ(Gbk("€"), "\x80"); // windows-936: 0x80 is the euro sign
    EXPECT_EQ(GbkToUtf8("\x80"), "€");
    EXPECT_EQ(GbkToUtf8("\xD6\xD0\xCE\xC4" "abc"), "中文abc");
    EXPECT_EQ(FromGbk(Gbk("价格：12元")), QStringLiteral("价格：12元"));
    EXPECT_EQ(ToGbk(QString()), "");
    EXPECT_EQ(FromGbk(""), QString());
}

TEST(Gbk, CharactersWithoutAGbkFormBecomeQuestionMarks)
{
    EXPECT_EQ(Gbk("a😀b"), "a?b");
    EXPECT_EQ(Gbk("ก"), "?"); // Thai has no GBK form
}

TEST(Gbk, InvalidBytesDoNotBreakTheConversion)
{
    // A lone lead byte and an invalid pair still give a text of the rest.
    const QString text = FromGbk("ab\x81");
    EXPECT_TRUE(text.startsWith(QStringLiteral("ab")));
    EXPECT_FALSE(FromGbk("\xFF\xFF" "cd").isEmpty());
    // Long texts (more than the first buffer guess) convert whole.
    std::string big;
    for (int i = 0; i < 100000; ++i)
        big += "\xD6\xD0" "a";
    EXPECT_EQ(FromGbk(big).size(), 200000);
    EXPECT_EQ(ToGbk(FromGbk(big)), big);
}

TEST(Gbk, FileNamesInUnicode)
{
    const std::filesystem::path p = PathInDir("/tmp/x", Gbk("店铺A.spider.cfg"));
    EXPECT_EQ(p.filename().string(), "店铺A.spider.cfg"); // UTF-8 on disk
    EXPECT_EQ(PathToGbk(p), "/tmp/x/" + Gbk("店铺A.spider.cfg"));
}

} // namespace
