// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace clipwren {

// Where a popup of size goes so that it hangs from anchor (the tray icon, or the point the
// user clicked when the tray does not say where its icon is), as a menu does: below it when
// there is room, above it otherwise, centred on it and moved sideways as little as it takes
// to stay inside area (the screen's free part).
QPoint popupPosition(QSize size, QRect anchor, QRect area);

}  // namespace clipwren
