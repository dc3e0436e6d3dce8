// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QLoggingCategory>

// Every area's debug trace, off unless asked for: QT_LOGGING_RULES="clipwren.*.debug=true"
// says why a clip did not cross, a retry came, or a backend was chosen.
namespace clipwren {
Q_DECLARE_LOGGING_CATEGORY(lcService)    // clipwren.service: connection, retries, wake-ups
Q_DECLARE_LOGGING_CATEGORY(lcProtocol)   // clipwren.protocol: messages passed over
Q_DECLARE_LOGGING_CATEGORY(lcClipboard)  // clipwren.clipboard: backend choice, apply
Q_DECLARE_LOGGING_CATEGORY(lcX11)        // clipwren.x11
Q_DECLARE_LOGGING_CATEGORY(lcWayland)    // clipwren.wayland
Q_DECLARE_LOGGING_CATEGORY(lcNet)        // clipwren.net
Q_DECLARE_LOGGING_CATEGORY(lcPeer)       // clipwren.peer
}  // namespace clipwren
