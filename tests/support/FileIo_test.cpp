#include "support/FileIo.h"

#include "common/CoreTestSupport.h"
#include "common/FullDisk.h"
#include "support/PathText.h"

#include <cstdlib>

#include <QCoreApplication>
#include <QProcess>
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
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        test::WriteBytes(f, c.bytes);
        EXPECT_EQ(ReadWholeFile(f, StopAt::ZeroByte), c.zero);
        EXPECT_EQ(ReadWholeFile(f, StopAt::ZeroOrTextEnd), c.zeroOrEnd);
    }
    // A missing file is no empty file: the error names it and why, and says
    // it is absent, which a directory in the file's place is not.
    const auto missing = ReadWholeFile(Dir(tmp) / "missing.txt");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().path, Dir(tmp) / "missing.txt");
    EXPECT_EQ(missing.error().reason, QString::fromStdString(std::make_error_code(std::errc::no_such_file_or_directory).message()));
    EXPECT_TRUE(missing.error().absent);
    EXPECT_EQ(AbsentAsEmpty(ReadWholeFile(Dir(tmp) / "missing.txt")), "");
    const auto folder = ReadWholeFile(Dir(tmp));
    ASSERT_FALSE(folder);
    EXPECT_FALSE(folder.error().absent);
    EXPECT_FALSE(AbsentAsEmpty(ReadWholeFile(Dir(tmp))));
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
    const auto journal = Dir(tmp) / "changes.journal";
    const auto links = Dir(tmp) / "url.ini", record = Dir(tmp) / "1.txt", added = Dir(tmp) / "added.txt";
    test::WriteBytes(links, "old");
    EXPECT_TRUE(WriteFilesTogether({{links, "new"}, {record, std::string_view("a|\0b", 4)}}, journal));
    EXPECT_EQ(test::ReadBytes(links), "new");
    EXPECT_EQ(test::ReadBytes(record), std::string("a|\0b", 4));

    // The last file cannot be staged (no folder) or renamed (a folder in the
    // way): the files renamed before it get their old bytes back, a new one goes.
    std::filesystem::create_directory(Dir(tmp) / "busy");
    for (const auto &bad : {Dir(tmp) / "nodir" / "r.txt", Dir(tmp) / "busy"}) {
        const auto written = WriteFilesTogether({{links, "x"}, {added, "y"}, {bad, "z"}}, journal);
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().path, bad);
        EXPECT_FALSE(written.error().reason.isEmpty());
        EXPECT_EQ(test::ReadBytes(links), "new");
        EXPECT_FALSE(std::filesystem::exists(added));
    }
    // No temporary file, second name or journal stays behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir(tmp)), {}), 3);
}

// Three files change together: one is new, one is a folder deeper, and the
// journal lives in the folder above them, as in a data root.
class FilesTogether : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void Reset()
    {
        std::filesystem::remove_all(db);
        std::filesystem::create_directories(db);
        test::WriteBytes(links, "links old");
        test::WriteBytes(alerts, "alerts old");
    }
    void TearDown() override { SetFilesTogetherStopForTests(nullptr); }
    void Write() { (void)WriteFilesTogether({{record, "record new"}, {links, "links new"}, {alerts, ""}}, journal); }
    // "old", "new", or what mix the files show.
    std::string Seen() const
    {
        const std::string state = (std::filesystem::exists(record) ? test::ReadBytes(record) : "-") + "," +
                                  test::ReadBytes(links) + "," + test::ReadBytes(alerts);
        if (state == "-,links old,alerts old")
            return "old";
        if (state == "record new,links new,")
            return "new";
        return state;
    }
    size_t FileCount() const { return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(db), {})); }

    QTemporaryDir tmp;
    const std::filesystem::path root = Dir(tmp), db = root / "db", journal = root / "changes.journal";
    const std::filesystem::path record = db / "1543917600.txt", links = db / "url.ini", alerts = db / "alerts.ini";
};

TEST_F(FilesTogether, AProcessEndingAtAnyStepLeavesAllOldOrAllNewToTheNextStart)
{
    // Step 1: the journal goes in place; 2..4: the renames; 5: the journal goes.
    const char *expected[] = {"old", "new", "new", "new", "new"};
    for (int stop = 1; stop <= 5; ++stop) {
        SCOPED_TRACE(stop);
        Reset();
        SetFilesTogetherStopForTests([stop](int step) { return step == stop; });
        EXPECT_THROW(Write(), FilesTogetherStopped);
        SetFilesTogetherStopForTests(nullptr);
        EXPECT_TRUE(FinishFilesTogether(journal));
        EXPECT_EQ(Seen(), expected[stop - 1]);
        EXPECT_FALSE(std::filesystem::exists(journal));
        // What a death before the journal leaves is never listed as a record.
        EXPECT_EQ(ListFiles(db, "*.txt", false).size(), Seen() == "new" ? 1u : 0u);
        if (stop > 1) {
            EXPECT_EQ(FileCount(), 3u) << "no staged file or second name stays";
        }
    }
    EXPECT_TRUE(FinishFilesTogether(journal)) << "nothing to do";
}

TEST_F(FilesTogether, ACutJournalUndoesNothingAndAnUndoIsFinishedBackwards)
{
    SetFilesTogetherStopForTests([](int step) { return step == 3; }); // the record is renamed
    EXPECT_THROW(Write(), FilesTogetherStopped);
    SetFilesTogetherStopForTests(nullptr);
    const std::string text = test::ReadBytes(journal);
    // A process that died while undoing a failed rename: the old files come back.
    std::string back = text;
    back.replace(back.find("forward"), 7, "back");
    test::WriteBytes(journal, back);
    EXPECT_TRUE(FinishFilesTogether(journal));
    EXPECT_EQ(Seen(), "old");
    EXPECT_EQ(FileCount(), 2u);

    // A journal cut short was still being written: no rename had been made.
    SetFilesTogetherStopForTests([](int step) { return step == 1; });
    EXPECT_THROW(Write(), FilesTogetherStopped);
    SetFilesTogetherStopForTests(nullptr);
    test::WriteBytes(journal, text.substr(0, text.size() - 4)); // "end" lost
    EXPECT_TRUE(FinishFilesTogether(journal));
    EXPECT_EQ(Seen(), "old");
    EXPECT_FALSE(std::filesystem::exists(journal));
}

TEST_F(FilesTogether, AFinishThatCannotRenameKeepsTheJournalForTheNextStart)
{
    SetFilesTogetherStopForTests([](int step) { return step == 2; });
    EXPECT_THROW(Write(), FilesTogetherStopped);
    SetFilesTogetherStopForTests(nullptr);
    std::filesystem::remove(links);
    std::filesystem::create_directory(links); // a folder in the way
    test::WriteBytes(links / "inside", "x");
    const auto finished = FinishFilesTogether(journal);
    ASSERT_FALSE(finished);
    EXPECT_EQ(finished.error().path, links);
    EXPECT_TRUE(std::filesystem::exists(journal));
    std::filesystem::remove_all(links);
    EXPECT_TRUE(FinishFilesTogether(journal));
    EXPECT_EQ(Seen(), "new");
}

// The same with a real process that ends at once (no destructor, no cleanup):
// the test program runs itself with the step to end at.
TEST_F(FilesTogether, AKilledProcessLeavesAllOldOrAllNew)
{
    for (int stop = 1; stop <= 5; ++stop) {
        SCOPED_TRACE(stop);
        Reset();
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CORVIX_END_AT_STEP"), QString::number(stop));
        env.insert(QStringLiteral("CORVIX_END_IN"), tmp.path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=FilesTogetherChild.*"),
                                                              QStringLiteral("--gtest_also_run_disabled_tests")});
        ASSERT_TRUE(child.waitForFinished(60000));
        EXPECT_EQ(child.exitCode(), 86) << child.readAllStandardOutput().toStdString();
        if (stop == 3 || stop == 4) { // between its renames
            EXPECT_NE(Seen(), "old");
            EXPECT_NE(Seen(), "new");
        }
        EXPECT_TRUE(FinishFilesTogether(journal));
        EXPECT_EQ(Seen(), stop == 1 ? "old" : "new");
    }
}

} // namespace

// Run only as the child of the test above.
TEST(FilesTogetherChild, DISABLED_EndsAtTheStepItIsGiven)
{
    const int stop = qEnvironmentVariableIntValue("CORVIX_END_AT_STEP");
    const std::filesystem::path root = PathOf(qEnvironmentVariable("CORVIX_END_IN")), db = root / "db";
    SetFilesTogetherStopForTests([stop](int step) {
        if (step == stop)
            std::_Exit(86);
        return false;
    });
    (void)WriteFilesTogether(
        {{db / "1543917600.txt", "record new"}, {db / "url.ini", "links new"}, {db / "alerts.ini", ""}},
        root / "changes.journal");
}
