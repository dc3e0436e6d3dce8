// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace clipwren::test {

// One temporary folder for the whole process, holding the user's settings and data folders.
inline QString configHome() {
    static QTemporaryDir root;
    return root.path() + QStringLiteral("/config");
}
inline QString dataHome() {
    return QFileInfo(configHome()).path() + QStringLiteral("/data");
}

// Points the user's settings and data folders at the temporary ones, for the rest of the
// process. Call before anything reads settings or standard paths.
inline void isolateUserFolders() {
    QDir().mkpath(configHome());
    QDir().mkpath(dataHome());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
}

inline void clearSettings() {
    QSettings(QStringLiteral("ClipwrenPlus"), QStringLiteral("ClipwrenPlus")).clear();
}

// Where received files are kept, one folder per file.
inline QString receivedFolder() {
    return dataHome() + QStringLiteral("/ClipwrenPlus/Received");
}

// The received files, as "<folder>/<name>", newest folder first.
inline QStringList receivedFiles() {
    QStringList files;
    const QDir folder(receivedFolder());
    for (const QString& sub : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time)) {
        for (const QString& name : QDir(folder.filePath(sub)).entryList(QDir::Files | QDir::Hidden))
            files.append(sub + u'/' + name);
    }
    return files;
}

// Writes bytes to path, making its folder.
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Puts a plain file where folder should be, so that nothing can be made inside it.
inline bool blockWithFile(const QString& folder) {
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    return QDir().mkpath(QFileInfo(folder).path()) && blocker.open(QIODevice::WriteOnly);
}

#ifdef Q_OS_LINUX
// A file system of size bytes at folder (made if missing), unmounted when the result goes;
// nothing when it cannot be made. Only in a mount namespace of the test's own (its ctest
// entry runs it under unshare --mount), so that the machine's own mounts are never touched.
inline std::shared_ptr<void> smallDisk(const QString& folder, qint64 size) {
    const auto mountNamespace = [](const QByteArray& process) {
        char name[64] = {};
        return ::readlink(QByteArray("/proc/" + process + "/ns/mnt").constData(), name,
                          sizeof name - 1) > 0
                   ? QByteArray(name)
                   : QByteArray();
    };
    const QByteArray own = mountNamespace("self");
    if (own.isEmpty() || own == mountNamespace(QByteArray::number(::getppid()))) return nullptr;
    QDir().mkpath(folder);
    const QByteArray path = QFile::encodeName(folder);
    const QByteArray options = "size=" + QByteArray::number(size);
    if (::mount("tmpfs", path.constData(), "tmpfs", 0, options.constData()) != 0) return nullptr;
    return std::shared_ptr<void>(new QByteArray(path), [](void* mounted) {
        ::umount2(static_cast<QByteArray*>(mounted)->constData(), MNT_DETACH);
        delete static_cast<QByteArray*>(mounted);
    });
}

#endif

// A small opaque picture, so that any format holds it exactly, encoded as format.
inline QByteArray samplePicture(const char* format = "PNG") {
    QImage image(16, 9, QImage::Format_RGB32);
    image.fill(qRgb(30, 120, 220));
    image.setPixel(3, 4, qRgb(255, 0, 0));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

}  // namespace clipwren::test
