#include "ui/capture/CaptureRunController.h"

#include "support/Events.h"
#include "ui/Session.h"
#include "ui/capture/CaptureResult.h"
#include "ui/capture/CaptureWindow.h"
#include "products/LinkFile.h"
#include "products/ProductGridModel.h"
#include "rules/RuleFile.h"
#include "support/Gbk.h"
#include "support/HostName.h"
#include "support/TextUtils.h"
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"
#include "ui/pages/ProductListPage.h"

#include <vector>

namespace corvix {
namespace {

// The address a stored or imported link is captured from, or empty when the
// link is not captured: it must carry "http", and it must name a web page, so
// that no local file or script address is ever loaded into the grid.
std::string CaptureAddress(std::string_view link)
{
    if (FindText(link, "http") == kNotFound)
        return {};
    return WebAddress(link);
}

// Entry k (1-based) of the enabled rules, the rule of grid column k + 1.
Rule ColumnRule(const Session &session, int k)
{
    const auto &rules = session.enabledRules;
    if (k < 1 || k > static_cast<int>(rules.size()))
        return {};
    return rules[static_cast<size_t>(k - 1)].rule;
}

// Before a cell that is not captured: nothing is cleared from the last link.
void PrepareCell(Session &session)
{
    CaptureState &capture = session.capture;
    capture.rule = Rule{};
    capture.currentLink.clear();
    session.currentCell.row = 0;
    session.currentCell.column = 0;
}

void ShowBadLinkMessage()
{
    ShowMessage(QStringLiteral("您输入的链接不正确,录入失败"));
}

} // namespace

class CaptureRunController::RunScope {
public:
    explicit RunScope(CaptureRunController &owner) : owner_(owner) { owner_.running_ = true; }
    ~RunScope()
    {
        owner_.running_ = false;
        if (!owner_.windowClosed_)
            owner_.window_->HideRunProgress();
        emit owner_.runEnded();
    }
    RunScope(const RunScope &) = delete;
    RunScope &operator=(const RunScope &) = delete;

private:
    CaptureRunController &owner_;
};

CaptureRunController::CaptureRunController(MainWindow *window, Session &session)
    : QObject(window), window_(window), grid_(window->ListPage()->Grid()), session_(session)
{
    connect(window_->ListPage(), &ProductListPage::runRequested, this, &CaptureRunController::RunCapture);
    connect(window_->ListPage(), &ProductListPage::retryRequested, this, &CaptureRunController::RetryFailed);
    connect(window_, &MainWindow::aboutToBeDestroyed, this, [this] { windowClosed_ = true; });
    SetCaptureGrid(grid_);
}

void CaptureRunController::ShowProgress(int done, int total, int row)
{
    if (!Stopped())
        window_->ShowRunProgress(done, total, FromGbk(grid_->Text(row, 1)));
}

void CaptureRunController::RunCapture()
{
    if (running_)
        return;
    RunScope scope(*this);
    session_.resultsChanged = true;
    // A copy: an import made while the run waits between links takes effect
    // at the next run, not in the middle of this one.
    const std::string buffer = session_.importBuffer;
    if (!buffer.empty())
        CaptureFromImport(buffer);
    else
        CaptureFromLinkFile();
}

void CaptureRunController::CaptureFromLinkFile()
{
    const DataDirs &dirs = session_.dirs;
    // Counted on the file's structure: "[A" inside a title or link is no product.
    const int products = LinkFile::Load(LinkFilePath(dirs)).ProductCount();
    if (products == 0) {
        ShowMessage(QStringLiteral("链接为空,执行不了"));
        return;
    }
    grid_->ClearRows();
    grid_->SetShowsOlderRecord(false);
    const int siteColumns = grid_->ColumnCount() - 2;
    const int total = products * siteColumns;
    int done = 0;
    for (int i = 0; i < products && !Stopped(); ++i) {
        ProcessPendingEvents();
        const int r = grid_->AppendRow();
        grid_->SetText(r, 0, std::to_string(r + 1));
        grid_->SetText(r, 1, ReadLink(dirs, i, "title"));
        for (int k = 1; k <= grid_->ColumnCount() - 2 && !Stopped(); ++k, ++done) {
            ShowProgress(done, total, r);
            ProcessPendingEventsThrottled();
            PrepareCell(session_);
            const std::string address = CaptureAddress(ReadLink(dirs, i, grid_->Title(k + 1)));
            if (address.empty()) {
                ShowBadLinkMessage();
                continue;
            }
            CaptureOneLink(session_, address, ColumnRule(session_, k), r, k + 1);
        }
    }
}

void CaptureRunController::CaptureFromImport(const std::string &buffer)
{
    const DataDirs &dirs = session_.dirs;
    grid_->ClearRows();
    grid_->SetShowsOlderRecord(false);
    const std::vector<std::string> lines = SplitText(buffer, "\r\n");
    // Fields beyond the last site column have no rule and no column to be
    // written under: they are skipped.
    const int lastColumn = grid_->ColumnCount() - 1;
    std::vector<std::vector<std::string>> products;
    products.reserve(lines.size());
    int total = 0;
    for (const std::string &line : lines) {
        products.push_back(SplitText(line, ","));
        const int n = static_cast<int>(products.back().size());
        if (n >= 2)
            total += std::max(0, std::min(n, lastColumn) - 1);
    }
    int done = 0;
    // url.ini keeps the links for the next runs; when it cannot be written the
    // user hears of it once, and the captures go on.
    bool writeFailed = false;
    const auto writeLink = [&](int row, const std::string &key, const std::string &value) {
        if (!WriteLink(dirs, row, key, value) && !writeFailed) {
            writeFailed = true;
            ShowWriteFailure(QStringLiteral("保存链接"), LinkFilePath(dirs));
        }
    };
    for (const std::vector<std::string> &fields : products) {
        if (Stopped())
            break;
        ProcessPendingEvents();
        const int n = static_cast<int>(fields.size());
        if (n < 2)
            continue;
        const int r = grid_->AppendRow();
        grid_->SetText(r, 0, std::to_string(r + 1));
        grid_->SetText(r, 1, fields[0]);
        writeLink(r, "title", fields[0]);
        for (int j = 2; j <= n && j <= grid_->ColumnCount() - 1 && !Stopped(); ++j, ++done) {
            ShowProgress(done, total, r);
            ProcessPendingEventsThrottled();
            PrepareCell(session_);
            const std::string &link = fields[static_cast<size_t>(j - 1)];
            const std::string address = CaptureAddress(link);
            if (address.empty()) {
                ShowBadLinkMessage();
                continue;
            }
            CaptureOneLink(session_, address, ColumnRule(session_, j - 1), r, j);
            writeLink(r, grid_->Title(j), link);
        }
    }
}

void CaptureRunController::RetryFailed()
{
    if (running_)
        return;
    RunScope scope(*this);
    session_.resultsChanged = true;
    // The retried rows are this run's results from now on, whatever they were.
    grid_->SetShowsOlderRecord(false);
    const DataDirs &dirs = session_.dirs;
    const std::string failed = Gbk("获取失败");
    const std::string badLink = Gbk("链接不正确");
    // Only site cells hold prices: the ID and the title are never captured.
    constexpr int kFirstSiteColumn = 2;
    const auto wanted = [&](int row, int column) {
        const std::string &text = grid_->Text(row, column);
        return text.empty() || text == failed;
    };
    int total = 0;
    for (int i = 0; i < grid_->RowCount(); ++i)
        for (int j = kFirstSiteColumn; j < grid_->ColumnCount(); ++j)
            total += wanted(i, j) ? 1 : 0;
    int done = 0;
    for (int i = 0; i < grid_->RowCount() && !Stopped(); ++i) {
        ProcessPendingEventsThrottled();
        for (int j = kFirstSiteColumn; j < grid_->ColumnCount() && !Stopped(); ++j) {
            ProcessPendingEventsThrottled();
            if (!wanted(i, j))
                continue;
            ShowProgress(done++, total, i);
            const std::string &title = grid_->Title(j);
            const std::string address = CaptureAddress(ReadLink(dirs, i, title));
            if (address.empty()) {
                grid_->SetText(i, j, badLink);
                continue;
            }
            // Read anew: a rule edited since start-up takes effect here.
            CaptureOneLink(session_, address, ParseRule(ReadRuleText(dirs, title, StopAt::ZeroByte)), i, j);
        }
    }
}

} // namespace corvix
