// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QHash>
#include <QObject>
#include <memory>

#include "platform/clipboard/ContentsPasteboard.h"
#include "platform/clipboard/wayland/DataControlProtocol.h"

namespace clipwren::wayland {

class SelectionOffer;
class SelectionSource;
class WaylandConnection;

// The clipboard of a Wayland session through data-control, which serves programs that never
// have the focus. Each new selection is read once, in the background, when it appears; the
// seven operations then answer from what was read, so a tick costs nothing. While the
// selection is ours, they answer from the bytes held for it.
class WaylandPasteboard final : public ContentsPasteboard, private DeviceEvents {
    Q_OBJECT

public:
    WaylandPasteboard(std::unique_ptr<WaylandConnection> connection, qint64 readCap,
                      QObject* parent = nullptr);
    ~WaylandPasteboard() override;

private:
    void onDataOffer(wl_proxy* offer) override;
    void onSelection(wl_proxy* offer) override;
    void onPrimarySelection(wl_proxy* offer) override;
    void onFinished() override;

    bool own(const ClipboardContents& contents) override;
    void fetch(const QByteArray& mimeType, Fetched done) override;
    void abandon() override;
    void readOffer();
    void sourceCancelled();

    std::unique_ptr<WaylandConnection> m_connection;
    wl_proxy* m_device = nullptr;
    // Offers announced and not yet named as the selection.
    QHash<wl_proxy*, SelectionOffer*> m_announced;
    // The current selection's offer, unless the selection is ours.
    std::unique_ptr<SelectionOffer> m_offer;
    std::unique_ptr<SelectionSource> m_source;
    QObject m_writers;
};

}  // namespace clipwren::wayland
