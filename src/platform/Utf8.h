// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArrayView>
#include <QString>

namespace clipwren {

// Strict UTF-8: no overlong forms, no surrogates, no truncated sequences, nothing above
// U+10FFFF. Qt's own conversion would silently replace such bytes.
bool isValidUtf8(QByteArrayView bytes);

// UTF-8 to text keeping a leading byte-order mark, which QString::fromUtf8 drops: what is
// received goes on byte for byte, or its digest would no longer match and it would go back.
QString fromUtf8Exactly(QByteArrayView bytes);

}  // namespace clipwren
