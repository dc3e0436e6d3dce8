// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <functional>
#include <optional>

#include "platform/clipboard/wayland/DataControlProtocol.h"

namespace clipwren::wayland {

class PipeReader;
class WaylandConnection;

// One offer of the compositor: the types it was announced with, and the reading of one of
// them through a pipe. Destroying it abandons a reading in progress.
class SelectionOffer : public QObject, private OfferEvents {
    Q_OBJECT

public:
    using Fetched = std::function<void(std::optional<QByteArray>)>;

    SelectionOffer(WaylandConnection& connection, wl_proxy* offer, QObject* parent = nullptr);
    ~SelectionOffer() override;

    const QList<QByteArray>& types() const { return m_types; }

    // Reads the bytes of one type, at most cap of them within the time limit; done runs once,
    // from the event loop, with nothing when they did not come.
    void fetch(const QByteArray& mimeType, qint64 cap, int timeLimitMs, Fetched done);

private:
    void onOffered(const char* mimeType) override;

    WaylandConnection& m_connection;
    wl_proxy* m_offer;
    QList<QByteArray> m_types;
    PipeReader* m_reader = nullptr;
};

}  // namespace clipwren::wayland
