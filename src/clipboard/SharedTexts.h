// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QString>

#include "platform/clipboard/ClipboardBackend.h"
#include "platform/clipboard/Pasteboard.h"

namespace clipwren {

// The words both programs use for what the lower layers report as reasons.

// An error number of the system: Italian for what saving a received file meets (a full disk,
// no permission, ...), the system's own text for anything rarer.
QString systemErrorText(int error);

// Why the clipboard went out of reach; error is the system's error number when one is known.
QString clipboardLossText(Pasteboard::Loss loss, int error);

// Why the Wayland compositor did not answer; empty unless the clipboard was WaylandUnreached.
QString waylandUnreachedText(const ClipboardBackend& clipboard);

}  // namespace clipwren
