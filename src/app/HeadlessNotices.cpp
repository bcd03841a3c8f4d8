#include "app/HeadlessNotices.h"

#include "products/LastSaved.h"
#include "products/LinkFile.h"
#include "products/NoticeChannels.h"
#include "products/NoticeDelivery.h"
#include "products/PriceAlerts.h"
#include "products/PriceChanges.h"
#include "products/PriceHistoryIndex.h"
#include "products/PriceNotices.h"
#include "products/ProductGridModel.h"
#include "support/PathText.h"
#include "support/Platform.h"

#include <QDateTime>

namespace corvix {
namespace {

// One message to every enabled channel, one line for each.
void SendToChannels(const NoticeRun &run, const std::vector<PriceNotice> &notices, const QByteArray &json,
                    QTextStream &out, QTextStream &err)
{
    const std::filesystem::path folder = run.settingsFolder.empty() ? NoticeSettingsFolder() : run.settingsFolder;
    const Result<std::vector<NoticeChannel>> channels = LoadChannels(folder);
    if (!channels) {
        err << QStringLiteral("提醒方式的设置无法读取：") << PathText(channels.error().path) << QStringLiteral("（")
            << channels.error().reason << QStringLiteral("）") << Qt::endl;
        return;
    }
    out.flush();
    for (const ChannelReport &report : DeliverToEnabled(*channels, RunNoticeMessage(notices, json), {}))
        (report.sent ? out : err) << ReportLine(report) << Qt::endl;
}

} // namespace

std::optional<RecordListEntry> RecordBeforeRun(const std::filesystem::path &dbDir,
                                               const std::vector<RecordListEntry> &records, bool retry)
{
    const std::optional<RecordListEntry> last = LastSavedRecord(dbDir, records);
    if (!last || !retry)
        return last;
    return RecordSavedBefore(dbDir, records, last->name);
}

RunNotices FindRunNotices(const DataDirs &dirs, const NoticeRun &run)
{
    RunNotices found;
    const std::filesystem::path alertsPath = AlertsFilePath(dirs);
    PriceAlerts alerts = PriceAlerts::Load(alertsPath);
    if (alerts.All().empty())
        return found;
    const std::string before = alerts.Text();
    std::unique_ptr<ProductGridModel> previous;
    if (run.earlier)
        previous = LoadRecordWithColumnsOf(*run.grid, dirs.dbDir / run.earlier->file);
    std::unique_ptr<ProductGridModel> judged;
    if (run.retried)
        judged = LoadRecordWithColumnsOf(*run.grid, dirs.dbDir / run.retried->file);
    PriceHistoryIndex history;
    history.AddRecords(dirs.dbDir, run.records);
    found.time = QDateTime::currentDateTime();
    const LinkFile links = LinkFile::Load(LinkFilePath(dirs)).value_or(LinkFile());
    NoticeSources sources{previous.get(), &history, found.time};
    sources.links = &links;
    sources.judged = judged.get();
    found.notices = FindPriceNotices(*run.grid, sources, alerts);
    if (alerts.Text() != before)
        found.alertsText = alerts.Text();
    return found;
}

void ReportPriceNotices(const RunNotices &found, const NoticeRun &run, QTextStream &out, QTextStream &err)
{
    if (found.notices.empty())
        return;
    for (const PriceNotice &notice : found.notices)
        out << (notice.backInStock && !notice.target && !notice.dropPercent ? QStringLiteral("有货提醒：")
                                                                             : QStringLiteral("降价提醒："))
            << NoticeLine(notice) << Qt::endl;
    const QByteArray json = NoticesJson(found.notices, run.savedRecord, found.time);
    if (!run.notifyCommand.isEmpty()) {
        out.flush();
        const QString failed = RunNotifyCommand(run.notifyCommand, json, run.commandSeconds);
        if (!failed.isEmpty())
            err << QStringLiteral("提醒命令") << failed << QStringLiteral("：") << run.notifyCommand << Qt::endl;
    }
    SendToChannels(run, found.notices, json, out, err);
}

QString RunNotifyCommand(const QString &command, const QByteArray &input, int seconds)
{
    const CommandEnd end = RunShellCommand(command.toLocal8Bit().toStdString(),
                                           std::string_view(input.constData(), static_cast<size_t>(input.size())), seconds);
    switch (end.kind) {
    case CommandEnd::NotStarted:
        return QStringLiteral("无法启动");
    case CommandEnd::TimedOut:
        return QStringLiteral("超过 %1 s 未结束，已终止").arg(seconds);
    case CommandEnd::Stopped:
        return QStringLiteral("因停止请求已终止");
    case CommandEnd::Crashed:
        return QStringLiteral("异常结束");
    case CommandEnd::Exited:
        break;
    }
    if (end.exitCode != 0)
        return QStringLiteral("失败（退出码 %1）").arg(end.exitCode);
    return {};
}

} // namespace corvix
