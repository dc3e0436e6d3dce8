// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QLabel>

namespace clipwren {

// A certificate fingerprint in two monospaced lines of sixteen byte pairs, selectable, and
// never wrapped anywhere else: its size is that of its two lines whatever the panel does.
class FingerprintView final : public QLabel {
public:
    static constexpr int pairsPerLine = 16;

    explicit FingerprintView(QWidget* parent = nullptr);

    // fingerprint as the companion prints it: pairs joined by colons.
    void showFingerprint(const QString& fingerprint);
};

}  // namespace clipwren
