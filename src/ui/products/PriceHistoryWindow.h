#pragma once
// The price history of one product ("价格走势"): a line chart with a line per
// shop over the record times, with points, a legend, a tooltip per point and
// rubber-band zoom; below it a table of the same prices (a row per record, a
// column per shop); "导出" writes that table to a workbook.
#include "products/PriceHistoryTable.h"

#include <QWidget>

#include <string>
#include <vector>

class QChart;
class QChartView;
class QLineSeries;
class QPushButton;
class QTableWidget;

namespace corvix {

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
    // the shop, the record's time and the price.
    QString PointToolTip(int s, double x) const;
    // Asks for a file name and writes the table there as a workbook.
    void ExportHistory();
    // The export starts in, and remembers, the last export folder of settings.
    void KeepExportFolderIn(UiSettings *settings) { settings_ = settings; }

private:
    void BuildLayout();
    void Fill(const PriceHistoryIndex &index);
    void FillChart();
    void AddTimeAxis();
    void AddRecordAxis();
    void AddPriceAxis();
    void FillTable();
    // The x of a row: its time on a time axis, else its position.
    double RowX(size_t row) const;

    std::string title_;
    std::vector<std::string> shops_;
    PriceHistoryTable history_;
    std::vector<std::vector<size_t>> rowsOfSeries_; // the table row of each point
    QChart *chart_ = nullptr;
    QChartView *chartView_ = nullptr;
    QTableWidget *table_ = nullptr;
    QPushButton *export_ = nullptr;
    UiSettings *settings_ = nullptr;
};

} // namespace corvix
