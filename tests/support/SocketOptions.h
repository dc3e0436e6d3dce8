// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QList>

#include "platform/net/Keepalive.h"

namespace clipwren::test {

// The kernel's keepalive settings of this process's TCP socket from localPort to peerPort:
// {SO_KEEPALIVE, idle s, interval s, probes}; empty when there is no such socket.
QList<int> keepaliveOf(quint16 localPort, quint16 peerPort);

// What enableKeepalive sets, in the same form.
inline QList<int> expectedKeepalive() {
    return {1, KeepaliveTiming::idleSeconds, KeepaliveTiming::intervalSeconds,
            KeepaliveTiming::probes};
}

}  // namespace clipwren::test
