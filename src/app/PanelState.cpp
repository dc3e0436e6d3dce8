// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "PanelState.h"

namespace clipwren {

namespace {
const QString notifyKey = QStringLiteral("notify");
}

PanelState::PanelState(QString clipboardNotice, Autostart autostart, QObject* parent)
    : QObject(parent),
      m_clipboardNotice(std::move(clipboardNotice)),
      m_autostart(std::move(autostart)) {}

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
