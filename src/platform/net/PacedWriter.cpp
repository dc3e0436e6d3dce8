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

bool PacedWriter::write(const QByteArray& bytes) {
    if (!m_socket.isWritable()) return false;
    if (!bytes.isEmpty()) m_queue.push_back(bytes);
    pump();
    return true;
}

void PacedWriter::pump() {
    while (!m_queue.empty() && m_socket.isEncrypted() &&
           m_socket.bytesToWrite() + m_socket.encryptedBytesToWrite() < slice) {
        const QByteArray& front = m_queue.front();
        const qsizetype size = std::min(slice, front.size() - m_offset);
        if (m_socket.write(front.constData() + m_offset, size) != size) return;
        m_offset += size;
        if (m_offset == front.size()) {
            m_queue.pop_front();
            m_offset = 0;
        }
    }
}

}  // namespace clipwren
