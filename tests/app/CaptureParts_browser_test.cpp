// A capture split into parts, as a job array runs it: several `corvix
// --capture --shard i/n` processes at once on one data root, pages from shop
// hosts that the engine resolves to the loopback server, then `--merge`. The
// record equals the one a single `--capture` saves, and no shop host ever sees
// two requests at once across all parts.
#include "capture/CaptureParts.h"
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"
#include "products/LinkFile.h"
#include "products/RecordFile.h"
#include "products/RecordList.h"
#include "rules/RuleFile.h"
#include "rules/RuleIndex.h"
#include "support/Gbk.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <iostream>
#include <memory>

namespace corvix {
namespace {

constexpr const char *kHosts[] = {"shop-a.test", "shop-b.test", "shop-c.test",
                                  "shop-d.test", "shop-e.test", "shop-f.test"};

class CapturePartsRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 24; ++i)
            server.RouteDelayed(QStringLiteral("/p%1").arg(i), 250,
                                QStringLiteral("<html><body><span class=\"price\">%1.50</span></body></html>")
                                    .arg(100 + i)
                                    .toUtf8());
        server.RouteHang(QStringLiteral("/hang"));
        for (const test::TempDataRoot *root : {&single, &parted})
            Prepare(root->Dirs());
    }
    void Prepare(const DataDirs &dirs)
    {
        for (const char *rule : {"X", "Y"})
            test::WriteBytes(RuleFilePath(dirs, rule), test::MarkerRuleText("<span class=#引号price#引号>", "</span>"));
        test::WriteBytes(RuleIndexPath(dirs), "X\r\nY");
        LinkFile links;
        const auto link = [this](int host, int page) {
            return "http://" + std::string(kHosts[host % 6]) + ":" + std::to_string(server.Port()) + "/p"
                   + std::to_string(page);
        };
        // Every host has links in several rows and in both shops.
        for (int i = 0; i < 12; ++i) {
            links.SetProductValue(i, "title", Gbk("商品") + std::to_string(i));
            links.SetProductValue(i, "X", link(i, i));
            links.SetProductValue(i, "Y", link(i + 1, i + 12));
        }
        links.SetProductValue(12, "title", "odd");
        links.SetProductValue(12, "Y", "not a link");
        ASSERT_TRUE(links.Save(LinkFilePath(dirs)));
        // The cell of a link that is no web address keeps the newest record's text.
        test::WriteBytes(dirs.dbDir / "1000000000.txt", "odd|1|2|");
    }
    std::unique_ptr<QProcess> Start(const test::TempDataRoot &root, QStringList arguments)
    {
        auto process = std::make_unique<QProcess>();
        arguments << QStringLiteral("--data") << QString::fromStdU16String(root.Dirs().root.u16string())
                  << QStringLiteral("--webEngineArgs") << QStringLiteral("--host-resolver-rules=MAP *.test 127.0.0.1");
        process->start(QStringLiteral(CORVIX_BINARY), arguments);
        return process;
    }
    // Serves pages until every process has ended; their exit codes.
    std::vector<int> Wait(const std::vector<QProcess *> &processes)
    {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            for (QProcess *p : processes)
                if (p->state() != QProcess::NotRunning)
                    return;
            loop.quit();
        });
        poll.start(50);
        QTimer::singleShot(180000, &loop, &QEventLoop::quit);
        loop.exec();
        std::vector<int> codes;
        for (QProcess *p : processes)
            codes.push_back(p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1);
        return codes;
    }
    int RunToEnd(const test::TempDataRoot &root, const QStringList &arguments, QString *out = nullptr)
    {
        const auto process = Start(root, arguments);
        const int code = Wait({process.get()}).front();
        if (out)
            *out = QString::fromUtf8(process->readAllStandardOutput() + process->readAllStandardError());
        return code;
    }
    static std::string Newest(const test::TempDataRoot &root)
    {
        return test::ReadBytes(PathInDir(root.Dirs().dbDir, NewestRecordName(root.Dirs().dbDir)));
    }

    test::TestHttpServer server;
    test::TempDataRoot single;
    test::TempDataRoot parted;
};

TEST_F(CapturePartsRun, PartsAtOnceThenTheMergeSaveWhatOneMachineSavesAndNoHostSeesTwoRequests)
{
    QString out;
    ASSERT_EQ(RunToEnd(single, {QStringLiteral("--capture"), QStringLiteral("--parallel"), QStringLiteral("4")}, &out),
              1) << out.toStdString(); // the link that is no web address fails
    const std::string alone = Newest(single);
    for (const int most : server.MostInFlightPerHost())
        ASSERT_EQ(most, 1) << "one machine keeps one request per host";

    std::vector<std::unique_ptr<QProcess>> parts;
    std::vector<QProcess *> running;
    for (int i = 0; i < 3; ++i) {
        parts.push_back(Start(parted, {QStringLiteral("--capture"), QStringLiteral("--shard"),
                                       QStringLiteral("%1/3").arg(i), QStringLiteral("--run"), QStringLiteral("n1"),
                                       QStringLiteral("--parallel"), QStringLiteral("2")}));
        running.push_back(parts.back().get());
    }
    const std::vector<int> codes = Wait(running);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(codes[static_cast<size_t>(i)], 0) << i << parts[static_cast<size_t>(i)]->readAllStandardError().toStdString();
    const QMap<QString, int> most = server.MostInFlightPerHost();
    EXPECT_EQ(most.size(), 6) << "every shop host was asked";
    for (auto it = most.cbegin(); it != most.cend(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString() << " saw requests at once";

    ASSERT_EQ(RunToEnd(parted, {QStringLiteral("--merge"), QStringLiteral("n1")}, &out), 1) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("合并 3 / 3 部分：完成 25 / 25 条链接，1 条失败"))) << out.toStdString();
    EXPECT_EQ(Newest(parted), alone);
    const std::string first = Gbk("商品0|100.50|112.50|");
    EXPECT_EQ(Newest(parted).substr(0, first.size()), first);

    // The same run merged again saves no second record.
    const size_t records = ListRecords(parted.Dirs().dbDir).size();
    ASSERT_EQ(RunToEnd(parted, {QStringLiteral("--merge"), QStringLiteral("n1")}, &out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("已合并"))) << out.toStdString();
    EXPECT_EQ(ListRecords(parted.Dirs().dbDir).size(), records);
}

TEST_F(CapturePartsRun, APartKilledMidRunLeavesNoPartFileAndTheMergeNamesItMissing)
{
    // shop-a.test is part 1 of 2; its first page never answers.
    LinkFile links = LinkFile::Load(LinkFilePath(parted.Dirs())).value();
    ASSERT_EQ(PartOfHost("shop-a.test", 2), 1);
    links.SetProductValue(0, "X", "http://shop-a.test:" + std::to_string(server.Port()) + "/hang");
    ASSERT_TRUE(links.Save(LinkFilePath(parted.Dirs())));
    const auto killed = Start(parted, {QStringLiteral("--capture"), QStringLiteral("--shard"), QStringLiteral("1/2"),
                                       QStringLiteral("--run"), QStringLiteral("k")});
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (server.RequestedPaths().contains(QStringLiteral("/hang")))
            loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_TRUE(server.RequestedPaths().contains(QStringLiteral("/hang")));
    killed->kill();
    Wait({killed.get()});
    EXPECT_EQ(RunToEnd(parted, {QStringLiteral("--capture"), QStringLiteral("--shard"), QStringLiteral("0/2"),
                                QStringLiteral("--run"), QStringLiteral("k")}),
              0);
    const std::filesystem::path run = RunPartsDir(parted.Dirs().dbDir, "k");
    EXPECT_FALSE(std::filesystem::exists(PartFilePath(run, 1)));
    EXPECT_FALSE(std::filesystem::exists(PartSidePath(run, 1)));

    QString out;
    EXPECT_EQ(RunToEnd(parted, {QStringLiteral("--merge"), QStringLiteral("k")}, &out), 2) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("合并 1 / 2 部分："))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("缺少部分 1"))) << out.toStdString();
    // What part 0 holds is saved; part 1's cells keep the newest record's texts.
    EXPECT_EQ(Newest(parted).substr(0, Gbk("商品0|").size()), Gbk("商品0|"));
    EXPECT_NE(NewestRecordName(parted.Dirs().dbDir), "1000000000.txt");
}

// The shipped Slurm scripts on a real single-node cluster started here: the
// job array runs the parts, the dependent job merges, `sbatch --wait` waits.
TEST_F(CapturePartsRun, OnASingleNodeSlurmTheShippedScriptsSaveWhatOneMachineSaves)
{
    if (!std::filesystem::exists("/usr/sbin/slurmctld") || !std::filesystem::exists("/usr/sbin/munged"))
        GTEST_SKIP() << "slurm-wlm and munge are not installed (scripts/install-deps installs them)";
    QTemporaryDir cluster;
    const QString dir = cluster.path();
    const QString helper = QStringLiteral(CORVIX_SOURCE_DIR "/tests/app/single-node-slurm.sh");
    ASSERT_EQ(QProcess::execute(helper, {QStringLiteral("start"), dir}), 0);
    // The cluster goes whatever the test finds.
    const std::shared_ptr<void> stop(nullptr, [&](void *) { QProcess::execute(helper, {QStringLiteral("stop"), dir}); });

    QString out;
    ASSERT_EQ(RunToEnd(single, {QStringLiteral("--capture"), QStringLiteral("--parallel"), QStringLiteral("4")}, &out),
              1) << out.toStdString();
    QProcess submit;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SLURM_CONF"), dir + QStringLiteral("/slurm.conf"));
    env.insert(QStringLiteral("CORVIX"), QStringLiteral(CORVIX_BINARY));
    env.insert(QStringLiteral("CORVIX_DATA"), QString::fromStdU16String(parted.Dirs().root.u16string()));
    env.insert(QStringLiteral("CORVIX_RUN"), QStringLiteral("slurm-1"));
    env.insert(QStringLiteral("CORVIX_PARALLEL"), QStringLiteral("2"));
    env.insert(QStringLiteral("CORVIX_LOGS"), dir);
    submit.setProcessEnvironment(env);
    submit.start(QStringLiteral(CORVIX_SOURCE_DIR "/deploy/slurm/submit.sh"),
                 {QStringLiteral("--wait"), QStringLiteral("3"), QStringLiteral("--webEngineArgs"),
                  QStringLiteral("--host-resolver-rules=MAP *.test 127.0.0.1")});
    // The merge's exit code: the link that is no web address failed.
    EXPECT_EQ(Wait({&submit}).front(), 1) << submit.readAllStandardError().toStdString();
    QString logs;
    for (const QFileInfo &log : QDir(dir).entryInfoList({QStringLiteral("corvix-*.log")}, QDir::Files, QDir::Name)) {
        QFile file(log.filePath());
        if (file.open(QIODevice::ReadOnly))
            logs += QStringLiteral("== ") + log.fileName() + u'\n' + QString::fromUtf8(file.readAll());
    }
    if (logs.isEmpty())
        logs = QDir(dir).entryList().join(u' ') + u'\n' + QString::fromUtf8(submit.readAllStandardOutput());
    std::cout << logs.toStdString();
    EXPECT_TRUE(logs.contains(QStringLiteral("合并 3 / 3 部分：完成 25 / 25 条链接，1 条失败"))) << logs.toStdString();
    EXPECT_EQ(Newest(parted), Newest(single));
    for (const int most : server.MostInFlightPerHost())
        EXPECT_EQ(most, 1);
}

} // namespace
} // namespace corvix
