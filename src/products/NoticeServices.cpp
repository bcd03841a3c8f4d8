#include "products/NoticeServices.h"

#include "products/PriceNotices.h"
#include "support/Gbk.h"

#include <QByteArrayList>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

#include <algorithm>

namespace corvix {
namespace {

// How much of a message each service takes (UTF-8 bytes of the text): WeCom's
// markdown 4096, ntfy's message 4096, Bark's push 4 KB with its envelope,
// Feishu's request 20 KB; the others leave more room.
constexpr int kWeComBytes = 4000;
constexpr int kDingTalkBytes = 6000;
constexpr int kFeishuBytes = 15000;
constexpr int kBarkBytes = 3000;
constexpr int kPushPlusBytes = 20000;
constexpr int kServerChanBytes = 30000;
constexpr int kNtfyBytes = 3900;
constexpr int kMailBytes = 100000;

const QString kOpenLink = QStringLiteral("打开商品页");

QString EscapeMarkdown(QString text)
{
    static const QRegularExpression special(QStringLiteral("([\\\\*_`\\[\\]])"));
    return text.replace(special, QStringLiteral("\\\\1"));
}

// A web address as a link target: percent-encoded, without the parentheses
// that would end a markdown link.
QString LinkTarget(const QString &link)
{
    QString encoded = QString::fromLatin1(QUrl(link, QUrl::TolerantMode).toEncoded());
    return encoded.replace(u'(', QStringLiteral("%28")).replace(u')', QStringLiteral("%29"));
}

QString ItemText(const NoticeItem &item, TextForm form)
{
    if (form == TextForm::Plain)
        return item.link.isEmpty() ? item.line : item.line + u'\n' + LinkTarget(item.link);
    QString text = EscapeMarkdown(item.line);
    if (!item.link.isEmpty())
        text += QStringLiteral("\n[%1](%2)").arg(kOpenLink, LinkTarget(item.link));
    return text;
}

QString LeftOutLine(size_t left) { return QStringLiteral("……另有 %1 条提醒未列出").arg(left); }

// How many items fit into maxBytes in form; at least one.
size_t ShownItems(const NoticeMessage &message, TextForm form, int maxBytes)
{
    qsizetype bytes = message.intro.toUtf8().size();
    for (size_t i = 0; i < message.items.size(); ++i) {
        bytes += ItemText(message.items[i], form).toUtf8().size() + 2;
        const qsizetype reserve = i + 1 < message.items.size() ? LeftOutLine(message.items.size()).toUtf8().size() + 2 : 0;
        if (i > 0 && bytes + reserve > maxBytes)
            return i;
    }
    return message.items.size();
}

QByteArray Json(const QJsonObject &object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

QByteArray Encoded(const QString &value) { return QUrl::toPercentEncoding(value); }

const ChannelField *FieldOf(ChannelKind kind, const QString &key)
{
    for (const ChannelField &field : FieldsOf(kind))
        if (field.key == key)
            return &field;
    return nullptr;
}

bool IsWebAddress(const QString &address)
{
    return address.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive)
           || address.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
}

// The first required field without a value, named.
QString MissingField(const NoticeChannel &channel)
{
    for (const ChannelField &field : FieldsOf(channel.kind))
        if (field.required && channel.Value(field.key).isEmpty())
            return QStringLiteral("请填写“%1”").arg(field.label);
    return {};
}

tl::expected<QByteArray, QString> BaseOf(const NoticeChannel &channel)
{
    QString base = channel.Value(QStringLiteral("base"));
    while (base.endsWith(u'/'))
        base.chop(1);
    if (!IsWebAddress(base) || base.contains(QRegularExpression(QStringLiteral("\\s"))))
        return tl::unexpected(QStringLiteral("“服务器地址”应是以 http:// 或 https:// 开头的地址"));
    return base.toUtf8();
}

QString FirstLink(const NoticeMessage &message)
{
    for (const NoticeItem &item : message.items)
        if (!item.link.isEmpty())
            return item.link;
    return {};
}

QByteArray SecondsText(const QDateTime &now) { return QByteArray::number(now.toSecsSinceEpoch()); }

QByteArray MillisecondsText(const QDateTime &now) { return QByteArray::number(now.toMSecsSinceEpoch()); }

HttpRequest JsonPost(QByteArray url, const QJsonObject &body)
{
    return {std::move(url), {{"Content-Type", "application/json; charset=utf-8"}}, Json(body)};
}

HttpRequest WeComRequest(const NoticeChannel &channel, const QByteArray &base, const NoticeMessage &message)
{
    const QString content = QStringLiteral("**%1**\n\n").arg(EscapeMarkdown(message.title))
                            + MessageBody(message, TextForm::Markdown, kWeComBytes);
    return JsonPost(base + "/cgi-bin/webhook/send?key=" + Encoded(channel.Value(QStringLiteral("key"))),
                    {{QStringLiteral("msgtype"), QStringLiteral("markdown")},
                     {QStringLiteral("markdown"), QJsonObject{{QStringLiteral("content"), content}}}});
}

HttpRequest DingTalkRequest(const NoticeChannel &channel, const QByteArray &base, const NoticeMessage &message,
                            const QDateTime &now)
{
    QString text = QStringLiteral("### %1\n\n").arg(EscapeMarkdown(message.title))
                   + MessageBody(message, TextForm::Markdown, kDingTalkBytes);
    // A robot secured by a keyword takes only messages that contain it.
    if (const QString keyword = channel.Value(QStringLiteral("keyword")); !keyword.isEmpty() && !text.contains(keyword))
        text += QStringLiteral("\n\n") + keyword;
    QByteArray url = base + "/robot/send?access_token=" + Encoded(channel.Value(QStringLiteral("token")));
    if (const QString secret = channel.Value(QStringLiteral("secret")); !secret.isEmpty()) {
        const QByteArray timestamp = MillisecondsText(now);
        url += "&timestamp=" + timestamp + "&sign=" + QUrl::toPercentEncoding(QString::fromLatin1(DingTalkSign(timestamp, secret.toUtf8())));
    }
    return JsonPost(url, {{QStringLiteral("msgtype"), QStringLiteral("markdown")},
                          {QStringLiteral("markdown"),
                           QJsonObject{{QStringLiteral("title"), message.title}, {QStringLiteral("text"), text}}}});
}

QJsonArray Paragraph(const QJsonObject &element) { return QJsonArray{element}; }

QJsonObject TextElement(const QString &text)
{
    return {{QStringLiteral("tag"), QStringLiteral("text")}, {QStringLiteral("text"), text}};
}

HttpRequest FeishuRequest(const NoticeChannel &channel, const QByteArray &base, const NoticeMessage &message,
                          const QDateTime &now)
{
    // The rich-text ("post") form: a title, one paragraph per line, links as links.
    QJsonArray content;
    if (!message.intro.isEmpty())
        content.append(Paragraph(TextElement(message.intro)));
    const size_t shown = ShownItems(message, TextForm::Plain, kFeishuBytes);
    for (size_t i = 0; i < shown; ++i) {
        const NoticeItem &item = message.items[i];
        content.append(Paragraph(TextElement(item.line)));
        if (!item.link.isEmpty())
            content.append(Paragraph(QJsonObject{{QStringLiteral("tag"), QStringLiteral("a")},
                                                 {QStringLiteral("text"), kOpenLink},
                                                 {QStringLiteral("href"), LinkTarget(item.link)}}));
    }
    if (shown < message.items.size())
        content.append(Paragraph(TextElement(LeftOutLine(message.items.size() - shown))));
    const QJsonObject post{{QStringLiteral("zh_cn"),
                            QJsonObject{{QStringLiteral("title"), message.title}, {QStringLiteral("content"), content}}}};
    QJsonObject body{{QStringLiteral("msg_type"), QStringLiteral("post")},
                     {QStringLiteral("content"), QJsonObject{{QStringLiteral("post"), post}}}};
    if (const QString secret = channel.Value(QStringLiteral("secret")); !secret.isEmpty()) {
        const QByteArray timestamp = SecondsText(now);
        body[QStringLiteral("timestamp")] = QString::fromLatin1(timestamp);
        body[QStringLiteral("sign")] = QString::fromLatin1(FeishuSign(timestamp, secret.toUtf8()));
    }
    return JsonPost(base + "/open-apis/bot/v2/hook/" + Encoded(channel.Value(QStringLiteral("token"))), body);
}

HttpRequest BarkRequest(const NoticeChannel &channel, const QByteArray &base, const NoticeMessage &message)
{
    QJsonObject body{{QStringLiteral("title"), message.title},
                     {QStringLiteral("body"), MessageBody(message, TextForm::Plain, kBarkBytes)},
                     {QStringLiteral("group"), QStringLiteral("Corvix")}};
    if (const QString link = FirstLink(message); !link.isEmpty())
        body[QStringLiteral("url")] = LinkTarget(link);
    return JsonPost(base + '/' + Encoded(channel.Value(QStringLiteral("key"))), body);
}

HttpRequest PushPlusRequest(const NoticeChannel &channel, const QByteArray &base, const NoticeMessage &message)
{
    return JsonPost(base + "/send", {{QStringLiteral("token"), channel.Value(QStringLiteral("token"))},
                                     {QStringLiteral("title"), message.title},
                                     {QStringLiteral("content"), MessageBody(message, TextForm::Markdown, kPushPlusBytes)},
                                     {QStringLiteral("template"), QStringLiteral("markdown")}});
}

HttpRequest ServerChanRequest(const NoticeChannel &channel, QByteArray base, const NoticeMessage &message)
{
    const QString key = channel.Value(QStringLiteral("key"));
    // Server酱³ keys ("sctp<n>t...") have a server of their own; a changed
    // address is the user's.
    static const QRegularExpression sc3(QStringLiteral("^sctp(\\d+)t"));
    const QRegularExpressionMatch match = sc3.match(key);
    const ChannelField *field = FieldOf(ChannelKind::ServerChan, QStringLiteral("base"));
    if (match.hasMatch() && field && base == field->initial.toUtf8())
        base = "https://" + match.captured(1).toLatin1() + ".push.ft07.com/send";
    const QByteArray body = "title=" + Encoded(message.title) + "&desp="
                            + Encoded(MessageBody(message, TextForm::Markdown, kServerChanBytes));
    return {base + '/' + Encoded(key) + ".send", {{"Content-Type", "application/x-www-form-urlencoded"}}, body};
}

HttpRequest NtfyRequest(const NoticeChannel &channel, const QByteArray &base, const NoticeMessage &message)
{
    HttpRequest request{base + '/' + Encoded(channel.Value(QStringLiteral("topic"))),
                        {{"Content-Type", "text/plain; charset=utf-8"}, {"Title", EncodedHeaderText(message.title)}},
                        MessageBody(message, TextForm::Plain, kNtfyBytes).toUtf8()};
    if (const QString link = FirstLink(message); !link.isEmpty())
        request.headers.append({"Click", LinkTarget(link).toLatin1()});
    if (const QString token = channel.Value(QStringLiteral("token")); !token.isEmpty())
        request.headers.append({"Authorization", "Bearer " + token.toUtf8()});
    return request;
}

// A mail address of the envelope: no blanks or line breaks that could
// smuggle in another header or command.
bool IsMailAddress(const QString &address)
{
    static const QRegularExpression pattern(QStringLiteral("^[^\\s<>@,;\"]+@[^\\s<>@,;\"]+$"));
    return pattern.match(address).hasMatch();
}

QByteArray FoldedBase64(const QByteArray &bytes)
{
    const QByteArray encoded = bytes.toBase64();
    QByteArray folded;
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        folded += encoded.mid(at, 76) + "\r\n";
    return folded;
}

tl::expected<ChannelRequest, QString> MailRequestOf(const NoticeChannel &channel, const NoticeMessage &message,
                                                    const QDateTime &now)
{
    MailRequest mail;
    mail.host = channel.Value(QStringLiteral("host")).toUtf8();
    if (mail.host.contains('/') || mail.host.contains(' '))
        return tl::unexpected(QStringLiteral("“SMTP 服务器”应是服务器的名称或 IP 地址"));
    bool isNumber = false;
    mail.port = channel.Value(QStringLiteral("port")).toInt(&isNumber);
    if (!isNumber || mail.port < 1 || mail.port > 65535)
        return tl::unexpected(QStringLiteral("“端口”应是 1 到 65535 的整数"));
    const QString security = channel.Value(QStringLiteral("security"));
    mail.security = security == kMailStartTls ? MailSecurity::StartTls
                    : security == kMailPlain  ? MailSecurity::None
                                              : MailSecurity::Tls;
    mail.user = channel.Value(QStringLiteral("user")).toUtf8();
    mail.password = channel.Value(QStringLiteral("password")).toUtf8();
    const QString from = channel.Value(QStringLiteral("from"));
    if (!IsMailAddress(from))
        return tl::unexpected(QStringLiteral("“发件人”不是有效的邮件地址"));
    mail.from = from.toUtf8();
    QStringList to;
    for (const QString &address : channel.Value(QStringLiteral("to")).split(QRegularExpression(QStringLiteral("[,;，；\\s]+")), Qt::SkipEmptyParts)) {
        if (!IsMailAddress(address))
            return tl::unexpected(QStringLiteral("“收件人”中的“%1”不是有效的邮件地址").arg(address));
        to << address;
        mail.to << address.toUtf8();
    }
    QString body = MessageBody(message, TextForm::Plain, kMailBytes);
    body.replace(u'\n', QStringLiteral("\r\n"));
    const QByteArray domain = mail.from.mid(mail.from.indexOf('@') + 1);
    mail.message = "Date: " + now.toString(Qt::RFC2822Date).toLatin1() + "\r\n" + "From: " + mail.from + "\r\n"
                   + "To: " + to.join(QStringLiteral(", ")).toUtf8() + "\r\n"
                   + "Subject: " + EncodedHeaderText(message.title) + "\r\n"
                   + "Message-ID: <" + MillisecondsText(now) + ".corvix@" + domain + ">\r\n"
                   + "MIME-Version: 1.0\r\n"
                   + "Content-Type: text/plain; charset=UTF-8\r\n"
                   + "Content-Transfer-Encoding: base64\r\n\r\n" + FoldedBase64(body.toUtf8());
    ChannelRequest request;
    request.mail = true;
    request.mailRequest = std::move(mail);
    return request;
}

// The JSON of an answer's body; an empty object when it is none.
QJsonObject AnswerJson(const TransferAnswer &answer)
{
    return QJsonDocument::fromJson(answer.body).object();
}

SendVerdict Sent() { return {SendOutcome::Sent, QStringLiteral("已送达"), {}}; }

SendVerdict Failed(const QString &words, const QString &detail = {}) { return {SendOutcome::Failed, words, detail}; }

SendVerdict TryAgain(const QString &words, const QString &detail = {}) { return {SendOutcome::TryAgain, words, detail}; }

struct CodeWords {
    int code;
    const char16_t *words;
    bool passing; // may pass: tried again
};

// The service's code in words from table; unknown codes keep the service's message.
SendVerdict ByCode(int code, const QString &message, std::initializer_list<CodeWords> table, const QString &service)
{
    const QString detail = QStringLiteral("%1 %2：%3").arg(service).arg(code).arg(message);
    for (const CodeWords &row : table)
        if (row.code == code)
            return {row.passing ? SendOutcome::TryAgain : SendOutcome::Failed, QString::fromUtf16(row.words), detail};
    return Failed(message.isEmpty() ? QStringLiteral("服务答复错误 %1").arg(code) : message, detail);
}

SendVerdict UnknownAnswer(const TransferAnswer &answer)
{
    return Failed(QStringLiteral("无法识别服务的答复"), QString::fromUtf8(answer.body.left(200)));
}

SendVerdict JudgeWeCom(const TransferAnswer &answer)
{
    const QJsonObject json = AnswerJson(answer);
    if (!json.contains(QStringLiteral("errcode")))
        return UnknownAnswer(answer);
    const int code = json[QStringLiteral("errcode")].toInt();
    if (code == 0)
        return Sent();
    return ByCode(code, json[QStringLiteral("errmsg")].toString(),
                  {{-1, u"企业微信系统繁忙", true},
                   {45009, u"发送太频繁", true},
                   {93000, u"Webhook key 无效", false},
                   {40008, u"消息类型无效", false},
                   {40058, u"消息内容不符合要求", false}},
                  QStringLiteral("企业微信"));
}

SendVerdict JudgeDingTalk(const TransferAnswer &answer)
{
    const QJsonObject json = AnswerJson(answer);
    if (!json.contains(QStringLiteral("errcode")))
        return UnknownAnswer(answer);
    const int code = json[QStringLiteral("errcode")].toInt();
    const QString message = json[QStringLiteral("errmsg")].toString();
    if (code == 0)
        return Sent();
    // One code for every failed security check: the message tells which.
    if (code == 310000) {
        const QString detail = QStringLiteral("钉钉 %1：%2").arg(code).arg(message);
        if (message.contains(QStringLiteral("sign"), Qt::CaseInsensitive))
            return Failed(QStringLiteral("签名校验失败"), detail);
        if (message.contains(QStringLiteral("keyword"), Qt::CaseInsensitive))
            return Failed(QStringLiteral("消息不含自定义关键词"), detail);
        if (message.contains(QStringLiteral("ip"), Qt::CaseInsensitive))
            return Failed(QStringLiteral("本机 IP 不在机器人的白名单中"), detail);
        return Failed(QStringLiteral("未通过机器人的安全设置"), detail);
    }
    return ByCode(code, message,
                  {{-1, u"钉钉系统繁忙", true},
                   {130101, u"发送太频繁", true},
                   {300001, u"access_token 无效", false},
                   {300005, u"access_token 无效", false}},
                  QStringLiteral("钉钉"));
}

SendVerdict JudgeFeishu(const TransferAnswer &answer)
{
    const QJsonObject json = AnswerJson(answer);
    // Older robots answer with StatusCode, newer ones with code.
    const QString key = json.contains(QStringLiteral("code")) ? QStringLiteral("code") : QStringLiteral("StatusCode");
    if (!json.contains(key))
        return UnknownAnswer(answer);
    const int code = json[key].toInt();
    if (code == 0)
        return Sent();
    const QString message = json.value(QStringLiteral("msg")).toString(json.value(QStringLiteral("StatusMessage")).toString());
    return ByCode(code, message,
                  {{19001, u"Webhook 令牌无效", false},
                   {19021, u"签名校验失败", false},
                   {19022, u"本机 IP 不在机器人的白名单中", false},
                   {19024, u"消息不含自定义关键词", false},
                   {9499, u"请求格式错误", false},
                   {11232, u"发送太频繁", true},
                   {99991400, u"发送太频繁", true}},
                  QStringLiteral("飞书"));
}

SendVerdict JudgeBark(const TransferAnswer &answer)
{
    const QJsonObject json = AnswerJson(answer);
    if (!json.contains(QStringLiteral("code")))
        return UnknownAnswer(answer);
    const int code = json[QStringLiteral("code")].toInt();
    const QString message = json[QStringLiteral("message")].toString();
    if (code == 200)
        return Sent();
    if (message.contains(QStringLiteral("device"), Qt::CaseInsensitive))
        return Failed(QStringLiteral("设备 key 无效"), QStringLiteral("Bark %1：%2").arg(code).arg(message));
    return ByCode(code, message, {}, QStringLiteral("Bark"));
}

SendVerdict JudgePushPlus(const TransferAnswer &answer)
{
    const QJsonObject json = AnswerJson(answer);
    if (!json.contains(QStringLiteral("code")))
        return UnknownAnswer(answer);
    const int code = json[QStringLiteral("code")].toInt();
    if (code == 200)
        return Sent();
    return ByCode(code, json[QStringLiteral("msg")].toString(),
                  {{500, u"PushPlus 系统异常", true},
                   {401, u"token 无效", false},
                   {903, u"token 无效", false},
                   {403, u"本机 IP 未获授权", false},
                   {888, u"积分不足", false},
                   {900, u"账号使用受限", false},
                   {999, u"服务端验证错误", false}},
                  QStringLiteral("PushPlus"));
}

SendVerdict JudgeServerChan(const TransferAnswer &answer)
{
    const QJsonObject json = AnswerJson(answer);
    if (!json.contains(QStringLiteral("code")))
        return UnknownAnswer(answer);
    const int code = json[QStringLiteral("code")].toInt();
    const QString message = json[QStringLiteral("message")].toString();
    if (code == 0)
        return Sent();
    if (message.contains(QStringLiteral("key"), Qt::CaseInsensitive)
        || message.contains(QStringLiteral("token"), Qt::CaseInsensitive))
        return Failed(QStringLiteral("SendKey 无效"), QStringLiteral("Server酱 %1：%2").arg(code).arg(message));
    return ByCode(code, message, {}, QStringLiteral("Server酱"));
}

SendVerdict JudgeHttpStatus(ChannelKind kind, const TransferAnswer &answer)
{
    const int status = answer.code;
    const QString detail = QStringLiteral("HTTP %1 %2").arg(status).arg(QString::fromUtf8(answer.body.left(200)));
    if (status == 429)
        return TryAgain(QStringLiteral("发送太频繁"), detail);
    if (status >= 500)
        return TryAgain(QStringLiteral("服务器出错（HTTP %1）").arg(status), detail);
    // Bark names a wrong key in a body of its own.
    if (kind == ChannelKind::Bark && AnswerJson(answer).contains(QStringLiteral("code")))
        return JudgeBark(answer);
    if (status == 401 || status == 403)
        return Failed(kind == ChannelKind::Ntfy ? QStringLiteral("没有权限：访问令牌不对或主题受保护")
                                                : QStringLiteral("没有权限（HTTP %1）").arg(status),
                      detail);
    if (status == 404)
        return Failed(QStringLiteral("地址不存在（HTTP 404）"), detail);
    if (status == 413)
        return Failed(QStringLiteral("消息太长"), detail);
    return Failed(QStringLiteral("服务器拒绝了请求（HTTP %1）").arg(status), detail);
}

SendVerdict JudgeMail(const TransferAnswer &answer)
{
    const QString detail = answer.code ? QStringLiteral("SMTP %1 %2").arg(answer.code).arg(answer.detail) : answer.detail;
    if (answer.error == TransferError::None)
        return Sent();
    if (answer.error == TransferError::LoginDenied)
        return Failed(QStringLiteral("用户名或密码不对"), detail);
    if (answer.error == TransferError::StartTlsRefused)
        return Failed(QStringLiteral("邮件服务器不支持 STARTTLS 加密"), detail);
    // A reply of the 4xx kind says "later"; 5xx refuses.
    if (answer.code >= 500)
        return Failed(QStringLiteral("邮件服务器拒绝（%1）").arg(answer.code), detail);
    if (answer.code >= 400)
        return TryAgain(QStringLiteral("邮件服务器暂时不收（%1）").arg(answer.code), detail);
    return TryAgain(QStringLiteral("发送出错"), detail);
}

} // namespace

NoticeMessage RunNoticeMessage(const std::vector<PriceNotice> &notices, const QByteArray &json)
{
    NoticeMessage message;
    QSet<QString> products;
    for (const PriceNotice &notice : notices) {
        products.insert(FromGbk(notice.product));
        message.items.push_back({NoticeLine(notice), FromGbk(notice.link)});
    }
    message.title = QStringLiteral("Corvix 降价提醒：%1 个商品").arg(products.size());
    message.json = json;
    return message;
}

NoticeMessage TestNoticeMessage(const QString &channelName, const QDateTime &now)
{
    NoticeMessage message;
    message.title = QStringLiteral("Corvix 测试消息");
    message.intro = QStringLiteral("这是 Corvix 的测试消息（%1）：收到它，说明“%2”设置正确。")
                        .arg(now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), channelName);
    QJsonObject document = QJsonDocument::fromJson(NoticesJson({}, {}, now)).object();
    document[QStringLiteral("test")] = true;
    document[QStringLiteral("text")] = message.intro;
    message.json = QJsonDocument(document).toJson(QJsonDocument::Indented);
    return message;
}

QString MessageBody(const NoticeMessage &message, TextForm form, int maxBytes)
{
    QStringList blocks;
    if (!message.intro.isEmpty())
        blocks << (form == TextForm::Markdown ? EscapeMarkdown(message.intro) : message.intro);
    const size_t shown = ShownItems(message, form, maxBytes);
    for (size_t i = 0; i < shown; ++i)
        blocks << ItemText(message.items[i], form);
    if (shown < message.items.size())
        blocks << LeftOutLine(message.items.size() - shown);
    return blocks.join(QStringLiteral("\n\n"));
}

QByteArray EncodedHeaderText(const QString &text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
    if (ascii)
        return text.toLatin1();
    // Words of at most 45 bytes stay within the 75 characters a word may have,
    // and never cut a character in two.
    QByteArrayList words;
    QByteArray word;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray character = text.mid(i, length).toUtf8();
        i += length - 1;
        if (word.size() + character.size() > 45) {
            words << word;
            word.clear();
        }
        word += character;
    }
    if (!word.isEmpty())
        words << word;
    QByteArray encoded;
    for (const QByteArray &w : words)
        encoded += (encoded.isEmpty() ? "" : " ") + ("=?UTF-8?B?" + w.toBase64() + "?=");
    return encoded;
}

QByteArray DingTalkSign(const QByteArray &timestampMs, const QByteArray &secret)
{
    return QMessageAuthenticationCode::hash(timestampMs + '\n' + secret, secret, QCryptographicHash::Sha256).toBase64();
}

QByteArray FeishuSign(const QByteArray &timestampSeconds, const QByteArray &secret)
{
    return QMessageAuthenticationCode::hash(QByteArray(), timestampSeconds + '\n' + secret, QCryptographicHash::Sha256)
        .toBase64();
}

tl::expected<ChannelRequest, QString> BuildRequest(const NoticeChannel &channel, const NoticeMessage &message,
                                                   const QDateTime &now)
{
    if (const QString missing = MissingField(channel); !missing.isEmpty())
        return tl::unexpected(missing);
    if (channel.kind == ChannelKind::Email)
        return MailRequestOf(channel, message, now);
    ChannelRequest request;
    if (channel.kind == ChannelKind::Webhook) {
        const QString url = channel.Value(QStringLiteral("url"));
        if (!IsWebAddress(url))
            return tl::unexpected(QStringLiteral("“地址”应是以 http:// 或 https:// 开头的地址"));
        request.http = {url.toUtf8(), {{"Content-Type", "application/json; charset=utf-8"}}, message.json};
        return request;
    }
    const tl::expected<QByteArray, QString> base = BaseOf(channel);
    if (!base)
        return tl::unexpected(base.error());
    switch (channel.kind) {
    case ChannelKind::WeCom:
        request.http = WeComRequest(channel, *base, message);
        break;
    case ChannelKind::DingTalk:
        request.http = DingTalkRequest(channel, *base, message, now);
        break;
    case ChannelKind::Feishu:
        request.http = FeishuRequest(channel, *base, message, now);
        break;
    case ChannelKind::Bark:
        request.http = BarkRequest(channel, *base, message);
        break;
    case ChannelKind::PushPlus:
        request.http = PushPlusRequest(channel, *base, message);
        break;
    case ChannelKind::ServerChan:
        request.http = ServerChanRequest(channel, *base, message);
        break;
    case ChannelKind::Ntfy:
        request.http = NtfyRequest(channel, *base, message);
        break;
    case ChannelKind::Webhook:
    case ChannelKind::Email:
        break;
    }
    return request;
}

SendVerdict JudgeAnswer(ChannelKind kind, const TransferAnswer &answer)
{
    switch (answer.error) {
    case TransferError::None:
        break;
    case TransferError::Timeout:
        return TryAgain(QStringLiteral("等待答复超时"), answer.detail);
    case TransferError::Resolve:
        return TryAgain(QStringLiteral("找不到服务器"), answer.detail);
    case TransferError::Connect:
        return TryAgain(QStringLiteral("无法连接服务器"), answer.detail);
    case TransferError::Tls:
        return Failed(QStringLiteral("安全连接失败"), answer.detail);
    case TransferError::Cancelled:
        return Failed(QStringLiteral("已取消"), answer.detail);
    case TransferError::BadAddress:
        return Failed(QStringLiteral("地址无效"), answer.detail);
    case TransferError::LoginDenied:
    case TransferError::StartTlsRefused:
    case TransferError::Other:
        if (kind == ChannelKind::Email)
            return JudgeMail(answer);
        return TryAgain(QStringLiteral("发送出错"), answer.detail);
    }
    if (kind == ChannelKind::Email)
        return JudgeMail(answer);
    if (answer.code < 200 || answer.code >= 300)
        return JudgeHttpStatus(kind, answer);
    switch (kind) {
    case ChannelKind::WeCom:
        return JudgeWeCom(answer);
    case ChannelKind::DingTalk:
        return JudgeDingTalk(answer);
    case ChannelKind::Feishu:
        return JudgeFeishu(answer);
    case ChannelKind::Bark:
        return JudgeBark(answer);
    case ChannelKind::PushPlus:
        return JudgePushPlus(answer);
    case ChannelKind::ServerChan:
        return JudgeServerChan(answer);
    case ChannelKind::Ntfy:
    case ChannelKind::Webhook:
    case ChannelKind::Email:
        break;
    }
    return Sent();
}

} // namespace corvix
