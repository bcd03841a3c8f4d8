// The scheduled capture as a scheduler runs it: `corvix --capture` or
// `--retry` on a data root, no display, pages from the loopback server; the exit
// code, the printed lines and the record file it leaves.
#include "common/FullDisk.h"
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"
#include "products/LinkFile.h"
#include "products/NoticeChannels.h"
#include "products/PriceAlerts.h"
#include "products/RecordFile.h"
#include "rules/Rule.h"
#include "rules/RuleFile.h"
#include "rules/RuleIndex.h"
#include "support/DataRootLock.h"
#include "support/Gbk.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QTcpServer>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

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
    // display: the DISPLAY it finds (none by default).
    // onOutput sees standard output as it grows, while the program runs.
    Outcome Run(const QStringList &arguments, const QString &display = {},
                const std::function<void(QProcess &, const QString &)> &onOutput = {})
    {
        QProcess process;
        QString out;
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [&] {
            out += QString::fromLocal8Bit(process.readAllStandardOutput());
            if (onOutput)
                onOutput(process, out);
        });
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        process.setProcessEnvironment(env);
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        const QStringList data{QStringLiteral("--data"), QString::fromStdU16String(root.Dirs().root.u16string())};
        process.start(QStringLiteral(CORVIX_BINARY), arguments.contains(data[0]) ? arguments : arguments + data);
        loop.exec();
        out += QString::fromLocal8Bit(process.readAllStandardOutput());
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, out,
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

// A timer started after logout finds a DISPLAY that is gone: no window is
// needed, and the engine's own messages stay out of the log.
TEST_F(HeadlessCapture, ADisplayThatIsGoneIsNotNeededAndTheLogHoldsOnlyTheCapture)
{
    Links({{"A", Url("/p").toStdString()}});
    const Outcome run = Run({QStringLiteral("--capture")}, QStringLiteral(":97"));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("[1/1] A | X | 12.50 | "))) << run.out.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const Outcome verbose = Run({QStringLiteral("--capture"), QStringLiteral("--verbose")}, QStringLiteral(":97"));
    EXPECT_EQ(verbose.exitCode, 0);
    EXPECT_FALSE(verbose.err.isEmpty()) << "--verbose keeps them";
}

// The shop's page is served from an address the engine is told is public; the
// user's own machine is a second server on 127.0.0.1. The page tries every way
// there: the address itself, a name the engine's resolver rules map to
// 127.0.0.1, redirects of an image and of the page, WebSockets, WebRTC (STUN
// over UDP, TURN over TCP) and a preconnect. The price appears once the page
// has loaded and WebRTC has gathered its candidates (or given up).
TEST_F(HeadlessCapture, APublicPageCannotReachTheUsersOwnMachine)
{
    test::TestHttpServer own;
    QTcpServer turn, preconnect;
    QUdpSocket stun;
    ASSERT_TRUE(turn.listen(QHostAddress::LocalHost) && preconnect.listen(QHostAddress::LocalHost));
    ASSERT_TRUE(stun.bind(QHostAddress::LocalHost));
    const QString pub = QString::number(server.Port()), mine = QString::number(own.Port());
    const QString ownPage = "<html><body><img src=\"http://127.0.0.1:" + mine + "/own-image.png\">"
                            "<span class=\"price\">12.50</span></body></html>";
    own.Route("/mine", ownPage.toUtf8());
    server.RouteRedirect("/image-redirect", "http://127.0.0.1:" + mine + "/redirected-image.png");
    server.RouteRedirect("/page-redirect", "http://127.0.0.1:" + mine + "/redirected-page");
    server.Route("/spy", (R"(<html><head><link rel="preconnect" href="http://pre.test:)" + QString::number(preconnect.serverPort())
                          + R"("></head><body>
<img src="http://127.0.0.1:)" + mine + R"(/literal.png"><img src="http://own.test:)" + mine + R"(/name.png">
<img src="/image-redirect">
<script>
new WebSocket('ws://127.0.0.1:)" + mine + R"(/ws-literal'); new WebSocket('ws://own.test:)" + mine + R"(/ws-name');
var loaded = false, gathered = false, shown = false;
function show() {
  if (shown || !loaded || !gathered) return;
  shown = true;
  var price = document.createElement('span'); price.className = 'price'; price.textContent = '12.50';
  document.body.appendChild(price);
}
window.addEventListener('load', function () { loaded = true; show(); });
setTimeout(function () { gathered = true; show(); }, 5000);
var rtc = new RTCPeerConnection({iceServers: [{urls: 'stun:127.0.0.1:)" + QString::number(stun.localPort()) + R"('},
  {urls: 'turn:127.0.0.1:)" + QString::number(turn.serverPort()) + R"(?transport=tcp', username: 'u', credential: 'p'}]});
rtc.createDataChannel('d');
rtc.onicegatheringstatechange = function () { if (rtc.iceGatheringState == 'complete') { gathered = true; show(); } };
rtc.createOffer().then(function (offer) { return rtc.setLocalDescription(offer); });
</script></body></html>)").toUtf8());
    const QStringList capture = {QStringLiteral("--capture"), QStringLiteral("--parallel"), QStringLiteral("2"),
                                 QStringLiteral("--data"), QString::fromStdU16String(root.Dirs().root.u16string()),
                                 QStringLiteral("--webEngineArgs"),
                                 QStringLiteral("--host-resolver-rules=MAP *.test 127.0.0.1"),
                                 "--ip-address-space-overrides=127.0.0.1:" + pub + "=public"};
    Links({{"A", ("http://shop.test:" + pub + "/spy").toStdString()},
           {"B", ("http://go.test:" + pub + "/page-redirect").toStdString()}});
    Outcome run = Run(capture);
    QCoreApplication::processEvents();
    EXPECT_TRUE(run.out.contains(QStringLiteral("A | X | 12.50"))) << run.out.toStdString();
    EXPECT_TRUE(server.RequestedPaths().contains(QStringLiteral("/page-redirect")));
    EXPECT_TRUE(server.RequestedPaths().contains(QStringLiteral("/image-redirect")));
    const auto reached = [&own](const char *path) { return own.RequestedPaths().contains(QString::fromLatin1(path)); };
    const std::pair<const char *, bool> ways[] = {
        {"the address", reached("/literal.png")},
        {"a name mapped to 127.0.0.1", reached("/name.png")},
        {"a redirect of the page", reached("/redirected-page")},
        {"a redirect of an image", reached("/redirected-image.png")},
        {"a WebSocket to the address", reached("/ws-literal")},
        {"a WebSocket to a name", reached("/ws-name")},
        {"WebRTC over UDP (STUN)", stun.hasPendingDatagrams()},
        {"WebRTC over TCP (TURN)", turn.hasPendingConnections()},
        {"a preconnect", preconnect.hasPendingConnections()},
    };
    for (const auto &[way, wasReached] : ways)
        EXPECT_FALSE(wasReached) << way;

    // The user's own links that lead to the user's machine, by its address or
    // by a name, are captured, and their pages keep their own requests.
    Links({{"A", ("http://own.test:" + mine + "/mine").toStdString()}, {"B", own.Url(QStringLiteral("/mine")).toStdString()}});
    run = Run(capture);
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    EXPECT_EQ(own.RequestedPaths().filter(QStringLiteral("/own-image.png")).size(), 2);
}

// A stop request lets the link under way land, saves every price captured (the
// others keep the newest record's) and exits with 3; a second one ends at once.
TEST_F(HeadlessCapture, AStopSignalSavesWhatWasCapturedAndExitsThree)
{
    server.RouteDelayed("/slow", 700, "<html><body><span class=\"price\">9.90</span></body></html>");
    Links({{"P0", Url("/slow").toStdString()}, {"P1", Url("/slow").toStdString()},
           {"P2", Url("/slow").toStdString()}, {"P3", Url("/slow").toStdString()}});
    test::TempDataRoot::WriteBytes(root.Dirs().dbDir / "1000000000.txt", "P0|1|\r\nP1|2|\r\nP2|3|\r\nP3|4|");
    bool sent = false;
    const Outcome stopped = Run({QStringLiteral("--capture")}, {}, [&](QProcess &process, const QString &out) {
        if (!sent && out.contains(QStringLiteral("[1/4]"))) {
            sent = true;
            process.terminate();
        }
    });
    EXPECT_EQ(stopped.exitCode, 3) << stopped.err.toStdString();
    EXPECT_TRUE(stopped.out.contains(QStringLiteral("已中断：完成 2 / 4 条链接"))) << stopped.out.toStdString();
    EXPECT_EQ(NewestRecord(), "P0|9.90|\r\nP1|9.90|\r\nP2|3|\r\nP3|4|");

    // A second request does not wait for the link under way.
    const std::string saved = NewestRecord();
    int sentTwice = 0;
    const Outcome ended = Run({QStringLiteral("--capture")}, {}, [&](QProcess &process, const QString &out) {
        if (sentTwice == 0 && out.contains(QStringLiteral("[1/4]"))) {
            sentTwice = 2;
            process.terminate();
            // Two signals sent at once may arrive as one.
            QTimer::singleShot(200, &process, [&process] { process.terminate(); });
        }
    });
    EXPECT_EQ(ended.exitCode, 128 + 15);
    EXPECT_EQ(NewestRecord(), saved);
    // The lock went with the process: the next run is not refused.
    EXPECT_NE(Run({QStringLiteral("--retry")}).exitCode, 2);
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
    // A name that is no save time is no record: named, not retried, kept.
    test::TempDataRoot::WriteBytes(root.Dirs().dbDir / "99999999999999999999.txt", "Z||");
    run = Run({QStringLiteral("--retry")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(NewestRecord(), "A|12.50|\r\nB|1|");
    EXPECT_TRUE(run.err.contains(QStringLiteral("99999999999999999999.txt"))) << run.err.toStdString();
    EXPECT_TRUE(std::filesystem::exists(root.Dirs().dbDir / "99999999999999999999.txt"));

    // Nothing left to retry: said, and no copy of the record is saved.
    const auto files = [this] {
        return std::distance(std::filesystem::directory_iterator(root.Dirs().dbDir), {});
    };
    const auto before = files();
    run = Run({QStringLiteral("--retry")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("没有需要重抓的链接"))) << run.out.toStdString();
    EXPECT_EQ(files(), before);
}

TEST_F(HeadlessCapture, PriceNoticesArePrintedAndGivenToTheNotifyCommandOncePerCrossing)
{
    Links({{"A", Url("/p").toStdString()}, {"B", Url("/p").toStdString()}});
    test::TempDataRoot::WriteBytes(root.Dirs().dbDir / "1000000000.txt", "A|20.00|\r\nB|20|");
    const auto writeAlerts = [this] {
        PriceAlerts alerts;
        alerts.Set({"A", "", 15, std::nullopt, {}});
        alerts.Set({"B", "X", std::nullopt, 30, {}});
        ASSERT_TRUE(alerts.Save(AlertsFilePath(root.Dirs())));
    };
    writeAlerts();
    const QString file = QString::fromStdU16String((root.Dir() / "notices.json").u16string());
    const QStringList notify{QStringLiteral("--capture"), QStringLiteral("--notify-command"), "cat > '" + file + "'"};
    Outcome run = Run(notify);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("降价提醒：A | X | 20.00 → 12.50（低于目标 15 元，比上次低 37.5%，历史最低）")))
        << run.out.toStdString();
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QJsonArray notices = QJsonDocument::fromJson(written.readAll()).object()["notices"].toArray();
    ASSERT_EQ(notices.size(), 2);
    EXPECT_EQ(notices[0]["product"].toString(), "A");
    EXPECT_EQ(notices[0]["target"].toDouble(), 15);
    EXPECT_EQ(notices[1]["oldPrice"].toDouble(), 20);
    EXPECT_EQ(notices[1]["newPrice"].toDouble(), 12.5);
    EXPECT_EQ(notices[1]["dropPercent"].toDouble(), 30);
    written.remove();

    // Still under the target, no further drop: nothing to tell, no command.
    run = Run(notify);
    EXPECT_FALSE(run.out.contains(QStringLiteral("降价提醒"))) << run.out.toStdString();
    EXPECT_FALSE(written.exists());

    // A failing command is told and leaves the capture's result alone.
    writeAlerts();
    test::TempDataRoot::WriteBytes(root.Dirs().dbDir / "1000000000.txt", "A|20.00|\r\nB|20|");
    run = Run({QStringLiteral("--capture"), QStringLiteral("--notify-command"), QStringLiteral("exit 3")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains(QStringLiteral("提醒命令失败（退出码 3）：exit 3"))) << run.err.toStdString();

    // A stop request while the command runs ends it at once, and the run as stopped.
    writeAlerts();
    test::TempDataRoot::WriteBytes(root.Dirs().dbDir / "1000000000.txt", "A|20.00|\r\nB|20|");
    run = Run({QStringLiteral("--capture"), QStringLiteral("--notify-command"),
               QStringLiteral("kill -TERM $PPID; sleep 60")});
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("提醒命令因停止请求已终止"))) << run.err.toStdString();
}

// The channels of 提醒方式 are read from the user's settings folder, as the
// window keeps them: each gets the run's message, and one that fails is named
// on its own line without changing the run's exit code.
TEST_F(HeadlessCapture, PriceNoticesGoToEveryChannelAndAFailingOneIsNamed)
{
    Links({{"A", Url("/p").toStdString()}});
    test::TempDataRoot::WriteBytes(root.Dirs().dbDir / "1000000000.txt", "A|20.00|");
    PriceAlerts alerts;
    alerts.Set({"A", "", 15, std::nullopt, {}});
    ASSERT_TRUE(alerts.Save(AlertsFilePath(root.Dirs())));
    server.RouteReplies(QStringLiteral("/cgi-bin/webhook/send"), {{200, R"({"errcode":0,"errmsg":"ok"})"}});
    server.RouteReplies(QStringLiteral("/open-apis/bot/v2/hook/h1"),
                        {{200, R"({"code":19021,"msg":"sign match fail or timestamp is not within one hour"})"}});
    std::vector<NoticeChannel> channels;
    channels.push_back(NewChannel(ChannelKind::WeCom, channels));
    channels.back().values = {{"base", server.Url({})}, {"key", "k1"}};
    channels.push_back(NewChannel(ChannelKind::Feishu, channels));
    channels.back().values = {{"base", server.Url({})}, {"token", "h1"}, {"secret", "SECwrong"}};
    ASSERT_TRUE(SaveChannels(NoticeSettingsFolder(), channels));

    const Outcome run = Run({QStringLiteral("--capture")});
    std::filesystem::remove_all(NoticeSettingsFolder());
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("已发送：企业微信群机器人\n"))) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("发送失败：飞书群机器人（签名校验失败）\n"))) << run.err.toStdString();
    const auto wecom = std::find_if(server.Requests().begin(), server.Requests().end(),
                                    [](const test::HttpRequestSeen &r) { return r.target.startsWith("/cgi-bin/"); });
    ASSERT_NE(wecom, server.Requests().end());
    EXPECT_TRUE(QString::fromUtf8(wecom->body).contains(QStringLiteral("Corvix 降价提醒：1 个商品")));
    EXPECT_TRUE(QString::fromUtf8(wecom->body).contains(QStringLiteral("[打开商品页](") + Url("/p")));
}

// A sold-out page is no failure: exit 0, nothing to retry; when the page has a
// price again, the alert "有货时提醒" tells it once.
TEST_F(HeadlessCapture, ASoldOutPageIsNoFailureAndItsReturnIsTold)
{
    const QByteArray soldOut = "<html><head><script type=\"application/ld+json\">{\"@type\":\"Product\",\"offers\":"
                               "{\"availability\":\"http://schema.org/SoldOut\"}}</script></head><body></body></html>";
    server.Route("/s", soldOut);
    Links({{"T", Url("/s").toStdString()}});
    PriceAlerts alerts;
    alerts.Set({.product = "T", .shop = {}, .target = {}, .dropPercent = {}, .belowShops = {}, .backInStock = true});
    ASSERT_TRUE(alerts.Save(AlertsFilePath(root.Dirs())));

    const Outcome first = Run({QStringLiteral("--capture")});
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_TRUE(first.out.contains(QStringLiteral("[1/1] T | X | 缺货 | "))) << first.out.toStdString();
    EXPECT_TRUE(first.out.contains(QStringLiteral("0 条获取失败，1 条缺货"))) << first.out.toStdString();
    EXPECT_EQ(NewestRecord(), "T|" + Gbk("缺货") + "|");
    const Outcome retry = Run({QStringLiteral("--retry")});
    EXPECT_TRUE(retry.out.contains(QStringLiteral("没有需要重抓的链接"))) << retry.out.toStdString();
    EXPECT_EQ(server.RequestedPaths().count(QStringLiteral("/s")), 1);

    server.Route("/s", "<html><body><span class=\"price\">12.50</span></body></html>");
    const Outcome back = Run({QStringLiteral("--capture")});
    EXPECT_EQ(back.exitCode, 0);
    EXPECT_TRUE(back.out.contains(QStringLiteral("有货提醒：T | X | 缺货 → 12.50（有货了"))) << back.out.toStdString();
    const Outcome again = Run({QStringLiteral("--capture")});
    EXPECT_FALSE(again.out.contains(QStringLiteral("有货"))) << again.out.toStdString();
}

TEST_F(HeadlessCapture, WhatCannotRunExitsTwo)
{
    // No links.
    Outcome run = Run({QStringLiteral("--capture")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("链接为空"))) << run.err.toStdString();
    // A url.ini that cannot be read is no empty list, for a run and for a merge.
    std::filesystem::create_directory(LinkFilePath(root.Dirs()));
    for (const QStringList &args : {QStringList{QStringLiteral("--capture")},
                                    QStringList{QStringLiteral("--merge"), QStringLiteral("r")}}) {
        run = Run(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("链接文件无法读取"))) << run.err.toStdString();
    }
    std::filesystem::remove(LinkFilePath(root.Dirs()));
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
    // A mistyped option is named before anything starts.
    run = Run({QStringLiteral("--captrue")}, QStringLiteral(":97"));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("--captrue"))) << run.err.toStdString();
    // No enabled rule.
    test::TempDataRoot::WriteBytes(RuleIndexPath(root.Dirs()), "");
    run = Run({QStringLiteral("--capture")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("没有启用的采集规则")));
    // A data root that cannot be written: said before the first link.
    {
        test::FullDisk disk;
        test::TempDataRoot::WriteBytes(RuleIndexPath(root.Dirs()), "X");
        std::filesystem::create_directory(disk.Dir() / "varnwick");
        for (const char *dir : {"class", "db", "spider"})
            std::filesystem::copy(root.Dirs().root / dir, disk.Dir() / "varnwick" / dir,
                                  std::filesystem::copy_options::recursive);
        disk.Fill();
        run = Run({QStringLiteral("--capture"), QStringLiteral("--data"),
                   QString::fromStdU16String((disk.Dir() / "varnwick").u16string())});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(QStringLiteral("无法写入"))) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("[1/1]"))) << run.out.toStdString();
    }
    // A data root that does not exist.
    run = Run({QStringLiteral("--retry"), QStringLiteral("--data"), QStringLiteral("/nonexistent/varnwick")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(NewestRecord().empty()) << "nothing was saved by runs that could not run";
}

} // namespace
} // namespace corvix
