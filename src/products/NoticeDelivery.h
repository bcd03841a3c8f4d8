#pragma once
// Sending one message to the notice channels: each channel on a thread of its
// own, so that one that hangs or fails holds up none of the others; each
// try within a time limit, and a failure that may pass (a timeout, a refused
// connection, 5xx, a rate limit) tried again after a pause that grows. An
// answer that names an error is not tried again. The calls block until every
// channel is done: callers that must stay responsive run them off their thread.
#include "products/NoticeChannels.h"
#include "products/NoticeServices.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <functional>
#include <vector>

namespace corvix {

struct DeliveryOptions {
    int timeoutMs = 10000; // one try
    int tries = 3;
    int firstPauseMs = 2000; // before the second try; doubled before each further one
    // The signing time and the mail's date; empty: the current time.
    std::function<QDateTime()> clock;
    // Set from another thread: tries and pauses end as soon as they can.
    const std::atomic_bool *cancel = nullptr;
    // Sends one request; empty: over the network (NetTransfer).
    std::function<TransferAnswer(const ChannelRequest &, int timeoutMs)> transfer;
};

struct ChannelReport {
    QString channel; // the channel's shown name
    bool sent = false;
    QString words;   // "已送达", "签名校验失败"
    QString detail;  // the service's own code and message, when it gave them
    int tries = 0;
};

ChannelReport Deliver(const NoticeChannel &channel, const NoticeMessage &message, const DeliveryOptions &options);

// The enabled channels of channels, all at once; the reports in their order.
std::vector<ChannelReport> DeliverToEnabled(const std::vector<NoticeChannel> &channels, const NoticeMessage &message,
                                            const DeliveryOptions &options);

// "已发送：钉钉群机器人" or "发送失败：飞书群机器人（签名校验失败）".
QString ReportLine(const ChannelReport &report);

} // namespace corvix
