#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QSet>
#include <QTest>

#include "AppTestSupport.h"
#include "platform/SettingsStore.h"
#include "support/FakeConnection.h"
#include "support/TestEnvironment.h"

using namespace clipwren;

class ScreenshotTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        test::isolateUserFolders();
        test::clearSettings();
    }

    // Xvfb has no tray, so the program shows its panel as a window; this is what the user
    // sees, taken from the X server itself and kept next to the test as an artefact.
    void panelWindowOnARealXServer() {
        SettingsStore().setText(QStringLiteral("host"), QStringLiteral("192.168.1.20"));
        SettingsStore().setText(QStringLiteral("token"), test::validCode);
        test::FakeNetwork network;
        ClipwrenPlusApp app(network.factory());
        app.launch();
        QWidget* panel = app.panel();
        QVERIFY(panel);
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        QCOMPARE(panel->windowTitle(), QStringLiteral("Clipwren+"));

        const QImage shot = panel->screen()->grabWindow(panel->winId()).toImage();
        const QString file =
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("panel.png"));
        QVERIFY(shot.save(file));
        qInfo("screenshot: %s", qPrintable(file));

        QVERIFY2(shot.width() >= 260 && shot.width() <= 900,
                 qPrintable(QString::number(shot.width())));
        QVERIFY2(shot.height() >= 200 && shot.height() <= 700,
                 qPrintable(QString::number(shot.height())));
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 2) {
            for (int x = 0; x < shot.width(); x += 2) colours.insert(shot.pixel(x, y));
        }
        QVERIFY2(colours.size() >= 8, qPrintable(QString::number(colours.size())));
    }
};

QTEST_MAIN(ScreenshotTest)
#include "tst_app_screenshot_x11.moc"
