#include "products/NoticeDelivery.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

namespace corvix {
namespace {

constexpr int kLongestPauseMs = 30000;

bool Cancelled(const DeliveryOptions &options) { return options.cancel && options.cancel->load(); }

// Waits, waking often enough to see a cancel.
void Pause(int ms, const DeliveryOptions &options)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!Cancelled(options) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 20)));
}

// A server that names its wait ("Retry-After: 5") is given it, within reason.
int PauseBefore(int tryNumber, const TransferAnswer &answer, const DeliveryOptions &options)
{
    int pause = options.firstPauseMs;
    for (int i = 2; i < tryNumber; ++i)
        pause *= 2;
    bool isNumber = false;
    const int asked = answer.retryAfter.toInt(&isNumber);
    if (isNumber && asked > 0)
        pause = std::max(pause, std::min(asked * 1000, kLongestPauseMs));
    return pause;
}

TransferAnswer Transfer(const ChannelRequest &request, const DeliveryOptions &options)
{
    if (options.transfer)
        return options.transfer(request, options.timeoutMs);
    return request.mail ? SendMail(request.mailRequest, options.timeoutMs, options.cancel)
                        : PostHttp(request.http, options.timeoutMs, options.cancel);
}

} // namespace

ChannelReport Deliver(const NoticeChannel &channel, const NoticeMessage &message, const DeliveryOptions &options)
{
    ChannelReport report;
    report.channel = channel.ShownName();
    TransferAnswer answer;
    for (int tryNumber = 1; tryNumber <= std::max(1, options.tries); ++tryNumber) {
        if (tryNumber > 1)
            Pause(PauseBefore(tryNumber, answer, options), options);
        if (Cancelled(options)) {
            report.words = QStringLiteral("已取消");
            return report;
        }
        // Signed anew for each try: a signature is valid for a while only.
        const QDateTime now = options.clock ? options.clock() : QDateTime::currentDateTime();
        const tl::expected<ChannelRequest, QString> request = BuildRequest(channel, message, now);
        if (!request) {
            report.words = request.error();
            return report;
        }
        answer = Transfer(*request, options);
        report.tries = tryNumber;
        const SendVerdict verdict = JudgeAnswer(channel.kind, answer);
        report.words = verdict.words;
        report.detail = verdict.detail;
        if (verdict.outcome != SendOutcome::TryAgain) {
            report.sent = verdict.outcome == SendOutcome::Sent;
            return report;
        }
    }
    return report;
}

std::vector<ChannelReport> DeliverToEnabled(const std::vector<NoticeChannel> &channels, const NoticeMessage &message,
                                            const DeliveryOptions &options)
{
    std::vector<std::future<ChannelReport>> running;
    for (const NoticeChannel &channel : channels)
        if (channel.enabled)
            running.push_back(std::async(std::launch::async, [&channel, &message, &options] {
                return Deliver(channel, message, options);
            }));
    std::vector<ChannelReport> reports;
    for (std::future<ChannelReport> &report : running)
        reports.push_back(report.get());
    return reports;
}

QString ReportLine(const ChannelReport &report)
{
    if (report.sent)
        return QStringLiteral("已发送：") + report.channel;
    return QStringLiteral("发送失败：%1（%2）").arg(report.channel, report.words);
}

} // namespace corvix
