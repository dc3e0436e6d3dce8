// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

class QAbstractSocket;

namespace clipwren {

// A link that died silently (a laptop asleep, Wi-Fi gone) would otherwise look connected for
// ever: TCP probes an idle link and fails it after about a minute.
struct KeepaliveTiming {
    static constexpr int idleSeconds = 30;
    static constexpr int intervalSeconds = 10;
    static constexpr int probes = 3;
};

// Turns keepalive on for a connected socket, with KeepaliveTiming.
void enableKeepalive(QAbstractSocket& socket);

}  // namespace clipwren
