// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "service/PeerAddress.h"

#include <QHostAddress>
#include <QUrl>

namespace clipwren {

namespace {

constexpr qsizetype longestName = 253;
constexpr qsizetype longestLabel = 63;

bool isLabel(QByteArrayView label) {
    if (label.isEmpty() || label.size() > longestLabel) return false;
    if (label.front() == '-' || label.back() == '-') return false;
    return std::all_of(label.begin(), label.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-';
    });
}

bool isHostName(const QString& address) {
    QByteArray ace = QUrl::toAce(address);
    if (ace.endsWith('.')) ace.chop(1);  // the root, as in "linux.lan."
    if (ace.isEmpty() || ace.size() > longestName) return false;
    const QList<QByteArray> labels = ace.split('.');
    if (!std::all_of(labels.begin(), labels.end(), [](const QByteArray& l) { return isLabel(l); }))
        return false;
    // An all-digit last label is an IPv4 address gone wrong, never a name.
    const QByteArray& last = labels.last();
    return !std::all_of(last.begin(), last.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool isValidPeerAddress(const QString& address) {
    // Qt's parser passes over blanks inside an address; a user who typed one meant something.
    if (address.isEmpty() ||
        std::any_of(address.begin(), address.end(), [](QChar c) { return c.isSpace(); }))
        return false;
    // A scope (fe80::1%eth0) is part of an IPv6 address that a link-local peer needs.
    if (QHostAddress candidate; candidate.setAddress(address)) {
        // Qt also takes shorthand such as "10.1", which a user means as a half-typed address.
        return candidate.protocol() != QAbstractSocket::IPv4Protocol || address.count(u'.') == 3;
    }
    return isHostName(address);
}

}  // namespace clipwren
