#include "protocol/ClipMessageReader.h"

#include <simdjson.h>

#include <string_view>

#include "platform/Crypto.h"
#include "protocol/FrameCodec.h"
#include "protocol/Message.h"

namespace clipwren {

static_assert(bodySlack >= simdjson::SIMDJSON_PADDING);

namespace {

// Equal as Unicode strings: canonically equivalent spellings match, nothing else does.
bool sameText(std::string_view received, const QString& ours) {
    const QByteArray oursUtf8 = ours.toUtf8();
    if (received == std::string_view(oursUtf8.constData(), size_t(oursUtf8.size()))) return true;
    const QString theirs = QString::fromUtf8(received.data(), qsizetype(received.size()));
    return theirs.normalized(QString::NormalizationForm_C) ==
           ours.normalized(QString::NormalizationForm_C);
}

bool isVersionOne(simdjson::dom::element v) {
    if (int64_t i; v.get_int64().get(i) == simdjson::SUCCESS) return i == protocolVersion;
    if (uint64_t u; v.get_uint64().get(u) == simdjson::SUCCESS) return u == 1;
    if (double d; v.get_double().get(d) == simdjson::SUCCESS) return d == 1.0;
    return false;
}

qsizetype base64Length(qsizetype decoded) {
    return (decoded + 2) / 3 * 4;
}

}  // namespace

ClipMessageReader::ClipMessageReader() : m_parser(std::make_unique<simdjson::dom::parser>()) {}

ClipMessageReader::~ClipMessageReader() = default;

namespace {

std::optional<simdjson::dom::object> parseObject(simdjson::dom::parser& parser,
                                                 const QByteArray& body) {
    // Bodies cut from the stream carry spare capacity; anything else is copied by the parser.
    const bool padded = size_t(body.capacity() - body.size()) >= simdjson::SIMDJSON_PADDING;
    simdjson::dom::object object;
    if (parser.parse(body.constData(), size_t(body.size()), !padded).get(object) !=
        simdjson::SUCCESS) {
        return std::nullopt;
    }
    return object;
}

bool tokenMatches(simdjson::dom::object object, const QString& token) {
    std::string_view received;
    return object["token"].get_string().get(received) == simdjson::SUCCESS &&
           sameText(received, token);
}

}  // namespace

bool ClipMessageReader::carriesToken(const QByteArray& body, const QString& token) {
    const auto object = parseObject(*m_parser, body);
    return object && tokenMatches(*object, token);
}

std::optional<ClipMessage> ClipMessageReader::read(const QByteArray& body, const QString& token,
                                                   const QString& deviceID) {
    const auto object = parseObject(*m_parser, body);
    if (!object || !tokenMatches(*object, token)) return std::nullopt;

    std::string_view device;
    if ((*object)["device"].get_string().get(device) == simdjson::SUCCESS &&
        sameText(device, deviceID)) {
        return std::nullopt;
    }

    simdjson::dom::element version;
    if ((*object)["v"].get(version) != simdjson::SUCCESS || !isVersionOne(version)) {
        return std::nullopt;
    }

    std::string_view kind;
    std::string_view data;
    if ((*object)["kind"].get_string().get(kind) != simdjson::SUCCESS) return std::nullopt;
    if ((*object)["data"].get_string().get(data) != simdjson::SUCCESS) return std::nullopt;
    // Too long to decode within the limit: not worth decoding at all.
    if (qsizetype(data.size()) > base64Length(maxReceivedData)) return std::nullopt;

    auto decoded = base64DecodeStrict(QByteArrayView(data.data(), qsizetype(data.size())));
    if (!decoded || decoded->isEmpty() || decoded->size() > maxReceivedData) return std::nullopt;

    return ClipMessage{QByteArray(kind.data(), qsizetype(kind.size())), std::move(*decoded)};
}

}  // namespace clipwren
