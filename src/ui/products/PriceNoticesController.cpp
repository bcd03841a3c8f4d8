#include "ui/products/PriceNoticesController.h"

#include "products/LinkFile.h"
#include "products/NoticeChannels.h"
#include "products/PriceChanges.h"
#include "products/PriceHistoryLoader.h"
#include "products/PriceText.h"
#include "products/ProductGridModel.h"
#include "support/Gbk.h"
#include "support/PathText.h"
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"
#include "ui/Session.h"
#include "ui/capture/CaptureRunController.h"
#include "ui/pages/ProductListPage.h"
#include "ui/products/AlertDialog.h"
#include "ui/products/ChangeMarksController.h"
#include "ui/products/DesktopNotifier.h"
#include "ui/products/NoticeChannelsDialog.h"
#include "ui/products/PriceChangeDelegate.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <QTreeView>

#include <algorithm>

namespace corvix {
namespace {

constexpr size_t kLinesInNotice = 5;

QString AlertTip(const PriceAlert &alert)
{
    QStringList parts;
    if (alert.target)
        parts << QStringLiteral("低于 %1 元时提醒").arg(*alert.target);
    if (alert.dropPercent)
        parts << QStringLiteral("比上次降价超过 %1% 时提醒").arg(*alert.dropPercent);
    if (alert.riseAbove)
        parts << QStringLiteral("高于 %1 元时提醒").arg(*alert.riseAbove);
    if (alert.risePercent)
        parts << QStringLiteral("比上次涨价超过 %1% 时提醒").arg(*alert.risePercent);
    if (alert.everyRun)
        parts << QStringLiteral("每次抓取后都提醒");
    if (alert.backInStock)
        parts << QStringLiteral("有货时提醒");
    const QString where = alert.shop.empty() ? QStringLiteral("全部店铺") : FromGbk(alert.shop);
    return where + QStringLiteral("：") + parts.join(QStringLiteral("，"));
}

QString NoticeBody(const std::vector<PriceNotice> &notices)
{
    QStringList lines;
    for (size_t i = 0; i < notices.size() && i < kLinesInNotice; ++i)
        lines << NoticeLine(notices[i]);
    if (notices.size() > kLinesInNotice)
        lines << QStringLiteral("等共 %1 条").arg(notices.size());
    return lines.join(u'\n');
}

// A copy of the grid's cells under the same columns.
std::unique_ptr<ProductGridModel> CopyOfGrid(const ProductGridModel &grid)
{
    auto copy = std::make_unique<ProductGridModel>();
    for (int c = 0; c < grid.ColumnCount(); ++c)
        copy->AddColumn(grid.Title(c), grid.ColumnAt(c).width, grid.ColumnAt(c).alignment);
    copy->AppendRows(grid.Rows());
    return copy;
}

QString ReportsText(const std::vector<ChannelReport> &reports)
{
    QStringList lines;
    for (const ChannelReport &report : reports)
        lines << ReportLine(report);
    return QStringLiteral("降价提醒") + lines.join(QStringLiteral("；"));
}

} // namespace

PriceNoticesController::PriceNoticesController(MainWindow *window, Session &session, CaptureRunController *run,
                                               ChangeMarksController *marks, PriceHistoryLoader &history,
                                               std::unique_ptr<DesktopNotifier> notifier)
    : QObject(window), window_(window), grid_(window->ListPage()->Grid()), session_(session), run_(run),
      marks_(marks), history_(history), notifier_(std::move(notifier)), settingsFolder_(NoticeSettingsFolder()),
      cancel_(std::make_shared<std::atomic_bool>(false))
{
    ProductListPage *page = window->ListPage();
    connect(page, &ProductListPage::alertRequested, this, &PriceNoticesController::SetAlert);
    connect(page, &ProductListPage::channelsRequested, this, &PriceNoticesController::SetChannels);
    connect(page, &ProductListPage::dropFilterToggled, this, &PriceNoticesController::ApplyDropFilter);
    connect(run, &CaptureRunController::runStarted, this, &PriceNoticesController::RunStarted);
    connect(run, &CaptureRunController::runEnded, this, &PriceNoticesController::RunEnded);
    connect(window, &MainWindow::aboutToBeDestroyed, this, [this] { windowClosed_ = true; });
    // The marks are taken again whenever the rows or the record change.
    connect(marks, &ChangeMarksController::marksChanged, this, &PriceNoticesController::ApplyDropFilter);
    // Rows moved by a deletion, its undo or a new record: the lowest prices
    // belonged to the old rows, and a deleted product took its alert along.
    const auto rowsMoved = [this] {
        marks_->Delegate()->SetLowestCells({});
        ShowAlerts();
    };
    connect(grid_, &QAbstractItemModel::modelReset, this, rowsMoved);
    connect(grid_, &QAbstractItemModel::rowsRemoved, this, rowsMoved);
    connect(grid_, &QAbstractItemModel::rowsInserted, this, rowsMoved);
    // A title edited in 编辑商品… may be one with an alert.
    connect(grid_, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &topLeft) {
        if (topLeft.column() == kProductTitleColumn && !(run_ && run_->Running()))
            ShowAlerts();
    });
    ShowAlerts();
}

PriceNoticesController::~PriceNoticesController()
{
    // Sends still under way end as soon as they can; nobody waits for their answers.
    cancel_->store(true);
}

NoticeChannelsDialog *PriceNoticesController::SetChannels()
{
    const Result<std::vector<NoticeChannel>> channels = LoadChannels(settingsFolder_);
    if (!channels) {
        ShowMessage(QStringLiteral("提醒方式的设置无法读取：\n") + PathText(channels.error().path) + QStringLiteral("\n（")
                    + channels.error().reason + QStringLiteral("）\n文件保持原样。"));
        return nullptr;
    }
    auto *dialog = new NoticeChannelsDialog(*channels, window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        if (const Result<void> saved = SaveChannels(settingsFolder_, dialog->Channels()); !saved)
            ShowWriteFailure(QStringLiteral("保存提醒方式"), saved.error());
    });
    dialog->open();
    return dialog;
}

void PriceNoticesController::RunStarted(bool retry)
{
    marks_->Delegate()->SetLowestCells({});
    ApplyDropFilter();
    retried_ = retry ? CopyOfGrid(*grid_) : nullptr;
}

AlertDialog *PriceNoticesController::SetAlert()
{
    ProductListPage *page = window_->ListPage();
    const int row = page->SelectedRow();
    if (row < 0)
        return nullptr;
    const std::string &product = grid_->Text(row, kProductTitleColumn);
    if (product.empty()) {
        ShowMessage(QStringLiteral("这一行没有商品名称：提醒按商品名称保存，请先填写名称。"));
        return nullptr;
    }
    std::vector<std::string> shops;
    for (int c = kFirstSiteColumn; c < grid_->ColumnCount(); ++c)
        shops.push_back(grid_->Title(c));
    const CurrentCell &cell = session_.currentCell;
    const std::string shop = cell.row == row && cell.column >= kFirstSiteColumn ? cell.title : std::string();
    const PriceAlerts alerts = PriceAlerts::Load(AlertsFilePath(session_.dirs));
    auto *dialog = new AlertDialog(product, shops, shop, alerts, window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::accepted, this, [this, dialog] { StoreAlert(*dialog); });
    dialog->open();
    return dialog;
}

void PriceNoticesController::StoreAlert(const AlertDialog &dialog)
{
    const std::filesystem::path path = AlertsFilePath(session_.dirs);
    PriceAlerts alerts = PriceAlerts::Load(path);
    alerts.Set(dialog.Alert());
    if (const Result<void> saved = alerts.Save(path); !saved) {
        ShowFileFailure(QStringLiteral("设置提醒"), saved.error());
        return;
    }
    ShowAlerts();
}

void PriceNoticesController::ShowAlerts()
{
    const PriceAlerts alerts = PriceAlerts::Load(AlertsFilePath(session_.dirs));
    std::unordered_map<std::string, QString> tips;
    for (const PriceAlert &alert : alerts.All()) {
        QString &tip = tips[alert.product];
        tip += (tip.isEmpty() ? QStringLiteral("提醒：") : QStringLiteral("\n")) + AlertTip(alert);
    }
    marks_->Delegate()->SetAlerts(std::move(tips));
    window_->ListPage()->GridView()->viewport()->update();
}

void PriceNoticesController::RunEnded()
{
    if (windowClosed_)
        return;
    history_.WaitUntilReady();
    const PriceHistoryIndex &history = history_.Index();
    MarkLowestPrices(history);
    ApplyDropFilter();
    const std::filesystem::path path = AlertsFilePath(session_.dirs);
    PriceAlerts alerts = PriceAlerts::Load(path);
    if (alerts.All().empty())
        return;
    const std::string before = alerts.Text();
    std::unique_ptr<ProductGridModel> previous;
    if (const std::optional<RecordListEntry> earlier = marks_->EarlierRecord())
        previous = LoadRecordWithColumnsOf(*grid_, session_.dirs.dbDir / earlier->file);
    const LinkFile links = LinkFile::Load(LinkFilePath(session_.dirs)).value_or(LinkFile());
    const QDateTime now = QDateTime::currentDateTime();
    NoticeSources sources{previous.get(), &history, now};
    sources.links = &links;
    sources.judged = retried_.get();
    notices_ = FindPriceNotices(*grid_, sources, alerts);
    retried_.reset();
    // Stored before anything is sent, so that a window closed while sending
    // tells none of these again. A run that changed prices is saved right
    // after this as a record, and the crossings go in the same change.
    if (alerts.Text() != before) {
        if (run_ && run_->LastRunChangedGrid())
            session_.alertsAfterRun = alerts.Text();
        else if (const Result<void> saved = alerts.Save(path); !saved)
            ShowFileFailure(QStringLiteral("保存提醒状态"), saved.error());
    }
    if (notices_.empty())
        return;
    notifier_->Notify(QStringLiteral("降价提醒：%1 个价格").arg(notices_.size()), NoticeBody(notices_),
                      [this] { OpenFirstNotice(); });
    SendToChannels(NoticesJson(notices_, {}, now));
}

void PriceNoticesController::SendToChannels(const QByteArray &json)
{
    const Result<std::vector<NoticeChannel>> channels = LoadChannels(settingsFolder_);
    if (!channels) {
        window_->ShowStatusNote(QStringLiteral("降价提醒未发送：提醒方式的设置无法读取（") + PathText(channels.error().path)
                                + QStringLiteral("）"));
        return;
    }
    if (std::none_of(channels->begin(), channels->end(), [](const NoticeChannel &c) { return c.enabled; }))
        return;
    window_->ShowStatusNote(QStringLiteral("正在发送降价提醒……"));
    DeliveryOptions options = delivery_;
    options.cancel = cancel_.get();
    QPointer<PriceNoticesController> self(this);
    QThreadPool::globalInstance()->start(
        [self, channels = *channels, message = RunNoticeMessage(notices_, json), options, cancel = cancel_] {
            const std::vector<ChannelReport> reports = DeliverToEnabled(channels, message, options);
            QMetaObject::invokeMethod(QCoreApplication::instance(), [self, reports, cancel] {
                if (!self || cancel->load())
                    return;
                self->window_->ShowStatusNote(ReportsText(reports));
                emit self->channelsAnswered(reports);
            });
        });
}

void PriceNoticesController::MarkLowestPrices(const PriceHistoryIndex &history)
{
    std::set<std::pair<int, int>> lowest;
    const QDateTime now = QDateTime::currentDateTime();
    for (int c = kFirstSiteColumn; c < grid_->ColumnCount(); ++c) {
        for (int r = 0; r < grid_->RowCount(); ++r) {
            const std::string &product = grid_->Text(r, kProductTitleColumn);
            const std::optional<double> price = product.empty() ? std::nullopt : ReadPrice(grid_->Text(r, c));
            if (price && StandingOf(history, *grid_, c, product, *price, now).lowest)
                lowest.insert({r, c});
        }
    }
    marks_->Delegate()->SetLowestCells(std::move(lowest));
}

void PriceNoticesController::ApplyDropFilter()
{
    ProductListPage *page = window_->ListPage();
    const bool on = page->DropFilterOn() && !(run_ && run_->Running());
    const PriceChanges &changes = marks_->Delegate()->Changes();
    for (int r = 0; r < grid_->RowCount(); ++r) {
        bool dropped = false;
        for (int c = kFirstSiteColumn; c < grid_->ColumnCount() && !dropped; ++c)
            dropped = changes.At(r, c).change == PriceChange::Lower;
        page->GridView()->setRowHidden(r, QModelIndex(), on && !dropped);
    }
}

void PriceNoticesController::OpenFirstNotice()
{
    if (notices_.empty())
        return;
    window_->ShowTab(MainTab::List);
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
    const int row = notices_.front().row;
    if (row < grid_->RowCount()) {
        window_->ListPage()->GridView()->setRowHidden(row, QModelIndex(), false);
        window_->ListPage()->SelectAndShowRow(row);
    }
}

} // namespace corvix
