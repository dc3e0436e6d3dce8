#include "support/TestEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
namespace clipwren::test {

namespace {
QTemporaryDir& root() {
    static QTemporaryDir dir;
    return dir;
}
}  // namespace

void isolateUserFolders() {
    QDir().mkpath(configHome());
    QDir().mkpath(dataHome());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
}

QString configHome() {
    return root().path() + u"/config"_s;
}

void clearSettings() {
    QSettings(QStringLiteral("ClipwrenPlus"), QStringLiteral("ClipwrenPlus")).clear();
}

QString dataHome() {
    return root().path() + u"/data"_s;
}

QString receivedFolder() {
    return dataHome() + u"/ClipwrenPlus/Received"_s;
}

QStringList receivedFiles() {
    QStringList files;
    const QDir folder(receivedFolder());
    for (const QString& sub : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time)) {
        for (const QString& name : QDir(folder.filePath(sub)).entryList(QDir::Files | QDir::Hidden))
            files.append(sub + u'/' + name);
    }
    return files;
}

bool blockWithFile(const QString& folder) {
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    return QDir().mkpath(QFileInfo(folder).path()) && blocker.open(QIODevice::WriteOnly);
}

QByteArray samplePng() {
    QImage image(16, 9, QImage::Format_ARGB32);
    image.fill(qRgba(30, 120, 220, 200));
    image.setPixel(3, 4, qRgba(255, 0, 0, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void spin(int ms) {
    QTest::qWait(ms);
}

}  // namespace clipwren::test
