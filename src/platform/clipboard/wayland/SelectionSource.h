// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>

#include "platform/clipboard/ClipboardContents.h"
#include "platform/clipboard/wayland/DataControlProtocol.h"

namespace clipwren::wayland {

class WaylandConnection;

// A selection of ours: it holds its bytes in memory and serves every request for them until
// the compositor cancels it. Each request is written by a PipeWriter owned by writers, so
// that a slow reader is still served after the source is gone.
class SelectionSource : public QObject, private SourceEvents {
    Q_OBJECT

public:
    SelectionSource(WaylandConnection& connection, ClipboardContents contents, QObject* writers,
                    QObject* parent = nullptr);
    ~SelectionSource() override;

    wl_proxy* proxy() const { return m_source; }
    const ClipboardContents& contents() const { return m_contents; }

Q_SIGNALS:
    // Another program owns the clipboard now.
    void cancelled();

private:
    void onSend(const char* mimeType, int fd) override;
    void onCancelled() override { Q_EMIT cancelled(); }

    WaylandConnection& m_connection;
    wl_proxy* m_source;
    const ClipboardContents m_contents;
    QObject* m_writers;
};

}  // namespace clipwren::wayland
