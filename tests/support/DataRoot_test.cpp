// The data root: first start, existing trees, the fallback when the program
// directory cannot be written, and the sorted file listing.
#include "support/DataRoot.h"
#include "support/FileIo.h"
#include "common/FullDisk.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

using namespace corvix;
namespace fs = std::filesystem;

namespace {
fs::path PathOf(const QTemporaryDir &d) { return fs::path(d.path().toStdU16String()); }
void Touch(const fs::path &p) { std::ofstream(p) << "x"; }
} // namespace

TEST(DataRoot, FirstStartCreatesTheTree)
{
    QTemporaryDir program;
    const DataDirs dirs = PrepareDataRoot(PathOf(program), {}).dirs;
    EXPECT_EQ(dirs.root, PathOf(program) / "varnwick");
    EXPECT_EQ(dirs.classDir, PathOf(program) / "varnwick" / "class");
    EXPECT_EQ(dirs.dbDir, PathOf(program) / "varnwick" / "db");
    EXPECT_EQ(dirs.spiderDir, PathOf(program) / "varnwick" / "spider");
    for (const auto &d : {dirs.root, dirs.classDir, dirs.dbDir, dirs.spiderDir})
        EXPECT_TRUE(fs::is_directory(d)) << d;
    EXPECT_TRUE(fs::is_empty(dirs.root / "db"));
}

TEST(DataRoot, AnExistingTreeIsKeptWithItsFiles)
{
    QTemporaryDir program;
    DataDirs dirs = PrepareDataRoot(PathOf(program), {}).dirs;
    Touch(dirs.dbDir / "1500000000.txt");
    dirs = PrepareDataRoot(PathOf(program), {}).dirs;
    EXPECT_TRUE(fs::exists(dirs.dbDir / "1500000000.txt"));
}

TEST(DataRoot, UnwritableProgramDirectoryFallsBack)
{
    QTemporaryDir program, fallback;
    // A plain file where the data root should go makes the directory unusable,
    // as an installed copy under /usr is for an ordinary user (root ignores
    // permission bits, so they would prove nothing here).
    Touch(PathOf(program) / "varnwick");
    const PreparedDataRoot root = PrepareDataRoot(PathOf(program), PathOf(fallback) / "app-data");
    EXPECT_EQ(root.dirs.root, PathOf(fallback) / "app-data" / "varnwick");
    EXPECT_TRUE(fs::is_directory(root.dirs.spiderDir));
    EXPECT_TRUE(fs::is_regular_file(PathOf(program) / "varnwick"));
    EXPECT_TRUE(root.copiedFrom.empty()); // nothing of the user's was there to move
}

// An existing tree that can no longer be written (full disk, read-only install)
// is copied into the user's folder once; a tree already there is never
// overwritten, and no probe file stays behind anywhere.
TEST(DataRoot, UnwritableExistingTreeIsCopiedOnceAndNeverOverwritten)
{
    test::FullDisk disk;
    if (!disk.RealFilesystem())
        GTEST_SKIP() << "needs a file system of its own to fill";
    QTemporaryDir user;
    const fs::path fallback = PathOf(user) / "app-data";
    const DataDirs old = PrepareDataRoot(disk.Dir(), fallback).dirs;
    Touch(old.dbDir / "1500000000.txt");
    Touch(old.classDir / "orlist.txt");
    disk.Fill();

    PreparedDataRoot root = PrepareDataRoot(disk.Dir(), fallback);
    EXPECT_EQ(root.copiedFrom, old.root);
    EXPECT_EQ(root.dirs.root, fallback / "varnwick");
    EXPECT_TRUE(fs::exists(root.dirs.dbDir / "1500000000.txt"));
    EXPECT_TRUE(fs::exists(root.dirs.classDir / "orlist.txt"));
    EXPECT_TRUE(fs::exists(old.dbDir / "1500000000.txt"));

    // The next start uses the copy and says nothing; what the user saved there stays.
    fs::remove(root.dirs.dbDir / "1500000000.txt");
    Touch(root.dirs.dbDir / "1600000000.txt");
    root = PrepareDataRoot(disk.Dir(), fallback);
    EXPECT_TRUE(root.copiedFrom.empty());
    EXPECT_TRUE(root.copyError.empty());
    EXPECT_TRUE(fs::exists(root.dirs.dbDir / "1600000000.txt"));
    EXPECT_FALSE(fs::exists(root.dirs.dbDir / "1500000000.txt"));

    disk.Free();
    for (const fs::path &dir : {old.root, root.dirs.root})
        for (const auto &entry : fs::directory_iterator(dir))
            EXPECT_TRUE(entry.is_directory() || entry.path().filename() == "orlist.txt") << entry.path();
}

TEST(DataRoot, WhyNotWritableGivesTheReasonAndLeavesNoProbe)
{
    QTemporaryDir dir;
    EXPECT_EQ(WhyNotWritable(PathOf(dir) / "db"), QString());
    EXPECT_TRUE(fs::is_empty(PathOf(dir) / "db"));
    Touch(PathOf(dir) / "file");
    EXPECT_NE(WhyNotWritable(PathOf(dir) / "file"), QString());

    test::FullDisk disk;
    if (!disk.RealFilesystem())
        return;
    fs::create_directory(disk.Dir() / "db");
    disk.Fill();
    EXPECT_NE(WhyNotWritable(disk.Dir() / "db"), QString());
    EXPECT_TRUE(fs::is_empty(disk.Dir() / "db"));
}

TEST(ListFiles, MatchesTheWildcardAndSortsByName)
{
    QTemporaryDir d;
    const fs::path dir = PathOf(d);
    for (const char *name : {"1600000000.txt", "1500000000.txt", "url.ini", "a.b.txt", "1550000000.TXT"})
        Touch(dir / name);
    fs::create_directory(dir / "sub.txt");
    const auto names = ListFiles(dir, "*.txt", false);
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], "1500000000.txt");
    EXPECT_EQ(names[1], "1550000000.TXT");
    EXPECT_EQ(names[2], "1600000000.txt");
    EXPECT_EQ(names[3], "a.b.txt");
    const auto paths = ListFiles(dir, "*.txt", true);
    EXPECT_EQ(paths[0], dir / "1500000000.txt");
    EXPECT_TRUE(ListFiles(dir / "missing", "*.txt", false).empty());
}
