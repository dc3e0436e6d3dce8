// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "protocol/ContentKind.h"
#include "protocol/Message.h"

namespace clipwren {

// What the companion says of the session itself, beside the clip messages: that it took the
// code, or why it turns the connection away before closing it. These carry a "type" and no
// "kind" or "data", so a reader that knows only clip messages passes over them.
enum class SessionNotice {
    Accepted,          // {"type":"accepted","v":1}
    WrongCode,         // {"type":"refused","reason":"code","v":1}
    TooManyStrangers,  // {"type":"refused","reason":"busy","v":1}
};

Message noticeMessage(SessionNotice notice);

// The notice a frame body holds, if it holds one; clip messages and anything else give none.
std::optional<SessionNotice> readNotice(const QByteArray& body);

// A content copied on one side that did not cross, and why. Either side sends it, so that the
// other side's user learns why its clipboard still holds what it held:
// {"type":"notSent","reason":…,"content":…,"name":…,"size":…,"limit":…,"count":…,"v":1}.
struct NotSent {
    enum class Reason {
        TooLarge,      // content, size and limit; name for a file
        Folder,        // name
        SeveralFiles,  // count; name of the one file sent, empty when none was
        UnknownKind,   // content: the type offered
    };
    Reason reason = Reason::UnknownKind;
    QString content;  // TooLarge: a ContentKind's wire name; UnknownKind: a MIME type
    QString name;
    qint64 size = 0;
    qint64 limit = 0;
    qint64 count = 0;
    friend bool operator==(const NotSent&, const NotSent&) = default;

    static NotSent tooLarge(ContentKind content, QString name, qint64 size, qint64 limit);
    static NotSent folder(QString name);
    static NotSent severalFiles(qint64 count, QString sentName);
    static NotSent unknownKind(QString type);
};

Message notSentMessage(const NotSent& notSent);
// The notice a frame body holds; nothing for any other body, or one that breaks its shape.
std::optional<NotSent> readNotSent(const QByteArray& body);

}  // namespace clipwren
