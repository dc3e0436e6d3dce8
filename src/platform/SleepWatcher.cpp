// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/SleepWatcher.h"

#include <QDBusError>

#include "Logging.h"

namespace clipwren {

SleepWatcher::SleepWatcher(QDBusConnection bus, QObject* parent) : QObject(parent) {
    if (!bus.isConnected()) {
        qCDebug(lcService) << "no bus for logind:" << bus.lastError().message();
        return;
    }
    // Qt D-Bus delivers signals only to slots named this way. Naming logind's service makes
    // the bus forward the signal from logind alone, not from anyone who sends one.
    const bool watching = bus.connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(prepareForSleep(bool)));
    qCDebug(lcService) << "watching logind for resume:" << watching;
}

void SleepWatcher::prepareForSleep(bool sleeping) {
    qCDebug(lcService) << (sleeping ? "going to sleep" : "resumed");
    if (!sleeping) Q_EMIT resumed();
}

}  // namespace clipwren
