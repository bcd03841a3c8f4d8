#pragma once
// The page "查询记录列表": the record list 超级列表框4 with one row per saved
// record (ID, name, save time) and its pop-up menu "记录操作".
#include <QWidget>

#include <optional>

class QMenu;
class QTreeWidget;

namespace corvix {

class RecordListPage : public QWidget {
    Q_OBJECT
public:
    explicit RecordListPage(QWidget *parent = nullptr);

    QTreeWidget *List() const { return list_; }
    QMenu *Menu() const { return menu_; }

    // Appends a row numbered on from the rows there are.
    void AppendRecord(const QString &name, const QString &saveTime);
    void ClearRecords();
    // The name cell of the selected row; nothing without a selected row.
    std::optional<QString> SelectedRecordName() const;
    // The save-time cell of the selected row, or its name when that is empty.
    QString SelectedRecordTime() const;
    // Pops up "记录操作" at globalPos when a row is selected.
    void ShowMenu(const QPoint &globalPos);

signals:
    void refreshRequested(); // "刷新列表"
    void viewRequested();    // "查看", a double-click or Enter on a row

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTreeWidget *list_ = nullptr;
    QMenu *menu_ = nullptr;
};

} // namespace corvix
