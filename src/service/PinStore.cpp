// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "service/PinStore.h"

#include <QUrl>

namespace clipwren {

namespace {

// One key per address; encoded, so that no character of an address (the colons of IPv6, a
// slash) is taken for the settings file's own syntax.
QString pinKey(const QString& address) {
    return QStringLiteral("pins/") + QString::fromLatin1(QUrl::toPercentEncoding(address));
}

}  // namespace

QString PinStore::pinned(const QString& address) const {
    return m_settings.text(pinKey(address));
}

bool PinStore::isTrusted(const QString& address, const QString& fingerprint) const {
    const QString pinned = this->pinned(address);
    return pinned.isEmpty() || pinned == fingerprint;
}

void PinStore::pinOnFirstUse(const QString& address, const QString& fingerprint) {
    if (pinned(address).isEmpty() && !fingerprint.isEmpty()) pin(address, fingerprint);
}

void PinStore::pin(const QString& address, const QString& fingerprint) {
    if (!m_settings.setText(pinKey(address), fingerprint)) m_failed();
}

}  // namespace clipwren
