// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "protocol/ClipMessageReader.h"

#include <simdjson.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "Logging.h"
#include "platform/Crypto.h"
#include "protocol/FrameCodec.h"
#include "protocol/Message.h"

namespace clipwren {

namespace ondemand = simdjson::ondemand;

static_assert(bodySlack >= simdjson::SIMDJSON_PADDING);

struct ClipMessageReader::Parser {
    ondemand::parser parser;
};

// The keys a clip message is judged by, each as its first occurrence left it.
struct ClipMessageReader::Fields {
    std::optional<std::string_view> token;  // present and a string
    std::optional<std::string_view> device;
    bool versionOne = false;
    std::optional<std::string_view> kind;
    std::optional<std::string_view> data;
    bool seenToken = false, seenDevice = false, seenVersion = false, seenKind = false,
         seenData = false;
    // A padded copy of a body without spare bytes; "data" may point into it.
    std::optional<simdjson::padded_string> copy;
};

namespace {

constexpr simdjson::error_code ok = simdjson::SUCCESS;

// Bodies above this release the parser's buffers once read.
constexpr qsizetype largeBody = 1 << 20;

// Equal as Unicode strings: canonically equivalent spellings match, nothing else does.
bool sameText(std::string_view received, const QString& ours) {
    const QByteArray oursUtf8 = ours.toUtf8();
    if (received == std::string_view(oursUtf8.constData(), size_t(oursUtf8.size()))) return true;
    const QString theirs = QString::fromUtf8(received.data(), qsizetype(received.size()));
    return theirs.normalized(QString::NormalizationForm_C) ==
           ours.normalized(QString::NormalizationForm_C);
}

// Codes are compared without their surrounding blanks, so a peer that still sends them pairs.
bool sameCode(std::string_view received, const QString& ours) {
    if (sameText(received, ours)) return true;
    const QString theirs = QString::fromUtf8(received.data(), qsizetype(received.size()));
    return theirs.trimmed().normalized(QString::NormalizationForm_C) ==
           ours.trimmed().normalized(QString::NormalizationForm_C);
}

bool isJsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The parser keeps four bytes for every structural character. A clip message has a few
// dozen; counting the ones that open a value or separate two ({ [ , :) outside strings
// bounds them all, so a body whose shape would cost more than its size is never parsed.
// The same pass refuses anything but white space after the top-level value, which the parser
// would not look at.
bool shapeFits(QByteArrayView body) {
    qsizetype budget = body.size() / 8 + 64;
    qsizetype depth = 0;
    const char* p = body.data();
    const char* const end = p + body.size();
    while (p < end) {
        const char c = *p++;
        if (c == '"') {
            // On to the closing quote: one not preceded by an odd run of backslashes.
            for (;;) {
                p = static_cast<const char*>(std::memchr(p, '"', size_t(end - p)));
                if (!p) return true;  // unterminated: the parser refuses it
                const char* q = p;
                while (q[-1] == '\\') --q;
                ++p;
                if ((p - 1 - q) % 2 == 0) break;
            }
        } else if (c == '{' || c == '[' || c == ',' || c == ':') {
            if (--budget < 0) return false;
            if (c == '{' || c == '[') ++depth;
        } else if ((c == '}' || c == ']') && --depth == 0) {
            return std::all_of(p, end, isJsonSpace);
        }
    }
    return true;
}

// Reads a value of any shape to its end, so that the whole body is known to be JSON.
bool consume(ondemand::value value) {
    ondemand::json_type type;
    if (value.type().get(type) != ok) return false;
    switch (type) {
        case ondemand::json_type::object: {
            ondemand::object object;
            if (value.get_object().get(object) != ok) return false;
            for (auto field : object) {
                std::string_view key;
                ondemand::value inner;
                if (field.unescaped_key().get(key) != ok || field.value().get(inner) != ok ||
                    !consume(inner)) {
                    return false;
                }
            }
            return true;
        }
        case ondemand::json_type::array: {
            ondemand::array array;
            if (value.get_array().get(array) != ok) return false;
            for (auto element : array) {
                ondemand::value inner;
                if (element.get(inner) != ok || !consume(inner)) return false;
            }
            return true;
        }
        case ondemand::json_type::string: {
            std::string_view text;
            return value.get_string().get(text) == ok;
        }
        case ondemand::json_type::number: {
            ondemand::number number;
            return value.get_number().get(number) == ok;
        }
        case ondemand::json_type::boolean: {
            bool flag = false;
            return value.get_bool().get(flag) == ok;
        }
        case ondemand::json_type::null: {
            bool isNull = false;
            return value.is_null().get(isNull) == ok && isNull;
        }
    }
    return false;
}

enum class Outcome { Taken, Other, Broken };

// Nothing when the value is of the wanted type; otherwise it is read past: Other, or Broken
// when it is not JSON.
std::optional<Outcome> unlessOfType(ondemand::value& value, ondemand::json_type wanted) {
    ondemand::json_type type;
    if (value.type().get(type) != ok) return Outcome::Broken;
    if (type == wanted) return std::nullopt;
    return consume(value) ? Outcome::Other : Outcome::Broken;
}

Outcome readString(ondemand::value value, std::optional<std::string_view>& out) {
    if (const auto other = unlessOfType(value, ondemand::json_type::string)) return *other;
    std::string_view text;
    if (value.get_string().get(text) != ok) return Outcome::Broken;
    out = text;
    return Outcome::Taken;
}

// "data" straight from the body when it holds no escape (Base64 needs none), so the largest
// value of the message is never copied.
Outcome readData(ondemand::value value, std::optional<std::string_view>& out) {
    if (const auto other = unlessOfType(value, ondemand::json_type::string)) return *other;
    std::string_view raw = value.raw_json_token();  // quotes and trailing white space included
    while (!raw.empty() && isJsonSpace(raw.back())) raw.remove_suffix(1);
    if (raw.size() >= 2 && raw.back() == '"' && raw.find('\\') == std::string_view::npos) {
        out = raw.substr(1, raw.size() - 2);
        return Outcome::Taken;
    }
    return readString(value, out);
}

// "v": version one when it is a number equal to 1, in whatever notation.
Outcome readVersion(ondemand::value value, bool& versionOne) {
    if (const auto other = unlessOfType(value, ondemand::json_type::number)) return *other;
    ondemand::number number;
    if (value.get_number().get(number) != ok) return Outcome::Broken;
    switch (number.get_number_type()) {
        case ondemand::number_type::signed_integer:
            versionOne = number.get_int64() == protocolVersion;
            break;
        case ondemand::number_type::unsigned_integer:
            versionOne = number.get_uint64() == 1;
            break;
        default:
            versionOne = number.get_double() == 1.0;
            break;
    }
    return Outcome::Other;
}

}  // namespace

// Gives the parser's buffers back after a large body, once nothing points into them.
class ClipMessageReader::Release {
public:
    Release(ClipMessageReader& reader, const QByteArray& body)
        : m_reader(reader), m_large(body.size() > largeBody) {}
    ~Release() {
        if (m_large) m_reader.m_parser = std::make_unique<Parser>();
    }

private:
    ClipMessageReader& m_reader;
    bool m_large;
};

ClipMessageReader::ClipMessageReader() : m_parser(std::make_unique<Parser>()) {}

ClipMessageReader::~ClipMessageReader() = default;

std::optional<ClipMessageReader::Fields> ClipMessageReader::readFields(const QByteArray& body) {
    if (body.isEmpty() || !shapeFits(body)) return std::nullopt;

    // Spare bytes that really follow the body: none for a raw array, and free space at the
    // front of the allocation does not count.
    // (data_ptr() has no const form; reading it neither detaches nor changes the array.)
    const qsizetype spare = const_cast<QByteArray&>(body).data_ptr().freeSpaceAtEnd();
    Fields fields;
    ondemand::document document;
    simdjson::error_code error;
    if (spare >= qsizetype(simdjson::SIMDJSON_PADDING)) {
        error = m_parser->parser
                    .iterate(body.constData(), size_t(body.size()), size_t(body.size() + spare))
                    .get(document);
    } else {
        fields.copy.emplace(body.constData(), size_t(body.size()));
        error = m_parser->parser.iterate(*fields.copy).get(document);
    }
    ondemand::object object;
    if (error != ok || document.get_object().get(object) != ok) return std::nullopt;

    for (auto field : object) {
        std::string_view key;
        ondemand::value value;
        if (field.unescaped_key().get(key) != ok || field.value().get(value) != ok) {
            return std::nullopt;
        }
        Outcome outcome = Outcome::Other;
        if (key == "token" && !std::exchange(fields.seenToken, true)) {
            outcome = readString(value, fields.token);
        } else if (key == "device" && !std::exchange(fields.seenDevice, true)) {
            outcome = readString(value, fields.device);
        } else if (key == "kind" && !std::exchange(fields.seenKind, true)) {
            outcome = readString(value, fields.kind);
        } else if (key == "data" && !std::exchange(fields.seenData, true)) {
            outcome = readData(value, fields.data);
        } else if (key == "v" && !std::exchange(fields.seenVersion, true)) {
            outcome = readVersion(value, fields.versionOne);
        } else {
            outcome = consume(value) ? Outcome::Other : Outcome::Broken;
        }
        if (outcome == Outcome::Broken) return std::nullopt;
    }
    return fields;
}

bool ClipMessageReader::carriesToken(const QByteArray& body, const QString& token) {
    const Release release(*this, body);
    const auto fields = readFields(body);
    return fields && fields->token && sameCode(*fields->token, token);
}

std::optional<ClipMessage> ClipMessageReader::read(const QByteArray& body, const QString& token,
                                                   const QString& deviceID) {
    const Release release(*this, body);
    // Passed over without a word to the user; the debug trace says why.
    const auto passOver = [&body](const char* why) {
        qCDebug(lcProtocol) << "message of" << body.size() << "bytes passed over:" << why;
        return std::nullopt;
    };
    const auto fields = readFields(body);
    if (!fields) return passOver("not a JSON object, or too dense to read");
    if (!fields->token || !sameCode(*fields->token, token)) return passOver("another code");
    if (fields->device && sameText(*fields->device, deviceID)) return passOver("our own device");
    if (!fields->versionOne || !fields->kind || !fields->data)
        return passOver("not version 1, or no kind or data");
    // A kind no one knows could not be written: nothing to do with it but pass it over.
    const auto kind =
        contentKindFrom(QByteArrayView(fields->kind->data(), qsizetype(fields->kind->size())));
    if (!kind) return passOver("a kind no one knows");

    const std::string_view data = *fields->data;
    // Too long to decode within the limit: not worth decoding at all.
    if (qsizetype(data.size()) > base64Length(maxReceivedData)) return passOver("data too long");
    auto decoded = base64DecodeStrict(QByteArrayView(data.data(), qsizetype(data.size())));
    if (!decoded) return passOver("data not strict Base64");
    if (decoded->isEmpty() || decoded->size() > maxReceivedData)
        return passOver("data empty or too long");

    return ClipMessage{*kind, std::move(*decoded)};
}

}  // namespace clipwren
