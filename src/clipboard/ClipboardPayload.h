// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>

#include "protocol/ContentKind.h"
#include "protocol/Limits.h"

namespace clipwren {

// One clipboard content: its kind, and its bytes as they cross.
struct ClipboardPayload {
    ContentKind kind;
    QByteArray bytes;
};

}  // namespace clipwren
