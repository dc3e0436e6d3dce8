#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <optional>

namespace clipwren {

// The system clipboard, as the rest of the program uses it: seven operations, and two
// notifications. One backend is chosen at start and handed to whoever needs it.
class Pasteboard : public QObject {
    Q_OBJECT

public:
    enum class DataType { PNG, TIFF };

    using QObject::QObject;
    ~Pasteboard() override = default;

    virtual void clearContents() = 0;
    // The text as UTF-8 bytes, offered exactly as given.
    virtual void setString(const QByteArray& utf8) = 0;
    virtual void setPNG(const QByteArray& png) = 0;
    // Offers a local file as a file reference, the way file managers paste files.
    virtual void writeFileURL(const QString& path) = 0;

    // The local file URLs on the clipboard, in their order; other URLs are left out.
    virtual QList<QUrl> fileURLs() const = 0;
    virtual std::optional<QByteArray> data(DataType type) const = 0;
    // The plain text as UTF-8 bytes, exactly as offered.
    virtual std::optional<QByteArray> string() const = 0;

    // False while the backend is still reading a new content: what it reports then is not
    // the clipboard's content yet, and changed() follows once it is.
    virtual bool isSettled() const { return true; }

    // Whether the content was marked by a password manager as a secret
    // (x-kde-passwordManagerHint = "secret"): such a content never leaves this machine.
    virtual bool isSecret() const = 0;

Q_SIGNALS:
    // The content may have changed: a watcher can look now instead of at its next tick.
    void changed();
    // The clipboard can no longer be reached (its session went away); reason is Italian.
    void unavailable(const QString& reason);
};

}  // namespace clipwren
