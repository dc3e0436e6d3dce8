// Another program on the desktop that copies one content under several types at once, the
// way a password manager adds its hint to a text: offer-clipboard TYPE BYTES [TYPE BYTES]...
// It says "ready" once it owns the clipboard and serves it until another program takes it.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty() || arguments.size() % 2 != 0) return 2;
    auto* mime = new QMimeData;
    for (qsizetype i = 0; i < arguments.size(); i += 2) {
        mime->setData(arguments[i], arguments[i + 1].toUtf8());
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(mime);
    QObject::connect(clipboard, &QClipboard::changed, &app, [clipboard] {
        if (!clipboard->ownsClipboard()) QCoreApplication::quit();
    });
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
