#pragma once
// Where a window goes on screen so that it leaves part of another window in
// view, as rectangles in screen coordinates; no window system is asked.
#include <QRect>
#include <QSize>

namespace corvix {

// The frame of a window of frame size size that keeps the strip keep (the
// bottom of the window around, e.g. its status bar) in view: above keep, else
// beside around (the window it belongs to), always within screen (the
// available geometry). A place where the whole window fits comes first; failing
// that, one where it fits shrunk to no less than minimum. Where neither is, the
// window keeps its size, centred on screen.
QRect PlaceClearOf(const QRect &screen, const QRect &around, const QRect &keep, QSize size, QSize minimum);

} // namespace corvix
