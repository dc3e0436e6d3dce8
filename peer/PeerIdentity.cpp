// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "PeerIdentity.h"

#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QStandardPaths>
#include <QSysInfo>

#include "platform/AtomicFile.h"
#include "platform/net/SelfSignedCertificate.h"

namespace clipwren::peer {

namespace {

constexpr QFile::Permissions ownerOnlyFolder =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions ownerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;

QString certificatePath(const QString& folder) {
    return folder + QStringLiteral("/certificate.pem");
}
QString keyPath(const QString& folder) {
    return folder + QStringLiteral("/key.pem");
}

std::optional<QByteArray> readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

std::optional<PeerIdentity> readIdentity(const QString& folder) {
    const auto certificate = readAll(certificatePath(folder));
    const auto key = readAll(keyPath(folder));
    if (!certificate || !key) return std::nullopt;
    if (QSslCertificate(*certificate, QSsl::Pem).isNull() ||
        QSslKey(*key, QSsl::Ec, QSsl::Pem, QSsl::PrivateKey).isNull()) {
        return std::nullopt;
    }
    // A key copied in by hand may be readable by others; it is ours to keep private.
    QFile::setPermissions(keyPath(folder), ownerOnlyFile);
    return PeerIdentity{*certificate, *key, certificateFingerprint(*certificate), false};
}

// The key is owner-only before it is written, so it is never readable by others.
Result<void> writePem(const QString& path, const QByteArray& pem,
                      QFile::Permissions permissions = {}) {
    const auto written = writeAtomically(path, pem, permissions);
    if (!written) return Failure{path + QStringLiteral(": ") + written.error()};
    return {};
}

}  // namespace

QString defaultIdentityFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/ClipwrenPlus/peer");
}

Result<PeerIdentity> loadOrCreateIdentity(const QString& folder) {
    if (folder.isEmpty()) {
        return Failure{QStringLiteral("cartella dei dati dell'utente non disponibile")};
    }
    if (!QDir().mkpath(folder) || !QFile::setPermissions(folder, ownerOnlyFolder)) {
        return Failure{QStringLiteral("non riesco a preparare la cartella ") + folder};
    }
    if (auto kept = readIdentity(folder)) return *std::move(kept);

    const auto made = SelfSignedCertificate::generate(QStringLiteral("clipwren-peer ") +
                                                      QSysInfo::machineHostName());
    if (!made) return Failure{QStringLiteral("non riesco a creare il certificato")};
    // The key first: a certificate without its key is never left behind as if complete.
    QFile::remove(certificatePath(folder));
    if (auto written = writePem(keyPath(folder), made->privateKeyPem, ownerOnlyFile); !written) {
        return written.failure();
    }
    if (auto written = writePem(certificatePath(folder), made->certificatePem); !written) {
        return written.failure();
    }
    return PeerIdentity{made->certificatePem, made->privateKeyPem,
                        certificateFingerprint(made->certificatePem), true};
}

}  // namespace clipwren::peer
