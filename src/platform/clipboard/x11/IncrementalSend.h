// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <xcb/xcb.h>

#include <QByteArray>
#include <QObject>
#include <QTimer>

namespace clipwren::x11 {

class XcbConnection;

// Serves a content too large for one request to another program, in pieces: each piece
// goes when the reader has deleted the last one, and an empty piece ends it. A reader that
// takes nothing for the stall limit is given up.
class IncrementalSend : public QObject {
    Q_OBJECT

public:
    IncrementalSend(XcbConnection& connection, xcb_window_t requestor, xcb_atom_t property,
                    xcb_atom_t type, QByteArray bytes, int stallLimitMs, QObject* parent);
    ~IncrementalSend() override;

    // Takes the event when it is about this send.
    bool handle(const xcb_generic_event_t& event);

Q_SIGNALS:
    void finished();

private:
    void writeNext();

    XcbConnection& m_connection;
    const xcb_window_t m_requestor;
    const xcb_atom_t m_property;
    const xcb_atom_t m_type;
    const QByteArray m_bytes;
    qsizetype m_written = 0;
    bool m_ended = false;
    QTimer m_stallLimit;
};

}  // namespace clipwren::x11
