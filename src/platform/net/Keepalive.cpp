// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/net/Keepalive.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QAbstractSocket>
#include <QVariant>

namespace clipwren {

namespace {

void setOption(qintptr descriptor, int name, int value) {
    ::setsockopt(int(descriptor), IPPROTO_TCP, name, &value, sizeof value);
}

}  // namespace

void enableKeepalive(QAbstractSocket& socket) {
    socket.setSocketOption(QAbstractSocket::KeepAliveOption, QVariant(1));
    const qintptr descriptor = socket.socketDescriptor();
    if (descriptor < 0) return;
#ifdef TCP_KEEPIDLE
    setOption(descriptor, TCP_KEEPIDLE, KeepaliveTiming::idleSeconds);
#elif defined(TCP_KEEPALIVE)
    setOption(descriptor, TCP_KEEPALIVE, KeepaliveTiming::idleSeconds);  // macOS
#endif
    setOption(descriptor, TCP_KEEPINTVL, KeepaliveTiming::intervalSeconds);
    setOption(descriptor, TCP_KEEPCNT, KeepaliveTiming::probes);
}

}  // namespace clipwren
