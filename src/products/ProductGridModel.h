#pragma once
// The product table behind the list view 超级列表框1 (ProductGrid): column 0 "ID",
// column 1 "商品名称", then one column per enabled rule. Cells and titles are GBK.
// A plain item model, so that the view stays fast with tens of thousands of rows.
#include <QAbstractTableModel>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace corvix {

// Column 1 holds the product's title; the site columns follow it.
inline constexpr int kProductTitleColumn = 1;
inline constexpr int kFirstSiteColumn = 2;
// true for a cell that still shows a text from before the current run.
inline constexpr int kNotRefreshedRole = Qt::UserRole + 1;

class ProductGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        std::string title; // GBK
        int width = 60;
        Qt::Alignment alignment = Qt::AlignHCenter;
    };

    explicit ProductGridModel(QObject *parent = nullptr);

    int RowCount() const { return static_cast<int>(rows_.size()); }
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const std::string &Title(int column) const;
    const Column &ColumnAt(int column) const { return columns_.at(static_cast<size_t>(column)); }
    // The column whose title equals title exactly, or -1.
    int FindColumn(const std::string &title) const;
    // The titles of the site columns, left to right: link k of an imported
    // line belongs to shop k.
    std::vector<std::string> ShopTitles() const;

    void AddColumn(const std::string &title, int width, Qt::Alignment alignment);
    // The two columns every product grid starts with: "ID" and "商品名称".
    void AddFixedColumns();
    // The cells of the new column start empty; every other cell stays under its title.
    void InsertColumn(int column, const std::string &title, int width, Qt::Alignment alignment);

    // Empty text for cells outside the table.
    const std::string &Text(int row, int column) const;
    void SetText(int row, int column, const std::string &text);
    // Appends a blank row and returns its index.
    int AppendRow();
    // Appends many rows at once (each row is cut or padded to the column count).
    void AppendRows(std::vector<std::vector<std::string>> rows);
    void RemoveRow(int row);
    // Puts a row back at `row` (cut or padded to the column count).
    void InsertRow(int row, std::vector<std::string> cells);
    void ClearRows();
    // Column 0 of every row becomes its 1-based number.
    void RenumberIds();

    // True while the rows are a saved record the user chose to look at, not the
    // results of this run or the ones restored at start-up. The rows of such a
    // record need not match the sections of url.ini nor the lines of the newest
    // record, so nothing may be deleted through them. A new grid shows current
    // results.
    bool ShowsOlderRecord() const { return showsOlderRecord_; }
    void SetShowsOlderRecord(bool older);
    // Cells that still show a text from before the current run (a stopped run
    // did not reach them): drawn grey until a result of theirs comes in.
    void MarkNotRefreshed(const std::vector<std::pair<int, int>> &cells);
    void MarkRefreshed(int row, int column);
    bool NotRefreshed(int row, int column) const;

    // Every row, as the cells hold it.
    const std::vector<std::vector<std::string>> &Rows() const { return rows_; }

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void showsOlderRecordChanged(bool older);

private:
    // Rows from fromRow move by rowShift, columns from fromColumn by columnShift.
    void MoveNotRefreshed(int fromRow, int rowShift, int fromColumn, int columnShift);

    std::vector<Column> columns_;
    std::vector<std::vector<std::string>> rows_;
    std::unordered_set<uint64_t> notRefreshed_; // row << 32 | column
    bool showsOlderRecord_ = false;
};

} // namespace corvix
