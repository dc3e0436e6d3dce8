// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QString>
#include <QStringView>
#include <functional>

namespace clipwren::pairing {

// No I, O, 0 or 1: a code read aloud or off a screen cannot be mistyped.
inline constexpr QStringView alphabet = u"ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
inline constexpr int generatedLength = 16;
inline constexpr int minimumLength = 16;
// Far beyond any code a person types or copies: a longer text is a paste gone wrong.
inline constexpr int maximumLength = 1024;

using RandomSource = std::function<quint64()>;

// An index below n, a power of two, uniform: the top bits of one draw.
quint64 boundedDraw(quint64 n, const RandomSource& random);

// A new code: generatedLength characters, each drawn uniformly from the alphabet.
QString generateCode(const RandomSource& random);

// Length in user-perceived characters (extended grapheme clusters).
qsizetype perceivedLength(const QString& text);

bool isLongEnough(const QString& code);
bool isTooLong(const QString& code);

// What keeps a code, already trimmed of its surrounding blanks, from being used.
enum class Fault { None, TooShort, TooLong, BlankInside };
Fault faultOf(const QString& trimmedCode);

}  // namespace clipwren::pairing
