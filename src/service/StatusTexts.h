// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QString>

#include "platform/clipboard/Pasteboard.h"
#include "protocol/PairingCode.h"

// What the tray program's status line says, in one place. A reason passed in is the
// lower layers' text (a Qt error, the companion's refusal), said as it is.
namespace clipwren::statusText {

QString idle();
QString syncing();
QString paused();
QString connecting(const QString& address);
// The link waits on the network while a session is up.
QString waiting(const QString& reason);
QString retrying(const QString& reason, int secondsLeft);
QString failed(const QString& reason);
QString interrupted();
QString disconnected();

QString invalidInput();
// Why a pairing code that is not one was refused.
QString codeFault(pairing::Fault fault);
QString tokenCopied();
QString settingsNotSaved();

QString certificateChanged();
QString codeRefused();
// Reasons a session ended, said after failed() or retrying().
QString peerBusy();
QString peerClosed();
QString sendFailed(const QString& error);

QString secretKept();
QString fileNotStored(const QString& error);
QString clipboardUnreachable(Pasteboard::Loss loss, int error);

}  // namespace clipwren::statusText
