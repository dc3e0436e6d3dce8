// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "protocol/PairingCode.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <bit>

namespace clipwren::pairing {

__extension__ using uint128 = unsigned __int128;

// With n a power of two, the top bits of one draw are uniform: no draw is ever thrown away.
static_assert(std::has_single_bit(quint64(alphabet.size())));

quint64 boundedDraw(quint64 n, const RandomSource& random) {
    Q_ASSERT(std::has_single_bit(n));
    return quint64((uint128(random()) * n) >> 64);
}

QString generateCode(const RandomSource& random) {
    QString code;
    code.reserve(generatedLength);
    for (int i = 0; i < generatedLength; ++i) {
        code.append(alphabet[qsizetype(boundedDraw(quint64(alphabet.size()), random))]);
    }
    return code;
}

qsizetype perceivedLength(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1) ++count;
    return count;
}

bool isLongEnough(const QString& code) {
    return perceivedLength(code) >= minimumLength;
}

bool isTooLong(const QString& code) {
    return perceivedLength(code) > maximumLength;
}

// A blank inside is a slip (two codes pasted together, a word typed for a code): the same code
// on the other machine seldom has it in the same place.
Fault faultOf(const QString& trimmedCode) {
    if (!isLongEnough(trimmedCode)) return Fault::TooShort;
    if (isTooLong(trimmedCode)) return Fault::TooLong;
    const bool blankInside =
        std::any_of(trimmedCode.cbegin(), trimmedCode.cend(), [](QChar c) { return c.isSpace(); });
    return blankInside ? Fault::BlankInside : Fault::None;
}

}  // namespace clipwren::pairing
