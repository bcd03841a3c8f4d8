#include "ui/products/PriceHistoryWindow.h"

#include "ui/products/PriceChangeDelegate.h"

#include "products/ExcelExport.h"
#include "products/PriceHistoryLoader.h"
#include "products/ProductGridModel.h"
#include "support/Gbk.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBox.h"
#include "ui/products/ExportController.h"
#include "ui/pages/PageControls.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QPushButton>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvix {
namespace {

constexpr qint64 kHalfDayMs = 12LL * 3600 * 1000;

} // namespace

PriceHistoryWindow::PriceHistoryWindow(std::string title, std::vector<std::string> shops,
                                       const PriceHistoryLoader &loader, QWidget *parent)
    : QWidget(parent, Qt::Window), title_(std::move(title)), shops_(std::move(shops))
{
    setObjectName(QStringLiteral("价格走势"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("价格走势 - ") + FromGbk(title_));
    setAccessibleName(QStringLiteral("价格走势：") + FromGbk(title_));
    resize(820, 640);
    BuildLayout();
    if (loader.IsReady()) {
        Fill(loader.Index());
        return;
    }
    chart_->setTitle(QStringLiteral("正在读取记录……"));
    connect(&loader, &PriceHistoryLoader::ready, this, [this, &loader] { Fill(loader.Index()); },
            Qt::SingleShotConnection);
}

void PriceHistoryWindow::BuildLayout()
{
    chart_ = new QChart;
    chart_->legend()->setVisible(true);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chartView_ = Named(new QChartView(chart_), QStringLiteral("走势图"));
    chartView_->setRenderHint(QPainter::Antialiasing);
    chartView_->setRubberBand(QChartView::RectangleRubberBand);
    chartView_->setAccessibleName(QStringLiteral("价格走势图"));
    table_ = Named(new QTableWidget, QStringLiteral("走势表"));
    table_->setAccessibleName(QStringLiteral("价格表"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto *resetZoom = Button(QStringLiteral("还原缩放"), QStringLiteral("还原缩放"), 81);
    export_ = Button(QStringLiteral("导出"), QStringLiteral("导出"), 81);
    export_->setEnabled(false);
    connect(resetZoom, &QPushButton::clicked, chart_, &QChart::zoomReset);
    connect(export_, &QPushButton::clicked, this, &PriceHistoryWindow::ExportHistory);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(resetZoom);
    buttons->addWidget(export_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(chartView_, 3);
    layout->addWidget(table_, 2);
    layout->addLayout(buttons);
}

void PriceHistoryWindow::Fill(const PriceHistoryIndex &index)
{
    raw_ = TabulateHistory(index.History(title_, shops_));
    filled_ = true;
    Show();
}

void PriceHistoryWindow::ShowUnitPrices(std::vector<std::optional<Amount>> sizes, PriceUnit unit)
{
    unitView_.emplace(std::move(sizes), unit);
    if (filled_)
        Show();
}

void PriceHistoryWindow::Show()
{
    history_ = unitView_ ? InUnitPrices(raw_, unitView_->first, unitView_->second) : raw_;
    chart_->removeAllSeries();
    for (QAbstractAxis *axis : chart_->axes())
        chart_->removeAxis(axis), delete axis;
    FillChart();
    if (unitView_)
        chart_->setTitle(chart_->title() + QStringLiteral("（单价：每") + QString::fromUtf8(UnitCaption(unitView_->second))
                         + QStringLiteral("）"));
    FillTable();
    export_->setEnabled(!history_.rows.empty() && !exportRun_);
}

double PriceHistoryWindow::RowX(size_t row) const
{
    if (history_.AllTimed())
        return static_cast<double>(history_.rows[row].time->toMSecsSinceEpoch());
    return static_cast<double>(row);
}

void PriceHistoryWindow::FillChart()
{
    chart_->setTitle(history_.rows.empty() ? FromGbk(title_) + QStringLiteral("：记录里没有它的价格") : FromGbk(title_));
    rowsOfSeries_.clear();
    shopOfSeries_.clear();
    for (size_t s = 0; s < history_.shops.size(); ++s) {
        std::vector<std::vector<size_t>> segments = PriceSegments(history_, s);
        if (segments.empty())
            segments.emplace_back(); // the shop still has its entry in the legend
        for (std::vector<size_t> &segment : segments)
            AddSegment(s, std::move(segment));
    }
    if (history_.rows.empty())
        return;
    // After every line: the tooltips find a line by its place among the series.
    for (size_t s = 0; s < history_.shops.size(); ++s)
        AddOutOfStockMarks(s);
    if (history_.AllTimed())
        AddTimeAxis();
    else
        AddRecordAxis();
    AddPriceAxis();
}

// A line per run of a shop's prices between failed captures; all of a shop's
// lines look alike and share the shop's one entry in the legend.
void PriceHistoryWindow::AddSegment(size_t shop, std::vector<size_t> rows)
{
    auto *series = new QLineSeries;
    series->setName(FromGbk(history_.shops[shop]));
    series->setPointsVisible(true);
    for (const size_t r : rows)
        series->append(RowX(r), *history_.rows[r].prices[shop]);
    const int index = static_cast<int>(rowsOfSeries_.size());
    connect(series, &QLineSeries::hovered, this, [this, index](const QPointF &point, bool entered) {
        if (entered)
            QToolTip::showText(QCursor::pos(), PointToolTip(index, point.x()), chartView_);
        else
            QToolTip::hideText();
    });
    const bool first = shopOfSeries_.empty() || shopOfSeries_.back() != shop;
    const QColor colour = first ? QColor() : static_cast<QLineSeries *>(chart_->series().back())->color();
    chart_->addSeries(series);
    if (!first) {
        series->setColor(colour);
        for (QLegendMarker *marker : chart_->legend()->markers(series))
            marker->setVisible(false);
    }
    rowsOfSeries_.push_back(std::move(rows));
    shopOfSeries_.push_back(shop);
}

// Records at which the shop had the product out of stock: squares of their
// own colour along the foot of the price axis, apart from any price and from
// the gaps that failed captures leave.
void PriceHistoryWindow::AddOutOfStockMarks(size_t shop)
{
    const std::vector<size_t> rows = OutOfStockRows(history_, shop);
    if (rows.empty())
        return;
    auto *marks = new QScatterSeries;
    marks->setName(FromGbk(history_.shops[shop]) + QStringLiteral(" 缺货"));
    marks->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    marks->setMarkerSize(10);
    marks->setColor(PriceChangeDelegate::kOutOfStock);
    marks->setBorderColor(PriceChangeDelegate::kOutOfStock);
    // Just above the axis, so that the whole square shows.
    const PriceAxis fit = FittedPriceAxis();
    const double foot = fit.low + (fit.high - fit.low) * 0.03;
    for (const size_t r : rows)
        marks->append(RowX(r), foot);
    connect(marks, &QScatterSeries::hovered, this, [this, shop, marks](const QPointF &point, bool entered) {
        if (!entered) {
            QToolTip::hideText();
            return;
        }
        const QList<QPointF> points = marks->points();
        for (qsizetype i = 0; i < points.size(); ++i)
            if (points[i] == point) {
                const PriceHistoryRow &row = history_.rows[OutOfStockRows(history_, shop)[static_cast<size_t>(i)]];
                QToolTip::showText(QCursor::pos(), FromGbk(history_.shops[shop]) + QStringLiteral("\n")
                                                       + FromGbk(RowLabel(row)) + QStringLiteral("：缺货（")
                                                       + FromGbk(row.texts[shop]) + QStringLiteral("）"),
                                   chartView_);
            }
    });
    chart_->addSeries(marks);
}

PriceAxis PriceHistoryWindow::FittedPriceAxis() const
{
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    for (const PriceHistoryRow &row : history_.rows)
        for (const std::optional<double> &price : row.prices)
            if (price) {
                low = std::min(low, *price);
                high = std::max(high, *price);
            }
    if (low > high) // only failed captures: any range will do
        low = high = 0.0;
    return PriceAxisFor(low, high);
}

void PriceHistoryWindow::AddTimeAxis()
{
    auto *axis = new QDateTimeAxis;
    axis->setTitleText(QStringLiteral("记录时间"));
    QDateTime first = *history_.rows.front().time;
    QDateTime last = *history_.rows.back().time;
    // One record, or records of one moment, still get a span to stand in.
    if (first == last) {
        first = first.addMSecs(-kHalfDayMs);
        last = last.addMSecs(kHalfDayMs);
    }
    chart_->addAxis(axis, Qt::AlignBottom);
    for (QAbstractSeries *series : chart_->series())
        series->attachAxis(axis);
    // A zoom leaves any range: each is widened to whole days or round times.
    connect(axis, &QDateTimeAxis::rangeChanged, this, [this, axis](const QDateTime &from, const QDateTime &to) {
        if (!roundingTimes_)
            RoundTimes(axis, from, to);
    });
    RoundTimes(axis, first, last);
}

void PriceHistoryWindow::RoundTimes(QDateTimeAxis *axis, const QDateTime &from, const QDateTime &to)
{
    const TimeAxis round = RoundTimeAxis(from, to);
    roundingTimes_ = true;
    axis->setFormat(round.format);
    axis->setTickCount(round.tickCount);
    axis->setRange(round.from, round.to);
    roundingTimes_ = false;
}

// Records whose names are no times stand at their positions, labelled by name.
void PriceHistoryWindow::AddRecordAxis()
{
    auto *axis = new QCategoryAxis;
    axis->setTitleText(QStringLiteral("记录"));
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    for (size_t r = 0; r < history_.rows.size(); ++r)
        axis->append(FromGbk(RowLabel(history_.rows[r])), static_cast<double>(r));
    axis->setRange(-0.5, static_cast<double>(history_.rows.size()) - 0.5);
    chart_->addAxis(axis, Qt::AlignBottom);
    for (QAbstractSeries *series : chart_->series())
        series->attachAxis(axis);
}

void PriceHistoryWindow::AddPriceAxis()
{
    auto *axis = new QValueAxis;
    axis->setTitleText(QStringLiteral("价格"));
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    const PriceAxis fit = FittedPriceAxis();
    axis->setRange(fit.low, fit.high);
    SetPriceTicks(axis, fit);
    chart_->addAxis(axis, Qt::AlignLeft);
    for (QAbstractSeries *series : chart_->series())
        series->attachAxis(axis);
    // After a zoom the ticks keep to round steps; the range stays as zoomed.
    connect(axis, &QValueAxis::rangeChanged, this,
            [this, axis](qreal from, qreal to) { SetPriceTicks(axis, PriceTicks(from, to)); });
}

void PriceHistoryWindow::SetPriceTicks(QValueAxis *axis, const PriceAxis &ticks)
{
    const int decimals = std::max(ticks.decimals, PriceDecimals(history_));
    axis->setTickInterval(ticks.step);
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(decimals) + QStringLiteral("f"));
}

void PriceHistoryWindow::FillTable()
{
    table_->clear();
    table_->setColumnCount(static_cast<int>(history_.shops.size()));
    table_->setRowCount(static_cast<int>(history_.rows.size()));
    QStringList shops;
    for (const std::string &shop : history_.shops)
        shops << FromGbk(shop);
    table_->setHorizontalHeaderLabels(shops);
    QStringList times;
    for (size_t r = 0; r < history_.rows.size(); ++r) {
        const PriceHistoryRow &row = history_.rows[r];
        times << FromGbk(RowLabel(row));
        for (size_t s = 0; s < row.texts.size(); ++s) {
            if (row.texts[s].empty())
                continue;
            // As the shop wrote it, failures too; a sold-out cell says so.
            auto *item = new QTableWidgetItem(FromGbk(row.texts[s]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (unitView_ && row.prices[s]) {
                item->setText(QString::number(*row.prices[s], 'f', 2));
                item->setToolTip(QStringLiteral("包装价：") + FromGbk(row.texts[s]));
            }
            if (row.OutOfStock(s)) {
                item->setText(QStringLiteral("缺货"));
                item->setToolTip(FromGbk(row.texts[s]));
                item->setForeground(PriceChangeDelegate::kOutOfStock);
                item->setBackground(PriceChangeDelegate::kOutOfStockBackground);
            }
            table_->setItem(static_cast<int>(r), static_cast<int>(s), item);
        }
    }
    table_->setVerticalHeaderLabels(times);
}

QString PriceHistoryWindow::PointToolTip(int s, double x) const
{
    const QList<QAbstractSeries *> all = chart_->series();
    if (s < 0 || s >= all.size() || static_cast<size_t>(s) >= rowsOfSeries_.size())
        return {};
    const size_t shop = shopOfSeries_[static_cast<size_t>(s)];
    const QList<QPointF> points = static_cast<QLineSeries *>(all[s])->points();
    if (points.isEmpty())
        return {};
    qsizetype nearest = 0;
    for (qsizetype i = 1; i < points.size(); ++i)
        if (std::fabs(points[i].x() - x) < std::fabs(points[nearest].x() - x))
            nearest = i;
    const PriceHistoryRow &row = history_.rows[rowsOfSeries_[static_cast<size_t>(s)][static_cast<size_t>(nearest)]];
    return FromGbk(history_.shops[shop]) + QStringLiteral("\n") + FromGbk(RowLabel(row)) + QStringLiteral("：") +
           FromGbk(row.texts[shop]);
}

void PriceHistoryWindow::ExportHistory()
{
    if (exportRun_)
        return;
    exportRun_ = ExportPriceHistory(this, *HistoryAsGrid(history_), FromGbk(title_), settings_);
    if (!exportRun_)
        return;
    // One export at a time, whatever the window does meanwhile.
    export_->setEnabled(false);
    connect(exportRun_, &ExportRun::ended, this, [this] { export_->setEnabled(!history_.rows.empty()); });
}

// The workbook asked for is written (or its failure told) before the window goes.
void PriceHistoryWindow::closeEvent(QCloseEvent *event)
{
    if (exportRun_)
        exportRun_->Finish();
    QWidget::closeEvent(event);
}

} // namespace corvix
