#pragma once
// The price alerts in the window: "设置提醒…" in the grid's menu, the bell of
// the products with one, the notice on the desktop after a run or a retry
// (PriceNotices.h), "历史最低" in the tooltips of the run's prices, and the
// toggle "降价" that shows only the rows with a lower price than before.
#include "products/PriceNotices.h"

#include <QObject>

#include <memory>
#include <vector>

namespace corvix {

struct Session;

class AlertDialog;
class CaptureRunController;
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
    // The notices of the last run.
    const std::vector<PriceNotice> &LastNotices() const { return notices_; }
    // What a click on the notice does: the window in front, its first row shown.
    void OpenFirstNotice();

private:
    void RunEnded();
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
};

} // namespace corvix
