// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>

namespace clipwren {

// Password managers (KeePassXC, KDE's) offer their copies with this extra type.
inline constexpr char passwordManagerHintType[] = "x-kde-passwordManagerHint";

// Whether the hint's bytes mark a secret. A trailing line break some tools add still counts:
// a doubtful hint keeps the content at home.
inline bool isSecretHint(const QByteArray& hint) {
    return hint.trimmed() == "secret";
}

}  // namespace clipwren
