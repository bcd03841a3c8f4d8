#pragma once
// The price alerts in the window: "设置提醒…" and "提醒方式…" in the grid's menu,
// the bell of the products with one, the notice on the desktop after a run or
// a retry (PriceNotices.h) and the same notices sent to the enabled channels
// (off the window thread, the outcome in the status bar), "历史最低" in the
// tooltips of the run's prices, and the toggle "降价" that shows only the rows
// with a lower price than before.
#include "products/PriceNotices.h"

#include "products/NoticeDelivery.h"

#include <QObject>

#include <atomic>
#include <filesystem>
#include <memory>
#include <vector>

namespace corvix {

struct Session;

class AlertDialog;
class CaptureRunController;
class NoticeChannelsDialog;
class ChangeMarksController;
class DesktopNotifier;
class MainWindow;
class PriceHistoryLoader;
class ProductGridModel;

class PriceNoticesController : public QObject {
    Q_OBJECT
public:
    // Follows the run's end after marks (connected before this) have taken
    // their record; history gives the earlier prices.
    PriceNoticesController(MainWindow *window, Session &session, CaptureRunController *run,
                           ChangeMarksController *marks, PriceHistoryLoader &history,
                           std::unique_ptr<DesktopNotifier> notifier);
    ~PriceNoticesController() override;

    // Opens "设置提醒" (window-modal) for the selected row, on the shop cell
    // last right-clicked in it if any; nullptr, told, for a row without a title.
    AlertDialog *SetAlert();
    // Opens "提醒方式" (window-modal); nullptr, told, when the settings cannot be read.
    NoticeChannelsDialog *SetChannels();
    // The notices of the last run.
    const std::vector<PriceNotice> &LastNotices() const { return notices_; }
    // Where the channels' settings are kept (the user's settings folder by default).
    void SetSettingsFolder(std::filesystem::path folder) { settingsFolder_ = std::move(folder); }
    // How the channels are sent to (tests shorten the limits).
    void SetDeliveryOptions(DeliveryOptions options) { delivery_ = std::move(options); }

    // What a click on the notice does: the window in front, its first row shown.
    void OpenFirstNotice();

signals:
    // The channels have answered the notices of a run: one report each.
    void channelsAnswered(const std::vector<ChannelReport> &reports);

private:
    void RunStarted(bool retry);
    void RunEnded();
    void SendToChannels(const QByteArray &json);
    void StoreAlert(const AlertDialog &dialog);
    // The bells and their tooltips from alerts.ini.
    void ShowAlerts();
    void MarkLowestPrices(const PriceHistoryIndex &history);
    void ApplyDropFilter();

    MainWindow *window_;
    ProductGridModel *grid_;
    Session &session_;
    const CaptureRunController *run_;
    ChangeMarksController *marks_;
    PriceHistoryLoader &history_;
    std::unique_ptr<DesktopNotifier> notifier_;
    std::vector<PriceNotice> notices_;
    bool windowClosed_ = false;
    // A retry's prices as it started: judged by the run that captured them.
    std::unique_ptr<ProductGridModel> retried_;
    std::filesystem::path settingsFolder_;
    DeliveryOptions delivery_;
    std::shared_ptr<std::atomic_bool> cancel_;
};

} // namespace corvix
