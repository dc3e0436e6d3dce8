// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QString>
#include <memory>

#include "platform/Result.h"
#include "platform/clipboard/Pasteboard.h"

namespace clipwren {

// Which clipboard a backend reaches, for the programs to tell their users in their own words.
enum class ClipboardReach {
    // The session's own, in every focus state: data-control, X11, or Qt's where neither exists.
    Own,
    // The compositor offers no data-control: Xwayland's clipboard, which the compositor keeps
    // in step with its own (mutter does in every focus state). A Wayland application still
    // pastes only while it has the focus, as it always does.
    ThroughXwayland,
    // The compositor did not answer (unreached says why): X11's clipboard, where one answers.
    WaylandUnreached,
    // The compositor offers no data-control and no X display answers: only Qt's clipboard,
    // which a Wayland compositor gives a program only while one of its windows has the focus.
    NoDataControlNoXwayland,
};

// Why a Wayland compositor's clipboard cannot be used: the code of the failure that says so.
enum class CompositorFault {
    Unreachable = 1,  // no compositor to connect to; the reason is the system's
    Silent,           // it did not answer
    NoDataControl,    // it offers no data-control manager
    NoSeat,
};

// The clipboard backend of this run, chosen once at start.
struct ClipboardBackend {
    std::unique_ptr<Pasteboard> pasteboard;
    ClipboardReach reach = ClipboardReach::Own;
    // Why the compositor did not answer, with WaylandUnreached: a CompositorFault as its code.
    Failure unreached;
};

// In a Wayland session whose compositor offers data-control, the session's own clipboard
// through it: sway and KWin give Xwayland the clipboard only while an X window has the focus,
// which a program in the background never has. Otherwise the X11 clipboard (X11, or Xwayland
// where nothing better exists), each on a connection of its own, so that neither depends on
// Qt's platform. Qt's clipboard where there is neither. Needs the application object.
ClipboardBackend chooseClipboardBackend(qint64 readCap);

}  // namespace clipwren
