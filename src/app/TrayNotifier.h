// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QSystemTrayIcon>

#include "platform/Notifier.h"

namespace clipwren {

// Notifications as the tray icon's own messages, where there is no notification service to
// ask (the Mac): a click on the message does what its action does.
class TrayNotifier final : public Notifier {
    Q_OBJECT

public:
    explicit TrayNotifier(QSystemTrayIcon& icon, QObject* parent = nullptr);

    void notify(const Notification& notification) override;

private:
    QSystemTrayIcon& m_icon;
    std::function<void()> m_action;  // of the message shown last
};

}  // namespace clipwren
