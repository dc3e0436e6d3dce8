// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "PopupPlacement.h"

#include <algorithm>

namespace clipwren {

namespace {
constexpr int gap = 4;
}  // namespace

QPoint popupPosition(QSize size, QRect anchor, QRect area) {
    int x = anchor.center().x() - size.width() / 2;
    int y = anchor.bottom() + 1 + gap;
    if (y + size.height() > area.bottom() + 1) y = anchor.top() - gap - size.height();
    // A popup larger than the area keeps its top-left corner visible.
    x = std::max(area.left(), std::min(x, area.right() + 1 - size.width()));
    y = std::max(area.top(), std::min(y, area.bottom() + 1 - size.height()));
    return {x, y};
}

}  // namespace clipwren
