// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "platform/Result.h"
#include "protocol/Limits.h"

namespace clipwren::peer {

struct PeerOptions {
    QString token;
    QHostAddress listenAddress{QHostAddress::Any};
    quint16 port = peerPort;
    bool quiet = false;
    // A desktop notification for each received file; what does not cross is always told.
    bool announcesFiles = true;
    // Store the code read from standard input for the systemd unit, then end.
    bool saveToken = false;
    // Show the usage and end; nothing else is read.
    bool help = false;
};

// One line of input without its line ending; absent when nothing could be read.
using CodeInput = std::function<std::optional<QString>()>;

// Reads the command line (arguments[0] is the program). The code comes from --token, from
// --token-file or, when neither is given, from readCode, so it need not show in the
// process list; with --save-token only from readCode. Fails with why the command line cannot
// be used.
Result<PeerOptions> parsePeerOptions(const QStringList& arguments, const CodeInput& readCode);

QString peerUsage();

}  // namespace clipwren::peer
