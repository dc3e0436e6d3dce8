// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <xcb/xcb.h>

#include <QList>
#include <QObject>
#include <memory>
#include <optional>

#include "platform/clipboard/ContentsPasteboard.h"

namespace clipwren::x11 {

class SelectionTransfer;
class XcbConnection;

// The X11 clipboard on a connection of its own. Each new owner's content is read once, in
// the background, when XFixes announces it: targets first, then what the snapshot uses,
// one conversion at a time with a time limit and a byte cap, so an owner that never answers
// freezes nothing. Our own selections are served from the bytes held for them, large ones
// incrementally, and taken with the server's current time, so taking the clipboard from an
// unresponsive owner works too.
class X11Pasteboard final : public ContentsPasteboard {
    Q_OBJECT

public:
    X11Pasteboard(std::unique_ptr<XcbConnection> connection, qint64 readCap,
                  QObject* parent = nullptr);
    ~X11Pasteboard() override;

private:
    void handle(const xcb_generic_event_t& event);
    void ownerChanged(xcb_window_t owner, xcb_timestamp_t time);
    void read(xcb_atom_t target, Fetched done);
    void readTargets(std::optional<QByteArray> targets);
    void fetch(const QByteArray& mimeType, Fetched done) override;
    bool own(const ClipboardContents& contents) override;
    void abandon() override;
    void serve(const xcb_selection_request_event_t& request);
    bool answer(const xcb_selection_request_event_t& request, xcb_atom_t property);

    std::unique_ptr<XcbConnection> m_connection;
    // What we hold while the clipboard is ours, and since when.
    std::optional<ClipboardContents> m_owned;
    xcb_timestamp_t m_ownedSince = XCB_CURRENT_TIME;
    xcb_timestamp_t m_readTime = XCB_CURRENT_TIME;
    std::unique_ptr<SelectionTransfer> m_transfer;
    // Large contents still being served in pieces; they outlive a change of owner.
    QObject m_sends;
};

}  // namespace clipwren::x11
