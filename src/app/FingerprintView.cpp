// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "FingerprintView.h"

#include <QFontDatabase>

namespace clipwren {

FingerprintView::FingerprintView(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void FingerprintView::showFingerprint(const QString& fingerprint) {
    // "AB:" is three characters: the first line ends after the sixteenth pair's colon.
    const qsizetype cut = pairsPerLine * 3;
    const QString lines = fingerprint.size() > cut
                              ? fingerprint.left(cut) + u'\n' + fingerprint.mid(cut)
                              : fingerprint;
    if (text() != lines) setText(lines);
}

}  // namespace clipwren
