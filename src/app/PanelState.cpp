// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "PanelState.h"

namespace clipwren {

PanelState::PanelState(QString clipboardNotice, Autostart autostart, QObject* parent)
    : QObject(parent),
      m_clipboardNotice(std::move(clipboardNotice)),
      m_autostart(std::move(autostart)) {}

void PanelState::setRevealToken(bool reveal) {
    m_revealToken = reveal;
    Q_EMIT revealTokenChanged();
}

}  // namespace clipwren
