// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QDBusConnection>
#include <QObject>

namespace clipwren {

// Tells when the machine has woken from suspend, from logind's PrepareForSleep signal. Where
// the bus or logind is missing it simply never tells.
class SleepWatcher : public QObject {
    Q_OBJECT

public:
    // logind lives on the system bus; tests give a private bus with a logind of their own.
    explicit SleepWatcher(QDBusConnection bus = QDBusConnection::systemBus(),
                          QObject* parent = nullptr);

Q_SIGNALS:
    void resumed();

private Q_SLOTS:
    void prepareForSleep(bool sleeping);
};

}  // namespace clipwren
