#pragma once
// The builders every page makes its controls with: the catalogue name as the
// objectName, the buttons' minimum sizes, labels that name their control, the
// report-style lists and the named items of the pop-up menus.
#include <QList>
#include <QString>
#include <Qt>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace corvix {

template <typename W> W *Named(W *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

QPushButton *Button(const QString &name, const QString &caption, int width, int height = 32);

QLabel *Label(const QString &name, const QString &text);

// A label beside its control: the label names the control for screen readers.
void Pair(QLabel *label, QWidget *control);

struct ColumnSpec {
    QString title;
    int width;
    Qt::Alignment alignment;
};

QTreeWidget *ReportList(const QString &name, const QString &accessibleName, const QList<ColumnSpec> &columns);

// The item is found by its text as objectName.
QAction *MenuItem(QMenu *menu, const QString &text);

} // namespace corvix
