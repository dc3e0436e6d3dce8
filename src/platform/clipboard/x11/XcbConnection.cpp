// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/x11/XcbConnection.h"

#include <xcb/xfixes.h>

#include <QHash>
#include <QSocketNotifier>
#include <cstdlib>

#include "Logging.h"

namespace clipwren::x11 {

namespace {

template <class Reply>
using ReplyPointer = std::unique_ptr<Reply, decltype(&std::free)>;

template <class Reply>
ReplyPointer<Reply> owned(Reply* reply) {
    return ReplyPointer<Reply>(reply, &std::free);
}

}  // namespace

Result<std::unique_ptr<XcbConnection>> XcbConnection::open() {
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return Failure{QStringLiteral("X server out of reach")};
    }
    std::unique_ptr<XcbConnection> opened(new XcbConnection(connection, screen));
    if (const Result<void> setUp = opened->setUp(); !setUp) return Failure{setUp.error()};
    return opened;
}

XcbConnection::XcbConnection(xcb_connection_t* connection, int screen)
    : m_connection(connection), m_screen(screen) {}

XcbConnection::~XcbConnection() {
    m_notifier.reset();
    for (xcb_generic_event_t* event : std::as_const(m_pending)) std::free(event);
    if (!m_lost && m_window != XCB_NONE) xcb_destroy_window(m_connection, m_window);
    xcb_disconnect(m_connection);
}

Result<void> XcbConnection::setUp() {
    const xcb_query_extension_reply_t* xfixes =
        xcb_get_extension_data(m_connection, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present) {
        return Failure{QStringLiteral("no XFixes extension")};
    }
    m_xfixesEventBase = xfixes->first_event;
    // XFixes answers only clients that said which version they speak.
    std::free(xcb_xfixes_query_version_reply(
        m_connection, xcb_xfixes_query_version(m_connection, 5, 0), nullptr));

    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < m_screen && screens.rem; ++i) xcb_screen_next(&screens);
    if (!screens.rem) return Failure{QStringLiteral("no screen")};
    m_window = xcb_generate_id(m_connection);
    const quint32 events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screens.data->root, 0, 0, 1, 1,
                      0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &events);
    m_clipboard = atom("CLIPBOARD");
    m_timeProperty = atom("_CLIPWREN_TIME");
    xcb_xfixes_select_selection_input(m_connection, m_window, m_clipboard,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    // In bytes, less room for the request's own header.
    m_maximumChunk = xcb_get_maximum_request_length(m_connection) * 4 - 64;
    flush();
    // A server gone already says so through lost(), which nobody hears yet: no reason here.
    if (!checkAlive()) return Failure{QString()};
    return {};
}

xcb_atom_t XcbConnection::atom(const QByteArray& name) {
    if (const auto known = m_atoms.constFind(name); known != m_atoms.cend()) return *known;
    const auto reply = owned(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, quint16(name.size()), name.constData()),
        nullptr));
    dispatchSoon();
    if (!reply) return XCB_NONE;
    m_atoms.insert(name, reply->atom);
    m_names.insert(reply->atom, name);
    return reply->atom;
}

QByteArray XcbConnection::atomName(xcb_atom_t atom) {
    return atomNames({atom}).value(0);
}

QList<QByteArray> XcbConnection::atomNames(const QList<xcb_atom_t>& atoms) {
    // An atom may come twice (mutter lists a Wayland source's text type twice): it is asked for
    // once, and each answer stays with its own atom.
    QHash<xcb_atom_t, xcb_get_atom_name_cookie_t> cookies;
    for (xcb_atom_t atom : atoms) {
        if (!m_names.contains(atom) && !cookies.contains(atom))
            cookies.insert(atom, xcb_get_atom_name(m_connection, atom));
    }
    if (!cookies.isEmpty()) dispatchSoon();
    QList<QByteArray> names;
    for (xcb_atom_t atom : atoms) {
        if (!m_names.contains(atom)) {
            const auto reply =
                owned(xcb_get_atom_name_reply(m_connection, cookies.value(atom), nullptr));
            const QByteArray name = reply ? QByteArray(xcb_get_atom_name_name(reply.get()),
                                                       xcb_get_atom_name_name_length(reply.get()))
                                          : QByteArray();
            m_names.insert(atom, name);
            if (!name.isEmpty()) m_atoms.insert(name, atom);
        }
        names.append(m_names.value(atom));
    }
    return names;
}

xcb_timestamp_t XcbConnection::serverTime() {
    // A property change on our own window comes back with the server's time. Only the server
    // is waited for, never another client.
    xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_window, m_timeProperty,
                        XCB_ATOM_INTEGER, 32, 0, nullptr);
    flush();
    dispatchSoon();
    while (xcb_generic_event_t* event = xcb_wait_for_event(m_connection)) {
        const auto* property = reinterpret_cast<xcb_property_notify_event_t*>(event);
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && property->window == m_window &&
            property->atom == m_timeProperty) {
            const xcb_timestamp_t time = property->time;
            std::free(event);
            return time;
        }
        m_pending.append(event);
    }
    checkAlive();
    return XCB_CURRENT_TIME;
}

xcb_window_t XcbConnection::clipboardOwner() {
    dispatchSoon();
    const auto reply = owned(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_clipboard), nullptr));
    return reply ? reply->owner : XCB_NONE;
}

void XcbConnection::setEventHandler(std::function<void(const xcb_generic_event_t&)> handler) {
    m_handler = std::move(handler);
}

void XcbConnection::attachToEventLoop() {
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_connection),
                                                   QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &XcbConnection::dispatch);
    flush();
    dispatchSoon();
}

void XcbConnection::dispatchSoon() {
    // Events read while waiting for a reply sit in a queue, xcb's or ours, and the socket says
    // nothing of them: they are handled at the loop's next turn, even a turn that never sleeps.
    if (!m_notifier || m_dispatchQueued) return;
    m_dispatchQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_dispatchQueued = false;
            dispatch();
        },
        Qt::QueuedConnection);
}

void XcbConnection::flush() {
    if (!m_lost) xcb_flush(m_connection);
}

void XcbConnection::dispatch() {
    if (m_lost) return;
    for (;;) {
        xcb_generic_event_t* event =
            m_pending.isEmpty() ? xcb_poll_for_event(m_connection) : m_pending.takeFirst();
        if (!event) break;
        if (m_handler) m_handler(*event);
        std::free(event);
        if (m_lost) return;
    }
    flush();
    checkAlive();
}

bool XcbConnection::checkAlive() {
    if (m_lost) return false;
    if (!xcb_connection_has_error(m_connection)) return true;
    m_lost = true;
    if (m_notifier) m_notifier->setEnabled(false);
    qCInfo(lcX11) << "connection to the X server lost";
    Q_EMIT lost();
    return false;
}

}  // namespace clipwren::x11
