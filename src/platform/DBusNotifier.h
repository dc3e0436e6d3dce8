// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QDBusConnection>
#include <QHash>

#include "platform/Notifier.h"

namespace clipwren {

// Notifications through the freedesktop Notifications service of the session bus. Calls are
// asynchronous; an action picked later runs here, once, and is forgotten when its
// notification closes.
class DBusNotifier final : public Notifier {
    Q_OBJECT

public:
    // The name under which notifications appear.
    static constexpr const char* applicationName = "Clipwren+";

    explicit DBusNotifier(QDBusConnection bus = QDBusConnection::sessionBus(),
                          QObject* parent = nullptr);

    void notify(const Notification& notification) override;

private Q_SLOTS:
    // Signals of the service, connected by name: QtDBus offers no other way without a
    // generated proxy.
    void onActionInvoked(uint id, const QString& key);
    void onNotificationClosed(uint id, uint reason);

private:
    // A desktop that never closes its notifications does not make us hold their actions
    // forever.
    static constexpr int mostActionsKept = 32;

    QDBusConnection m_bus;
    QHash<uint, std::function<void()>> m_actions;
};

}  // namespace clipwren
