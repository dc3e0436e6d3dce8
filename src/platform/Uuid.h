// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QString>
#include <QUuid>

namespace clipwren {

// A new random UUID in its 36-character upper-case form with hyphens.
inline QString newUuidText() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

}  // namespace clipwren
