// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "service/RetryCountdown.h"

#include <algorithm>

namespace clipwren {

RetryCountdown::RetryCountdown(QObject* parent) : QObject(parent) {
    setDelay(std::make_unique<TimerDelay>());
}

int RetryCountdown::delayMs(int retry) {
    return std::min(longestDelayMs, firstDelayMs << std::clamp(retry, 0, 10));
}

void RetryCountdown::setDelay(std::unique_ptr<Delay> delay) {
    m_delay = std::move(delay);
    connect(m_delay.get(), &Delay::elapsed, this, &RetryCountdown::tick);
}

void RetryCountdown::start() {
    const int delay = delayMs(m_failures++);
    Q_EMIT secondsLeftWillChange();
    m_secondsLeft = delay / 1000;
    m_delay->start(1000);
}

void RetryCountdown::tick() {
    if (!isRunning()) return;
    Q_EMIT secondsLeftWillChange();
    --m_secondsLeft;
    if (!isRunning()) {
        Q_EMIT elapsed();
        return;
    }
    m_delay->start(1000);
    Q_EMIT ticked();
}

void RetryCountdown::stop() {
    m_delay->stop();
    if (!isRunning()) return;
    Q_EMIT secondsLeftWillChange();
    m_secondsLeft = 0;
}

void RetryCountdown::reset() {
    stop();
    m_failures = 0;
}

}  // namespace clipwren
