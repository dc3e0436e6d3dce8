// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QString>

#include "platform/Result.h"

namespace clipwren {

// A new P-256 key and a self-signed certificate for it, both in PEM. Our peers identify each
// other by the pairing code; the certificate only gives TLS something to present.
struct SelfSignedCertificate {
    QByteArray certificatePem;
    QByteArray privateKeyPem;

    static Result<SelfSignedCertificate> generate(const QString& commonName, int validDays = 3650);
};

// SHA-256 fingerprint of a PEM certificate as upper-case hex pairs joined by colons.
QString certificateFingerprint(const QByteArray& certificatePem);
// The same form for a digest already computed.
QString fingerprintText(const QByteArray& digest);

}  // namespace clipwren
