// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstring>

#include "ClipwrenPlusApp.h"
#include "LaunchOptions.h"
#include "SingleInstance.h"
#include "clipboard/ClipboardPayload.h"
#include "platform/Memory.h"
#include "platform/PlatformSetup.h"
#include "platform/clipboard/ClipboardBackend.h"
#include "platform/net/TlsConnection.h"

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
    // Our own help option rather than Qt's: its description and Qt's own options would be
    // listed in English.
    parser.showHelp(0);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (asksForHelp(argc, argv)) showHelp(argc, argv);

    clipwren::ignoreBrokenPipes();
    clipwren::returnLargeBlocksToSystem();
    clipwren::preferX11Platform();
    QApplication application(argc, argv);
    clipwren::installPlatformTranslation(application);

    QCommandLineParser parser;
    clipwren::describeLaunchOptions(parser);
    parser.process(application);

    // Two copies would sync twice, with two icons in the tray: a later launch shows the
    // running program's panel instead.
    clipwren::SingleInstance instance;
    switch (instance.claim()) {
        case clipwren::SingleInstance::Claim::Running:
            break;
        case clipwren::SingleInstance::Claim::Raised:
            return 0;
        case clipwren::SingleInstance::Claim::NotAnswering:
            std::fputs("clipwren-plus: Clipwren+ è già in esecuzione ma non risponde.\n", stderr);
            return 1;
    }

    clipwren::ClipwrenPlusApp app(clipwren::tlsConnectionFactory(),
                                  clipwren::chooseClipboardBackend(clipwren::maxBytes + 1));
    QObject::connect(&instance, &clipwren::SingleInstance::raiseRequested, &app,
                     &clipwren::ClipwrenPlusApp::openPanel);
    app.launch(clipwren::readLaunchOptions(parser));
    QApplication::exec();
    return 0;
}
