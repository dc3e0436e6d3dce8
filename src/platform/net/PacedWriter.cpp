// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/net/PacedWriter.h"

#include <QSslSocket>

namespace clipwren {

PacedWriter::PacedWriter(QSslSocket& socket) : QObject(&socket), m_socket(socket) {
    connect(&socket, &QSslSocket::bytesWritten, this, &PacedWriter::pump);
    connect(&socket, &QSslSocket::encryptedBytesWritten, this, &PacedWriter::pump);
    connect(&socket, &QSslSocket::encrypted, this, &PacedWriter::pump);
}

bool PacedWriter::write(OutgoingBytes bytes) {
    if (!m_socket.isWritable()) return false;
    if (!bytes.atEnd()) m_queue.push_back(std::move(bytes));
    pump();
    return true;
}

void PacedWriter::pump() {
    while (!m_queue.empty() && m_socket.isEncrypted() &&
           m_socket.bytesToWrite() + m_socket.encryptedBytesToWrite() < slice) {
        const QByteArray bytes = m_queue.front().take(slice);
        if (m_queue.front().atEnd()) m_queue.pop_front();
        if (m_socket.write(bytes) != bytes.size()) return;
    }
}

}  // namespace clipwren
