// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "PanelState.h"

#include "clipboard/SharedTexts.h"

namespace clipwren {

namespace {
const QString notifyKey = QStringLiteral("notify");

// What the way the clipboard is reached means for the user; empty when it means nothing.
QString noticeFor(const ClipboardBackend& clipboard) {
    switch (clipboard.reach) {
        case ClipboardReach::Own:
            return {};
        case ClipboardReach::ThroughXwayland:
            return QStringLiteral(
                "Le copie si vedono tramite Xwayland (questa sessione Wayland non offre "
                "data-control); un'applicazione Wayland incolla ciò che arriva solo mentre ha il "
                "focus, come sempre.");
        case ClipboardReach::WaylandUnreached:
            return QStringLiteral("Appunti Wayland non raggiungibili (") +
                   waylandUnreachedText(clipboard) + QStringLiteral("): si usano quelli di X11.");
        case ClipboardReach::NoDataControlNoXwayland:
            return QStringLiteral(
                "Questa sessione Wayland non offre data-control e non ha Xwayland: gli appunti si "
                "sincronizzano solo mentre una finestra di Clipwren+ ha il focus.");
    }
    return {};
}

}  // namespace

PanelState::PanelState(const ClipboardBackend& clipboard, Autostart autostart, QObject* parent)
    : QObject(parent), m_clipboardNotice(noticeFor(clipboard)), m_autostart(std::move(autostart)) {}

void PanelState::setRevealToken(bool reveal) {
    m_revealToken = reveal;
    Q_EMIT revealTokenChanged();
}

bool PanelState::announcesFiles() const {
    return m_settings.text(notifyKey) != u"false";
}

void PanelState::setAnnouncesFiles(bool enabled) {
    m_settings.setText(notifyKey, enabled ? QStringLiteral("true") : QStringLiteral("false"));
}

}  // namespace clipwren
