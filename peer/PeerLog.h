// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>
#include <QString>
#include <cstdio>

namespace clipwren {
class ClipboardBridge;
}

namespace clipwren::peer {

class PeerServer;

// One line per event on standard output, flushed at once so a watching program sees each
// line as it happens; nothing at all when quiet.
class PeerLog : public QObject {
    Q_OBJECT

public:
    PeerLog(bool quiet, std::FILE* out = stdout, QObject* parent = nullptr);

    void line(const QString& text);
    void watch(const PeerServer& server);
    void watch(const ClipboardBridge& bridge);

private:
    bool m_quiet;
    std::FILE* m_out;
};

}  // namespace clipwren::peer
