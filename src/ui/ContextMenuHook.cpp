#include "ui/ContextMenuHook.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QKeyEvent>

namespace corvix {
namespace {

class ContextMenuFilter : public QObject {
public:
    ContextMenuFilter(QAbstractItemView *view, ContextMenuHandler handler)
        : QObject(view), view_(view), handler_(std::move(handler))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ContextMenu) {
            auto *e = static_cast<QContextMenuEvent *>(event);
            if (e->reason() == QContextMenuEvent::Mouse) {
                // Empty space below (or beside) the rows names no row, although
                // the last row clicked is still selected: no menu, or its items
                // would act on that row.
                if (OverRow(e->globalPos()))
                    handler_(e->globalPos(), false);
            } else
                handler_(KeyboardAnchor(), true);
            return true;
        }
        if (event->type() == QEvent::KeyPress && watched == view_) {
            auto *k = static_cast<QKeyEvent *>(event);
            if (k->key() == Qt::Key_F10 && (k->modifiers() & Qt::ShiftModifier)) {
                handler_(KeyboardAnchor(), true);
                return true;
            }
        }
        return false;
    }

private:
    bool OverRow(const QPoint &globalPos) const
    {
        return view_->indexAt(view_->viewport()->mapFromGlobal(globalPos)).isValid();
    }

    QPoint KeyboardAnchor() const
    {
        const QRect r = view_->visualRect(view_->currentIndex());
        const QPoint local = r.isValid() ? r.center() : QPoint(8, 8);
        return view_->viewport()->mapToGlobal(local);
    }

    QAbstractItemView *view_;
    ContextMenuHandler handler_;
};

} // namespace

void OnContextMenu(QAbstractItemView *view, ContextMenuHandler handler)
{
    view->setContextMenuPolicy(Qt::DefaultContextMenu);
    auto *filter = new ContextMenuFilter(view, std::move(handler));
    view->installEventFilter(filter);
    view->viewport()->installEventFilter(filter);
}

} // namespace corvix
