#pragma once

#include "platform/Pasteboard.h"

namespace clipwren {

// Pasteboard on the application's QClipboard (needs a QGuiApplication).
class QtPasteboard final : public Pasteboard {
public:
    void clearContents() override;
    void setString(const QString& text) override;
    void setPNG(const QByteArray& png) override;
    void writeFileURL(const QString& path) override;

    QList<QUrl> fileURLs() const override;
    std::optional<QByteArray> data(DataType type) const override;
    std::optional<QString> string() const override;
};

}  // namespace clipwren
