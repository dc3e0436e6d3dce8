// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QString>

#include "protocol/Limits.h"

namespace clipwren {

// One clipboard content: "file" (UTF-8 name, 0x00, contents), "image" (PNG) or "text"
// (UTF-8).
struct ClipboardPayload {
    QString kind;
    QByteArray bytes;
};

}  // namespace clipwren
