#include "support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

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

QString configHome() { return root().path() + QStringLiteral("/config"); }

QString dataHome() { return root().path() + QStringLiteral("/data"); }

void spin(int ms) { QTest::qWait(ms); }

}  // namespace clipwren::test
