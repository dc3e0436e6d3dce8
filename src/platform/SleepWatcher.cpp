// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/SleepWatcher.h"

#include <QDBusError>
#include <QLoggingCategory>

namespace clipwren {

Q_LOGGING_CATEGORY(lcSleep, "clipwren.sleep", QtWarningMsg)

SleepWatcher::SleepWatcher(QDBusConnection bus, QObject* parent) : QObject(parent) {
    if (!bus.isConnected()) {
        qCDebug(lcSleep) << "no bus for logind:" << bus.lastError().message();
        return;
    }
    // Qt D-Bus delivers signals only to slots named this way. Naming logind's service makes
    // the bus forward the signal from logind alone, not from anyone who sends one.
    m_watching = bus.connect(QStringLiteral("org.freedesktop.login1"),
                             QStringLiteral("/org/freedesktop/login1"),
                             QStringLiteral("org.freedesktop.login1.Manager"),
                             QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
    qCDebug(lcSleep) << "watching logind for resume:" << m_watching;
}

void SleepWatcher::prepareForSleep(bool sleeping) {
    qCDebug(lcSleep) << (sleeping ? "going to sleep" : "resumed");
    if (!sleeping) Q_EMIT resumed();
}

}  // namespace clipwren
