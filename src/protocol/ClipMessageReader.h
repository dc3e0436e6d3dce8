#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace simdjson::dom {
class parser;
}

namespace clipwren {

// What a received clip message carries once its checks have passed.
struct ClipMessage {
    QByteArray kind;  // UTF-8, as received: any kind passes here
    QByteArray data;  // the decoded bytes
};

// Largest decoded "data": room for a file name, its 0x00 and the largest file.
inline constexpr qsizetype maxReceivedData = 12'587'008;

// Checks one frame body as a clip message from the paired peer, in this order: a JSON object,
// "token" equal to ours, "device" not ours, "v" 1, "kind" and "data" strings, "data" strict
// Base64 of 1 to maxReceivedData bytes. Keeps one parser alive: its buffers are reused.
class ClipMessageReader {
public:
    ClipMessageReader();
    ~ClipMessageReader();

    std::optional<ClipMessage> read(const QByteArray& body, const QString& token,
                                    const QString& deviceID);

    // Only the token check: what a server needs to admit a connection.
    bool carriesToken(const QByteArray& body, const QString& token);

private:
    std::unique_ptr<simdjson::dom::parser> m_parser;
};

}  // namespace clipwren
