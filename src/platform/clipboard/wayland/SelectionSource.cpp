// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/wayland/SelectionSource.h"

#include <unistd.h>

#include "platform/clipboard/wayland/PipeTransfer.h"
#include "platform/clipboard/wayland/WaylandConnection.h"

namespace clipwren::wayland {

namespace {
// A reader that takes nothing for this long has given up; its pipe is closed.
constexpr int writeStallLimitMs = 10'000;
}  // namespace

SelectionSource::SelectionSource(WaylandConnection& connection, ClipboardContents contents,
                                 QObject* writers, QObject* parent)
    : QObject(parent),
      m_connection(connection),
      m_source(connection.protocol().createSource(connection.manager())),
      m_contents(std::move(contents)),
      m_writers(writers) {
    m_connection.protocol().listenToSource(m_source, this);
    for (const QByteArray& type : offeredTypes(m_contents)) {
        m_connection.protocol().offer(m_source, type.constData());
    }
}

SelectionSource::~SelectionSource() {
    m_connection.protocol().destroySource(m_source);
    m_connection.flush();
}

void SelectionSource::onSend(const char* mimeType, int fd) {
    const auto bytes = bytesForType(m_contents, QByteArray(mimeType));
    if (!bytes) {
        ::close(fd);
        return;
    }
    auto* writer = new PipeWriter(fd, *bytes, writeStallLimitMs, m_writers);
    connect(writer, &PipeWriter::finished, writer, &QObject::deleteLater);
}

}  // namespace clipwren::wayland
