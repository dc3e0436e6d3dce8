// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QObject>
#include <deque>

class QSslSocket;

namespace clipwren {

// Hands a TLS socket its bytes a slice at a time, as it drains. Written whole, a 16 MiB frame
// would sit in the socket's buffers twice (plain and encrypted), and OpenSSL's encryption
// buffer would keep that size for as long as the connection lives.
class PacedWriter final : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype slice = 256 * 1024;

    // A child of socket: it goes with it.
    explicit PacedWriter(QSslSocket& socket);

    // Queues bytes after those queued before; false when the socket can take nothing more.
    bool write(const QByteArray& bytes);

private:
    void pump();

    QSslSocket& m_socket;
    std::deque<QByteArray> m_queue;
    qsizetype m_offset = 0;  // of the first queued array, already handed over
};

}  // namespace clipwren
