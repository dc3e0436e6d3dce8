// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

namespace clipwren::test {

// A private session bus, with a notification service of the test's own on it that records
// what it is asked to show: point a program at address(), or a notifier at client().
class NotificationBus : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown {
        uint id;
        QString title;
        QString body;
        QStringList actions;
    };

    ~NotificationBus() override;

    // Starts the bus and takes the service's name on it.
    bool start();
    const QString& address() const { return m_address; }
    // A connection of the test's own, other than the service's.
    QDBusConnection client() const;
    const QList<Shown>& shown() const { return m_shown; }

public Q_SLOTS:
    uint Notify(const QString& application, uint replaces, const QString& icon,
                const QString& title, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout);

private:
    QProcess m_daemon;
    QString m_address;
    QList<Shown> m_shown;
};

}  // namespace clipwren::test
