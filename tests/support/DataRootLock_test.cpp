// The data root's lock: whatever a lock file was left holding, only a live
// holder keeps the root; a folder in its place is told apart from a holder.
#include "support/DataRootLock.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

using namespace corvix;
namespace fs = std::filesystem;

namespace {

struct Leftover {
    const char *what;
    void (*make)(const fs::path &lock);
};

const Leftover kLeftovers[] = {
    {"nothing", [](const fs::path &) {}},
    {"an empty file (a power cut after creating it)", [](const fs::path &p) { std::ofstream{p}; }},
    {"garbage", [](const fs::path &p) { std::ofstream(p) << "\x01\xff garbage\n\n"; }},
    {"a live process that is no Corvix", [](const fs::path &p) { std::ofstream(p) << "1\ninit\nhost\n"; }},
    {"a link to nowhere", [](const fs::path &p) { fs::create_symlink(p.parent_path() / "gone" / "x", p); }},
};

} // namespace

TEST(DataRootLock, WhateverWasLeftOnlyALiveHolderKeepsTheRoot)
{
    for (const Leftover &leftover : kLeftovers) {
        QTemporaryDir dir;
        const fs::path root(dir.path().toStdU16String());
        leftover.make(DataRootLock::LockPath(root));
        {
            const DataRootLock first(root);
            EXPECT_FALSE(first.HeldElsewhere()) << leftover.what;
            EXPECT_FALSE(first.PlaceTaken()) << leftover.what;
            const DataRootLock second(root);
            EXPECT_TRUE(second.HeldElsewhere()) << leftover.what;
            EXPECT_EQ(second.Holder().section(u'（', 0, 0),
                      QStringLiteral("进程 %1").arg(QCoreApplication::applicationPid()))
                << leftover.what;
        }
        EXPECT_FALSE(DataRootLock(root).HeldElsewhere()) << leftover.what << ": freed when the holder ends";
    }
}

TEST(DataRootLock, AFolderInItsPlaceIsNoHolder)
{
    QTemporaryDir dir;
    const fs::path root(dir.path().toStdU16String());
    fs::create_directory(DataRootLock::LockPath(root));
    const DataRootLock lock(root);
    EXPECT_FALSE(lock.HeldElsewhere());
    EXPECT_TRUE(lock.PlaceTaken());
    EXPECT_TRUE(fs::is_directory(DataRootLock::LockPath(root))) << "left as it was";
}

// The lock writes who holds it: through a link that would land in the user's
// own file. The link is replaced; the file it led to keeps its bytes.
TEST(DataRootLock, ALinkInItsPlaceLeadsNoWriteIntoAnotherFile)
{
    const struct {
        const char *what;
        void (*link)(const fs::path &target, const fs::path &lock);
    } kLinks[] = {
        {"a symbolic link", [](const fs::path &t, const fs::path &l) { fs::create_symlink(t, l); }},
        {"a hard link", [](const fs::path &t, const fs::path &l) { fs::create_hard_link(t, l); }},
    };
    for (const auto &row : kLinks) {
        QTemporaryDir dir;
        const fs::path root(dir.path().toStdU16String());
        const fs::path other = root / "notes.txt";
        const std::string bytes = "the user's own notes\n";
        std::ofstream(other, std::ios::binary) << bytes;
        row.link(other, DataRootLock::LockPath(root));
        {
            const DataRootLock lock(root);
            EXPECT_FALSE(lock.HeldElsewhere()) << row.what;
            EXPECT_FALSE(lock.PlaceTaken()) << row.what;
            EXPECT_FALSE(fs::is_symlink(lock.Path())) << row.what;
            EXPECT_EQ(fs::hard_link_count(lock.Path()), 1u) << row.what;
        }
        std::ifstream in(other, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes) << row.what;
        EXPECT_EQ(fs::hard_link_count(other), 1u) << row.what << ": its other name is gone, the file stays";
    }
}

#ifndef _WIN32
// Another process holds the lock through the system, as a Corvix that is then
// killed holds it, with nothing written in the file.
TEST(DataRootLock, AKilledHolderFreesTheRootAtOnce)
{
    QTemporaryDir dir;
    const fs::path root(dir.path().toStdU16String());
    QProcess holder;
    // One process that opens, locks and then waits, holding the open file.
    holder.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("exec 9>>\"$0\"; flock -n 9 && echo locked && exec sleep 600"),
                                        QString::fromStdU16String(DataRootLock::LockPath(root).u16string())});
    ASSERT_TRUE(holder.waitForReadyRead(-1));
    {
        const DataRootLock lock(root);
        EXPECT_TRUE(lock.HeldElsewhere());
        EXPECT_EQ(lock.Holder(), QStringLiteral("另一个进程"));
    }
    holder.kill();
    holder.waitForFinished(-1);
    EXPECT_FALSE(DataRootLock(root).HeldElsewhere());
}
#endif
