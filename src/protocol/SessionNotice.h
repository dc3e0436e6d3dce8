// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <optional>

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

}  // namespace clipwren
