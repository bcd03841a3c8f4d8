#pragma once
// Pop-up menus of the list views open on a right-click over a row (never over
// the empty space of the list) and, for keyboard users, on the context-menu key
// or Shift+F10 with the same handler.
#include <QPoint>
#include <functional>

class QAbstractItemView;

namespace corvix {

// globalPos: where the menu should appear (the mouse, or the current row for
// the keyboard); viaKeyboard tells which one asked.
using ContextMenuHandler = std::function<void(const QPoint &globalPos, bool viaKeyboard)>;

void OnContextMenu(QAbstractItemView *view, ContextMenuHandler handler);

} // namespace corvix
