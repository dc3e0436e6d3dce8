// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QString>

#include "platform/Result.h"

namespace clipwren::peer {

// Where the systemd user unit reads the pairing code from: ClipwrenPlus/peer-token under the
// user's configuration folder.
QString defaultTokenFile();

// Writes code and a line ending to path, whole or not at all, readable by the user only; the
// reason when that could not be done.
Result<void> saveTokenFile(const QString& path, const QString& code);

}  // namespace clipwren::peer
