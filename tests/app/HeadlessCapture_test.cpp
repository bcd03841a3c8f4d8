// The lines the capture without a window prints for each link and for the
// notices it sends, the record its prices are compared with, and the notice
// command.
#include "app/HeadlessCapture.h"
#include "app/HeadlessNotices.h"
#include "capture/CaptureJob.h"
#include "common/CoreTestSupport.h"
#include "products/RecordFile.h"
#include "products/TestGrids.h"
#include "support/DateTime.h"
#include "common/TestHttpServer.h"
#include "products/LinkFile.h"
#include "products/NoticeChannels.h"
#include "products/PriceAlerts.h"
#include "products/ProductGridModel.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "support/Platform.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>

#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>
#include <vector>

using namespace corvix;

TEST(CapturedLinkLine, NamesTheEarlierPriceOfAChangedOne)
{
    CaptureJob job;
    job.product = Gbk("商品");
    job.shop = Gbk("商城");
    const std::tuple<const char *, PriceChange, const char *> cases[] = {
        {"5699.00", PriceChange::Higher, "5699.00 ↑ 上次 5499.00"},
        {"5299.00", PriceChange::Lower, "5299.00 ↓ 上次 5499.00"},
        {"5499", PriceChange::Same, "5499"},
        {"", PriceChange::NotCompared, "获取失败"},
    };
    for (const auto &[text, change, line] : cases)
        EXPECT_EQ(CapturedLinkLine(3, 12, job, Gbk(text), {change, Gbk("5499.00")}, 0.306).toStdString(),
                  std::string("[3/12] 商品 | 商城 | ") + line + " | 0.31 s");
}

// A run compares with the record saved last, a retry (which retries that one)
// with the record saved before it, also after the clock was set back.
TEST(RecordBeforeRun, TakesTheRecordSavedLastNotTheLatestName)
{
    const std::tuple<const char *, std::vector<int>, const char *, const char *> cases[] = {
        {"no records", {}, "", ""},
        {"saves in order", {17, 18}, "1543917600", "1543914000"},
        {"the clock set back an hour", {18, 17}, "1543914000", "1543917600"},
        {"one record", {18}, "1543917600", ""},
    };
    for (const auto &[what, hours, run, retry] : cases) {
        SCOPED_TRACE(what);
        test::TempDataRoot root;
        const auto db = root.Dirs().dbDir;
        for (const int hour : hours) {
            SetClockForTests([hour] { return LocalDateTime{2018, 12, 4, hour, 0, 0, 0}; });
            ASSERT_TRUE(SaveGridAsRecord(*test::MakeGrid({"S"}, {{"1", "P", "1"}}), db));
        }
        SetClockForTests(nullptr);
        const std::vector<RecordListEntry> records = ListRecords(db);
        const auto name = [](const std::optional<RecordListEntry> &entry) { return entry ? entry->name : ""; };
        EXPECT_EQ(name(RecordBeforeRun(db, records, false)), run);
        EXPECT_EQ(name(RecordBeforeRun(db, records, true)), retry);
    }
}

#ifdef __linux__
namespace {

// Whether process pid still runs (a zombie that nobody has reaped yet has ended).
bool Running(const QString &pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid.trimmed()));
    if (pid.trimmed().isEmpty() || !stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) != "Z";
}

QString FileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

} // namespace

// Under cron, `corvix --capture … | cat` lasts as long as anything holds its
// output: the command ends with all it started, and holds no other file of the
// program (the browser's) to begin with.
TEST(RunNotifyCommand, EndsWithAllItStartedAndHoldsNoOtherFileOfTheProgram)
{
    QTemporaryDir dir;
    const QString pid = dir.filePath(QStringLiteral("pid")), files = dir.filePath(QStringLiteral("files"));
    // Left open across exec, as some of the browser engine's files are.
    std::FILE *held = std::fopen(dir.filePath(QStringLiteral("engine-file")).toLocal8Bit().constData(), "w");
    ASSERT_NE(held, nullptr);
    const QString command = "ls -l /proc/$$/fd > '" + files + "'; sleep 60 & echo $! > '" + pid + "'; wait";
    EXPECT_EQ(RunNotifyCommand(command, "{}", 1).toStdString(), "超过 1 s 未结束，已终止");
    std::fclose(held);
    EXPECT_FALSE(Running(FileText(pid))) << "the child the shell started";
    EXPECT_TRUE(FileText(files).contains(QStringLiteral(" 0 -> "))) << FileText(files).toStdString();
    EXPECT_FALSE(FileText(files).contains(QStringLiteral("engine-file"))) << FileText(files).toStdString();
}

// A stop request while the command runs ends it and what it started at once,
// and the program hears of the request.
TEST(RunNotifyCommand, AStopRequestEndsItAtOnce)
{
    QTemporaryDir dir;
    const QString pid = dir.filePath(QStringLiteral("pid"));
    QObject context;
    bool heard = false;
    WatchStopRequests(&context, [&heard] { heard = true; });
    const QString command = "sleep 60 & echo $! > '" + pid + "'; kill -TERM $PPID; wait";
    EXPECT_EQ(RunNotifyCommand(command, "{}", 20).toStdString(), "因停止请求已终止");
    EXPECT_FALSE(Running(FileText(pid)));
    EXPECT_TRUE(StopRequested());
    QCoreApplication::processEvents();
    EXPECT_TRUE(heard);
}
#endif

// The notices of a run without a window reach every enabled channel; one that
// fails is named on its own line and keeps neither the others nor the run.
TEST(ReportPriceNotices, OneLinePerChannelAndAFailingOneHoldsUpNoOther)
{
    test::TempDataRoot root;
    test::TestHttpServer server;
    server.RouteReplies(QStringLiteral("/hook"), {{200, "ok"}});
    server.RouteReplies(QStringLiteral("/robot/send"), {{200, R"({"errcode":310000,"errmsg":"sign not match"})"}});
    QTemporaryDir settings;
    const std::filesystem::path folder(settings.path().toStdString());
    std::vector<NoticeChannel> channels;
    channels.push_back(NewChannel(ChannelKind::DingTalk, channels));
    channels.back().values = {{"base", server.Url({})}, {"token", "t"}, {"secret", "SECwrong"}};
    channels.push_back(NewChannel(ChannelKind::Webhook, channels));
    channels.back().values = {{"url", server.Url(QStringLiteral("/hook"))}};
    ASSERT_TRUE(SaveChannels(folder, channels));
    PriceAlerts alerts;
    alerts.Set({"A", "", 15, std::nullopt, {}});
    ASSERT_TRUE(alerts.Save(AlertsFilePath(root.Dirs())));
    LinkFile links;
    links.SetProductValue(0, "title", "A");
    links.SetProductValue(0, "X", "https://item.shop.example/a");
    ASSERT_TRUE(links.Save(LinkFilePath(root.Dirs())));
    ProductGridModel grid;
    for (const char *title : {"ID", "title", "X"})
        grid.AddColumn(title, 60, Qt::AlignHCenter);
    grid.AppendRows({{"1", "A", "12.50"}});

    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    NoticeRun run{&grid, std::nullopt, {}, QStringLiteral("1700000000.txt"), {}};
    run.settingsFolder = folder;
    // As a run does: the crossings are saved with the record, then told.
    const auto tell = [&] {
        const RunNotices found = FindRunNotices(root.Dirs(), run);
        if (found.alertsText) {
            ASSERT_TRUE(WriteFileAtomically(AlertsFilePath(root.Dirs()), *found.alertsText));
        }
        test::WhileServing([&] { ReportPriceNotices(found, run, outStream, errStream); });
    };
    tell();
    EXPECT_TRUE(out.contains(QStringLiteral("降价提醒：A | X | — → 12.50（低于目标 15 元）\n已发送：通用 Webhook\n")))
        << out.toStdString();
    EXPECT_EQ(err.toStdString(), "发送失败：钉钉群机器人（签名校验失败）\n");
    ASSERT_EQ(server.Requests().size(), 2);
    // The channels send at once: their requests come in either order.
    const auto hook = std::find_if(server.Requests().begin(), server.Requests().end(),
                                   [](const test::HttpRequestSeen &r) { return r.target == "/hook"; });
    ASSERT_NE(hook, server.Requests().end());
    const QJsonObject sent = QJsonDocument::fromJson(hook->body).object();
    EXPECT_EQ(sent["notices"][0]["link"].toString(), "https://item.shop.example/a");
    // The crossing was stored before the sends: a second run tells nothing.
    tell();
    EXPECT_EQ(server.Requests().size(), 2);
}
