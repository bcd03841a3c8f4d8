// The scheduled capture as a scheduler runs it: `corvix --capture` or
// `--retry` on a data root, no display, pages from the loopback server; the exit
// code, the printed lines and the record file it leaves.
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"
#include "products/LinkFile.h"
#include "products/RecordFile.h"
#include "rules/Rule.h"
#include "rules/RuleFile.h"
#include "rules/RuleIndex.h"
#include "support/DataRootLock.h"
#include "support/Gbk.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLockFile>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

namespace corvix {
namespace {

struct Outcome {
    int exitCode = -1;
    QString out, err;
};

class HeadlessCapture : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.Route("/p", "<html><body><span class=\"price\">12.50</span></body></html>");
        test::TempDataRoot::WriteBytes(RuleFilePath(root.Dirs(), "X"),
                                       test::MarkerRuleText("<span class=#引号price#引号>", "</span>"));
        test::TempDataRoot::WriteBytes(RuleIndexPath(root.Dirs()), "X");
    }
    void Links(const std::vector<std::pair<std::string, std::string>> &products)
    {
        LinkFile links;
        for (size_t i = 0; i < products.size(); ++i) {
            links.SetValue(LinkFile::SectionName(static_cast<int>(i)), "title", products[i].first);
            links.SetValue(LinkFile::SectionName(static_cast<int>(i)), "X", products[i].second);
        }
        ASSERT_TRUE(links.Save(LinkFilePath(root.Dirs())));
    }
    // Runs the program without a display while this process serves the pages.
    Outcome Run(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        process.setProcessEnvironment(env);
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        const QStringList data{QStringLiteral("--data"), QString::fromStdU16String(root.Dirs().root.u16string())};
        process.start(QStringLiteral(CORVIX_BINARY), arguments.contains(data[0]) ? arguments : arguments + data);
        loop.exec();
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }
    std::string NewestRecord() const
    {
        const std::string name = NewestRecordName(root.Dirs().dbDir);
        return name.empty() ? std::string() : test::TempDataRoot::ReadBytes(PathInDir(root.Dirs().dbDir, name));
    }
    QString Url(const char *path) { return server.Url(QString::fromLatin1(path)); }

    test::TempDataRoot root;
    test::TestHttpServer server;
};

TEST_F(HeadlessCapture, EveryLinkPricedExitsZeroAndSavesARecord)
{
    // A product that the shop does not sell is named, and neither counted nor failed.
    Links({{"C", ""}, {Gbk("手机"), Url("/p").toStdString()}});
    const Outcome run = Run({QStringLiteral("--capture")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("[-/1] C | X | 无链接"))) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("[1/1] 手机 | X | 12.50 | "))) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("共 1 条链接：1 条获取成功，0 条获取失败")));
    EXPECT_EQ(NewestRecord(), "C|" + Gbk("—") + "|\r\n" + Gbk("手机") + "|12.50|");

    // Two hosts at once: the same record.
    const auto onHost = [this](const char *host) {
        return "http://" + std::string(host) + ".localhost:" + std::to_string(server.Port()) + "/p";
    };
    Links({{Gbk("手机"), onHost("a")}, {Gbk("电脑"), onHost("b")}});
    const Outcome parallel = Run({QStringLiteral("--capture"), QStringLiteral("--parallel"), QStringLiteral("2")});
    EXPECT_EQ(parallel.exitCode, 0) << parallel.err.toStdString();
    EXPECT_TRUE(parallel.out.contains(QStringLiteral("共 2 条链接：2 条获取成功，0 条获取失败"))) << parallel.out.toStdString();
    EXPECT_EQ(NewestRecord(), Gbk("手机") + "|12.50|\r\n" + Gbk("电脑") + "|12.50|");
}

TEST_F(HeadlessCapture, AFailedLinkExitsOneAndTheRetryFillsItIn)
{
    Links({{"A", Url("/p").toStdString()}, {"B", "file:///etc/passwd?http"}});
    Outcome run = Run({QStringLiteral("--capture")});
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("[2/2] B | X | 链接不正确 | ")));
    EXPECT_EQ(NewestRecord(), "A|12.50|\r\nB||");

    // The retry reads the newest record and captures its failed cells again.
    for (const auto &entry : std::filesystem::directory_iterator(root.Dirs().dbDir))
        if (entry.path().extension() == ".txt")
            std::filesystem::remove(entry.path());
    test::TempDataRoot::WriteBytes(root.Dirs().dbDir / "1000000000.txt", "A|" + Gbk("获取失败") + "|\r\nB|1|");
    run = Run({QStringLiteral("--retry")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(NewestRecord(), "A|12.50|\r\nB|1|");
}

TEST_F(HeadlessCapture, WhatCannotRunExitsTwo)
{
    // No links.
    Outcome run = Run({QStringLiteral("--capture")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("链接为空"))) << run.err.toStdString();
    // Another process holds the data root.
    Links({{"A", Url("/p").toStdString()}});
    {
        QLockFile held(QString::fromStdU16String(DataRootLock::LockPath(root.Dirs().root).u16string()));
        ASSERT_TRUE(held.tryLock(0));
        run = Run({QStringLiteral("--capture")});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(QStringLiteral("进程 %1").arg(QCoreApplication::applicationPid())))
            << run.err.toStdString();
    }
    // A --parallel that is no whole number from 1 to 8: refused before anything runs.
    run = Run({QStringLiteral("--capture"), QStringLiteral("--parallel"), QStringLiteral("9")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("“9”"))) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    // No enabled rule.
    test::TempDataRoot::WriteBytes(RuleIndexPath(root.Dirs()), "");
    run = Run({QStringLiteral("--capture")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("没有启用的采集规则")));
    // A data root that does not exist.
    run = Run({QStringLiteral("--retry"), QStringLiteral("--data"), QStringLiteral("/nonexistent/varnwick")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(NewestRecord().empty()) << "nothing was saved by runs that could not run";
}

} // namespace
} // namespace corvix
