// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "protocol/Message.h"

#include <QtEndian>

#include "platform/Crypto.h"
#include "platform/Uuid.h"
#include "protocol/FrameCodec.h"

namespace clipwren {

namespace {

bool hasLoneSurrogate(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            return true;
        }
    }
    return false;
}

void appendJsonString(QByteArray& out, const QByteArray& utf8) {
    static constexpr char hex[] = "0123456789abcdef";
    out.append('"');
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.append('\\').append(c);
        } else if (byte < 0x20) {
            out.append("\\u00").append(hex[byte >> 4]).append(hex[byte & 0xF]);
        } else {
            out.append(c);
        }
    }
    out.append('"');
}

}  // namespace

Message& Message::set(const char* key, const QString& value) {
    m_entries.emplace_back(key, value);
    return *this;
}

Message& Message::set(const char* key, qint64 value) {
    m_entries.emplace_back(key, value);
    return *this;
}

Message& Message::setBase64(const char* key, QByteArray bytes) {
    m_entries.emplace_back(key, Base64Of{std::move(bytes)});
    return *this;
}

std::optional<QByteArray> Message::toJson() const {
    return write(0);
}

std::optional<QByteArray> Message::write(qsizetype headroom, Deferred* deferred) const {
    qsizetype size = headroom + 2;
    for (const auto& [key, value] : m_entries) {
        size += qsizetype(std::strlen(key)) + 4;
        // A deferred value takes no room here; any later one is rare enough to grow into.
        if (const auto* base64 = std::get_if<Base64Of>(&value); base64 && !deferred)
            size += base64Length(base64->bytes.size()) + 2;
    }
    QByteArray json;
    json.reserve(size + 256);
    json.fill('\0', headroom);
    json.append('{');
    for (const auto& [key, value] : m_entries) {
        if (json.size() > headroom + 1) json.append(',');
        appendJsonString(json, QByteArray(key));
        json.append(':');
        if (const auto* text = std::get_if<QString>(&value)) {
            if (hasLoneSurrogate(*text)) return std::nullopt;
            appendJsonString(json, text->toUtf8());
        } else if (const auto* number = std::get_if<qint64>(&value)) {
            json.append(QByteArray::number(*number));
        } else {
            const QByteArray& bytes = std::get<Base64Of>(value).bytes;
            json.append('"');
            if (deferred && deferred->at < 0) {
                *deferred = {bytes, json.size()};
            } else {
                appendBase64(json, bytes);
            }
            json.append('"');
        }
    }
    json.append('}');
    return json;
}

std::optional<QByteArray> Message::toFrame() const {
    const auto frame = toOutgoing();
    if (!frame) return std::nullopt;
    return frame->whole();
}

std::optional<OutgoingBytes> Message::toOutgoing() const {
    // Written behind room for the length, so that a message without Base64 is not copied.
    Deferred deferred;
    auto frame = write(frameHeaderSize, &deferred);
    if (!frame) return std::nullopt;
    const qsizetype length = frame->size() - frameHeaderSize + base64Length(deferred.bytes.size());
    if (quint64(length) > maxFrameBody) return std::nullopt;
    qToBigEndian(quint32(length), frame->data());
    if (deferred.at < 0) return OutgoingBytes(*std::move(frame));
    return OutgoingBytes(frame->first(deferred.at), std::move(deferred.bytes),
                         frame->sliced(deferred.at));
}

Message helloMessage(const QString& token, const QString& deviceID) {
    Message hello;
    hello.set("type", QStringLiteral("hello"))
        .set("token", token)
        .set("v", protocolVersion)
        .set("device", deviceID);
    return hello;
}

Message clipMessage(ContentKind kind, const QByteArray& bytes, const QString& token,
                    const QString& deviceID) {
    return clipMessage(QString(wireName(kind)), bytes, token, deviceID);
}

Message clipMessage(const QString& kindName, const QByteArray& bytes, const QString& token,
                    const QString& deviceID) {
    Message clip;
    clip.set("v", protocolVersion)
        .set("device", deviceID)
        .set("id", newUuidText())
        .set("kind", kindName)
        .setBase64("data", bytes)
        .set("token", token);
    return clip;
}

}  // namespace clipwren
