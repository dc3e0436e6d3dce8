// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "Logging.h"

namespace clipwren {
Q_LOGGING_CATEGORY(lcService, "clipwren.service", QtWarningMsg)
Q_LOGGING_CATEGORY(lcProtocol, "clipwren.protocol", QtWarningMsg)
Q_LOGGING_CATEGORY(lcClipboard, "clipwren.clipboard", QtWarningMsg)
Q_LOGGING_CATEGORY(lcX11, "clipwren.x11", QtWarningMsg)
Q_LOGGING_CATEGORY(lcWayland, "clipwren.wayland", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNet, "clipwren.net", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPeer, "clipwren.peer", QtWarningMsg)
}  // namespace clipwren
