#pragma once
// When the change marks of the product grid are shown and against which
// record: after a run or a retry the grid's prices are compared with the
// record saved before them, and a viewed record with the one listed before it.
// A run clears them until it ends; rows rebuilt otherwise clear them too.
// Shop columns are widened to their marked prices whenever the marks are taken
// outside a run.
#include "products/RecordList.h"

#include <QObject>

#include <optional>
#include <string>

namespace corvix {

struct Session;

class CaptureRunController;
class MainWindow;
class PriceChangeDelegate;
class ProductGridModel;
class RecordListController;

class ChangeMarksController : public QObject {
    Q_OBJECT
public:
    // Draws the marks on the window's product grid and follows the run and the
    // record list.
    ChangeMarksController(MainWindow *window, Session &session, CaptureRunController *run,
                          RecordListController *records);

    // The grid's rows were restored from the record named name (GBK, without
    // ".txt") at start-up, or the run's results were saved as it: they are
    // marked against the record before it, and so is a retry over them.
    void GridLoadedFrom(const std::string &name);
    PriceChangeDelegate *Delegate() const { return delegate_; }
    // The record the grid shows (GBK, without ".txt"); empty for results never saved.
    const std::string &ShownRecord() const { return shownRecord_; }
    // The record the grid's prices follow: the one saved last for unsaved
    // results, else the one saved before the record shown (LastSaved.h).
    std::optional<RecordListEntry> EarlierRecord() const;

signals:
    // The marks were taken again (or cleared).
    void marksChanged();

private:
    void RunStarted(bool retry);
    void RunEnded();
    void RecordViewed(const std::string &name);
    void CurrentResultsBack();
    void ShowChangesSince(std::optional<RecordListEntry> earlier);

    MainWindow *window_;
    ProductGridModel *grid_;
    Session &session_;
    PriceChangeDelegate *delegate_;
    std::string shownRecord_; // empty while the grid holds the results of a run
    // The record of the current results, which 返回当前结果 brings back after a
    // viewed one; empty for results never saved.
    std::string currentRecord_;
    std::optional<RecordListEntry> earlier_;
    bool running_ = false;
    bool windowClosed_ = false;
};

} // namespace corvix
