// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QIcon>

namespace clipwren {
class SyncService;
}

namespace clipwren::icons {

// The tray item's looks. Each but the first carries a badge of its own shape and colour, so
// that they are told apart with or without colour.
enum class Look { NotConnected, Connected, NeedsUser, Paused };

Look lookOf(const SyncService& sync);

// The picture for look. In colour, with parts in a middle tone, framed dark and filled light,
// so that it reads on any panel: a StatusNotifierItem host's colour cannot be known. On the
// Mac a mask instead, which the menu bar tints for its light or dark look.
QIcon forLook(Look look);

}  // namespace clipwren::icons
