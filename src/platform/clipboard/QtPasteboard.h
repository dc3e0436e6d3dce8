// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include "platform/clipboard/Pasteboard.h"

namespace clipwren {

// Pasteboard on the application's QClipboard (needs a QGuiApplication). On X11 its change
// notification reaches a program in the background through XFixes.
class QtPasteboard final : public Pasteboard {
    Q_OBJECT

public:
    explicit QtPasteboard(QObject* parent = nullptr);

    void write(const ClipboardContents& contents) override;

    QList<QUrl> fileURLs() const override;
    std::optional<QByteArray> data(DataType type) const override;
    std::optional<QByteArray> string() const override;
    QList<QByteArray> formats() const override;
    bool isSecret() const override;
};

}  // namespace clipwren
