// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/x11/X11Pasteboard.h"

#include <xcb/xfixes.h>

#include <cstring>

#include "Logging.h"
#include "platform/clipboard/x11/IncrementalSend.h"
#include "platform/clipboard/x11/SelectionTransfer.h"
#include "platform/clipboard/x11/XcbConnection.h"

namespace clipwren::x11 {

namespace {
// A reader that takes no piece for this long has given up.
constexpr int sendStallLimitMs = 10'000;
}  // namespace

X11Pasteboard::X11Pasteboard(std::unique_ptr<XcbConnection> connection, qint64 readCap,
                             QObject* parent)
    : ContentsPasteboard(readCap, parent), m_connection(std::move(connection)) {
    connect(m_connection.get(), &XcbConnection::lost, this,
            [this] { lose(Loss::DisplayServerGone); });
    m_connection->setEventHandler([this](const xcb_generic_event_t& event) { handle(event); });
    // What is there already starts being read before anyone looks, so that it is known as
    // present, never taken for new.
    ownerChanged(m_connection->clipboardOwner(), XCB_CURRENT_TIME);
    m_connection->attachToEventLoop();
}

X11Pasteboard::~X11Pasteboard() {
    m_transfer.reset();
    qDeleteAll(m_sends.children());
}

void X11Pasteboard::handle(const xcb_generic_event_t& event) {
    const quint8 type = event.response_type & 0x7f;
    if (type == m_connection->xfixesEventBase() + XCB_XFIXES_SELECTION_NOTIFY) {
        const auto& notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
        if (notify.selection == m_connection->clipboard()) {
            ownerChanged(notify.owner, notify.timestamp);
        }
        return;
    }
    switch (type) {
        case XCB_SELECTION_REQUEST:
            serve(reinterpret_cast<const xcb_selection_request_event_t&>(event));
            return;
        case XCB_SELECTION_CLEAR:
            // A clear may be older than our taking the clipboard again (after clearing it
            // ourselves): only the server knows whether it is still ours. The new owner's
            // content follows through XFixes.
            if (m_connection->clipboardOwner() != m_connection->window()) m_owned.reset();
            return;
        default:
            break;
    }
    if (m_transfer && m_transfer->handle(event)) return;
    for (QObject* child : m_sends.children()) {
        if (static_cast<IncrementalSend*>(child)->handle(event)) return;
    }
}

void X11Pasteboard::ownerChanged(xcb_window_t owner, xcb_timestamp_t time) {
    // While the clipboard is ours it holds what we hold. A news of another owner then is
    // older than our taking it: a new owner's SelectionClear always comes first.
    if (m_owned) return;
    m_transfer.reset();
    if (owner == XCB_NONE) return settleEmpty();
    beginReading();
    m_readTime = time;
    read(m_connection->atom("TARGETS"),
         [this](std::optional<QByteArray> targets) { readTargets(std::move(targets)); });
}

void X11Pasteboard::read(xcb_atom_t target, Fetched done) {
    m_transfer = std::make_unique<SelectionTransfer>(
        *m_connection, target, m_readTime, readCap(), readTimeLimitMs,
        [this, done = std::move(done)](std::optional<QByteArray> bytes) {
            // The transfer is over: it goes once its own handler has returned.
            m_transfer.release()->deleteLater();
            done(std::move(bytes));
        });
}

void X11Pasteboard::readTargets(std::optional<QByteArray> targets) {
    QList<xcb_atom_t> atoms;
    if (targets) {
        atoms.resize(targets->size() / qsizetype(sizeof(xcb_atom_t)));
        std::memcpy(atoms.data(), targets->constData(), atoms.size() * sizeof(xcb_atom_t));
    }
    readOffered(m_connection->atomNames(atoms));
}

void X11Pasteboard::fetch(const QByteArray& mimeType, Fetched done) {
    read(m_connection->atom(mimeType), std::move(done));
}

bool X11Pasteboard::own(const ClipboardContents& contents) {
    if (m_connection->isLost()) return false;
    m_transfer.reset();
    const xcb_timestamp_t time = m_connection->serverTime();
    xcb_set_selection_owner(m_connection->connection(), m_connection->window(),
                            m_connection->clipboard(), time);
    if (m_connection->clipboardOwner() != m_connection->window()) {
        qCWarning(lcX11) << "the X server did not give us the clipboard";
        m_owned.reset();
        return false;
    }
    m_owned = contents;
    m_ownedSince = time;
    return true;
}

void X11Pasteboard::serve(const xcb_selection_request_event_t& request) {
    // Clients of the last century name no property: the target stands for it.
    const xcb_atom_t property = request.property == XCB_NONE ? request.target : request.property;
    const bool answered =
        m_owned && request.selection == m_connection->clipboard() && answer(request, property);
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = answered ? property : xcb_atom_t(XCB_NONE);
    xcb_send_event(m_connection->connection(), 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
    m_connection->flush();
}

bool X11Pasteboard::answer(const xcb_selection_request_event_t& request, xcb_atom_t property) {
    xcb_connection_t* connection = m_connection->connection();
    const xcb_atom_t targets = m_connection->atom("TARGETS");
    const xcb_atom_t timestamp = m_connection->atom("TIMESTAMP");
    if (request.target == targets) {
        QList<xcb_atom_t> offered{targets, timestamp};
        for (const QByteArray& type : offeredTypes(*m_owned)) {
            offered.append(m_connection->atom(type));
        }
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property,
                            XCB_ATOM_ATOM, 32, quint32(offered.size()), offered.constData());
        return true;
    }
    if (request.target == timestamp) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property,
                            XCB_ATOM_INTEGER, 32, 1, &m_ownedSince);
        return true;
    }
    const QByteArray target = m_connection->atomName(request.target);
    auto bytes = bytesForType(*m_owned, target);
    if (!bytes) return false;
    // STRING is Latin-1 by definition; TEXT is answered in UTF-8, which it allows.
    xcb_atom_t type = request.target;
    if (target == "STRING") {
        bytes = QString::fromUtf8(*bytes).toLatin1();
    } else if (target == "TEXT") {
        type = m_connection->atom("UTF8_STRING");
    }
    if (bytes->size() <= qsizetype(m_connection->maximumChunk())) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, type, 8,
                            quint32(bytes->size()), bytes->constData());
        return true;
    }
    auto* send = new IncrementalSend(*m_connection, request.requestor, property, type,
                                     std::move(*bytes), sendStallLimitMs, &m_sends);
    connect(send, &IncrementalSend::finished, send, &QObject::deleteLater);
    return true;
}

void X11Pasteboard::abandon() {
    m_transfer.reset();
    m_owned.reset();
}

}  // namespace clipwren::x11
