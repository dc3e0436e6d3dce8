// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include "platform/clipboard/ClipboardContents.h"
#include "platform/clipboard/Pasteboard.h"

namespace clipwren {

// A clipboard backend that reads each new selection once, in the background, and answers
// every look from what it read; while the selection is its own, from the bytes it holds.
// Writing is taking the selection with new contents.
class ContentsPasteboard : public Pasteboard {
    Q_OBJECT

public:
    // How long one read of another program's clipboard may take: an owner that never answers
    // freezes nothing.
    static constexpr int readTimeLimitMs = 2000;

    void write(const ClipboardContents& contents) override { own(contents); }

    QList<QUrl> fileURLs() const override;
    std::optional<QByteArray> data(DataType type) const override;
    std::optional<QByteArray> string() const override { return m_contents.text; }
    bool isSettled() const override { return !m_reading; }
    bool isSecret() const override { return clipwren::isSecret(m_contents); }

protected:
    ContentsPasteboard(qint64 readCap, QObject* parent) : Pasteboard(parent), m_readCap(readCap) {}

    virtual void own(const ClipboardContents& contents) = 0;

    // The most bytes kept of one read: anything longer cannot be sent anyway.
    const qint64 m_readCap;

    // What the clipboard holds, as far as it has been read; empty while reading.
    ClipboardContents m_contents;
    bool m_reading = false;
};

}  // namespace clipwren
