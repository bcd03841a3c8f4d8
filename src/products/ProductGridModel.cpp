#include "products/ProductGridModel.h"

#include "support/Gbk.h"

#include <algorithm>

namespace corvix {
namespace {
const std::string kEmpty;

uint64_t CellKey(int row, int column)
{
    return static_cast<uint64_t>(static_cast<uint32_t>(row)) << 32 | static_cast<uint32_t>(column);
}
} // namespace

ProductGridModel::ProductGridModel(QObject *parent) : QAbstractTableModel(parent) {}

const std::string &ProductGridModel::Title(int column) const
{
    if (column < 0 || column >= ColumnCount())
        return kEmpty;
    return columns_[static_cast<size_t>(column)].title;
}

std::vector<std::string> ProductGridModel::ShopTitles() const
{
    std::vector<std::string> shops;
    for (int c = kFirstSiteColumn; c < ColumnCount(); ++c)
        shops.push_back(Title(c));
    return shops;
}

int ProductGridModel::FindColumn(const std::string &title) const
{
    for (int c = 0; c < ColumnCount(); ++c)
        if (columns_[static_cast<size_t>(c)].title == title)
            return c;
    return -1;
}

void ProductGridModel::AddColumn(const std::string &title, int width, Qt::Alignment alignment)
{
    InsertColumn(ColumnCount(), title, width, alignment);
}

void ProductGridModel::AddFixedColumns()
{
    AddColumn("ID", 50, Qt::AlignLeft);
    AddColumn(Gbk("商品名称"), 200, Qt::AlignHCenter);
}

void ProductGridModel::InsertColumn(int column, const std::string &title, int width, Qt::Alignment alignment)
{
    column = std::clamp(column, 0, ColumnCount());
    beginInsertColumns({}, column, column);
    columns_.insert(columns_.begin() + column, {title, width, alignment});
    for (auto &row : rows_) {
        if (row.size() < static_cast<size_t>(column))
            row.resize(static_cast<size_t>(column));
        row.insert(row.begin() + column, std::string());
    }
    MoveNotRefreshed(0, 0, column, 1);
    endInsertColumns();
}

const std::string &ProductGridModel::Text(int row, int column) const
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= ColumnCount())
        return kEmpty;
    return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

void ProductGridModel::SetText(int row, int column, const std::string &text)
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= ColumnCount())
        return;
    rows_[static_cast<size_t>(row)][static_cast<size_t>(column)] = text;
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

int ProductGridModel::AppendRow()
{
    const int r = RowCount();
    beginInsertRows({}, r, r);
    rows_.emplace_back(columns_.size());
    endInsertRows();
    return r;
}

void ProductGridModel::AppendRows(std::vector<std::vector<std::string>> rows)
{
    if (rows.empty())
        return;
    const int first = RowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    // No exact reserve here: records arrive batch by batch, and growing to the
    // exact size each time would move every row already held once per batch.
    for (auto &row : rows) {
        row.resize(columns_.size());
        rows_.push_back(std::move(row));
    }
    endInsertRows();
}

void ProductGridModel::RemoveRow(int row)
{
    if (row < 0 || row >= RowCount())
        return;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    std::erase_if(notRefreshed_, [row](uint64_t key) { return static_cast<int>(key >> 32) == row; });
    MoveNotRefreshed(row + 1, -1, 0, 0);
    endRemoveRows();
}

void ProductGridModel::InsertRow(int row, std::vector<std::string> cells)
{
    row = std::clamp(row, 0, RowCount());
    cells.resize(columns_.size());
    beginInsertRows({}, row, row);
    rows_.insert(rows_.begin() + row, std::move(cells));
    MoveNotRefreshed(row, 1, 0, 0);
    endInsertRows();
}

void ProductGridModel::ClearRows()
{
    if (rows_.empty())
        return;
    beginResetModel();
    rows_.clear();
    notRefreshed_.clear();
    endResetModel();
}

void ProductGridModel::MoveNotRefreshed(int fromRow, int rowShift, int fromColumn, int columnShift)
{
    if (notRefreshed_.empty())
        return;
    std::unordered_set<uint64_t> moved;
    for (const uint64_t key : notRefreshed_) {
        int r = static_cast<int>(key >> 32);
        int c = static_cast<int>(key & 0xFFFFFFFFu);
        if (r >= fromRow)
            r += rowShift;
        if (c >= fromColumn)
            c += columnShift;
        moved.insert(CellKey(r, c));
    }
    notRefreshed_ = std::move(moved);
}

void ProductGridModel::MarkNotRefreshed(const std::vector<std::pair<int, int>> &cells)
{
    for (const auto &[row, column] : cells) {
        notRefreshed_.insert(CellKey(row, column));
        const QModelIndex i = index(row, column);
        emit dataChanged(i, i, {kNotRefreshedRole});
    }
}

void ProductGridModel::MarkRefreshed(int row, int column)
{
    if (notRefreshed_.erase(CellKey(row, column)) == 0)
        return;
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {kNotRefreshedRole});
}

bool ProductGridModel::NotRefreshed(int row, int column) const
{
    return !notRefreshed_.empty() && notRefreshed_.contains(CellKey(row, column));
}

void ProductGridModel::SetShowsOlderRecord(bool older)
{
    if (older == showsOlderRecord_)
        return;
    showsOlderRecord_ = older;
    emit showsOlderRecordChanged(older);
}

void ProductGridModel::RenumberIds()
{
    if (columns_.empty())
        return;
    for (size_t r = 0; r < rows_.size(); ++r)
        rows_[r][0] = std::to_string(r + 1);
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(RowCount() - 1, 0), {Qt::DisplayRole});
}

int ProductGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : RowCount();
}

int ProductGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount();
}

QVariant ProductGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return FromGbk(Text(index.row(), index.column()));
    if (role == Qt::ToolTipRole) {
        const QString text = FromGbk(Text(index.row(), index.column()));
        if (!NotRefreshed(index.row(), index.column()))
            return text;
        return text + QStringLiteral("（上次的价格：本次抓取没有到这一格）");
    }
    if (role == kNotRefreshedRole)
        return NotRefreshed(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(ColumnAt(index.column()).alignment | Qt::AlignVCenter);
    return {};
}

QVariant ProductGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount())
        return {};
    if (role == Qt::DisplayRole)
        return FromGbk(columns_[static_cast<size_t>(section)].title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columns_[static_cast<size_t>(section)].alignment | Qt::AlignVCenter);
    return {};
}

} // namespace corvix
