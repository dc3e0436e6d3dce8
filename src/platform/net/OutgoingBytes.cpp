// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/net/OutgoingBytes.h"

#include "platform/Crypto.h"

namespace clipwren {

OutgoingBytes::OutgoingBytes(QByteArray bytes) : m_head(std::move(bytes)), m_size(m_head.size()) {}

OutgoingBytes::OutgoingBytes(QByteArray head, QByteArray payload, QByteArray tail)
    : m_head(std::move(head)),
      m_payload(std::move(payload)),
      m_tail(std::move(tail)),
      m_size(m_head.size() + base64Length(m_payload.size()) + m_tail.size()) {}

QByteArray OutgoingBytes::take(qsizetype max) {
    QByteArray slice;
    const qsizetype base64End = m_head.size() + base64Length(m_payload.size());
    if (m_taken < m_head.size()) {
        slice = m_head.sliced(m_taken, std::min(max, m_head.size() - m_taken));
    } else if (m_taken < base64End) {
        // Slices of the Base64 start on a group of four characters: three payload bytes.
        const qsizetype from = (m_taken - m_head.size()) / 4 * 3;
        const qsizetype count =
            std::min(std::max<qsizetype>(max / 4, 1) * 3, m_payload.size() - from);
        appendBase64(slice, QByteArrayView(m_payload).sliced(from, count));
    } else {
        slice = m_tail.sliced(m_taken - base64End, std::min(max, m_size - m_taken));
    }
    m_taken += slice.size();
    return slice;
}

QByteArray OutgoingBytes::whole() const {
    if (m_payload.isEmpty() && m_tail.isEmpty()) return m_head;
    QByteArray all;
    all.reserve(m_size);
    all.append(m_head);
    appendBase64(all, m_payload);
    all.append(m_tail);
    return all;
}

}  // namespace clipwren
