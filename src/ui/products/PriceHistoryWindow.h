#pragma once
// The price history of one product ("价格走势"): a line chart with a line per
// shop over the record times, broken where a capture failed, with points, a
// legend, a tooltip per point and rubber-band zoom; below it a table of the
// same prices as the shops wrote them (a row per record, a column per shop);
// "导出" writes that table to a workbook.
#include "products/ChartAxes.h"
#include "products/PriceHistoryTable.h"

#include <QPointer>
#include <QWidget>

#include <optional>
#include <string>
#include <utility>
#include <vector>

class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;
class QPushButton;
class QTableWidget;

namespace corvix {

class ExportRun;
class PriceHistoryIndex;
class PriceHistoryLoader;
class UiSettings;

class PriceHistoryWindow : public QWidget {
    Q_OBJECT
public:
    // The history of the product titled title at the shops (GBK titles in
    // column order), from the loader's index: at once when it is ready, else as
    // soon as it is. A separate window that deletes itself when closed.
    PriceHistoryWindow(std::string title, std::vector<std::string> shops, const PriceHistoryLoader &loader,
                       QWidget *parent = nullptr);

    QChart *Chart() const { return chart_; }
    QTableWidget *Table() const { return table_; }
    const PriceHistoryTable &History() const { return history_; }
    // What the tooltip says for the point of the chart's series s nearest to x:
    // the shop, the record's time and the price as the shop wrote it. A shop
    // has a series per run of prices between failed captures.
    QString PointToolTip(int s, double x) const;
    // Shows prices per unit (the toggle "单价"): sizes[k] is the pack size of shop k.
    void ShowUnitPrices(std::vector<std::optional<Amount>> sizes, PriceUnit unit);
    // Asks for a file name and writes the table there as a workbook.
    void ExportHistory();
    // The export starts in, and remembers, the last export folder of settings.
    void KeepExportFolderIn(UiSettings *settings) { settings_ = settings; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildLayout();
    void Fill(const PriceHistoryIndex &index);
    // The chart and the table from raw_, in unit prices when asked for.
    void Show();
    void FillChart();
    void AddSegment(size_t shop, std::vector<size_t> rows);
    void AddOutOfStockMarks(size_t shop);
    PriceAxis FittedPriceAxis() const;
    void AddTimeAxis();
    void RoundTimes(QDateTimeAxis *axis, const QDateTime &from, const QDateTime &to);
    void AddRecordAxis();
    void AddPriceAxis();
    void SetPriceTicks(QValueAxis *axis, const PriceAxis &ticks);
    void FillTable();
    // The x of a row: its time on a time axis, else its position.
    double RowX(size_t row) const;

    std::string title_;
    std::vector<std::string> shops_;
    PriceHistoryTable history_; // as shown
    PriceHistoryTable raw_;     // as the records hold it
    bool filled_ = false;
    std::optional<std::pair<std::vector<std::optional<Amount>>, PriceUnit>> unitView_;
    std::vector<std::vector<size_t>> rowsOfSeries_; // the table row of each point of each chart series
    std::vector<size_t> shopOfSeries_;              // the shop of each chart series
    bool roundingTimes_ = false;
    QChart *chart_ = nullptr;
    QChartView *chartView_ = nullptr;
    QTableWidget *table_ = nullptr;
    QPushButton *export_ = nullptr;
    QPointer<ExportRun> exportRun_;
    UiSettings *settings_ = nullptr;
};

} // namespace corvix
