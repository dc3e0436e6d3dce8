#include <QApplication>
#include <QCommandLineParser>
#include <cstring>

#include "ClipwrenPlusApp.h"
#include "LaunchOptions.h"
#include "platform/Memory.h"
#include "platform/PlatformSetup.h"

namespace {

bool asksForHelp(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        for (const char* help : {"-h", "--help", "-?", "--help-all"}) {
            if (std::strcmp(argv[i], help) == 0) return true;
        }
    }
    return false;
}

// Prints the options and exits; the help needs no display.
[[noreturn]] void showHelp(int argc, char* argv[]) {
    QCoreApplication console(argc, argv);
    clipwren::installPlatformTranslation(console);
    QCommandLineParser parser;
    clipwren::describeLaunchOptions(parser);
    parser.process(console);
    parser.showHelp(0);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (asksForHelp(argc, argv)) showHelp(argc, argv);

    clipwren::returnLargeBlocksToSystem();
    clipwren::preferX11Platform();
    QApplication application(argc, argv);
    // The program lives in the tray: closing its panel must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    clipwren::installPlatformTranslation(application);

    QCommandLineParser parser;
    clipwren::describeLaunchOptions(parser);
    parser.process(application);

    clipwren::ClipwrenPlusApp app;
    app.launch(clipwren::readLaunchOptions(parser));
    QApplication::exec();
    return 0;
}
