// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/DBusNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>

#include "Logging.h"

namespace clipwren {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString actionKey = QStringLiteral("open");
const QString defaultKey = QStringLiteral("default");

}  // namespace

DBusNotifier::DBusNotifier(QDBusConnection bus, QObject* parent)
    : Notifier(parent), m_bus(std::move(bus)) {
    if (!m_bus.isConnected()) return;
    m_bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
}

void DBusNotifier::notify(const Notification& notification) {
    if (!m_bus.isConnected()) return;
    QStringList actions;
    if (notification.action) {
        // A click on the notification itself does what its one action does.
        actions << defaultKey << notification.actionLabel << actionKey << notification.actionLabel;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    // Servers may read the body as markup: what came from elsewhere (a file name) must not be.
    call << QString::fromLatin1(applicationName) << uint(0)
         << QStringLiteral("org.clipwren.ClipwrenPlus") << notification.title
         << notification.body.toHtmlEscaped() << actions
         << QVariantMap{{QStringLiteral("desktop-entry"),
                         QStringLiteral("org.clipwren.ClipwrenPlus")}}
         << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, action = notification.action](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isError()) {
                    qCDebug(lcService) << "no notification:" << reply.error().message();
                    return;
                }
                if (!action) return;
                if (m_actions.size() >= mostActionsKept) m_actions.erase(m_actions.begin());
                m_actions.insert(reply.value(), action);
            });
}

void DBusNotifier::onActionInvoked(uint id, const QString& key) {
    if (key != actionKey && key != defaultKey) return;
    if (const auto action = m_actions.take(id)) action();
}

void DBusNotifier::onNotificationClosed(uint id, uint) {
    m_actions.remove(id);
}

}  // namespace clipwren
