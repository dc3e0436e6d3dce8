// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QString>
#include <memory>

#include "platform/clipboard/Pasteboard.h"

namespace clipwren {

// The clipboard backend of this run, chosen once at start.
struct ClipboardBackend {
    std::unique_ptr<Pasteboard> pasteboard;
    // Empty, or one plain Italian sentence on what the choice means for the user.
    QString notice;
};

// In a Wayland session whose compositor offers data-control, the session's own clipboard
// through it: compositors give Xwayland the clipboard only while an X window has the focus,
// which a program in the background never has. Otherwise the X11 clipboard (X11, or Xwayland
// where nothing better exists), each on a connection of its own, so that neither depends on
// Qt's platform. Qt's clipboard where there is neither. Needs the application object.
ClipboardBackend chooseClipboardBackend(qint64 readCap);

}  // namespace clipwren
