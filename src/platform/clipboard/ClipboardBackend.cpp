// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/ClipboardBackend.h"

#include "Logging.h"
#include "platform/clipboard/QtPasteboard.h"
#if CLIPWREN_LINUX_BACKENDS
#include "platform/clipboard/wayland/WaylandConnection.h"
#include "platform/clipboard/wayland/WaylandPasteboard.h"
#include "platform/clipboard/x11/X11Pasteboard.h"
#include "platform/clipboard/x11/XcbConnection.h"
#endif

namespace clipwren {

ClipboardBackend chooseClipboardBackend(qint64 readCap) {
    ClipboardReach reach = ClipboardReach::Own;
    Failure unreached;
#if CLIPWREN_LINUX_BACKENDS
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        auto opened = wayland::WaylandConnection::open();
        if (opened) {
            qCDebug(lcClipboard) << "Wayland data-control";
            return {
                std::make_unique<wayland::WaylandPasteboard>(std::move(opened.value()), readCap),
                reach, unreached};
        }
        qCDebug(lcClipboard) << "no Wayland clipboard:" << opened.error();
        if (opened.failure().code == int(CompositorFault::NoDataControl)) {
            reach = ClipboardReach::ThroughXwayland;
        } else {
            reach = ClipboardReach::WaylandUnreached;
            unreached = opened.failure();
        }
    }
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        auto opened = x11::XcbConnection::open();
        if (opened) {
            qCDebug(lcClipboard) << "X11 on a connection of its own";
            return {std::make_unique<x11::X11Pasteboard>(std::move(opened.value()), readCap), reach,
                    unreached};
        }
        qCDebug(lcClipboard) << "no X11 clipboard:" << opened.error();
    }
    if (reach == ClipboardReach::ThroughXwayland) reach = ClipboardReach::NoDataControlNoXwayland;
#else
    Q_UNUSED(readCap)  // Qt's clipboard hands over each content whole
#endif
    qCDebug(lcClipboard) << "Qt's clipboard";
    return {std::make_unique<QtPasteboard>(), reach, unreached};
}

}  // namespace clipwren
