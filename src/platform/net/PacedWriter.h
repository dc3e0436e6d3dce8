// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QObject>
#include <deque>

#include "platform/net/OutgoingBytes.h"

class QSslSocket;

namespace clipwren {

// Hands a TLS socket its bytes a slice at a time, as it drains. Written whole, a 16 MiB frame
// would sit in the socket's buffers twice (plain and encrypted), and OpenSSL's encryption
// buffer would keep that size for as long as the connection lives; taken a slice at a time,
// a large content's Base64 is made only as it leaves.
class PacedWriter final : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype slice = 256 * 1024;

    // A child of socket: it goes with it.
    explicit PacedWriter(QSslSocket& socket);

    // Queues bytes after those queued before; false when the socket can take nothing more.
    bool write(OutgoingBytes bytes);

private:
    void pump();

    QSslSocket& m_socket;
    std::deque<OutgoingBytes> m_queue;
};

}  // namespace clipwren
