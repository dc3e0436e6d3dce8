// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <functional>
#include <optional>

#include "platform/clipboard/ClipboardContents.h"
#include "platform/clipboard/wayland/DataControlProtocol.h"

namespace clipwren::wayland {

class PipeReader;
class WaylandConnection;

// One offer of the compositor: the types it was announced with, and the reading of the ones
// the program uses, one pipe at a time. Destroying it abandons a reading in progress.
class SelectionOffer : public QObject, private OfferEvents {
    Q_OBJECT

public:
    using Done = std::function<void(const ClipboardContents&)>;

    SelectionOffer(WaylandConnection& connection, wl_proxy* offer, QObject* parent = nullptr);
    ~SelectionOffer() override;

    const QList<QByteArray>& types() const { return m_types; }

    // Reads the types of readingPlan(), each with the time limit and the byte cap; a type that
    // fails or times out stays absent. done runs once, from the event loop.
    void read(qint64 cap, int timeLimitMs, Done done);

private:
    void onOffered(const char* mimeType) override;
    void readNext();
    void take(const ReadStep& step, std::optional<QByteArray> bytes);

    WaylandConnection& m_connection;
    wl_proxy* m_offer;
    QList<QByteArray> m_types;
    QList<ReadStep> m_plan;
    ClipboardContents m_contents;
    qint64 m_cap = 0;
    int m_timeLimitMs = 0;
    Done m_done;
    PipeReader* m_reader = nullptr;
};

}  // namespace clipwren::wayland
