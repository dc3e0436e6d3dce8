// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QColor>
#include <QIcon>

namespace clipwren {
class SyncService;
}

namespace clipwren::icons {

// The tray item's three looks. The one that asks for the user carries a mark of its own, so
// it is told apart without colour.
enum class Look { NotConnected, Connected, NeedsUser };

Look lookOf(const SyncService& sync);

// Symbolic pictures, drawn in color: the theme's text colour, so that they read on a light or
// a dark bar as the desktop's own tray icons do.
QIcon forLook(Look look, const QColor& color);
QColor themeColor();

}  // namespace clipwren::icons
