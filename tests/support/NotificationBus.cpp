// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "support/NotificationBus.h"

namespace clipwren::test {

namespace {
const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
}

NotificationBus::~NotificationBus() {
    QDBusConnection::disconnectFromBus(m_address);
    QDBusConnection::disconnectFromBus(m_address + QStringLiteral("#client"));
    m_daemon.kill();
    m_daemon.waitForFinished();
}

bool NotificationBus::start() {
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForReadyRead(10'000)) return false;
    m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
    QDBusConnection service = QDBusConnection::connectToBus(m_address, m_address);
    return service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                  QDBusConnection::ExportAllSlots) &&
           service.registerService(serviceName);
}

QDBusConnection NotificationBus::client() const {
    return QDBusConnection::connectToBus(m_address, m_address + QStringLiteral("#client"));
}

uint NotificationBus::Notify(const QString&, uint, const QString&, const QString& title,
                             const QString& body, const QStringList& actions, const QVariantMap&,
                             int) {
    const uint id = uint(m_shown.size()) + 1;
    m_shown.append({id, title, body, actions});
    return id;
}

}  // namespace clipwren::test
