#pragma once

#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "platform/ClipboardContents.h"

namespace clipwren::test {

// A desktop of a test's own, started by start() and stopped when destroyed: a private X
// server with xclip as the other programs, or a headless sway session with Xwayland where a
// native terminal (foot) has the focus, so the clipboard is out of Xwayland's reach, with
// wl-copy and wl-paste as the other programs. sway refuses root: as root it runs as nobody.
class DesktopSession {
public:
    virtual ~DesktopSession() { stop(); }

    // sway with CLIPWREN_TEST_SESSION=wayland, X otherwise.
    static bool waylandChosen();
    static std::unique_ptr<DesktopSession> chosen();

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
    // hint), or unanswered as a hung program's. On Wayland this process offers it, entering.
    std::shared_ptr<void> offer(const ClipboardContents& contents, bool answers = true) const;

    void copyText(const QString& text) const { copy(textType(), text.toUtf8()); }
    QString text() const { return QString::fromUtf8(paste(textType()).value_or(QByteArray())); }
    // The one local file the clipboard offers, if it offers exactly one.
    QString file() const;

protected:
    explicit DesktopSession(bool wayland) : m_wayland(wayland) {}

private:
    bool startSway();
    QProcessEnvironment environment() const;
    // Runs a tool of the session to its end while the caller's event loop goes on serving;
    // a tool that serves a copy leaves a part behind, which must inherit none of our pipes.
    std::optional<QByteArray> run(const QString& command, const QByteArray& input = {},
                                  bool serves = false) const;

    const bool m_wayland;
    QTemporaryDir m_root;
    QProcess m_server;
    QString m_display;
    QString m_waylandDisplay;
};

template <bool wayland>
class Session final : public DesktopSession {
public:
    Session() : DesktopSession(wayland) {}
};
using XvfbSession = Session<false>;
using SwaySession = Session<true>;

}  // namespace clipwren::test
