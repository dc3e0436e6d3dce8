// offer-clipboard [--hang] TYPE BYTES...: copies under several types at once, says "ready"
// once it owns the clipboard, then serves it, or with --hang stops dead as a hung program does.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <csignal>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool hang = arguments.value(0) == u"--hang";
    if (hang) arguments.removeFirst();
    auto* mime = new QMimeData;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        mime->setData(arguments[i], arguments[i + 1].toUtf8());
    }
    QGuiApplication::clipboard()->setMimeData(mime);
    std::puts("ready");
    std::fflush(stdout);
    if (hang) std::raise(SIGSTOP);
    return app.exec();
}
