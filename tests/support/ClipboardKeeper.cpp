// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// clipboard-keeper: a clipboard manager's default, as Klipper has it: whenever the clipboard
// becomes empty it takes it back with the last content it saw. It says "ready" once watching
// and "restored" at each take-back.
#include <QGuiApplication>
#include <cstdio>

#include "clipboard/ClipboardPayload.h"
#include "platform/PlatformSetup.h"
#include "platform/clipboard/ClipboardBackend.h"
#include "platform/clipboard/Pasteboard.h"

using namespace clipwren;

namespace {

void say(const char* line) {
    std::puts(line);
    std::fflush(stdout);
}

// What the clipboard holds in the forms the bridge carries; nothing when it is empty.
std::optional<ClipboardContents> contentsOf(const Pasteboard& clipboard) {
    if (const QList<QUrl> files = clipboard.fileURLs(); !files.isEmpty())
        return ClipboardContents::ofFile(files.first());
    if (const auto png = clipboard.data(Pasteboard::DataType::PNG))
        return ClipboardContents::ofPNG(*png);
    if (const auto text = clipboard.string()) return ClipboardContents::ofText(*text);
    return std::nullopt;
}

}  // namespace

int main(int argc, char* argv[]) {
    ignoreBrokenPipes();
    QGuiApplication app(argc, argv);
    const ClipboardBackend backend = chooseClipboardBackend(maxBytes + 1);
    Pasteboard& clipboard = *backend.pasteboard;
    std::optional<ClipboardContents> last;
    QObject::connect(&clipboard, &Pasteboard::changed, [&] {
        if (!clipboard.isSettled()) return;
        if (auto now = contentsOf(clipboard)) {
            last = std::move(now);
        } else if (last) {
            clipboard.write(*last);
            say("restored");
        }
    });
    say("ready");
    return QGuiApplication::exec();
}
