// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "protocol/ContentKind.h"

namespace clipwren {

// What recognises a content as already known: SHA-256 of the kind's UTF-8 bytes followed
// directly by the payload's bytes. Used for what is sent, received and found at connect time.
QByteArray contentDigest(QByteArrayView kindUtf8, QByteArrayView bytes);
inline QByteArray contentDigest(ContentKind kind, QByteArrayView bytes) {
    return contentDigest(QByteArrayView(wireName(kind)), bytes);
}

// contentDigest of a file's payload (its UTF-8 name, 0x00, its contents) without putting the
// payload together.
QByteArray fileDigest(QByteArrayView nameUtf8, QByteArrayView contents);

}  // namespace clipwren
