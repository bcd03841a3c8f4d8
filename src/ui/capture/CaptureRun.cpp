#include "ui/capture/CaptureRun.h"

#include "capture/CellTexts.h"
#include "products/LinkFile.h"
#include "products/PriceChanges.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "rules/RuleFile.h"
#include "ui/Events.h"
#include "support/Gbk.h"
#include "support/HostName.h"
#include "support/TextUtils.h"
#include "ui/Session.h"
#include "ui/capture/CapturePane.h"
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
    for (CapturePane *pane : panes_->Panes())
        connect(pane, &CapturePane::downloadedWithoutPrice, &grid_,
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

void CaptureRun::EndLink(const CaptureJob &job, const std::string &before, const std::string &result,
                         RunSummary &summary)
{
    if (result.empty())
        grid_.SetText(job.row, job.column, before);
    else
        grid_.MarkRefreshed(job.row, job.column);
    ++summary.done;
    switch (ClassifyCell(result)) {
    case CellState::Empty:
    case CellState::Failed:
        break;
    case CellState::OutOfStock:
        ++summary.outOfStock;
        break;
    default:
        ++summary.priced;
    }
}

void CaptureRun::PassLink(const CapturePlan &plan, const PlannedLink &link, const CaptureJob &job,
                          RunSummary &summary)
{
    if (link.kind == LinkKind::Missing) {
        emit linkSkipped(job);
        return;
    }
    // A run lists the product and shop in its closing message; a retry marks the cell.
    if (plan.retry)
        grid_.SetText(job.row, job.column, BadLinkText());
    else
        summary.badLinks.push_back({job.product, job.shop});
    ++summary.done;
    emit linkFinished(job, BadLinkText(), 0);
}

CaptureJob CaptureRun::BeginLink(const CapturePlan &plan, const PlannedLink &link, const RunSummary &summary)
{
    emit progress(summary.done, summary.total, link.row);
    // Links side by side start from the run's own event loop, which keeps the
    // window responsive; pumping events here would start links inside links.
    if (!sideBySide_)
        ProcessPendingEventsThrottled();
    ForgetCurrentCell(session_);
    CaptureJob job{.row = link.row, .column = link.column, .link = link.address, .rule = {},
                   .product = grid_.Text(link.row, kProductTitleColumn), .shop = grid_.Title(link.column)};
    if (link.kind != LinkKind::Web) {
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

void CaptureRun::RunPlan(const CapturePlan &plan, RunSummary &summary)
{
    summary.total = plan.CountedLinks();
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
    sideBySide_ = false;
    summary.stopped = stopRequested_;
}

void CaptureRun::CaptureOneByOne(const CapturePlan &plan, LinkScheduler &schedule, RunSummary &summary)
{
    while (!stopRequested_) {
        const std::optional<size_t> next = schedule.Next();
        if (!next)
            break;
        const PlannedLink &link = plan.links[*next];
        const CaptureJob job = BeginLink(plan, link, summary);
        if (link.kind != LinkKind::Web) {
            PassLink(plan, link, job, summary);
        } else {
            const std::string before = grid_.Text(job.row, job.column);
            EndLink(job, before, CaptureLink(job), summary);
        }
        schedule.Finished(*next);
    }
}

void CaptureRun::CaptureSideBySide(const CapturePlan &plan, LinkScheduler &schedule, int paneCount, RunSummary &summary)
{
    ParallelCaptureWindow &window = Panes(paneCount);
    const std::vector<CapturePane *> &panes = window.Panes();
    struct Slot {
        std::optional<size_t> link;
        CaptureJob job;
        std::string before;
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
            if (link.kind != LinkKind::Web) {
                PassLink(plan, link, job, summary);
                schedule.Finished(*next);
                continue;
            }
            const auto idle = std::find_if(paneLinks.begin(), paneLinks.end(), [](const Slot &s) { return !s.link; });
            const auto pane = static_cast<size_t>(idle - paneLinks.begin());
            idle->link = *next;
            idle->job = job;
            idle->before = grid_.Text(job.row, job.column);
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
        connections.push_back(connect(panes[i], &CapturePane::captured, &grid_,
                                      [grid, &paneLinks, i](const CaptureJob &reported, const std::string &text) {
                                          paneLinks[i].result = text;
                                          grid->SetText(reported.row, reported.column, text);
                                      }));
        connections.push_back(connect(panes[i], &CapturePane::captureEnded, this, [&, i] {
            Slot &slot = paneLinks[i];
            if (!slot.link)
                return;
            panes[i]->StopLoading();
            const size_t link = *slot.link;
            slot.link.reset();
            EndLink(slot.job, slot.before, slot.result, summary);
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

RunSummary CaptureRun::RunFromLinkFile()
{
    stopRequested_ = false;
    RunSummary summary;
    const LinkFile links = LinkFile::Load(LinkFilePath(session_.dirs)).value_or(LinkFile());
    // Counted on the file's structure: "[A" inside a title or link is no product.
    if (links.ProductCount() == 0) {
        summary.noLinks = true;
        return Finished(summary);
    }
    wholePlan_ = PlanFromLinkFile(links, grid_.ShopTitles());
    const CapturePlan plan = part_ ? PlanForPart(wholePlan_, *part_) : wholePlan_;
    // A stopped run leaves every product and the prices it did not reach.
    ShowPlanRows(grid_, plan, session_.dirs.dbDir, KeptTexts::NotRefreshed);
    RunPlan(plan, summary);
    return Finished(summary);
}

RunSummary CaptureRun::RetryFailed()
{
    stopRequested_ = false;
    RunSummary summary;
    // The retried rows are this run's results from now on, whatever they were.
    grid_.SetShowsOlderRecord(false);
    RunPlan(PlanRetry(grid_, LinkFile::Load(LinkFilePath(session_.dirs)).value_or(LinkFile())), summary);
    return Finished(summary);
}

} // namespace corvix
