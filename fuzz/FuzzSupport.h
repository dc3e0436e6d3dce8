// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "clipboard/ReceivedFiles.h"
#include "platform/clipboard/Pasteboard.h"

namespace clipwren::fuzz {

// Stops the run with a report when a property does not hold.
inline void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

// The user's data folder in a temporary folder of its own, for the whole run; in memory where
// the system offers it, since every stored file is written and synced.
inline void isolateDataFolder() {
    static QTemporaryDir home(QDir(QStringLiteral("/dev/shm")).exists()
                                  ? QStringLiteral("/dev/shm/clipwren-fuzz-XXXXXX")
                                  : QDir::tempPath() + QStringLiteral("/clipwren-fuzz-XXXXXX"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
}

// Whether path is a file directly inside a per-file folder of the received-files folder.
inline bool isInsideReceivedFiles(const QString& path) {
    const QString root = ReceivedFiles::folder() + u'/';
    if (!path.startsWith(root)) return false;
    const QStringList parts = path.mid(root.size()).split(u'/');
    return parts.size() == 2 && parts[0].size() == 36 && !parts[1].isEmpty() && parts[1] != u"." &&
           parts[1] != u"..";
}

// Removes a stored file and its folder, so long runs do not fill the disk.
inline void removeStored(const QString& path) {
    QFile::remove(path);
    QDir().rmdir(path.section(u'/', 0, -2));
}

// A clipboard that only remembers what it was given.
class FakePasteboard final : public Pasteboard {
public:
    void write(const ClipboardContents& contents) override { m_contents = contents; }
    QList<QUrl> fileURLs() const override {
        return m_contents.uriList ? localFileURLs(*m_contents.uriList) : QList<QUrl>();
    }
    std::optional<QByteArray> data(DataType type) const override {
        return type == DataType::PNG ? m_contents.png : std::nullopt;
    }
    std::optional<QByteArray> string() const override { return m_contents.text; }
    QList<QByteArray> formats() const override { return offeredTypes(m_contents); }
    bool isSecret() const override { return false; }

private:
    ClipboardContents m_contents;
};

}  // namespace clipwren::fuzz
