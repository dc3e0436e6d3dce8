// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/Utf8.h"

#include <simdjson.h>

#include <QStringDecoder>

namespace clipwren {

QString fromUtf8Exactly(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

bool isValidUtf8(QByteArrayView bytes) {
    return simdjson::validate_utf8(bytes.data(), size_t(bytes.size()));
}

}  // namespace clipwren
