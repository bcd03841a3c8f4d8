#include "ui/capture/CaptureRun.h"

#include "products/LinkFile.h"
#include "products/ProductGridModel.h"
#include "rules/RuleFile.h"
#include "support/Events.h"
#include "support/Gbk.h"
#include "support/HostName.h"
#include "support/TextUtils.h"
#include "ui/Session.h"
#include "ui/capture/CaptureWindow.h"
#include "ui/capture/ParallelCaptureWindow.h"
#include "capture/LinkScheduler.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>

#include <algorithm>
#include <optional>
#include <set>

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

// Before each cell of a run: a cell whose link is rejected names no cell to
// the grid's menu.
void ForgetCurrentCell(Session &session)
{
    session.currentCell.row = 0;
    session.currentCell.column = 0;
}

const std::string &FailureText()
{
    static const std::string text = Gbk("获取失败");
    return text;
}

const std::string &BadLinkText()
{
    static const std::string text = Gbk("链接不正确");
    return text;
}

double SecondsSince(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

} // namespace

QString BadLinkSummary(const std::vector<BadLink> &links)
{
    constexpr size_t kLinesShown = 20;
    QString text = QStringLiteral("您输入的链接不正确,录入失败");
    for (size_t i = 0; i < links.size() && i < kLinesShown; ++i)
        text += u'\n' + FromGbk(links[i].product) + QStringLiteral(" / ") + FromGbk(links[i].shop);
    if (links.size() > kLinesShown)
        text += QStringLiteral("\n……共 %1 条").arg(links.size());
    return text;
}

CaptureRun::CaptureRun(Session &session, ProductGridModel &grid, QObject *parent)
    : QObject(parent), session_(session), grid_(grid)
{
}

CaptureRun::~CaptureRun() = default;

void CaptureRun::SetParallelLinks(int links)
{
    parallelLinks_ = std::clamp(links, 1, kMaxParallelLinks);
}

CaptureWindow &CaptureRun::Window()
{
    if (window_)
        return *window_;
    window_ = std::make_unique<CaptureWindow>(&browsers_[0]);
    // The grid as context: a grid destroyed meanwhile takes nothing.
    QPointer<ProductGridModel> grid(&grid_);
    connect(window_.get(), &CaptureWindow::captured, &grid_,
            [this, grid](const CaptureJob &reported, const std::string &text) {
                result_ = text;
                grid->SetText(reported.row, reported.column, text);
            });
    connect(window_.get(), &CaptureWindow::downloadedWithoutPrice, &grid_,
            [grid](const CaptureJob &loading) { grid->SetText(loading.row, loading.column, {}); });
    connect(window_.get(), &CaptureWindow::stopRequested, this, &CaptureRun::Stop);
    return *window_;
}

ParallelCaptureWindow &CaptureRun::Panes(int count)
{
    if (panes_ && static_cast<int>(panes_->Panes().size()) == count)
        return *panes_;
    panes_.reset();
    std::vector<WarmBrowser *> browsers;
    for (int i = 0; i < count; ++i)
        browsers.push_back(&browsers_[static_cast<size_t>(i)]);
    panes_ = std::make_unique<ParallelCaptureWindow>(browsers);
    QPointer<ProductGridModel> grid(&grid_);
    for (CaptureWindow *pane : panes_->Panes())
        connect(pane, &CaptureWindow::downloadedWithoutPrice, &grid_,
                [grid](const CaptureJob &loading) { grid->SetText(loading.row, loading.column, {}); });
    connect(panes_.get(), &ParallelCaptureWindow::stopRequested, this, &CaptureRun::Stop);
    return *panes_;
}

RunSummary CaptureRun::Finished(RunSummary summary)
{
    window_.reset();
    panes_.reset();
    return summary;
}

std::string CaptureRun::CaptureLink(const CaptureJob &job)
{
    QElapsedTimer timer;
    timer.start();
    result_.clear();
    emit linkStarted(job);
    CaptureWindow &window = Window();
    window.Capture(job);
    const std::string result = std::move(result_);
    emit linkFinished(job, result, SecondsSince(timer));
    return result;
}

void CaptureRun::ReportBadLink(const Plan &plan, const CaptureJob &job, RunSummary &summary)
{
    // A run lists the product and shop in its closing message; a retry marks the cell.
    if (plan.retry)
        grid_.SetText(job.row, job.column, BadLinkText());
    else
        summary.badLinks.push_back({job.product, job.shop});
    Count(summary, {});
    emit linkFinished(job, BadLinkText(), 0);
}

void CaptureRun::Count(RunSummary &summary, const std::string &result) const
{
    ++summary.done;
    if (!result.empty() && result != FailureText())
        ++summary.priced;
}

CaptureRun::Plan CaptureRun::PlanFromLinkFile(int products) const
{
    Plan plan;
    const DataDirs &dirs = session_.dirs;
    const int siteColumns = grid_.ColumnCount() - 2;
    plan.rows.reserve(static_cast<size_t>(products));
    for (int i = 0; i < products; ++i) {
        plan.rows.push_back({.title = ReadLink(dirs, i, "title"), .imported = false, .links = {}});
        for (int k = 1; k <= siteColumns; ++k) {
            std::string stored = ReadLink(dirs, i, grid_.Title(k + 1));
            std::string address = CaptureAddress(stored);
            plan.links.push_back({.row = i, .column = k + 1, .stored = std::move(stored), .address = std::move(address)});
        }
    }
    return plan;
}

CaptureRun::Plan CaptureRun::PlanFromImport(const std::string &buffer) const
{
    Plan plan;
    // Fields beyond the last site column have no rule and no column to be
    // written under: they are skipped.
    const int lastColumn = grid_.ColumnCount() - 1;
    for (const std::string &line : SplitText(buffer, "\r\n")) {
        std::vector<std::string> fields = SplitText(line, ",");
        const int n = static_cast<int>(fields.size());
        if (n < 2)
            continue;
        const int row = static_cast<int>(plan.rows.size());
        PlannedRow planned{.title = fields[0], .imported = true, .links = {}};
        for (int j = 2; j <= n && j <= lastColumn; ++j) {
            std::string link = fields[static_cast<size_t>(j - 1)];
            std::string address = CaptureAddress(link);
            if (!address.empty())
                planned.links.emplace_back(grid_.Title(j), link);
            plan.links.push_back({.row = row, .column = j, .stored = std::move(link), .address = std::move(address)});
        }
        plan.rows.push_back(std::move(planned));
    }
    return plan;
}

CaptureRun::Plan CaptureRun::PlanRetry() const
{
    Plan plan;
    plan.retry = true;
    // Only site cells hold prices: the ID and the title are never captured.
    constexpr int kFirstSiteColumn = 2;
    for (int i = 0; i < grid_.RowCount(); ++i) {
        for (int j = kFirstSiteColumn; j < grid_.ColumnCount(); ++j) {
            const std::string &text = grid_.Text(i, j);
            if (!text.empty() && text != FailureText())
                continue;
            std::string stored = ReadLink(session_.dirs, i, grid_.Title(j));
            std::string address = CaptureAddress(stored);
            plan.links.push_back({.row = i, .column = j, .stored = std::move(stored), .address = std::move(address)});
        }
    }
    return plan;
}

void CaptureRun::OpenRowsThrough(const Plan &plan, int row, RunSummary &summary)
{
    while (grid_.RowCount() <= row && grid_.RowCount() < static_cast<int>(plan.rows.size())) {
        if (!sideBySide_)
            ProcessPendingEvents();
        const PlannedRow &planned = plan.rows[static_cast<size_t>(grid_.RowCount())];
        const int r = grid_.AppendRow();
        grid_.SetText(r, 0, std::to_string(r + 1));
        grid_.SetText(r, 1, planned.title);
        if (!planned.imported)
            continue;
        // url.ini keeps the links for the next runs; a failed write is told once,
        // after the run, and the captures go on.
        bool kept = WriteLink(session_.dirs, r, "title", planned.title);
        for (const auto &[shop, link] : planned.links)
            kept = WriteLink(session_.dirs, r, shop, link) && kept;
        if (!kept)
            summary.linkFileWriteFailed = true;
    }
}

CaptureJob CaptureRun::BeginLink(const Plan &plan, const PlannedLink &link, RunSummary &summary)
{
    OpenRowsThrough(plan, link.row, summary);
    emit progress(summary.done, summary.total, link.row);
    // Links side by side start from the run's own event loop, which keeps the
    // window responsive; pumping events here would start links inside links.
    if (!sideBySide_)
        ProcessPendingEventsThrottled();
    ForgetCurrentCell(session_);
    CaptureJob job{.row = link.row, .column = link.column, .link = link.address, .rule = {},
                   .product = grid_.Text(link.row, 1), .shop = grid_.Title(link.column)};
    if (link.address.empty()) {
        job.link = link.stored;
        return job;
    }
    // A retry reads each rule anew: a rule edited since start-up takes effect here.
    job.rule = plan.retry ? ParseRule(ReadRuleText(session_.dirs, job.shop, StopAt::ZeroByte))
                          : ColumnRule(session_, link.column - 1);
    // The grid's menu acts on the cell of the last link captured until a site
    // cell is right-clicked.
    session_.currentCell.row = job.row;
    session_.currentCell.column = job.column;
    return job;
}

void CaptureRun::RunPlan(const Plan &plan, RunSummary &summary)
{
    summary.total = static_cast<int>(plan.links.size());
    std::vector<std::string> hosts;
    hosts.reserve(plan.links.size());
    for (const PlannedLink &link : plan.links)
        hosts.push_back(link.address.empty() ? std::string() : HostOfAddress(link.address));
    // No more panes than hosts: links of one host never load side by side anyway.
    std::set<std::string> distinct(hosts.begin(), hosts.end());
    distinct.erase(std::string());
    const int panes = std::min(parallelLinks_, static_cast<int>(distinct.size()));
    LinkScheduler schedule(hosts, panes);
    sideBySide_ = panes > 1;
    if (sideBySide_)
        CaptureSideBySide(plan, schedule, panes, summary);
    else
        CaptureOneByOne(plan, schedule, summary);
    // Rows without links (a grid without site columns) are built all the same.
    if (!stopRequested_ && !plan.rows.empty())
        OpenRowsThrough(plan, static_cast<int>(plan.rows.size()) - 1, summary);
    sideBySide_ = false;
    summary.stopped = stopRequested_;
}

void CaptureRun::CaptureOneByOne(const Plan &plan, LinkScheduler &schedule, RunSummary &summary)
{
    while (!stopRequested_) {
        const std::optional<size_t> next = schedule.Next();
        if (!next)
            break;
        const CaptureJob job = BeginLink(plan, plan.links[*next], summary);
        if (plan.links[*next].address.empty())
            ReportBadLink(plan, job, summary);
        else
            Count(summary, CaptureLink(job));
        schedule.Finished(*next);
    }
}

void CaptureRun::CaptureSideBySide(const Plan &plan, LinkScheduler &schedule, int paneCount, RunSummary &summary)
{
    ParallelCaptureWindow &window = Panes(paneCount);
    const std::vector<CaptureWindow *> &panes = window.Panes();
    struct Slot {
        std::optional<size_t> link;
        CaptureJob job;
        std::string result;
        QElapsedTimer timer;
    };
    std::vector<Slot> paneLinks(panes.size());
    QEventLoop loop;
    const auto startMore = [&] {
        if (stopRequested_)
            schedule.DropWaiting();
        while (const std::optional<size_t> next = schedule.Next()) {
            const PlannedLink &link = plan.links[*next];
            CaptureJob job = BeginLink(plan, link, summary);
            if (link.address.empty()) {
                ReportBadLink(plan, job, summary);
                continue;
            }
            const auto idle = std::find_if(paneLinks.begin(), paneLinks.end(), [](const Slot &s) { return !s.link; });
            const auto pane = static_cast<size_t>(idle - paneLinks.begin());
            idle->link = *next;
            idle->job = job;
            idle->result.clear();
            idle->timer.start();
            emit linkStarted(job);
            window.ShowForRun();
            panes[pane]->Start(std::move(job));
        }
        if (schedule.Done())
            loop.quit();
    };
    std::vector<QMetaObject::Connection> connections;
    QPointer<ProductGridModel> grid(&grid_);
    for (size_t i = 0; i < panes.size(); ++i) {
        connections.push_back(connect(panes[i], &CaptureWindow::captured, &grid_,
                                      [grid, &paneLinks, i](const CaptureJob &reported, const std::string &text) {
                                          paneLinks[i].result = text;
                                          grid->SetText(reported.row, reported.column, text);
                                      }));
        connections.push_back(connect(panes[i], &CaptureWindow::captureEnded, this, [&, i] {
            Slot &slot = paneLinks[i];
            if (!slot.link)
                return;
            panes[i]->StopLoading();
            const size_t link = *slot.link;
            slot.link.reset();
            Count(summary, slot.result);
            emit linkFinished(slot.job, slot.result, SecondsSince(slot.timer));
            schedule.Finished(link);
            startMore();
        }));
    }
    startMore();
    if (!schedule.Done())
        loop.exec(QEventLoop::DialogExec);
    for (const QMetaObject::Connection &connection : connections)
        disconnect(connection);
}

RunSummary CaptureRun::RunFromImportOrLinkFile()
{
    stopRequested_ = false;
    // A copy: an import made while the run waits between links takes effect
    // at the next run, not in the middle of this one.
    const std::string buffer = session_.importBuffer;
    RunSummary summary;
    // Counted on the file's structure: "[A" inside a title or link is no product.
    const int products = buffer.empty() ? LinkFile::Load(LinkFilePath(session_.dirs)).ProductCount() : 0;
    if (buffer.empty() && products == 0) {
        summary.noLinks = true;
        return Finished(summary);
    }
    grid_.ClearRows();
    grid_.SetShowsOlderRecord(false);
    RunPlan(buffer.empty() ? PlanFromLinkFile(products) : PlanFromImport(buffer), summary);
    return Finished(summary);
}

RunSummary CaptureRun::RetryFailed()
{
    stopRequested_ = false;
    RunSummary summary;
    // The retried rows are this run's results from now on, whatever they were.
    grid_.SetShowsOlderRecord(false);
    RunPlan(PlanRetry(), summary);
    return Finished(summary);
}

} // namespace corvix
