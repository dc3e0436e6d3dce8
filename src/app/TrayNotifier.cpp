// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "TrayNotifier.h"

namespace clipwren {

TrayNotifier::TrayNotifier(QSystemTrayIcon& icon, QObject* parent)
    : Notifier(parent), m_icon(icon) {
    connect(&m_icon, &QSystemTrayIcon::messageClicked, this, [this] {
        if (const auto action = std::exchange(m_action, nullptr)) action();
    });
}

void TrayNotifier::notify(const Notification& notification) {
    m_action = notification.action;
    m_icon.showMessage(notification.title, notification.body);
}

}  // namespace clipwren
