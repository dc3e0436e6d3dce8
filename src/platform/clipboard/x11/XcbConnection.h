// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <xcb/xcb.h>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "platform/Result.h"

class QSocketNotifier;

namespace clipwren::x11 {

// The backend's own connection to the X server, whatever platform Qt itself runs on: a
// hidden window that owns and receives selections, the XFixes notification of clipboard
// owner changes, atoms by name, and the dispatch of events from the Qt event loop.
class XcbConnection : public QObject {
    Q_OBJECT

public:
    // Connects to the X server that DISPLAY names. Works before the application object exists.
    static Result<std::unique_ptr<XcbConnection>> open();
    ~XcbConnection() override;

    xcb_connection_t* connection() const { return m_connection; }
    xcb_window_t window() const { return m_window; }
    xcb_atom_t clipboard() const { return m_clipboard; }
    // The largest property write the server takes in one request, in bytes.
    quint32 maximumChunk() const { return m_maximumChunk; }
    bool isLost() const { return m_lost; }

    xcb_atom_t atom(const QByteArray& name);
    QByteArray atomName(xcb_atom_t atom);
    // The names of many atoms, asked for all at once.
    QList<QByteArray> atomNames(const QList<xcb_atom_t>& atoms);

    // The server's time now, for taking the clipboard: a stale time would be refused.
    xcb_timestamp_t serverTime();
    // The owner of the clipboard now.
    xcb_window_t clipboardOwner();

    // Every event, from the event loop; the handler must not destroy the connection.
    void setEventHandler(std::function<void(const xcb_generic_event_t&)> handler);
    void attachToEventLoop();
    void flush();
    // The first event code of XFixes, which selection notifications are numbered from.
    quint8 xfixesEventBase() const { return m_xfixesEventBase; }

Q_SIGNALS:
    // The X server went away; nothing works on it any more.
    void lost();

private:
    explicit XcbConnection(xcb_connection_t* connection, int screen);
    Result<void> setUp();
    void dispatch();
    void dispatchSoon();
    bool checkAlive();

    xcb_connection_t* m_connection;
    int m_screen;
    xcb_window_t m_window = XCB_NONE;
    xcb_atom_t m_clipboard = XCB_NONE;
    xcb_atom_t m_timeProperty = XCB_NONE;
    quint32 m_maximumChunk = 0;
    quint8 m_xfixesEventBase = 0;
    QHash<QByteArray, xcb_atom_t> m_atoms;
    QHash<xcb_atom_t, QByteArray> m_names;
    // Events read while waiting for something else, handed on from the loop.
    QList<xcb_generic_event_t*> m_pending;
    std::function<void(const xcb_generic_event_t&)> m_handler;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_dispatchQueued = false;
    bool m_lost = false;
};

}  // namespace clipwren::x11
