// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/net/SelfSignedCertificate.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <QSslCertificate>
#include <memory>

namespace clipwren {

namespace {

template <typename T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, std::integral_constant<decltype(Free), Free>>;

QByteArray drain(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, qsizetype(size));
}

Failure notCreated() {
    return Failure{QStringLiteral("certificate not made")};
}

}  // namespace

Result<SelfSignedCertificate> SelfSignedCertificate::generate(const QString& commonName,
                                                              int validDays) {
    Owned<EVP_PKEY, EVP_PKEY_free> key(EVP_EC_gen("P-256"));
    Owned<X509, X509_free> certificate(X509_new());
    if (!key || !certificate) return notCreated();

    Owned<BIGNUM, BN_free> serialNumber(BN_new());
    if (!serialNumber ||
        BN_rand(serialNumber.get(), 127, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) != 1 ||
        !BN_to_ASN1_INTEGER(serialNumber.get(), X509_get_serialNumber(certificate.get()))) {
        return notCreated();
    }

    const QByteArray name = commonName.toUtf8();
    X509_NAME* subject = X509_get_subject_name(certificate.get());
    const bool built =
        X509_set_version(certificate.get(), 2) == 1 &&
        X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600) &&
        X509_gmtime_adj(X509_getm_notAfter(certificate.get()), long(validDays) * 86400) &&
        X509_set_pubkey(certificate.get(), key.get()) == 1 &&
        X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(name.constData()),
                                   int(name.size()), -1, 0) == 1 &&
        X509_set_issuer_name(certificate.get(), subject) == 1 &&
        X509_sign(certificate.get(), key.get(), EVP_sha256()) > 0;
    if (!built) return notCreated();

    Owned<BIO, BIO_free_all> certificateOut(BIO_new(BIO_s_mem()));
    Owned<BIO, BIO_free_all> keyOut(BIO_new(BIO_s_mem()));
    if (!certificateOut || !keyOut ||
        PEM_write_bio_X509(certificateOut.get(), certificate.get()) != 1 ||
        PEM_write_bio_PrivateKey(keyOut.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1) {
        return notCreated();
    }
    return SelfSignedCertificate{drain(certificateOut.get()), drain(keyOut.get())};
}

QString certificateFingerprint(const QByteArray& certificatePem) {
    const QSslCertificate certificate(certificatePem, QSsl::Pem);
    return fingerprintText(certificate.digest(QCryptographicHash::Sha256));
}

QString fingerprintText(const QByteArray& digest) {
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

}  // namespace clipwren
