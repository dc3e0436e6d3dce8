// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>
#include <QTimer>

namespace clipwren {

// A one-shot wait, behind an interface so that tests can see each wait asked for and end it
// by hand instead of sleeping through it.
class Delay : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts (or starts again) a wait of ms milliseconds; elapsed() follows unless stopped.
    virtual void start(int ms) = 0;
    virtual void stop() = 0;

Q_SIGNALS:
    void elapsed();
};

// The wait on a single-shot QTimer.
class TimerDelay final : public Delay {
    Q_OBJECT

public:
    explicit TimerDelay(QObject* parent = nullptr) : Delay(parent) {
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &Delay::elapsed);
    }

    void start(int ms) override { m_timer.start(ms); }
    void stop() override { m_timer.stop(); }

private:
    QTimer m_timer;
};

}  // namespace clipwren
