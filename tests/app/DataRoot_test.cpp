// The data root: first start, existing trees, the fallback when the program
// directory cannot be written, and the sorted file listing.
#include "app/DataRoot.h"
#include "app/Events.h"

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
    const DataDirs dirs = PrepareDataRoot(PathOf(program), {});
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
    DataDirs dirs = PrepareDataRoot(PathOf(program), {});
    Touch(dirs.dbDir / "1500000000.txt");
    dirs = PrepareDataRoot(PathOf(program), {});
    EXPECT_TRUE(fs::exists(dirs.dbDir / "1500000000.txt"));
}

TEST(DataRoot, UnwritableProgramDirectoryFallsBack)
{
    QTemporaryDir program, fallback;
    // A plain file where the data root should go makes the directory unusable,
    // as an installed copy under /usr is for an ordinary user (root ignores
    // permission bits, so they would prove nothing here).
    Touch(PathOf(program) / "varnwick");
    const DataDirs dirs = PrepareDataRoot(PathOf(program), PathOf(fallback) / "app-data");
    EXPECT_EQ(dirs.root, PathOf(fallback) / "app-data" / "varnwick");
    EXPECT_TRUE(fs::is_directory(dirs.spiderDir));
    EXPECT_TRUE(fs::is_regular_file(PathOf(program) / "varnwick"));
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
