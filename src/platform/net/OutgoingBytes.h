// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QMetaType>

namespace clipwren {

// Bytes on their way to the peer, taken a slice at a time as the connection drains. Most are
// written out already; a large content's are a head and a tail around the Base64 of its
// payload, encoded only as each slice is taken, so that the text, a third larger than the
// payload, never exists whole.
class OutgoingBytes {
public:
    OutgoingBytes() = default;
    // Bytes written out already.
    OutgoingBytes(QByteArray bytes);  // NOLINT(google-explicit-constructor): most sends are these
    // head, then the Base64 of payload, then tail.
    OutgoingBytes(QByteArray head, QByteArray payload, QByteArray tail);

    // All of them, taken or not.
    qsizetype size() const { return m_size; }
    bool atEnd() const { return m_taken == m_size; }
    // The next at most max bytes (at least 4, so that Base64 always moves on).
    QByteArray take(qsizetype max);
    // All of them at once, whatever has been taken: for small sends and for tests.
    QByteArray whole() const;

private:
    QByteArray m_head;
    QByteArray m_payload;
    QByteArray m_tail;
    qsizetype m_size = 0;
    qsizetype m_taken = 0;
};

}  // namespace clipwren

Q_DECLARE_METATYPE(clipwren::OutgoingBytes)
