// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QString>

#include "platform/Result.h"

namespace clipwren::peer {

// The certificate the peer presents and its key. Clients accept any certificate, so its
// fingerprint is what a user can compare by eye to know they reached this machine.
struct PeerIdentity {
    QByteArray certificatePem;
    QByteArray privateKeyPem;
    QString fingerprint;   // SHA-256, upper-case hex pairs joined by colons
    bool created = false;  // made by this call rather than read back
};

// ClipwrenPlus/peer under the user's data folder.
QString defaultIdentityFolder();

// Reads the certificate and key kept in folder, or makes and keeps new ones when they are
// missing or unreadable. The folder is kept at 0700 and the key at 0600, so only the user
// can read the key.
Result<PeerIdentity> loadOrCreateIdentity(const QString& folder);

}  // namespace clipwren::peer
