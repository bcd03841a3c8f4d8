#include "support/FileIo.h"

#include "common/CoreTestSupport.h"
#include "common/FullDisk.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>


using namespace corvix;

namespace {

std::filesystem::path Dir(const QTemporaryDir &dir) { return std::filesystem::path(dir.path().toStdString()); }

TEST(ReadWholeFile, StopsAtZeroAndTextEnd)
{
    QTemporaryDir tmp;
    const auto f = Dir(tmp) / "f.txt";
    struct Case {
        std::string bytes;
        std::string zero, zeroOrEnd;
    };
    const Case cases[] = {
        {std::string("ab\0cd", 5), "ab", "ab"},
        {"ab\x1A" "cd", "ab\x1A" "cd", "ab"},
        {std::string("a\x1A" "b\0c", 5), "a\x1A" "b", "a"},
        // 0x1A as the second byte of a two-byte character is kept.
        {"\x81\x1A" "x\x1A" "y", "\x81\x1A" "x\x1A" "y", "\x81\x1A" "x"},
        {"\x1A", "\x1A", ""},
        {"ab\x81", "ab\x81", "ab\x81"}, // a lone high byte at the end
        {"", "", ""},
    };
    for (const Case &c : cases) {
        test::WriteBytes(f, c.bytes);
        EXPECT_EQ(ReadWholeFile(f, StopAt::ZeroByte), c.zero);
        EXPECT_EQ(ReadWholeFile(f, StopAt::ZeroOrTextEnd), c.zeroOrEnd);
    }
    EXPECT_EQ(ReadWholeFile(Dir(tmp)), ""); // a directory reads as empty
    // A missing file is no empty file: the error names it and why.
    const auto missing = ReadWholeFile(Dir(tmp) / "missing.txt");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().path, Dir(tmp) / "missing.txt");
    EXPECT_EQ(missing.error().reason, QString::fromStdString(std::make_error_code(std::errc::no_such_file_or_directory).message()));
}

TEST(ReadWholeFile, TenMegabytes)
{
    QTemporaryDir tmp;
    const auto f = Dir(tmp) / "big.txt";
    std::string big;
    big.reserve(10 << 20);
    while (big.size() < (10u << 20))
        big += "\xD6\xD0\xCE\xC4[open]1[/open]\r\n";
    test::WriteBytes(f, big);
    EXPECT_EQ(ReadWholeFile(f, StopAt::ZeroOrTextEnd), big);
    big[5u << 20] = '\x1A';
    test::WriteBytes(f, big);
    EXPECT_EQ(ReadWholeFile(f, StopAt::ZeroOrTextEnd)->size() <= (5u << 20), true);
}

TEST(WriteFileAtomically, ReplacesOrLeavesTheOldFile)
{
    QTemporaryDir tmp;
    const auto f = Dir(tmp) / "orlist.txt";
    EXPECT_TRUE(WriteFileAtomically(f, "one"));
    EXPECT_EQ(test::ReadBytes(f), "one");
    EXPECT_TRUE(WriteFileAtomically(f, std::string("t\0wo", 4)));
    EXPECT_EQ(test::ReadBytes(f), std::string("t\0wo", 4));
    EXPECT_TRUE(WriteFileAtomically(f, ""));
    EXPECT_TRUE(std::filesystem::exists(f));
    EXPECT_EQ(std::filesystem::file_size(f), 0u);
    // No temporary files stay behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir(tmp)), std::filesystem::directory_iterator()), 1);

    // A missing directory: nothing is written anywhere.
    const auto refused = WriteFileAtomically(Dir(tmp) / "nodir" / "x.txt", "x");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().path, Dir(tmp) / "nodir" / "x.txt");
    EXPECT_FALSE(refused.error().reason.isEmpty());
    EXPECT_FALSE(std::filesystem::exists(Dir(tmp) / "nodir"));
    // A directory in the way stays as it was.
    std::filesystem::create_directory(Dir(tmp) / "busy");
    test::WriteBytes(Dir(tmp) / "busy" / "inside", "keep");
    EXPECT_FALSE(WriteFileAtomically(Dir(tmp) / "busy", "x"));
    EXPECT_EQ(test::ReadBytes(Dir(tmp) / "busy" / "inside"), "keep");
    EXPECT_EQ(test::ReadBytes(f), "");
}

TEST(WriteFileAtomically, FullDiskKeepsTheOldFileByteForByte)
{
    test::FullDisk disk;
    const auto f = disk.Dir() / "url.ini";
    test::WriteBytes(f, "[A0]\r\ntitle=old\r\n");
    disk.Fill();
    for (const std::string &bytes : {std::string("x"), std::string(64 << 10, 'y'), std::string()}) {
        SCOPED_TRACE(bytes.size());
        // An empty text needs no room, so only that one (the last) may go through.
        const auto written = WriteFileAtomically(f, bytes);
        EXPECT_EQ(written.has_value(), bytes.empty());
        if (!written) {
            EXPECT_EQ(written.error().path, f);
        }
        if (!bytes.empty()) {
            EXPECT_EQ(test::ReadBytes(f), "[A0]\r\ntitle=old\r\n");
        }
    }
    disk.Free();
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(disk.Dir(), ec))
        EXPECT_EQ(entry.path().filename(), "url.ini"); // no temporary file stays behind
}

TEST(WriteFilesTogether, ReplacesAllOrLeavesEveryOldFile)
{
    QTemporaryDir tmp;
    const auto links = Dir(tmp) / "url.ini", record = Dir(tmp) / "1.txt", added = Dir(tmp) / "added.txt";
    test::WriteBytes(links, "old");
    EXPECT_TRUE(WriteFilesTogether({{links, "new"}, {record, std::string_view("a|\0b", 4)}}));
    EXPECT_EQ(test::ReadBytes(links), "new");
    EXPECT_EQ(test::ReadBytes(record), std::string("a|\0b", 4));

    // The last file cannot be staged (no folder) or renamed (a folder in the
    // way): the files renamed before it get their old bytes back, a new one goes.
    std::filesystem::create_directory(Dir(tmp) / "busy");
    for (const auto &bad : {Dir(tmp) / "nodir" / "r.txt", Dir(tmp) / "busy"}) {
        const auto written = WriteFilesTogether({{links, "x"}, {added, "y"}, {bad, "z"}});
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().path, bad);
        EXPECT_FALSE(written.error().reason.isEmpty());
        EXPECT_EQ(test::ReadBytes(links), "new");
        EXPECT_FALSE(std::filesystem::exists(added));
    }
    // No temporary file or second name stays behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir(tmp)), {}), 3);
}

} // namespace
