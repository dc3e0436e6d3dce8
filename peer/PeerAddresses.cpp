// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "PeerAddresses.h"

#include <QStringList>
#include <algorithm>

namespace clipwren::peer {

namespace {

bool isWildcard(const QHostAddress& address) {
    return address == QHostAddress::Any || address == QHostAddress::AnyIPv4 ||
           address == QHostAddress::AnyIPv6;
}

// A link-local address needs the other machine's own interface name after it, which this
// machine cannot know; a loopback one reaches only this machine.
bool isTypeable(const QHostAddress& address, const QHostAddress& listening) {
    const bool ipv4 = address.protocol() == QAbstractSocket::IPv4Protocol;
    const bool ipv6 = address.protocol() == QAbstractSocket::IPv6Protocol;
    const bool served =
        listening == QHostAddress::Any || (listening == QHostAddress::AnyIPv4 ? ipv4 : ipv6);
    return (ipv4 || ipv6) && served && !address.isLoopback() && !address.isLinkLocal();
}

}  // namespace

QList<QHostAddress> addressesToType(const QHostAddress& listening,
                                    const QList<QHostAddress>& localAddresses) {
    if (!isWildcard(listening)) return {listening};
    QList<QHostAddress> typeable;
    for (const QHostAddress& address : localAddresses) {
        if (isTypeable(address, listening) && !typeable.contains(address)) typeable.append(address);
    }
    std::stable_sort(typeable.begin(), typeable.end(), [](const auto& a, const auto& b) {
        return a.protocol() == QAbstractSocket::IPv4Protocol &&
               b.protocol() != QAbstractSocket::IPv4Protocol;
    });
    return typeable;
}

QString addressesLine(const QList<QHostAddress>& addresses) {
    QStringList texts;
    for (const QHostAddress& address : addresses) texts.append(address.toString());
    return QStringLiteral("Indirizzi da inserire in \u00abIP Linux\u00bb: ") +
           (texts.isEmpty() ? QStringLiteral("nessuno trovato: questo Linux \u00e8 in rete?")
                            : texts.join(QStringLiteral(", ")));
}

}  // namespace clipwren::peer
