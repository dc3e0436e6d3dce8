// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "clipboard/Digest.h"

#include "platform/Crypto.h"

namespace clipwren {

QByteArray contentDigest(QByteArrayView kindUtf8, QByteArrayView bytes) {
    return sha256({kindUtf8, bytes});
}

QByteArray fileDigest(QByteArrayView nameUtf8, QByteArrayView contents) {
    return sha256({wireName(ContentKind::File), nameUtf8, QByteArrayView("", 1), contents});
}

}  // namespace clipwren
