// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "PopupPlacement.h"

#include <algorithm>

namespace clipwren {

namespace {

constexpr int gap = 4;

// A popup larger than the area keeps its top-left corner visible.
QPoint inside(QSize size, QPoint at, QRect area) {
    return {std::max(area.left(), std::min(at.x(), area.right() + 1 - size.width())),
            std::max(area.top(), std::min(at.y(), area.bottom() + 1 - size.height()))};
}

}  // namespace

QPoint popupPosition(QSize size, QRect anchor, QRect area) {
    const int x = anchor.center().x() - size.width() / 2;
    int y = anchor.bottom() + 1 + gap;
    if (y + size.height() > area.bottom() + 1) y = anchor.top() - gap - size.height();
    return inside(size, {x, y}, area);
}

QPoint cornerPosition(QSize size, QPoint pointer, QRect screen, QRect area) {
    const bool barAbove = area.top() > screen.top();
    const bool barBelow = area.bottom() < screen.bottom();
    const bool barLeft = area.left() > screen.left();
    const bool barRight = area.right() < screen.right();
    bool top = pointer.y() < area.center().y();
    bool left = pointer.x() < area.center().x();
    if (barAbove || barBelow) {
        top = barAbove;
    } else if (barLeft || barRight) {
        left = barLeft;
    }
    return inside(size,
                  {left ? area.left() : area.right() + 1 - size.width(),
                   top ? area.top() : area.bottom() + 1 - size.height()},
                  area);
}

}  // namespace clipwren
