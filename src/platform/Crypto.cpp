// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/Crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

#include "platform/Memory.h"

namespace clipwren {

namespace {

// Each character's 6-bit value; -1 outside the alphabet.
constexpr std::array<signed char, 256> base64Values = [] {
    std::array<signed char, 256> table{};
    table.fill(-1);
    constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = char(i);
    return table;
}();

}  // namespace

QByteArray sha256(std::initializer_list<QByteArrayView> parts) {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free);
    QByteArray digest(32, Qt::Uninitialized);
    unsigned int length = 0;
    const bool ok =
        context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) == 1 &&
        std::all_of(parts.begin(), parts.end(),
                    [&](QByteArrayView part) {
                        return EVP_DigestUpdate(context.get(), part.data(), size_t(part.size())) ==
                               1;
                    }) &&
        EVP_DigestFinal_ex(context.get(), reinterpret_cast<unsigned char*>(digest.data()),
                           &length) == 1;
    // Only an allocation failure inside OpenSSL gets here; carrying on with a wrong digest
    // would silently break change detection.
    if (!ok || length != 32) std::abort();
    return digest;
}

QByteArray base64Encode(QByteArrayView bytes) {
    QByteArray text;
    appendBase64(text, bytes);
    return text;
}

void appendBase64(QByteArray& text, QByteArrayView bytes) {
    const qsizetype start = text.size();
    text.resize(start + base64Length(bytes.size()) + 1);  // EVP_EncodeBlock adds a NUL
    const int written =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data() + start),
                        reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()));
    text.truncate(start + written);
}

std::optional<QByteArray> base64DecodeStrict(QByteArrayView text) {
    const qsizetype length = text.size();
    if (length % 4 != 0) return std::nullopt;
    if (length == 0) return QByteArray();

    qsizetype padding = 0;
    if (text[length - 1] == '=') padding = text[length - 2] == '=' ? 2 : 1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (qsizetype i = 0; i < length - padding; ++i) {
        if (base64Values[bytes[i]] < 0) return std::nullopt;
    }
    // Bits below the last whole byte must be zero: otherwise several texts would decode to the
    // same bytes, and decoding then encoding would not give the text back.
    if (padding > 0) {
        const int unusedBits = padding == 2 ? 0x0F : 0x03;
        if (base64Values[bytes[length - padding - 1]] & unusedBits) return std::nullopt;
    }

    QByteArray decoded(length / 4 * 3, Qt::Uninitialized);
    adviseHugePages(decoded.data(), size_t(decoded.size()));
    const int written =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(decoded.data()), bytes, int(length));
    if (written < 0) return std::nullopt;
    // EVP_DecodeBlock counts the pad characters as zero bytes.
    decoded.truncate(written - padding);
    return decoded;
}

quint64 secureRandom64() {
    quint64 value = 0;
    // A missing random source must never degrade into predictable pairing codes.
    if (RAND_bytes(reinterpret_cast<unsigned char*>(&value), sizeof value) != 1) std::abort();
    return value;
}

}  // namespace clipwren
