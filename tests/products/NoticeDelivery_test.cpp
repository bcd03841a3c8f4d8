// Each notice channel against a loopback server of the test's own, through
// libcurl as a real send goes: the exact request the service documents, its
// success, an error it names (not tried again) and a timeout (tried again).
// Every address is 127.0.0.1.
#include "common/CoreTestSupport.h"
#include "common/TestHttpServer.h"
#include "common/TestSmtpServer.h"
#include "products/NoticeDelivery.h"
#include "products/PriceNotices.h"
#include "support/Gbk.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>

using namespace corvix;
using corvix::test::HttpRequestSeen;
using corvix::test::TestHttpServer;
using corvix::test::WhileServing;

namespace {

const QDateTime kAt = QDateTime::fromMSecsSinceEpoch(1700000000000, QTimeZone(0));

NoticeMessage TwoNotices()
{
    PriceNotice phone;
    phone.product = Gbk("手机");
    phone.shop = Gbk("京东");
    phone.oldText = "5999.00";
    phone.newText = "4999.00";
    phone.oldPrice = 5999;
    phone.newPrice = 4999;
    phone.target = 5000;
    phone.link = "https://item.shop.example/1";
    PriceNotice pad = phone;
    pad.product = Gbk("平板");
    pad.target.reset();
    pad.dropPercent = 10;
    pad.standing.lowest = true;
    pad.link = "https://item.shop.example/2";
    return RunNoticeMessage({phone, pad}, NoticesJson({phone, pad}, QStringLiteral("1700000000.txt"), kAt));
}

DeliveryOptions Quick()
{
    DeliveryOptions options;
    options.timeoutMs = 400;
    options.tries = 2;
    options.firstPauseMs = 10;
    options.clock = [] { return kAt; };
    return options;
}

QJsonObject JsonOf(const HttpRequestSeen &request) { return QJsonDocument::fromJson(request.body).object(); }

const QString kTitle = QStringLiteral("Corvix 降价提醒：2 个商品");

} // namespace

TEST(NoticeDelivery, EachServiceGetsTheRequestItDocumentsAndItsAnswersAreJudged)
{
    struct Case {
        ChannelKind kind;
        std::vector<std::pair<QString, QString>> values; // "{server}" is the loopback address
        QString path, query;
        QByteArray contentType;
        std::function<void(const HttpRequestSeen &)> check;
        QByteArray ok;
        int errorStatus;
        QByteArray error;
        const char *errorWords;
    };
    const Case cases[] = {
        {ChannelKind::WeCom, {{"key", "wk-1"}}, "/cgi-bin/webhook/send", "?key=wk-1", "application/json; charset=utf-8",
         [](const HttpRequestSeen &r) {
             EXPECT_EQ(JsonOf(r)["msgtype"].toString(), "markdown");
             const QString content = JsonOf(r)["markdown"].toObject()["content"].toString();
             EXPECT_TRUE(content.startsWith("**" + kTitle + "**\n\n手机 | 京东 | 5999.00 → 4999.00（低于目标 5000 元"))
                 << content.toStdString();
             EXPECT_TRUE(content.contains("[打开商品页](https://item.shop.example/2)")) << content.toStdString();
         },
         R"({"errcode":0,"errmsg":"ok"})", 200, R"({"errcode":93000,"errmsg":"invalid webhook url"})", "Webhook key 无效"},
        {ChannelKind::DingTalk, {{"token", "dt-1"}, {"secret", "SECtest"}, {"keyword", "价格"}}, "/robot/send",
         "?access_token=dt-1&timestamp=1700000000000&sign=aZLLrriXgn05YbwaGR7knYsLeJADjr9NwLaNNKpxh4g%3D",
         "application/json; charset=utf-8",
         [](const HttpRequestSeen &r) {
             const QJsonObject markdown = JsonOf(r)["markdown"].toObject();
             EXPECT_EQ(JsonOf(r)["msgtype"].toString(), "markdown");
             EXPECT_EQ(markdown["title"].toString(), kTitle);
             EXPECT_TRUE(markdown["text"].toString().endsWith("\n\n价格")) << markdown["text"].toString().toStdString();
         },
         R"({"errcode":0,"errmsg":"ok"})", 200, R"({"errcode":310000,"errmsg":"sign not match"})", "签名校验失败"},
        {ChannelKind::Feishu, {{"token", "fs-1"}, {"secret", "SECtest"}}, "/open-apis/bot/v2/hook/fs-1", "",
         "application/json; charset=utf-8",
         [](const HttpRequestSeen &r) {
             const QJsonObject body = JsonOf(r);
             EXPECT_EQ(body["timestamp"].toString(), "1700000000");
             EXPECT_EQ(body["sign"].toString(), "G7XpBpG8NgG02fJOAhX6FRAObIljmFoxVReo8I62pEk=");
             EXPECT_EQ(body["msg_type"].toString(), "post");
             const QJsonObject post = body["content"]["post"]["zh_cn"].toObject();
             EXPECT_EQ(post["title"].toString(), kTitle);
             EXPECT_EQ(post["content"][1][0]["tag"].toString(), "a");
             EXPECT_EQ(post["content"][1][0]["href"].toString(), "https://item.shop.example/1");
         },
         R"({"code":0,"msg":"success"})", 200, R"({"code":19021,"msg":"sign match fail"})", "签名校验失败"},
        {ChannelKind::Bark, {{"key", "bk-1"}}, "/bk-1", "", "application/json; charset=utf-8",
         [](const HttpRequestSeen &r) {
             EXPECT_EQ(JsonOf(r)["title"].toString(), kTitle);
             EXPECT_TRUE(JsonOf(r)["body"].toString().startsWith("手机 | 京东 | 5999.00 → 4999.00"));
             EXPECT_EQ(JsonOf(r)["url"].toString(), "https://item.shop.example/1");
         },
         R"({"code":200,"message":"success"})", 400, R"({"code":400,"message":"failed to get device token"})",
         "设备 key 无效"},
        {ChannelKind::PushPlus, {{"token", "pp-1"}}, "/send", "", "application/json; charset=utf-8",
         [](const HttpRequestSeen &r) {
             EXPECT_EQ(JsonOf(r)["token"].toString(), "pp-1");
             EXPECT_EQ(JsonOf(r)["title"].toString(), kTitle);
             EXPECT_EQ(JsonOf(r)["template"].toString(), "markdown");
             EXPECT_TRUE(JsonOf(r)["content"].toString().contains("[打开商品页](https://item.shop.example/1)"));
         },
         R"({"code":200,"msg":"请求成功"})", 200, R"({"code":903,"msg":"无效的用户令牌"})", "token 无效"},
        {ChannelKind::ServerChan, {{"key", "SCT1"}}, "/SCT1.send", "", "application/x-www-form-urlencoded",
         [](const HttpRequestSeen &r) {
             EXPECT_TRUE(r.body.startsWith("title=" + QUrl::toPercentEncoding(kTitle) + "&desp=")) << r.body.toStdString();
             const QString desp = QUrl::fromPercentEncoding(r.body.mid(r.body.indexOf("&desp=") + 6));
             EXPECT_TRUE(desp.startsWith("手机 | 京东 | 5999.00 → 4999.00")) << desp.toStdString();
         },
         R"({"code":0,"message":""})", 200, R"({"code":40001,"message":"bad pushtoken"})", "SendKey 无效"},
        {ChannelKind::Ntfy, {{"topic", "corvix-t1"}, {"token", "tk_1"}}, "/corvix-t1", "", "text/plain; charset=utf-8",
         [](const HttpRequestSeen &r) {
             EXPECT_EQ(r.Header("Title"), "=?UTF-8?B?Q29ydml4IOmZjeS7t+aPkOmGku+8mjIg5Liq5ZWG5ZOB?=");
             EXPECT_EQ(r.Header("Click"), "https://item.shop.example/1");
             EXPECT_EQ(r.Header("Authorization"), "Bearer tk_1");
             EXPECT_TRUE(QString::fromUtf8(r.body).startsWith("手机 | 京东 | 5999.00 → 4999.00"));
             EXPECT_TRUE(r.body.contains("\nhttps://item.shop.example/2"));
         },
         R"({"id":"n1","event":"message"})", 403, R"({"code":40301,"error":"forbidden"})",
         "没有权限：访问令牌不对或主题受保护"},
        {ChannelKind::Webhook, {{"url", "{server}/hook"}}, "/hook", "", "application/json; charset=utf-8",
         [](const HttpRequestSeen &r) {
             // The document --notify-command is given, as it is.
             EXPECT_EQ(JsonOf(r)["record"].toString(), "1700000000.txt");
             EXPECT_EQ(JsonOf(r)["notices"][1]["dropPercent"].toDouble(), 10);
             EXPECT_EQ(JsonOf(r)["notices"][0]["link"].toString(), "https://item.shop.example/1");
         },
         "ok", 404, "", "地址不存在（HTTP 404）"},
    };
    const NoticeMessage message = TwoNotices();
    for (const Case &c : cases) {
        SCOPED_TRACE(KindName(c.kind).toStdString());
        TestHttpServer server;
        NoticeChannel channel = NewChannel(c.kind, {});
        channel.values[QStringLiteral("base")] = server.Url({});
        for (const auto &[key, value] : c.values)
            channel.values[key] = QString(value).replace(QStringLiteral("{server}"), server.Url({}));

        server.RouteReplies(c.path, {{200, c.ok}});
        ChannelReport report = WhileServing([&] { return Deliver(channel, message, Quick()); });
        EXPECT_TRUE(report.sent) << report.words.toStdString() << " " << report.detail.toStdString();
        ASSERT_EQ(server.Requests().size(), 1);
        const HttpRequestSeen &request = server.Requests()[0];
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.target.toStdString(), (c.path + c.query).toStdString());
        EXPECT_EQ(request.Header("Content-Type"), c.contentType);
        c.check(request);

        server.RouteReplies(c.path, {{c.errorStatus, c.error}});
        report = WhileServing([&] { return Deliver(channel, message, Quick()); });
        EXPECT_FALSE(report.sent);
        EXPECT_EQ(report.words.toStdString(), c.errorWords);
        EXPECT_EQ(report.tries, 1); // an error the service names is not tried again

        server.RouteReplies(c.path, {{0, {}}});
        report = WhileServing([&] { return Deliver(channel, message, Quick()); });
        EXPECT_FALSE(report.sent);
        EXPECT_EQ(report.words.toStdString(), "等待答复超时");
        EXPECT_EQ(report.tries, 2);
        EXPECT_EQ(server.Requests().size(), 4);
    }
}

TEST(NoticeDelivery, AFailureThatPassesIsTriedAgainAndOneChannelHoldsUpNoOther)
{
    TestHttpServer server;
    server.RouteReplies(QStringLiteral("/busy"), {{503, "busy"}, {429, "", "text/plain", {{"Retry-After", "0"}}}, {200, "ok"}});
    server.RouteReplies(QStringLiteral("/hang"), {{0, {}}});
    server.RouteReplies(QStringLiteral("/fine"), {{200, "ok"}});
    std::vector<NoticeChannel> channels;
    for (const char *path : {"/busy", "/hang", "/fine", "/off"}) {
        channels.push_back(NewChannel(ChannelKind::Webhook, channels));
        channels.back().name = QString::fromLatin1(path);
        channels.back().values[QStringLiteral("url")] = server.Url(QString::fromLatin1(path));
    }
    channels.back().enabled = false;
    DeliveryOptions options = Quick();
    options.tries = 3;
    const std::vector<ChannelReport> reports = WhileServing([&] { return DeliverToEnabled(channels, TwoNotices(), options); });
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(ReportLine(reports[0]), "已发送：/busy");
    EXPECT_EQ(reports[0].tries, 3);
    EXPECT_EQ(ReportLine(reports[1]), "发送失败：/hang（等待答复超时）");
    EXPECT_EQ(ReportLine(reports[2]), "已发送：/fine");
    EXPECT_EQ(server.RequestedPaths().count(QStringLiteral("/fine")), 1);
    EXPECT_FALSE(server.RequestedPaths().contains(QStringLiteral("/off")));
}

TEST(NoticeDelivery, MailGoesThroughTheSmtpServerWithItsLogin)
{
    test::TestSmtpServer smtp;
    smtp.SetPassword("corvix", "pw-1");
    NoticeChannel channel = NewChannel(ChannelKind::Email, {});
    channel.values = {{"host", "127.0.0.1"},           {"port", QString::number(smtp.Port())},
                      {"security", kMailPlain},        {"user", "corvix"},
                      {"password", "pw-1"},            {"from", "corvix@example.com"},
                      {"to", "a@example.com；b@example.com"}};
    const NoticeMessage message = TwoNotices();
    ChannelReport report = WhileServing([&] { return Deliver(channel, message, Quick()); });
    EXPECT_TRUE(report.sent) << report.words.toStdString() << report.detail.toStdString();
    EXPECT_EQ(smtp.Login(), QByteArray("corvix\0pw-1", 11));
    EXPECT_EQ(smtp.MailFrom(), "<corvix@example.com>");
    EXPECT_EQ(smtp.RcptTo(), (QList<QByteArray>{"<a@example.com>", "<b@example.com>"}));
    const QByteArray data = smtp.Data();
    EXPECT_TRUE(data.startsWith("Date: 14 Nov 2023 22:13:20 +0000\r\nFrom: corvix@example.com\r\n"
                                "To: a@example.com, b@example.com\r\n"
                                "Subject: =?UTF-8?B?Q29ydml4IOmZjeS7t+aPkOmGku+8mjIg5Liq5ZWG5ZOB?=\r\n"))
        << data.toStdString();
    const QString text = QString::fromUtf8(QByteArray::fromBase64(data.mid(data.indexOf("\r\n\r\n") + 4)));
    EXPECT_TRUE(text.startsWith("手机 | 京东 | 5999.00 → 4999.00")) << text.toStdString();
    EXPECT_TRUE(text.contains("\r\nhttps://item.shop.example/2")) << text.toStdString();

    channel.values[QStringLiteral("password")] = QStringLiteral("wrong");
    report = WhileServing([&] { return Deliver(channel, message, Quick()); });
    EXPECT_EQ(ReportLine(report), "发送失败：邮件（用户名或密码不对）");
    EXPECT_EQ(report.tries, 1);

    // STARTTLS that the server does not offer: nothing goes in the clear.
    channel.values[QStringLiteral("security")] = kMailStartTls;
    report = WhileServing([&] { return Deliver(channel, message, Quick()); });
    EXPECT_EQ(report.words, "邮件服务器不支持 STARTTLS 加密");
    for (const QByteArray &command : smtp.Commands())
        EXPECT_FALSE(command.startsWith("AUTH") || command.startsWith("MAIL")) << command.toStdString();

    channel.values[QStringLiteral("security")] = kMailPlain;
    channel.values[QStringLiteral("password")] = QStringLiteral("pw-1");
    smtp.SetDataReply("554 5.7.1 Message rejected");
    report = WhileServing([&] { return Deliver(channel, message, Quick()); });
    EXPECT_EQ(report.words, "邮件服务器拒绝（554）");
    EXPECT_EQ(report.tries, 1);

    smtp.SetSilent(true);
    report = WhileServing([&] { return Deliver(channel, message, Quick()); });
    EXPECT_EQ(report.words, "等待答复超时");
    EXPECT_EQ(report.tries, 2);
}
