#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace clipwren {

// Where a popup of size goes so that it hangs from the tray icon: below it when the bar is
// at the top, above it when the bar is at the bottom, always inside area (the screen's free
// part). When the tray does not say where its icon is (an empty rectangle), the popup opens
// at the pointer, which is where the user just clicked.
QPoint popupPosition(QSize size, QRect icon, QPoint pointer, QRect area);

}  // namespace clipwren
