// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "platform/clipboard/ClipboardContents.h"

namespace clipwren::test {

// A desktop of a test's own, started by start() and stopped when destroyed: a private X
// server with xclip as the other programs, or a headless Wayland compositor (sway, KWin or
// GNOME's mutter) with Xwayland where a native window has the focus, with wl-copy and wl-paste
// as the other programs. sway and KWin keep the clipboard out of Xwayland's reach then; mutter
// offers no data-control but keeps Xwayland's clipboard in step. sway and KWin refuse root: as
// root every compositor runs as nobody.
class DesktopSession {
public:
    enum class Kind { X11, Sway, KWin, Gnome };

    explicit DesktopSession(Kind kind) : m_kind(kind) {}
    ~DesktopSession() { stop(); }

    // CLIPWREN_TEST_SESSION=sway, kwin or gnome; X otherwise.
    static Kind chosenKind();
    static bool waylandChosen() { return chosenKind() != Kind::X11; }
    static bool mutterChosen() { return chosenKind() == Kind::Gnome; }
    static std::unique_ptr<DesktopSession> chosen() {
        return std::make_unique<DesktopSession>(chosenKind());
    }

    bool start();
    // Ends the display server, as a crash or a logout does.
    void stop();
    // For a program of ours in this session, with user folders of its own under root.
    QProcessEnvironment environmentWithFolders(const QString& root) const;
    // Points this process at the session, as a program started in it.
    void enter() const;

    // Offers bytes as type, the way another program copies; it serves them until replaced.
    void copy(const QString& type, const QByteArray& bytes) const;
    // What the clipboard gives for type; nothing when it is not offered.
    std::optional<QByteArray> paste(const QString& type) const;
    QString textType() const;
    // Until the returned object goes: contents under all their types (a text and a password
    // hint), or unanswered as a hung program's. On sway and KWin this process offers it, entering;
    // elsewhere an X program does.
    std::shared_ptr<void> offer(const ClipboardContents& contents, bool answers = true) const;

    void copyText(const QString& text) const { copy(textType(), text.toUtf8()); }
    QString text() const { return QString::fromUtf8(paste(textType()).value_or(QByteArray())); }
    // The one local file the clipboard offers, if it offers exactly one.
    QString file() const;

private:
    bool wayland() const { return m_kind != Kind::X11; }
    // The compositor as the session's user; it runs the native window once it is up.
    bool startCompositor();
    QStringList swayCommand(const QString& window) const;
    QStringList kwinCommand(const QString& window) const;
    QProcessEnvironment environment() const;
    // Runs a tool of the session to its end while the caller's event loop goes on serving;
    // a tool that serves a copy leaves a part behind, which must inherit none of our pipes.
    std::optional<QByteArray> run(const QString& command, const QByteArray& input = {},
                                  bool serves = false) const;

    const Kind m_kind;
    QTemporaryDir m_root;
    QProcess m_server;
    QString m_display;
    QString m_waylandDisplay;
};

}  // namespace clipwren::test
