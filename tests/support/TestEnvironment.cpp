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
