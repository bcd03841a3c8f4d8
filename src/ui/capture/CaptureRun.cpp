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

#include <QElapsedTimer>
#include <QPointer>

#include <algorithm>

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
    window_ = std::make_unique<CaptureWindow>(&browser_);
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

RunSummary CaptureRun::Finished(RunSummary summary)
{
    window_.reset();
    return summary;
}

std::string CaptureRun::CaptureLink(const CaptureJob &job)
{
    // The grid's menu acts on the cell of the last link captured until a site
    // cell is right-clicked.
    session_.currentCell.row = job.row;
    session_.currentCell.column = job.column;
    QElapsedTimer timer;
    timer.start();
    result_.clear();
    CaptureWindow &window = Window();
    window.Capture(job);
    const std::string result = std::move(result_);
    emit linkFinished(job, result, static_cast<double>(timer.nsecsElapsed()) / 1e9);
    return result;
}

void CaptureRun::ReportBadLink(RunSummary &summary, const CaptureJob &job)
{
    Count(summary, {});
    static const std::string badLink = Gbk("链接不正确");
    emit linkFinished(job, badLink, 0);
}

void CaptureRun::Count(RunSummary &summary, const std::string &result) const
{
    ++summary.done;
    if (!result.empty() && result != FailureText())
        ++summary.priced;
}

RunSummary CaptureRun::RunFromImportOrLinkFile()
{
    stopRequested_ = false;
    // A copy: an import made while the run waits between links takes effect
    // at the next run, not in the middle of this one.
    const std::string buffer = session_.importBuffer;
    RunSummary summary = buffer.empty() ? CaptureFromLinkFile() : CaptureFromImport(buffer);
    summary.stopped = stopRequested_;
    return Finished(summary);
}

RunSummary CaptureRun::CaptureFromLinkFile()
{
    RunSummary summary;
    const DataDirs &dirs = session_.dirs;
    // Counted on the file's structure: "[A" inside a title or link is no product.
    const int products = LinkFile::Load(LinkFilePath(dirs)).ProductCount();
    if (products == 0) {
        summary.noLinks = true;
        return summary;
    }
    grid_.ClearRows();
    grid_.SetShowsOlderRecord(false);
    const int siteColumns = grid_.ColumnCount() - 2;
    summary.total = products * siteColumns;
    for (int i = 0; i < products && !stopRequested_; ++i) {
        ProcessPendingEvents();
        const int r = grid_.AppendRow();
        grid_.SetText(r, 0, std::to_string(r + 1));
        grid_.SetText(r, 1, ReadLink(dirs, i, "title"));
        for (int k = 1; k <= grid_.ColumnCount() - 2 && !stopRequested_; ++k) {
            emit progress(summary.done, summary.total, r);
            ProcessPendingEventsThrottled();
            ForgetCurrentCell(session_);
            const std::string &shop = grid_.Title(k + 1);
            const std::string stored = ReadLink(dirs, i, shop);
            const std::string address = CaptureAddress(stored);
            if (address.empty()) {
                summary.badLinks.push_back({grid_.Text(r, 1), shop});
                ReportBadLink(summary, {.row = r, .column = k + 1, .link = stored, .rule = {}, .product = grid_.Text(r, 1),
                                        .shop = shop});
                continue;
            }
            Count(summary, CaptureLink({.row = r, .column = k + 1, .link = address, .rule = ColumnRule(session_, k),
                                        .product = grid_.Text(r, 1), .shop = shop}));
        }
    }
    return summary;
}

RunSummary CaptureRun::CaptureFromImport(const std::string &buffer)
{
    RunSummary summary;
    const DataDirs &dirs = session_.dirs;
    grid_.ClearRows();
    grid_.SetShowsOlderRecord(false);
    const std::vector<std::string> lines = SplitText(buffer, "\r\n");
    // Fields beyond the last site column have no rule and no column to be
    // written under: they are skipped.
    const int lastColumn = grid_.ColumnCount() - 1;
    std::vector<std::vector<std::string>> products;
    products.reserve(lines.size());
    for (const std::string &line : lines) {
        products.push_back(SplitText(line, ","));
        const int n = static_cast<int>(products.back().size());
        if (n >= 2)
            summary.total += std::max(0, std::min(n, lastColumn) - 1);
    }
    // url.ini keeps the links for the next runs; a failed write is told once,
    // after the run, and the captures go on.
    const auto writeLink = [&](int row, const std::string &key, const std::string &value) {
        if (!WriteLink(dirs, row, key, value))
            summary.linkFileWriteFailed = true;
    };
    for (const std::vector<std::string> &fields : products) {
        if (stopRequested_)
            break;
        ProcessPendingEvents();
        const int n = static_cast<int>(fields.size());
        if (n < 2)
            continue;
        const int r = grid_.AppendRow();
        grid_.SetText(r, 0, std::to_string(r + 1));
        grid_.SetText(r, 1, fields[0]);
        writeLink(r, "title", fields[0]);
        for (int j = 2; j <= n && j <= grid_.ColumnCount() - 1 && !stopRequested_; ++j) {
            emit progress(summary.done, summary.total, r);
            ProcessPendingEventsThrottled();
            ForgetCurrentCell(session_);
            const std::string &link = fields[static_cast<size_t>(j - 1)];
            const std::string address = CaptureAddress(link);
            if (address.empty()) {
                summary.badLinks.push_back({fields[0], grid_.Title(j)});
                ReportBadLink(summary, {.row = r, .column = j, .link = link, .rule = {}, .product = fields[0],
                                        .shop = grid_.Title(j)});
                continue;
            }
            Count(summary, CaptureLink({.row = r, .column = j, .link = address, .rule = ColumnRule(session_, j - 1),
                                        .product = fields[0], .shop = grid_.Title(j)}));
            writeLink(r, grid_.Title(j), link);
        }
    }
    return summary;
}

RunSummary CaptureRun::RetryFailed()
{
    stopRequested_ = false;
    RunSummary summary;
    // The retried rows are this run's results from now on, whatever they were.
    grid_.SetShowsOlderRecord(false);
    const DataDirs &dirs = session_.dirs;
    const std::string badLink = Gbk("链接不正确");
    // Only site cells hold prices: the ID and the title are never captured.
    constexpr int kFirstSiteColumn = 2;
    const auto wanted = [&](int row, int column) {
        const std::string &text = grid_.Text(row, column);
        return text.empty() || text == FailureText();
    };
    for (int i = 0; i < grid_.RowCount(); ++i)
        for (int j = kFirstSiteColumn; j < grid_.ColumnCount(); ++j)
            summary.total += wanted(i, j) ? 1 : 0;
    for (int i = 0; i < grid_.RowCount() && !stopRequested_; ++i) {
        ProcessPendingEventsThrottled();
        for (int j = kFirstSiteColumn; j < grid_.ColumnCount() && !stopRequested_; ++j) {
            ProcessPendingEventsThrottled();
            if (!wanted(i, j))
                continue;
            emit progress(summary.done, summary.total, i);
            const std::string &title = grid_.Title(j);
            const std::string stored = ReadLink(dirs, i, title);
            const std::string address = CaptureAddress(stored);
            if (address.empty()) {
                grid_.SetText(i, j, badLink);
                ReportBadLink(summary, {.row = i, .column = j, .link = stored, .rule = {}, .product = grid_.Text(i, 1),
                                        .shop = title});
                continue;
            }
            // Read anew: a rule edited since start-up takes effect here.
            const Rule rule = ParseRule(ReadRuleText(dirs, title, StopAt::ZeroByte));
            Count(summary, CaptureLink({.row = i, .column = j, .link = address, .rule = rule,
                                        .product = grid_.Text(i, 1), .shop = title}));
        }
    }
    summary.stopped = stopRequested_;
    return Finished(summary);
}

} // namespace corvix
