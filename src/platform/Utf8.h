#pragma once

#include <QByteArrayView>

namespace clipwren {

// Strict UTF-8: no overlong forms, no surrogates, no truncated sequences, nothing above
// U+10FFFF. Qt's own conversion would silently replace such bytes.
bool isValidUtf8(QByteArrayView bytes);

}  // namespace clipwren
