// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <variant>
#include <vector>

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

private:
    // The JSON text behind headroom bytes left for the caller.
    std::optional<QByteArray> write(qsizetype headroom) const;

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
