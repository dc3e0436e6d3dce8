#pragma once

#include <QString>
#include <memory>

#include "platform/Pasteboard.h"

namespace clipwren {

// The clipboard backend of this run, chosen once at start.
struct ClipboardBackend {
    std::unique_ptr<Pasteboard> pasteboard;
    // Empty, or one plain Italian sentence on what the choice means for the user.
    QString notice;
};

// In a Wayland session whose compositor offers data-control, the session's own clipboard
// through it: compositors give Xwayland the clipboard only while an X window has the focus,
// which a program in the background never has. Otherwise Qt's clipboard (X11, or Xwayland
// where nothing better exists). Needs the application object.
ClipboardBackend chooseClipboardBackend(qint64 readCap);

// Whether chooseClipboardBackend will use data-control. Works before the application object
// exists, so that a program without windows can leave Qt's platform out of it.
bool sessionOffersDataControl();

}  // namespace clipwren
