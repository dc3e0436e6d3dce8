// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "protocol/SessionNotice.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace clipwren {

namespace {

// A notice is a few dozen bytes: a clip message of megabytes is not parsed twice.
constexpr qsizetype largestNotice = 256;

// Constant expressions: notices may be built while other statics are still being made.
constexpr QLatin1StringView acceptedType("accepted");
constexpr QLatin1StringView refusedType("refused");
constexpr QLatin1StringView wrongCodeReason("code");
constexpr QLatin1StringView busyReason("busy");

}  // namespace

Message noticeMessage(SessionNotice notice) {
    Message message;
    if (notice == SessionNotice::Accepted) {
        message.set("type", QString(acceptedType));
    } else {
        message.set("type", QString(refusedType))
            .set("reason",
                 QString(notice == SessionNotice::WrongCode ? wrongCodeReason : busyReason));
    }
    message.set("v", protocolVersion);
    return message;
}

std::optional<SessionNotice> readNotice(const QByteArray& body) {
    if (body.size() > largestNotice) return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    const QJsonValue version = object.value(QStringLiteral("v"));
    if (!version.isDouble() || version.toDouble() != double(protocolVersion)) return std::nullopt;
    const QString type = object.value(QStringLiteral("type")).toString();
    if (type == acceptedType) return SessionNotice::Accepted;
    if (type != refusedType) return std::nullopt;
    const QString reason = object.value(QStringLiteral("reason")).toString();
    if (reason == wrongCodeReason) return SessionNotice::WrongCode;
    if (reason == busyReason) return SessionNotice::TooManyStrangers;
    return std::nullopt;
}

}  // namespace clipwren
