#include "support/WindowPlacement.h"

#include <algorithm>

namespace corvix {
namespace {

// A rectangle of size (shrunk to room) centred on centre as far as room allows.
QRect CentredIn(const QRect &room, const QPoint &centre, QSize size)
{
    QRect placed(QPoint(0, 0), size.boundedTo(room.size()));
    placed.moveCenter(centre);
    placed.moveLeft(std::clamp(placed.left(), room.left(), room.right() + 1 - placed.width()));
    placed.moveTop(std::clamp(placed.top(), room.top(), room.bottom() + 1 - placed.height()));
    return placed;
}

bool Holds(const QRect &room, QSize size)
{
    return room.width() >= size.width() && room.height() >= size.height();
}

} // namespace

QRect PlaceClearOf(const QRect &screen, const QRect &around, const QRect &keep, QSize size, QSize minimum)
{
    const QRect above =
        QRect(screen.left(), screen.top(), screen.width(), keep.top() - screen.top()).intersected(screen);
    const QRect right = QRect(QPoint(around.right() + 1, screen.top()), screen.bottomRight()).intersected(screen);
    const QRect left = QRect(screen.topLeft(), QPoint(around.left() - 1, screen.bottom())).intersected(screen);
    // Over the window it belongs to, where a dialog is looked for.
    const QPoint centre(around.center().x(), (around.top() + keep.top()) / 2);
    for (const QSize &needed : {size, minimum})
        for (const QRect &room : {above, right, left})
            if (Holds(room, needed))
                return CentredIn(room, centre, size);
    return CentredIn(screen, screen.center(), size);
}

} // namespace corvix
