// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// Storing a received file under any name: the file lies in a folder of its own under the
// received-files folder, its name fits the file system as valid UTF-8, and it holds the
// contents; a name with U+0000 is refused.
#include <QFile>
#include <QFileInfo>

#include "FuzzSupport.h"
#include "platform/Utf8.h"

using namespace clipwren;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (fuzz::isolateDataFolder(), true);
    (void)ready;
    // The name, then the first 0x00, then the contents, as a "file" payload carries them;
    // without a 0x00 the whole input is the name.
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype separator = input.indexOf('\0');
    const QByteArray nameBytes = separator < 0 ? input : input.first(separator);
    const QByteArray contents = separator < 0 ? QByteArray("x") : input.mid(separator + 1);
    // Names reach store as text; the lone 0x01 byte stands for U+0000, which a payload's
    // name cannot carry.
    QString name = QString::fromUtf8(nameBytes);
    name.replace(QChar(1), QChar(0));

    const auto stored = ReceivedFiles::store(name, contents);
    if (name.contains(QChar(0))) {
        fuzz::require(!stored && !stored.error().isEmpty(), "U+0000 refused");
        return 0;
    }
    if (!stored) return 0;
    const QString& path = stored.value();
    fuzz::require(fuzz::isInsideReceivedFiles(path), "stored inside its own folder");
    const QByteArray storedName = path.section(u'/', -1).toUtf8();
    fuzz::require(storedName.size() <= ReceivedFiles::maxNameBytes, "name fits");
    fuzz::require(isValidUtf8(storedName), "name is valid UTF-8");
    QFile file(path);
    fuzz::require(file.open(QIODevice::ReadOnly) && file.readAll() == contents,
                  "file holds the contents");
    fuzz::removeStored(path);
    return 0;
}
