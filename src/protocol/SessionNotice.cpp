// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "protocol/SessionNotice.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <iterator>
#include <utility>

namespace clipwren {

namespace {

// A notice is a few dozen bytes: a clip message of megabytes is not parsed twice.
constexpr qsizetype largestNotice = 256;

// Constant expressions: notices may be built while other statics are still being made.
constexpr QLatin1StringView acceptedType("accepted");
constexpr QLatin1StringView refusedType("refused");
constexpr QLatin1StringView wrongCodeReason("code");
constexpr QLatin1StringView busyReason("busy");

constexpr QLatin1StringView notSentType("notSent");
// Room for a file name of the longest a file system allows, in any script, and the rest.
constexpr qsizetype largestNotSent = 4096;
constexpr qsizetype longestText = 1024;
constexpr std::pair<NotSent::Reason, QLatin1StringView> notSentReasons[] = {
    {NotSent::Reason::TooLarge, QLatin1StringView("tooLarge")},
    {NotSent::Reason::Folder, QLatin1StringView("folder")},
    {NotSent::Reason::SeveralFiles, QLatin1StringView("files")},
    {NotSent::Reason::UnknownKind, QLatin1StringView("kind")},
};

// The version checked: the object of a notice of this version, or nothing.
std::optional<QJsonObject> noticeObject(const QByteArray& body, qsizetype largest) {
    if (body.size() > largest) return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    const QJsonValue version = object.value(QStringLiteral("v"));
    if (!version.isDouble() || version.toDouble() != double(protocolVersion)) return std::nullopt;
    return object;
}

// A count or size the other side sent: a whole number, not negative; 0 when absent.
std::optional<qint64> wholeNumber(const QJsonValue& value) {
    if (value.isUndefined()) return 0;
    const double number = value.toDouble(-1);
    if (number < 0 || number > 9e15 || number != double(qint64(number))) return std::nullopt;
    return qint64(number);
}

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
    const auto object = noticeObject(body, largestNotice);
    if (!object) return std::nullopt;
    const QString type = object->value(QStringLiteral("type")).toString();
    if (type == acceptedType) return SessionNotice::Accepted;
    if (type != refusedType) return std::nullopt;
    const QString reason = object->value(QStringLiteral("reason")).toString();
    if (reason == wrongCodeReason) return SessionNotice::WrongCode;
    if (reason == busyReason) return SessionNotice::TooManyStrangers;
    return std::nullopt;
}

NotSent NotSent::tooLarge(ContentKind content, QString name, qint64 size, qint64 limit) {
    NotSent made;
    made.reason = Reason::TooLarge;
    made.content = wireName(content);
    made.name = std::move(name);
    made.size = size;
    made.limit = limit;
    return made;
}

NotSent NotSent::folder(QString name) {
    NotSent made;
    made.reason = Reason::Folder;
    made.name = std::move(name);
    return made;
}

NotSent NotSent::severalFiles(qint64 count, QString sentName) {
    NotSent made;
    made.reason = Reason::SeveralFiles;
    made.count = count;
    made.name = std::move(sentName);
    return made;
}

NotSent NotSent::unknownKind(QString type) {
    NotSent made;
    made.content = std::move(type);
    return made;
}

Message notSentMessage(const NotSent& notSent) {
    Message message;
    message.set("type", QString(notSentType));
    for (const auto& [reason, name] : notSentReasons) {
        if (reason == notSent.reason) message.set("reason", QString(name));
    }
    message.set("content", notSent.content.left(longestText))
        .set("name", notSent.name.left(longestText))
        .set("size", notSent.size)
        .set("limit", notSent.limit)
        .set("count", notSent.count)
        .set("v", protocolVersion);
    return message;
}

std::optional<NotSent> readNotSent(const QByteArray& body) {
    const auto object = noticeObject(body, largestNotSent);
    if (!object || object->value(QStringLiteral("type")).toString() != notSentType) {
        return std::nullopt;
    }
    NotSent notSent;
    const QString reason = object->value(QStringLiteral("reason")).toString();
    const auto known = std::find_if(std::begin(notSentReasons), std::end(notSentReasons),
                                    [&](const auto& entry) { return entry.second == reason; });
    // A reason added later is still a content that did not cross.
    notSent.reason =
        known == std::end(notSentReasons) ? NotSent::Reason::UnknownKind : known->first;
    notSent.content = object->value(QStringLiteral("content")).toString().left(longestText);
    notSent.name = object->value(QStringLiteral("name")).toString().left(longestText);
    const auto size = wholeNumber(object->value(QStringLiteral("size")));
    const auto limit = wholeNumber(object->value(QStringLiteral("limit")));
    const auto count = wholeNumber(object->value(QStringLiteral("count")));
    if (!size || !limit || !count) return std::nullopt;
    notSent.size = *size;
    notSent.limit = *limit;
    notSent.count = *count;
    return notSent;
}

}  // namespace clipwren
