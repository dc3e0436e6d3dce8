// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace clipwren {

// Where a popup of size goes so that it hangs from anchor (the tray icon) as a menu does:
// below it when there is room, above it otherwise, centred on it and moved sideways as little
// as it takes to stay inside area (the screen's free part).
QPoint popupPosition(QSize size, QRect anchor, QRect area);

// Where it goes when the tray does not say where its icon is: in a corner of area, along the
// edge where a panel takes room from screen (a bar at the top or bottom first), and otherwise
// on the pointer's side, the right and the bottom when it is halfway. The pointer may be
// stale, so the panel's edge, when there is one, counts first.
QPoint cornerPosition(QSize size, QPoint pointer, QRect screen, QRect area);

}  // namespace clipwren
