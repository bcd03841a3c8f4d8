// The lines the capture without a window prints for each link and for the
// notices it sends.
#include "app/HeadlessCapture.h"
#include "app/HeadlessNotices.h"
#include "capture/CaptureJob.h"
#include "common/CoreTestSupport.h"
#include "common/TestHttpServer.h"
#include "products/LinkFile.h"
#include "products/NoticeChannels.h"
#include "products/PriceAlerts.h"
#include "products/ProductGridModel.h"
#include "support/Gbk.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>

#include <gtest/gtest.h>

#include <tuple>

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
    test::WhileServing([&] { ReportPriceNotices(root.Dirs(), run, outStream, errStream); });
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
    test::WhileServing([&] { ReportPriceNotices(root.Dirs(), run, outStream, errStream); });
    EXPECT_EQ(server.Requests().size(), 2);
}
