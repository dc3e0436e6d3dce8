#include <QApplication>
#include <QScreen>
#include <QSet>

#include "AppTestSupport.h"
#include "platform/SettingsStore.h"

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
        SettingsStore().setText(u"host"_s, u"192.168.1.20"_s);
        SettingsStore().setText(u"token"_s, test::validCode);
        test::Launched panel;
        QWidget* window = panel.app.panel();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // Connected, so that the peer's fingerprint shows too.
        panel.app.sync().start();
        panel.network.last()->certificateDigest =
            QByteArray::fromHex("3A7F09C2D41E88B05C6D2F19A0E4B7738C1D5E6F2A9B04C7D8E1F3A5B6C70912");
        QVERIFY(panel.ready());
        QTRY_VERIFY(panel.part("fingerprint")->isVisible());

        // The window has grown on the server once the grab is as large as the panel.
        QImage shot;
        QTRY_COMPARE((shot = window->screen()->grabWindow(window->winId()).toImage()).size(),
                     window->size());
        const QString file = QDir(QCoreApplication::applicationDirPath()).filePath(u"panel.png"_s);
        QVERIFY(shot.save(file));
        qInfo("screenshot: %s", qPrintable(file));
        QVERIFY2(shot.width() >= 260 && shot.width() <= 900 && shot.height() >= 200 &&
                     shot.height() <= 700,
                 qPrintable(u"%1x%2"_s.arg(shot.width()).arg(shot.height())));
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 2) {
            for (int x = 0; x < shot.width(); x += 2) colours.insert(shot.pixel(x, y));
        }
        QVERIFY2(colours.size() >= 8, qPrintable(QString::number(colours.size())));
    }
};

QTEST_MAIN(ScreenshotTest)
#include "tst_app_screenshot_x11.moc"
