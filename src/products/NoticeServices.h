#pragma once
// What each service of a notice channel is sent and what its answer means:
// one message per run in the form the service takes (markdown where it
// renders it, plain text elsewhere, the product link as a link), the request
// it documents (address, headers, body, signature), and its answer in words,
// with whether another try may help. No network here: the requests are sent
// by NoticeDelivery.
#include "products/NoticeChannels.h"
#include "support/NetTransfer.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <tl/expected.hpp>

#include <vector>

namespace corvix {

struct PriceNotice;

struct NoticeItem {
    QString line; // NoticeLine: "<product> | <shop> | <old> → <new>（reasons）"
    QString link; // the product's web address; empty when unknown
};

struct NoticeMessage {
    QString title;               // "Corvix 降价提醒：n 个商品"
    QString intro;               // a line before the items (the test message's text)
    std::vector<NoticeItem> items;
    QByteArray json;             // the document --notify-command is given
};

// The message of a run's notices; json: NoticesJson of them.
NoticeMessage RunNoticeMessage(const std::vector<PriceNotice> &notices, const QByteArray &json);
// A short message that says the channel works ("发送测试消息").
NoticeMessage TestNoticeMessage(const QString &channelName, const QDateTime &now);

enum class TextForm { Markdown, Plain };
// The message without its title. Items beyond maxBytes (UTF-8) are left out
// and counted in a last line; the first item is always there.
QString MessageBody(const NoticeMessage &message, TextForm form, int maxBytes);

// "=?UTF-8?B?...?=" words (RFC 2047) for a header; ASCII text stays as it is.
QByteArray EncodedHeaderText(const QString &text);

struct ChannelRequest {
    bool mail = false;
    HttpRequest http;
    MailRequest mailRequest;
};

// The request that sends message over channel. now: the signing time
// (DingTalk: milliseconds, Feishu: seconds since 1970) and the mail's date.
// An error, in words, when a setting the service needs is missing or wrong.
tl::expected<ChannelRequest, QString> BuildRequest(const NoticeChannel &channel, const NoticeMessage &message,
                                                   const QDateTime &now);

// DingTalk's signature: Base64(HMAC-SHA256(secret, timestamp + "\n" + secret)).
QByteArray DingTalkSign(const QByteArray &timestampMs, const QByteArray &secret);
// Feishu's: Base64(HMAC-SHA256(key = timestamp + "\n" + secret, message = empty)).
QByteArray FeishuSign(const QByteArray &timestampSeconds, const QByteArray &secret);

enum class SendOutcome { Sent, TryAgain, Failed };

struct SendVerdict {
    SendOutcome outcome = SendOutcome::Failed;
    QString words;  // short, for a report line: "签名校验失败"
    QString detail; // the service's own code and message, when it gave them
};

// What the service's answer says. Timeouts, refused connections, 5xx and
// rate limits may pass (TryAgain); an answer that names an error does not.
SendVerdict JudgeAnswer(ChannelKind kind, const TransferAnswer &answer);

} // namespace corvix
