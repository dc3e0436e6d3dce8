// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>
#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace clipwren::peer {

// Turns SIGINT and SIGTERM into a Qt signal on the main thread: the handler only writes one
// byte to a socket pair, the event loop reads it (the self-pipe pattern).
class SignalWatcher : public QObject {
    Q_OBJECT

public:
    explicit SignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~SignalWatcher() override;

Q_SIGNALS:
    void caught(int signalNumber);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
    std::vector<int> m_signals;
};

}  // namespace clipwren::peer
