// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QtGlobal>

namespace clipwren {

// The TCP port the companion listens on and the tray program connects to.
inline constexpr quint16 peerPort = 47832;  // 0xBAD8

// The largest file the snapshot reads and the largest payload sent.
inline constexpr qint64 maxBytes = 12'582'912;  // 0xC00000

// The largest decoded "data" received: room for a file name, its 0x00 and the largest file.
inline constexpr qsizetype maxReceivedData = maxBytes + 4096;  // 12,587,008

// The largest frame body, either way.
inline constexpr quint32 maxFrameBody = 25'165'824;  // 0x1800000

}  // namespace clipwren
