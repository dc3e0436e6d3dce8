// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>

namespace clipwren {

// Tells when the network comes back, from Qt's network information where a backend for it
// loads (NetworkManager on Linux, the system's own on the Mac). Elsewhere it never tells.
class NetworkWatcher : public QObject {
    Q_OBJECT

public:
    explicit NetworkWatcher(QObject* parent = nullptr);

    // Whether a backend was loaded and is being listened to.
    bool isWatching() const { return m_watching; }

Q_SIGNALS:
    void returned();

private:
    bool m_watching = false;
};

}  // namespace clipwren
