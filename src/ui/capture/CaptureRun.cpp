#include "ui/capture/CaptureRun.h"

#include "capture/CellTexts.h"
#include "products/LinkFile.h"
#include "products/ProductGridModel.h"
#include "rules/RuleFile.h"
#include "support/Gbk.h"
#include "ui/Session.h"
#include "ui/capture/CapturePane.h"
#include "ui/capture/CaptureWindow.h"
#include "ui/capture/ParallelCaptureWindow.h"

#include <QMetaObject>

#include <algorithm>

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

double SecondsSince(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Links that load nothing go one after another without a return to the event
// loop for at most this long, so that the window stays responsive.
constexpr qint64 kBusyMs = 20;

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

void CaptureRun::StartFromLinkFile()
{
    if (running_)
        return;
    running_ = true;
    const std::optional<LinkFile> links = LinksOrEnd();
    if (!links)
        return;
    // Counted on the file's structure: "[A" inside a title or link is no product.
    if (links->ProductCount() == 0) {
        RunSummary summary;
        summary.noLinks = true;
        return EndWithoutLinks(std::move(summary));
    }
    wholePlan_ = PlanFromLinkFile(*links, grid_.ShopTitles());
    CapturePlan plan = part_ ? PlanForPart(wholePlan_, *part_) : wholePlan_;
    // A stopped run leaves every product and the prices it did not reach.
    ShowPlanRows(grid_, plan, session_.dirs.dbDir, KeptTexts::NotRefreshed);
    Begin(std::move(plan));
}

void CaptureRun::StartRetry()
{
    if (running_)
        return;
    running_ = true;
    const std::optional<LinkFile> links = LinksOrEnd();
    if (!links)
        return;
    // The retried rows are this run's results from now on, whatever they were.
    grid_.SetShowsOlderRecord(false);
    Begin(PlanRetry(grid_, *links));
}

void CaptureRun::EndWithoutLinks(RunSummary summary)
{
    course_.reset();
    endedEarly_ = std::move(summary);
    finishing_ = true;
    QMetaObject::invokeMethod(this, &CaptureRun::Finish, Qt::QueuedConnection);
}

std::optional<LinkFile> CaptureRun::LinksOrEnd()
{
    Result<LinkFile> links = AbsentAsEmpty(LinkFile::Load(LinkFilePath(session_.dirs)));
    if (links)
        return std::move(*links);
    RunSummary summary;
    summary.unreadable = links.error();
    EndWithoutLinks(std::move(summary));
    return std::nullopt;
}

void CaptureRun::Begin(CapturePlan plan)
{
    endedEarly_.reset();
    course_.emplace(std::move(plan), parallelLinks_);
    started_.assign(static_cast<size_t>(course_->PaneCount()), QElapsedTimer());
    BeginLinks();
}

void CaptureRun::Stop()
{
    if (!running_ || !course_)
        return;
    course_->Stop();
    // Only links that load nothing were left: nothing else will end the run.
    if (course_->Done() && !finishing_ && !beginQueued_) {
        finishing_ = true;
        QMetaObject::invokeMethod(this, &CaptureRun::Finish, Qt::QueuedConnection);
    }
}

CaptureJob CaptureRun::JobFor(const PlannedLink &link)
{
    // A cell whose link is rejected names no cell to the grid's menu.
    session_.currentCell.row = 0;
    session_.currentCell.column = 0;
    CaptureJob job{.row = link.row, .column = link.column, .link = link.address, .rule = {},
                   .product = grid_.Text(link.row, kProductTitleColumn), .shop = grid_.Title(link.column)};
    if (link.kind != LinkKind::Web) {
        job.link = link.stored;
        return job;
    }
    // A retry reads each rule anew: a rule edited since start-up takes effect here.
    job.rule = course_->Plan().retry ? ParseRule(ReadRuleText(session_.dirs, job.shop, StopAt::ZeroByte))
                                     : ColumnRule(session_, link.column - 1);
    // The grid's menu acts on the cell of the last link captured until a site
    // cell is right-clicked.
    session_.currentCell.row = job.row;
    session_.currentCell.column = job.column;
    return job;
}

void CaptureRun::BeginLinks()
{
    beginQueued_ = false;
    if (!course_ || finishing_)
        return;
    QElapsedTimer busy;
    busy.start();
    const auto shown = [this](int row, int column) { return grid_.Text(row, column); };
    for (;;) {
        const int done = course_->Summary().done;
        const std::optional<CourseStep> step = course_->Next(shown);
        if (!step)
            break;
        const PlannedLink &link = course_->Plan().links[step->link];
        emit progress(done, course_->Summary().total, link.row);
        CaptureJob job = JobFor(link);
        switch (step->kind) {
        case CourseStep::Kind::Skip:
            emit linkSkipped(job);
            break;
        case CourseStep::Kind::Bad:
            Apply(step->changes);
            emit linkFinished(job, BadLinkText(), 0);
            break;
        case CourseStep::Kind::Load: {
            RunPanes &window = Window(course_->PaneCount());
            const auto pane = static_cast<size_t>(step->pane);
            emit linkStarted(job);
            started_[pane].start();
            window.Panes()[pane]->Start(std::move(job));
            window.ShowForRun();
            break;
        }
        }
        if (busy.elapsed() >= kBusyMs) {
            beginQueued_ = true;
            QMetaObject::invokeMethod(this, &CaptureRun::BeginLinks, Qt::QueuedConnection);
            return;
        }
    }
    if (course_->Done()) {
        // From the event loop: this may run inside a handler of the window's own panes.
        finishing_ = true;
        QMetaObject::invokeMethod(this, &CaptureRun::Finish, Qt::QueuedConnection);
    }
}

void CaptureRun::OnPaneEnded(int pane)
{
    if (!course_ || !window_ || !course_->Loading(pane))
        return;
    CapturePane *ended = window_->Panes()[static_cast<size_t>(pane)];
    // Its images and scripts would go on holding the host's connections.
    ended->StopLoading();
    const std::optional<LinkEnd> end = course_->Ended(pane);
    Apply(end->changes);
    emit linkFinished(ended->State().Job(), end->result, SecondsSince(started_[static_cast<size_t>(pane)]));
    BeginLinks();
}

void CaptureRun::Apply(const std::vector<CellChange> &changes)
{
    for (const CellChange &change : changes) {
        if (change.kind == CellChange::Kind::Refreshed)
            grid_.MarkRefreshed(change.row, change.column);
        else
            grid_.SetText(change.row, change.column, change.text);
    }
}

RunPanes &CaptureRun::Window(int count)
{
    if (window_)
        return *window_;
    std::vector<WarmBrowser *> browsers;
    for (int i = 0; i < count; ++i)
        browsers.push_back(&browsers_[static_cast<size_t>(i)]);
    // One pane has the capture window of a single link; several share a window.
    if (count == 1)
        window_ = std::make_unique<CaptureWindow>(browsers.front());
    else
        window_ = std::make_unique<ParallelCaptureWindow>(browsers);
    const std::vector<CapturePane *> &panes = window_->Panes();
    for (int i = 0; i < static_cast<int>(panes.size()); ++i) {
        CapturePane *pane = panes[static_cast<size_t>(i)];
        connect(pane, &CapturePane::captured, this, [this, i](const CaptureJob &, const std::string &text) {
            if (course_)
                Apply(course_->Captured(i, text));
        });
        connect(pane, &CapturePane::downloadedWithoutPrice, this, [this, i](const CaptureJob &) {
            if (course_)
                Apply(course_->DownloadedWithoutPrice(i));
        });
        connect(pane, &CapturePane::captureEnded, this, [this, i] { OnPaneEnded(i); });
        connect(pane, &CapturePane::stopRequested, this, &CaptureRun::Stop);
    }
    return *window_;
}

void CaptureRun::Finish()
{
    window_.reset();
    const RunSummary summary = endedEarly_ ? *endedEarly_ : course_->Summary();
    endedEarly_.reset();
    finishing_ = false;
    running_ = false;
    emit runEnded(summary);
}

} // namespace corvix
