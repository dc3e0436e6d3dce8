#include "clipboard/ReceivedFiles.h"

#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

#include "platform/Uuid.h"

namespace clipwren {

QString ReceivedFiles::folder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty()) return QString();
    return data + QStringLiteral("/ClipwrenPlus/Received");
}

QString ReceivedFiles::storedName(const QString& name) {
    QStringView rest(name);
    while (rest.endsWith(u'/')) rest.chop(1);
    const QStringView last = rest.sliced(rest.lastIndexOf(u'/') + 1);
    if (last.isEmpty() || last == u"." || last == u"..") return QStringLiteral("file");
    return last.toString();
}

ReceivedFiles::Stored ReceivedFiles::store(const QString& name, QByteArrayView contents) {
    const QString root = folder();
    if (root.isEmpty()) {
        return {QString(), QStringLiteral("cartella dei dati dell'utente non disponibile")};
    }
    const QString fileFolder = root + u'/' + newUuidText();
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(fileFolder).toStdString(), error);
    if (error) return {QString(), QString::fromLocal8Bit(error.message())};

    const QString path = fileFolder + u'/' + storedName(name);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(contents.data(), contents.size()) != contents.size() || !file.commit()) {
        return {QString(), file.errorString()};
    }
    return {path, QString()};
}

}  // namespace clipwren
