#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "platform/ClipboardContents.h"

namespace clipwren::wayland {
class WaylandConnection;
}  // namespace clipwren::wayland

namespace clipwren::test {

// A desktop of a test's own: the clipboard other programs share, and the tools that stand in
// for those programs. Started by start(), stopped when destroyed.
class DesktopSession {
public:
    virtual ~DesktopSession() = default;

    // The desktop a test run asks for: a sway session with CLIPWREN_TEST_SESSION=wayland, an
    // X server otherwise.
    static bool waylandChosen();
    static std::unique_ptr<DesktopSession> chosen();

    virtual bool start() = 0;
    // For a program of ours that runs in this session.
    virtual QProcessEnvironment environment() const = 0;
    // Offers bytes as type, the way another program copies; it serves them until replaced.
    virtual void copy(const QString& type, const QByteArray& bytes) const = 0;
    // What the clipboard gives for type; nothing when it is not offered.
    virtual std::optional<QByteArray> paste(const QString& type) const = 0;
    // The type under which other programs copy and paste UTF-8 text.
    virtual QString textType() const = 0;
    // Takes the clipboard with a text that is never written, the way a hung program holds
    // it, until the returned object goes.
    virtual std::shared_ptr<void> hangClipboard() const = 0;
    // Offers one content under several types at once, the way a password manager adds its
    // hint to a text, until the returned object goes.
    virtual std::shared_ptr<void> offer(const ClipboardContents& contents) const = 0;
    // Ends the display server, as a crash or a logout does.
    virtual void stop() = 0;

    // For a program of ours in this session with user folders of its own under root
    // (config, data and a private runtime folder), made here.
    QProcessEnvironment environmentWithFolders(const QString& root) const;

    // Points this process at the session, as a program started in it.
    void enter() const;

    void copyText(const QString& text) const { copy(textType(), text.toUtf8()); }
    void copyFile(const QString& path) const;
    QString text() const { return QString::fromUtf8(paste(textType()).value_or(QByteArray())); }
    QByteArray png() const { return paste(QStringLiteral("image/png")).value_or(QByteArray()); }
    // The one local file the clipboard offers, if it offers exactly one.
    QString file() const;

protected:
    // Runs a tool of the session to its end while the caller's event loop goes on serving.
    std::optional<QByteArray> run(const QString& program, const QStringList& arguments,
                                  const QByteArray& input = QByteArray()) const;
    // Starts a tool that copies input and stays behind, in the background, to serve it.
    void serve(const QString& program, const QStringList& arguments, const QByteArray& input) const;
};

// A private X server, with xclip as the other programs.
class XvfbSession final : public DesktopSession {
public:
    ~XvfbSession() override;
    bool start() override;
    QProcessEnvironment environment() const override;
    void copy(const QString& type, const QByteArray& bytes) const override;
    std::optional<QByteArray> paste(const QString& type) const override;
    QString textType() const override { return QStringLiteral("UTF8_STRING"); }
    std::shared_ptr<void> hangClipboard() const override;
    std::shared_ptr<void> offer(const ClipboardContents& contents) const override;
    void stop() override;

private:
    QProcess m_xvfb;
    QString m_display;
};

// A headless sway session with Xwayland, where a native terminal (foot) has the focus, so the
// clipboard is out of Xwayland's reach; wl-copy and wl-paste are the other programs. sway
// refuses root: as root it runs as nobody, in a runtime folder of its own.
class SwaySession final : public DesktopSession {
public:
    ~SwaySession() override;
    bool start() override;
    QProcessEnvironment environment() const override;
    void copy(const QString& type, const QByteArray& bytes) const override;
    std::optional<QByteArray> paste(const QString& type) const override;
    QString textType() const override { return QStringLiteral("text/plain;charset=utf-8"); }
    std::shared_ptr<void> hangClipboard() const override;
    void stop() override;
    std::shared_ptr<void> offer(const ClipboardContents& contents) const override;

private:
    bool focusedOnFoot() const;
    // A Wayland connection of this process's own to the session.
    std::unique_ptr<wayland::WaylandConnection> connect() const;

    QTemporaryDir m_root;
    QProcess m_sway;
    QString m_waylandDisplay;
    QString m_display;
};

}  // namespace clipwren::test
