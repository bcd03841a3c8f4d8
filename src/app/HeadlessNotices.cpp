#include "app/HeadlessNotices.h"

#include "support/PathText.h"
#include "products/PriceAlerts.h"
#include "products/PriceChanges.h"
#include "products/PriceHistoryIndex.h"
#include "products/PriceNotices.h"
#include "products/ProductGridModel.h"

#include <QDateTime>
#include <QProcess>

namespace corvix {

std::optional<RecordListEntry> RecordBeforeRun(const std::vector<RecordListEntry> &records, bool retry)
{
    if (records.empty())
        return std::nullopt;
    if (!retry)
        return records.back();
    if (const RecordListEntry *before = RecordBefore(records, records.back().name))
        return *before;
    return std::nullopt;
}

void ReportPriceNotices(const DataDirs &dirs, const NoticeRun &run, QTextStream &out, QTextStream &err)
{
    const std::filesystem::path alertsPath = AlertsFilePath(dirs);
    PriceAlerts alerts = PriceAlerts::Load(alertsPath);
    if (alerts.All().empty())
        return;
    const std::string before = alerts.Text();
    std::unique_ptr<ProductGridModel> previous;
    if (run.earlier)
        previous = LoadRecordWithColumnsOf(*run.grid, dirs.dbDir / run.earlier->file);
    PriceHistoryIndex history;
    history.AddRecords(dirs.dbDir, run.records);
    const QDateTime now = QDateTime::currentDateTime();
    const std::vector<PriceNotice> notices = FindPriceNotices(*run.grid, {previous.get(), &history, now}, alerts);
    if (alerts.Text() != before && !alerts.Save(alertsPath))
        err << QStringLiteral("提醒的状态无法写入文件 ") << PathText(alertsPath)
            << Qt::endl;
    if (notices.empty())
        return;
    for (const PriceNotice &notice : notices)
        out << (notice.backInStock && !notice.target && !notice.dropPercent ? QStringLiteral("有货提醒：")
                                                                             : QStringLiteral("降价提醒："))
            << NoticeLine(notice) << Qt::endl;
    if (run.notifyCommand.isEmpty())
        return;
    out.flush();
    const QString failed = RunNotifyCommand(run.notifyCommand, NoticesJson(notices, run.savedRecord, now),
                                            run.commandSeconds);
    if (!failed.isEmpty())
        err << QStringLiteral("提醒命令") << failed << QStringLiteral("：") << run.notifyCommand << Qt::endl;
}

QString RunNotifyCommand(const QString &command, const QByteArray &input, int seconds)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!process.waitForStarted())
        return QStringLiteral("无法启动");
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(seconds * 1000)) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("超过 %1 s 未结束，已终止").arg(seconds);
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("异常结束");
    if (process.exitCode() != 0)
        return QStringLiteral("失败（退出码 %1）").arg(process.exitCode());
    return {};
}

} // namespace corvix
