#pragma once
// The capture run: 按钮9 ("开始抓取") captures every product link of the last
// import, or of url.ini when there is none; 按钮10 ("失败重抓") captures again the
// cells that are empty or "获取失败". One modal CaptureWindow per link, whose
// result goes into the link's grid cell.
#include <QObject>

#include <string>

namespace corvix {

struct CaptureJob;
struct Session;

class MainWindow;
class ProductGridModel;

class CaptureRunController : public QObject {
    Q_OBJECT
public:
    explicit CaptureRunController(MainWindow *window, Session &session);

    void RunCapture();
    void RetryFailed();
    // True from the start of a run or retry until its loops end. A click on
    // either button meanwhile is ignored: a second run inside the first would
    // clear and rebuild the grid under it.
    bool Running() const { return running_; }

signals:
    // A run or retry has left its loops (finished, or stopped by the closed window).
    void runEnded();

private:
    class RunScope;
    // Shows the modal capture window of job and returns once it has gone.
    void CaptureLink(const CaptureJob &job);
    void CaptureFromImport(const std::string &buffer);
    void CaptureFromLinkFile();
    void ShowProgress(int done, int total, int row);
    bool Stopped() const { return windowClosed_; }

    MainWindow *window_;
    ProductGridModel *grid_;
    bool running_ = false;
    // The main window was closed while a run was going on: the remaining links
    // are not captured, so nothing changes after the shutdown save.
    bool windowClosed_ = false;
    Session &session_;
};

} // namespace corvix
