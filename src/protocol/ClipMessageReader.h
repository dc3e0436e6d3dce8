// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

#include "protocol/ContentKind.h"
#include "protocol/Limits.h"

namespace clipwren {

// What a received clip message carries once its checks have passed.
struct ClipMessage {
    ContentKind kind;
    QByteArray data;  // the decoded bytes
};

// Checks one frame body as a clip message from the paired peer, in this order: a JSON object,
// "token" equal to ours, "device" not ours, "v" 1, "kind" and "data" strings, "kind" one we
// know, "data" strict Base64 of 1 to maxReceivedData bytes.
//
// Memory stays within about twice the body whatever the JSON's shape: the body is read in
// place (bodies cut from the stream carry spare bytes for that), "data" is taken from the
// body without a copy, and a body whose structure alone would cost the parser more than
// its own size is ignored unread. The parser's buffers are kept for small bodies and
// released after a large one.
class ClipMessageReader {
public:
    ClipMessageReader();
    ~ClipMessageReader();

    std::optional<ClipMessage> read(const QByteArray& body, const QString& token,
                                    const QString& deviceID);

    // Only the token check: what a server needs to admit a connection.
    bool carriesToken(const QByteArray& body, const QString& token);

private:
    struct Fields;
    struct Parser;
    class Release;
    std::optional<Fields> readFields(const QByteArray& body);

    std::unique_ptr<Parser> m_parser;
};

}  // namespace clipwren
