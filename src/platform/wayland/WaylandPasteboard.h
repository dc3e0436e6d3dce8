#pragma once

#include <QHash>
#include <QObject>
#include <memory>

#include "platform/Pasteboard.h"
#include "platform/wayland/ClipboardContents.h"
#include "platform/wayland/DataControlProtocol.h"

namespace clipwren::wayland {

class SelectionOffer;
class SelectionSource;
class WaylandConnection;

// The clipboard of a Wayland session through data-control, which serves programs that never
// have the focus. Each new selection is read once, in the background, when it appears; the
// seven operations then answer from what was read, so a tick costs nothing. While the
// selection is ours, they answer from the bytes held for it.
class WaylandPasteboard final : public Pasteboard, private DeviceEvents {
    Q_OBJECT

public:
    static constexpr int readTimeLimitMs = 2000;

    WaylandPasteboard(std::unique_ptr<WaylandConnection> connection, qint64 readCap,
                      QObject* parent = nullptr);
    ~WaylandPasteboard() override;

    void clearContents() override;
    void setString(const QByteArray& utf8) override;
    void setPNG(const QByteArray& png) override;
    void writeFileURL(const QString& path) override;

    QList<QUrl> fileURLs() const override;
    std::optional<QByteArray> data(DataType type) const override;
    std::optional<QByteArray> string() const override;
    bool isSettled() const override { return !m_reading; }
    bool isSecret() const override { return wayland::isSecret(m_contents); }

private:
    void onDataOffer(wl_proxy* offer) override;
    void onSelection(wl_proxy* offer) override;
    void onPrimarySelection(wl_proxy* offer) override;
    void onFinished() override;

    bool isUsable() const;
    void own(const ClipboardContents& contents);
    void disown();
    void readOffer();
    void sourceCancelled();
    void lose(const QString& reason);

    std::unique_ptr<WaylandConnection> m_connection;
    const qint64 m_readCap;
    wl_proxy* m_device = nullptr;
    // Offers announced and not yet named as the selection.
    QHash<wl_proxy*, SelectionOffer*> m_announced;
    // The current selection's offer, unless the selection is ours.
    std::unique_ptr<SelectionOffer> m_offer;
    std::unique_ptr<SelectionSource> m_source;
    ClipboardContents m_contents;
    bool m_reading = false;
    QObject m_writers;
};

}  // namespace clipwren::wayland
