// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/x11/SelectionTransfer.h"

#include <cstdlib>
#include <memory>

#include "platform/clipboard/x11/XcbConnection.h"

namespace clipwren::x11 {

SelectionTransfer::SelectionTransfer(XcbConnection& connection, xcb_atom_t target,
                                     xcb_timestamp_t time, qint64 cap, int timeLimitMs, Done done)
    : m_connection(connection),
      m_target(target),
      m_property(connection.atom("_CLIPWREN_SELECTION")),
      m_cap(cap),
      m_done(std::move(done)) {
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, [this] { finish(std::nullopt); });
    m_timeLimit.start(timeLimitMs);
    xcb_delete_property(m_connection.connection(), m_connection.window(), m_property);
    xcb_convert_selection(m_connection.connection(), m_connection.window(),
                          m_connection.clipboard(), m_target, m_property, time);
    m_connection.flush();
}

bool SelectionTransfer::handle(const xcb_generic_event_t& event) {
    switch (event.response_type & 0x7f) {
        case XCB_SELECTION_NOTIFY: {
            const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
            if (m_incremental || notify.requestor != m_connection.window() ||
                notify.selection != m_connection.clipboard() || notify.target != m_target) {
                return false;
            }
            if (notify.property == XCB_NONE) {
                finish(std::nullopt);  // the owner has no such target after all
            } else {
                readProperty();
            }
            return true;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            if (!m_incremental || notify.window != m_connection.window() ||
                notify.atom != m_property || notify.state != XCB_PROPERTY_NEW_VALUE) {
                return false;
            }
            readProperty();
            return true;
        }
        default:
            return false;
    }
}

void SelectionTransfer::readProperty() {
    // Deleting what was read tells an incremental owner to write the next piece. Only the
    // server is waited for here, and it has the property already.
    const quint32 words = quint32((m_cap - m_bytes.size() + 3) / 4 + 1);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(m_connection.connection(),
                               xcb_get_property(m_connection.connection(), 1, m_connection.window(),
                                                m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, words),
                               nullptr),
        &std::free);
    m_connection.flush();
    if (!reply) return finish(std::nullopt);
    if (!m_incremental && reply->type == m_connection.atom("INCR")) {
        m_incremental = true;  // the pieces follow as new values of the property
        return;
    }
    const int length = xcb_get_property_value_length(reply.get());
    m_bytes.append(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
    if (m_bytes.size() >= m_cap) {
        m_bytes.truncate(m_cap);
        return finish(std::move(m_bytes));
    }
    if (!m_incremental || length == 0) finish(std::move(m_bytes));
}

void SelectionTransfer::finish(std::optional<QByteArray> bytes) {
    m_timeLimit.stop();
    Done done = std::move(m_done);
    if (done) done(std::move(bytes));
}

}  // namespace clipwren::x11
