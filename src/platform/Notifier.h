// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace clipwren {

// One desktop notification: plain text, and at most one action the user may pick.
struct Notification {
    QString title;
    QString body;
    QString actionLabel;  // empty: no action
    std::function<void()> action;
};

// Shows notifications on the user's desktop. Showing one never waits for the desktop, and a
// desktop that cannot show any is no error: the notification is simply not seen.
class Notifier : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    virtual void notify(const Notification& notification) = 0;
};

}  // namespace clipwren
