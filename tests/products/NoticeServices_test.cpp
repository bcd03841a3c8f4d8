// What each notice service is sent and what its answers mean, without a
// network: signatures for a fixed time and secret, the message in each form,
// settings that cannot work, and answers in words.
#include "products/NoticeServices.h"
#include "products/PriceNotices.h"
#include "support/Gbk.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace corvix;

namespace {

NoticeChannel Channel(ChannelKind kind, std::initializer_list<std::pair<const char *, const char *>> values)
{
    NoticeChannel channel = NewChannel(kind, {});
    for (const auto &[key, value] : values)
        channel.values[QString::fromUtf8(key)] = QString::fromUtf8(value);
    return channel;
}

NoticeMessage Message(int items, const char *link = "https://shop.example/p?id=1 (2)")
{
    std::vector<PriceNotice> notices;
    for (int i = 0; i < items; ++i) {
        PriceNotice notice;
        notice.product = Gbk("手机*[新]_") + std::to_string(i);
        notice.shop = Gbk("京东");
        notice.oldText = "5999";
        notice.newText = "4999";
        notice.oldPrice = 5999;
        notice.newPrice = 4999;
        notice.target = 5000;
        notice.link = link;
        notices.push_back(notice);
    }
    return RunNoticeMessage(notices, "{}");
}

const QDateTime kAt = QDateTime::fromMSecsSinceEpoch(1700000000000, QTimeZone(0));

} // namespace

TEST(NoticeServices, SignaturesAsTheServicesDocumentThem)
{
    EXPECT_EQ(DingTalkSign("1700000000000", "SECtest"), "aZLLrriXgn05YbwaGR7knYsLeJADjr9NwLaNNKpxh4g=");
    EXPECT_EQ(FeishuSign("1700000000", "SECtest"), "G7XpBpG8NgG02fJOAhX6FRAObIljmFoxVReo8I62pEk=");
    const auto dingtalk = BuildRequest(
        Channel(ChannelKind::DingTalk, {{"token", "T"}, {"secret", "SECtest"}}), Message(1), kAt);
    ASSERT_TRUE(dingtalk);
    EXPECT_EQ(dingtalk->http.url, "https://oapi.dingtalk.com/robot/send?access_token=T&timestamp=1700000000000"
                                  "&sign=aZLLrriXgn05YbwaGR7knYsLeJADjr9NwLaNNKpxh4g%3D");
    const auto feishu = BuildRequest(Channel(ChannelKind::Feishu, {{"token", "H"}, {"secret", "SECtest"}}), Message(1), kAt);
    ASSERT_TRUE(feishu);
    const QJsonObject body = QJsonDocument::fromJson(feishu->http.body).object();
    EXPECT_EQ(body["timestamp"].toString(), "1700000000");
    EXPECT_EQ(body["sign"].toString(), "G7XpBpG8NgG02fJOAhX6FRAObIljmFoxVReo8I62pEk=");
    // Without a secret, no signature at all.
    const auto unsigned_ = BuildRequest(Channel(ChannelKind::Feishu, {{"token", "H"}}), Message(1), kAt);
    EXPECT_FALSE(QJsonDocument::fromJson(unsigned_->http.body).object().contains("sign"));
}

TEST(NoticeServices, SettingsThatCannotWorkAreNamed)
{
    struct Case {
        NoticeChannel channel;
        const char *words;
    };
    const Case cases[] = {
        {Channel(ChannelKind::WeCom, {}), "请填写“Webhook key”"},
        {Channel(ChannelKind::Bark, {{"key", "k"}, {"base", "file:///etc"}}), "“服务器地址”应是以 http:// 或 https:// 开头的地址"},
        {Channel(ChannelKind::Webhook, {{"url", "ftp://x"}}), "“地址”应是以 http:// 或 https:// 开头的地址"},
        {Channel(ChannelKind::Email, {{"host", "h"}, {"from", "a@b"}, {"to", "c@d"}, {"port", "0"}}), "“端口”应是 1 到 65535 的整数"},
        // A line break in an address would add a header of its own.
        {Channel(ChannelKind::Email, {{"host", "h"}, {"from", "a@b\r\nBcc: x@y"}, {"to", "c@d"}}), "“发件人”不是有效的邮件地址"},
        {Channel(ChannelKind::Email, {{"host", "h"}, {"from", "a@b"}, {"to", "c@d, nobody"}}), "“收件人”中的“nobody”不是有效的邮件地址"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << (&c - &*std::begin(cases)));
        const auto request = BuildRequest(c.channel, Message(1), kAt);
        ASSERT_FALSE(request) << c.words;
        EXPECT_EQ(request.error().toStdString(), c.words);
    }
}

TEST(NoticeServices, TheMessageInEachFormAndCutToWhatTheServiceTakes)
{
    const NoticeMessage message = Message(2);
    EXPECT_EQ(message.title, "Corvix 降价提醒：2 个商品");
    EXPECT_EQ(MessageBody(message, TextForm::Plain, 10000).toStdString(),
              "手机*[新]_0 | 京东 | 5999 → 4999（低于目标 5000 元，比上次低 16.7%）\n"
              "https://shop.example/p?id=1%20%282%29\n\n"
              "手机*[新]_1 | 京东 | 5999 → 4999（低于目标 5000 元，比上次低 16.7%）\n"
              "https://shop.example/p?id=1%20%282%29");
    EXPECT_EQ(MessageBody(Message(1), TextForm::Markdown, 10000).toStdString(),
              "手机\\*\\[新\\]\\_0 | 京东 | 5999 → 4999（低于目标 5000 元，比上次低 16.7%）\n"
              "[打开商品页](https://shop.example/p?id=1%20%282%29)");
    // Bark takes 3000 bytes: what does not fit is counted.
    const auto bark = BuildRequest(Channel(ChannelKind::Bark, {{"key", "k"}}), Message(100), kAt);
    const QString body = QJsonDocument::fromJson(bark->http.body).object()["body"].toString();
    EXPECT_LE(body.toUtf8().size(), 3000);
    EXPECT_TRUE(body.endsWith(QStringLiteral("条提醒未列出"))) << body.right(40).toStdString();
    // A title in Chinese goes into a header as encoded words.
    EXPECT_EQ(EncodedHeaderText(message.title), "=?UTF-8?B?Q29ydml4IOmZjeS7t+aPkOmGku+8mjIg5Liq5ZWG5ZOB?=");
    EXPECT_EQ(EncodedHeaderText(QStringLiteral("Corvix")), "Corvix");
    // Server酱³ keys go to their own server.
    const auto sc3 = BuildRequest(Channel(ChannelKind::ServerChan, {{"key", "sctp123tABC"}}), message, kAt);
    EXPECT_EQ(sc3->http.url, "https://123.push.ft07.com/send/sctp123tABC.send");
}

TEST(NoticeServices, AnswersInWordsAndWhetherAnotherTryMayHelp)
{
    struct Case {
        ChannelKind kind;
        TransferError error;
        int code;
        const char *body;
        SendOutcome outcome;
        const char *words;
    };
    using K = ChannelKind;
    using E = TransferError;
    using O = SendOutcome;
    const Case cases[] = {
        {K::WeCom, E::None, 200, R"({"errcode":0,"errmsg":"ok"})", O::Sent, "已送达"},
        {K::WeCom, E::None, 200, R"({"errcode":93000,"errmsg":"invalid webhook url"})", O::Failed, "Webhook key 无效"},
        {K::WeCom, E::None, 200, R"({"errcode":45009,"errmsg":"api freq out of limit"})", O::TryAgain, "发送太频繁"},
        {K::DingTalk, E::None, 200, R"({"errcode":310000,"errmsg":"sign not match"})", O::Failed, "签名校验失败"},
        {K::DingTalk, E::None, 200, R"({"errcode":310000,"errmsg":"keywords not in content"})", O::Failed, "消息不含自定义关键词"},
        {K::DingTalk, E::None, 200, R"({"errcode":300001,"errmsg":"token is not exist"})", O::Failed, "access_token 无效"},
        {K::DingTalk, E::None, 200, R"({"errcode":130101,"errmsg":"send too fast"})", O::TryAgain, "发送太频繁"},
        {K::DingTalk, E::None, 200, R"({"errcode":41,"errmsg":"奇怪的错误"})", O::Failed, "奇怪的错误"},
        {K::Feishu, E::None, 200, R"({"code":0,"msg":"success"})", O::Sent, "已送达"},
        {K::Feishu, E::None, 200, R"({"StatusCode":0,"StatusMessage":"success"})", O::Sent, "已送达"},
        {K::Feishu, E::None, 200, R"({"code":19021,"msg":"sign match fail"})", O::Failed, "签名校验失败"},
        {K::Feishu, E::None, 200, R"({"code":19024,"msg":"Key Words Not Found"})", O::Failed, "消息不含自定义关键词"},
        {K::Bark, E::None, 200, R"({"code":200,"message":"success"})", O::Sent, "已送达"},
        {K::Bark, E::None, 400, R"({"code":400,"message":"failed to get device token"})", O::Failed, "设备 key 无效"},
        {K::PushPlus, E::None, 200, R"({"code":200,"msg":"请求成功"})", O::Sent, "已送达"},
        {K::PushPlus, E::None, 200, R"({"code":903,"msg":"无效的用户令牌"})", O::Failed, "token 无效"},
        {K::PushPlus, E::None, 200, R"({"code":500,"msg":"系统异常"})", O::TryAgain, "PushPlus 系统异常"},
        {K::ServerChan, E::None, 200, R"({"code":0,"message":""})", O::Sent, "已送达"},
        {K::ServerChan, E::None, 200, R"({"code":40001,"message":"bad pushtoken"})", O::Failed, "SendKey 无效"},
        {K::Ntfy, E::None, 200, R"({"id":"x"})", O::Sent, "已送达"},
        {K::Ntfy, E::None, 403, R"({"code":40301})", O::Failed, "没有权限：访问令牌不对或主题受保护"},
        {K::Webhook, E::None, 204, "", O::Sent, "已送达"},
        {K::Webhook, E::None, 404, "", O::Failed, "地址不存在（HTTP 404）"},
        {K::Webhook, E::None, 503, "", O::TryAgain, "服务器出错（HTTP 503）"},
        {K::WeCom, E::None, 429, "", O::TryAgain, "发送太频繁"},
        {K::WeCom, E::None, 200, "<html>proxy login</html>", O::Failed, "无法识别服务的答复"},
        {K::WeCom, E::Timeout, 0, "", O::TryAgain, "等待答复超时"},
        {K::WeCom, E::Connect, 0, "", O::TryAgain, "无法连接服务器"},
        {K::WeCom, E::Tls, 0, "", O::Failed, "安全连接失败"},
        {K::Bark, E::BadAddress, 0, "", O::Failed, "地址无效"},
        {K::Email, E::None, 250, "", O::Sent, "已送达"},
        {K::Email, E::LoginDenied, 535, "", O::Failed, "用户名或密码不对"},
        {K::Email, E::StartTlsRefused, 250, "", O::Failed, "邮件服务器不支持 STARTTLS 加密"},
        {K::Email, E::Other, 451, "", O::TryAgain, "邮件服务器暂时不收（451）"},
        {K::Email, E::Other, 554, "", O::Failed, "邮件服务器拒绝（554）"},
        {K::Email, E::Timeout, 0, "", O::TryAgain, "等待答复超时"},
    };
    for (const Case &c : cases) {
        const SendVerdict verdict = JudgeAnswer(c.kind, {c.error, c.code, c.body, {}, {}});
        EXPECT_EQ(verdict.outcome, c.outcome) << c.body << " " << c.words;
        EXPECT_EQ(verdict.words.toStdString(), c.words) << c.body;
    }
}
