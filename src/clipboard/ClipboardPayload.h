// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QString>

namespace clipwren {

// One clipboard content: "file" (UTF-8 name, 0x00, contents), "image" (PNG) or "text"
// (UTF-8).
struct ClipboardPayload {
    QString kind;
    QByteArray bytes;
};

// The largest file the snapshot reads and the largest payload sent.
inline constexpr qint64 maxBytes = 12'582'912;  // 0xC00000

}  // namespace clipwren
