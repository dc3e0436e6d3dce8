// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

namespace clipwren::peer {

// The addresses the user can type in the tray program's «IP Linux» to reach a server listening
// on listening: that address itself, or, listening on every address, this machine's own
// (localAddresses), IPv4 first, without loopback and link-local ones.
QList<QHostAddress> addressesToType(const QHostAddress& listening,
                                    const QList<QHostAddress>& localAddresses);

// The log line naming them.
QString addressesLine(const QList<QHostAddress>& addresses);

}  // namespace clipwren::peer
