// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "protocol/SessionNotice.h"

namespace clipwren {

class ClipboardBridge;
class Notifier;

// What did not cross, in the user's words, the same in both programs: said where it was
// copied ("Non inviato: …") and where it would have landed.
QString notSentHere(const NotSent& notSent);
QString notSentThere(const NotSent& notSent);
// A size as people read it: "512 byte", "3,4 KiB", "12 MiB".
QString sizeText(qint64 bytes);

// Opens a folder in the user's file manager.
void openInFileManager(const QString& folder);

// Tells the user of one side, by desktop notifications, what the bridge did not send, what the
// other side did not send, and each received file, with a way to open its folder. Received
// files are announced only while announcesFiles says so; the rest always is.
class Announcer : public QObject {
    Q_OBJECT

public:
    Announcer(const ClipboardBridge& bridge, Notifier& notifier,
              std::function<bool()> announcesFiles, QObject* parent = nullptr);

private:
    void announceFile(const QString& path);

    Notifier& m_notifier;
    std::function<bool()> m_announcesFiles;
};

}  // namespace clipwren
