// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <functional>

#include "platform/clipboard/ClipboardContents.h"
#include "platform/clipboard/Pasteboard.h"

namespace clipwren {

// A clipboard backend that reads each new selection once, in the background, and answers
// every look from what it read; while the selection is its own, from the bytes it holds.
// Writing is taking the selection with new contents. What is known of the selection lives
// here; a backend only says what happened and fetches one type's bytes when asked.
class ContentsPasteboard : public Pasteboard {
    Q_OBJECT

public:
    // How long one read of another program's clipboard may take: an owner that never answers
    // freezes nothing.
    static constexpr int readTimeLimitMs = 2000;

    void write(const ClipboardContents& contents) final;

    QList<QUrl> fileURLs() const override;
    std::optional<QByteArray> data(DataType type) const override;
    std::optional<QByteArray> string() const override { return m_contents.text; }
    QList<QByteArray> formats() const override { return m_contents.formats; }
    bool isSettled() const override { return !m_reading; }
    bool isSecret() const override { return clipwren::isSecret(m_contents); }

protected:
    using Fetched = std::function<void(std::optional<QByteArray>)>;

    ContentsPasteboard(qint64 readCap, QObject* parent) : Pasteboard(parent), m_readCap(readCap) {}

    // The most bytes kept of one read: anything longer cannot be sent anyway.
    qint64 readCap() const { return m_readCap; }

    // Another program owns the selection now: what was known is forgotten, and nothing is
    // settled until readOffered() has read it.
    void beginReading();
    // Reads the types of readingPlan() among offered, one at a time through fetch(); a type
    // that fails or times out stays absent. Settles, and says changed(), once all are read.
    void readOffered(const QList<QByteArray>& offered);
    // Nobody owns the selection: it is empty, and settled.
    void settleEmpty();
    // The clipboard cannot be reached any more: everything is dropped, once.
    void lose(Loss loss, int error = 0);

private:
    // Takes the selection with contents; false when it could not be taken.
    virtual bool own(const ClipboardContents& contents) = 0;
    // Reads the bytes of one type of the present selection; done runs once, from the loop.
    virtual void fetch(const QByteArray& mimeType, Fetched done) = 0;
    // Drops every transfer and handle that the lost connection made.
    virtual void abandon() = 0;

    void dropReading();
    void readNext(quint64 reading);
    void settle(ClipboardContents contents);

    const qint64 m_readCap;
    // What the clipboard holds, as far as it has been read; empty while reading.
    ClipboardContents m_contents;
    bool m_reading = false;
    bool m_lost = false;
    QList<ReadStep> m_plan;
    // Tells the present reading from one abandoned for a newer selection.
    quint64 m_readingNumber = 0;
};

}  // namespace clipwren
