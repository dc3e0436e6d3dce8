// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <xcb/xcb.h>

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

namespace clipwren::x11 {

class XcbConnection;

// Reads the clipboard as one target: asks the owner to convert it into a property of our
// window, then takes it whole or, for a large content, in the increments the owner writes.
// Never waits for the owner, never longer than the time limit, never more than the byte cap.
class SelectionTransfer : public QObject {
    Q_OBJECT

public:
    // The bytes, or the first cap bytes of a longer content; nothing when the owner refused
    // or did not finish in time. May destroy the transfer.
    using Done = std::function<void(std::optional<QByteArray>)>;

    SelectionTransfer(XcbConnection& connection, xcb_atom_t target, xcb_timestamp_t time,
                      qint64 cap, int timeLimitMs, Done done);

    // Takes the event when it is about this transfer.
    bool handle(const xcb_generic_event_t& event);

private:
    void readProperty();
    void finish(std::optional<QByteArray> bytes);

    XcbConnection& m_connection;
    const xcb_atom_t m_target;
    const xcb_atom_t m_property;
    const qint64 m_cap;
    bool m_incremental = false;
    QByteArray m_bytes;
    QTimer m_timeLimit;
    Done m_done;
};

}  // namespace clipwren::x11
