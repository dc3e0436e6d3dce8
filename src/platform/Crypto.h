// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <initializer_list>
#include <optional>

namespace clipwren {

// SHA-256 over the parts, in order, as if they were one byte string.
QByteArray sha256(std::initializer_list<QByteArrayView> parts);

// Standard Base64 (RFC 4648 alphabet, '=' padding), one line.
QByteArray base64Encode(QByteArrayView bytes);
// The same, written at the end of text: a large text is made in place, not made and copied.
void appendBase64(QByteArray& text, QByteArrayView bytes);
// The length of the Base64 of size bytes.
constexpr qsizetype base64Length(qsizetype size) {
    return (size + 2) / 3 * 4;
}

// Decodes standard Base64 and rejects anything else: characters outside the alphabet
// (white space and line breaks included), '=' anywhere but the last one or two places,
// a length that is not a multiple of 4, and non-zero bits after the last byte ("QR=="), so
// that only the text base64Encode writes is accepted. The empty text yields no bytes.
std::optional<QByteArray> base64DecodeStrict(QByteArrayView text);

// 64 bits from the system's cryptographically secure source.
quint64 secureRandom64();

}  // namespace clipwren
