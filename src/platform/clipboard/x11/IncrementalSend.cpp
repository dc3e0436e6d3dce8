// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/x11/IncrementalSend.h"

#include <algorithm>

#include "platform/clipboard/x11/XcbConnection.h"

namespace clipwren::x11 {

namespace {
// Pieces of this size keep each request small next to the server's limit.
constexpr qsizetype pieceSize = 256 * 1024;
}  // namespace

IncrementalSend::IncrementalSend(XcbConnection& connection, xcb_window_t requestor,
                                 xcb_atom_t property, xcb_atom_t type, QByteArray bytes,
                                 int stallLimitMs, QObject* parent)
    : QObject(parent),
      m_connection(connection),
      m_requestor(requestor),
      m_property(property),
      m_type(type),
      m_bytes(std::move(bytes)) {
    // The reader's deletions are its requests for the next piece.
    const quint32 events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection.connection(), requestor, XCB_CW_EVENT_MASK, &events);
    const quint32 size = quint32(m_bytes.size());
    xcb_change_property(connection.connection(), XCB_PROP_MODE_REPLACE, requestor, property,
                        connection.atom("INCR"), 32, 1, &size);
    m_stallLimit.setSingleShot(true);
    m_stallLimit.setInterval(stallLimitMs);
    connect(&m_stallLimit, &QTimer::timeout, this, &IncrementalSend::finished);
    m_stallLimit.start();
}

IncrementalSend::~IncrementalSend() {
    if (m_connection.isLost()) return;
    const quint32 none = XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(m_connection.connection(), m_requestor, XCB_CW_EVENT_MASK, &none);
    m_connection.flush();
}

bool IncrementalSend::handle(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
    const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    if (notify.window != m_requestor || notify.atom != m_property ||
        notify.state != XCB_PROPERTY_DELETE) {
        return false;
    }
    if (m_ended) {
        Q_EMIT finished();  // the empty piece was taken: all is across
    } else {
        writeNext();
    }
    return true;
}

void IncrementalSend::writeNext() {
    const qsizetype length = std::min(pieceSize, m_bytes.size() - m_written);
    xcb_change_property(m_connection.connection(), XCB_PROP_MODE_REPLACE, m_requestor, m_property,
                        m_type, 8, quint32(length), m_bytes.constData() + m_written);
    m_written += length;
    m_ended = length == 0;
    m_connection.flush();
    m_stallLimit.start();
}

}  // namespace clipwren::x11
