// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace clipwren {

// What recognises a content as already known: SHA-256 of the kind's UTF-8 bytes followed
// directly by the payload's bytes. Used for what is sent, received and found at connect time.
QByteArray contentDigest(QByteArrayView kindUtf8, QByteArrayView bytes);

}  // namespace clipwren
