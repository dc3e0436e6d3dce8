// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <variant>
#include <vector>

#include "platform/net/OutgoingBytes.h"
#include "protocol/ContentKind.h"

namespace clipwren {

// A message object: string keys mapped to strings or integers, written as compact JSON.
class Message {
public:
    Message& set(const char* key, const QString& value);
    Message& set(const char* key, qint64 value);
    // The value is the Base64 of bytes, encoded as the text is written, straight into it:
    // Base64 holds nothing that JSON escapes.
    Message& setBase64(const char* key, QByteArray bytes);

    // The UTF-8 JSON text; nothing when a string cannot be written as UTF-8 (a lone
    // surrogate).
    std::optional<QByteArray> toJson() const;
    // The JSON text in one frame; nothing when it cannot be written or is too long to frame.
    std::optional<QByteArray> toFrame() const;
    // The same frame as it is handed to the connection: the Base64 value, if any, is made a
    // slice at a time as it leaves, so a large content's text never exists whole.
    std::optional<OutgoingBytes> toOutgoing() const;

private:
    // The first Base64 value, left out of the text, to be written at "at".
    struct Deferred {
        QByteArray bytes;
        qsizetype at = -1;
    };
    // The JSON text behind headroom bytes left for the caller; with deferred, the Base64 value
    // is left out and said there.
    std::optional<QByteArray> write(qsizetype headroom, Deferred* deferred = nullptr) const;

    struct Base64Of {
        QByteArray bytes;
    };
    using Value = std::variant<QString, qint64, Base64Of>;
    std::vector<std::pair<const char*, Value>> m_entries;
};

inline constexpr qint64 protocolVersion = 1;

Message helloMessage(const QString& token, const QString& deviceID);
// "data" is the Base64 of bytes; "id" a new UUID.
Message clipMessage(ContentKind kind, const QByteArray& bytes, const QString& token,
                    const QString& deviceID);
// The same under any kind name, known or not, as a peer of a later version might send.
Message clipMessage(const QString& kindName, const QByteArray& bytes, const QString& token,
                    const QString& deviceID);

}  // namespace clipwren
