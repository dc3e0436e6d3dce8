// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>
#include <memory>

#include "platform/Delay.h"

namespace clipwren {

// The wait before the next attempt, counted down a second at a time: two seconds after the
// first failure, twice as long after each one that follows, at most a minute.
class RetryCountdown : public QObject {
    Q_OBJECT

public:
    static constexpr int firstDelayMs = 2000;
    static constexpr int longestDelayMs = 60'000;
    // The wait before the given retry (0 for the first).
    static int delayMs(int retry);

    explicit RetryCountdown(QObject* parent = nullptr);

    // Each second of a wait; a timer unless replaced (tests end each second by hand).
    void setDelay(std::unique_ptr<Delay> delay);
    // Attempts that failed since the last reset.
    int failures() const { return m_failures; }
    // 0 when no wait is under way.
    int secondsLeft() const { return m_secondsLeft; }
    bool isRunning() const { return m_secondsLeft > 0; }
    // Counts one more failure and begins the wait that follows it.
    void start();
    // Ends the wait under way, if any.
    void stop();
    // Ends the wait, and the next failure counts as the first.
    void reset();

Q_SIGNALS:
    // Emitted immediately before every change of secondsLeft.
    void secondsLeftWillChange();
    // A second has gone, and others are left.
    void ticked();
    // The last second has gone.
    void elapsed();

private:
    void tick();

    std::unique_ptr<Delay> m_delay;
    int m_failures = 0;
    int m_secondsLeft = 0;
};

}  // namespace clipwren
