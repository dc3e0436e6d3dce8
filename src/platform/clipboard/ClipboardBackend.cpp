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
    QString notice;
#if CLIPWREN_LINUX_BACKENDS
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        auto opened = wayland::WaylandConnection::open();
        if (opened) {
            qCDebug(lcClipboard) << "Wayland data-control";
            return {
                std::make_unique<wayland::WaylandPasteboard>(std::move(opened.value()), readCap),
                QString()};
        }
        qCDebug(lcClipboard) << "no Wayland clipboard:" << opened.error();
        const QString limit = QStringLiteral(
            ": gli appunti passano da Xwayland e si sincronizzano solo mentre è attiva una "
            "finestra X11, non mentre lavori in un'applicazione Wayland.");
        notice =
            (opened.error() == wayland::WaylandConnection::withoutDataControl()
                 ? QStringLiteral("Questa sessione Wayland non offre data-control")
                 : QStringLiteral("Appunti Wayland non raggiungibili (") + opened.error() + u')') +
            limit;
    }
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        auto opened = x11::XcbConnection::open();
        if (opened) {
            qCDebug(lcClipboard) << "X11 on a connection of its own";
            return {std::make_unique<x11::X11Pasteboard>(std::move(opened.value()), readCap),
                    notice};
        }
        qCDebug(lcClipboard) << "no X11 clipboard:" << opened.error();
    }
#else
    Q_UNUSED(readCap)  // Qt's clipboard hands over each content whole
#endif
    qCDebug(lcClipboard) << "Qt's clipboard";
    return {std::make_unique<QtPasteboard>(), notice};
}

}  // namespace clipwren
