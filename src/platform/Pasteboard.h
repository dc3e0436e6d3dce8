#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace clipwren {

// The system clipboard, as the rest of the program uses it: seven operations, nothing more.
// Callers fetch one for each use and keep no reference to it.
class Pasteboard {
public:
    enum class DataType { PNG, TIFF };

    virtual ~Pasteboard() = default;

    virtual void clearContents() = 0;
    virtual void setString(const QString& text) = 0;
    virtual void setPNG(const QByteArray& png) = 0;
    // Offers a local file as a file reference, the way file managers paste files.
    virtual void writeFileURL(const QString& path) = 0;

    // The local file URLs on the clipboard, in their order; other URLs are left out.
    virtual QList<QUrl> fileURLs() const = 0;
    virtual std::optional<QByteArray> data(DataType type) const = 0;
    virtual std::optional<QString> string() const = 0;
};

}  // namespace clipwren
