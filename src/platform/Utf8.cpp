#include "platform/Utf8.h"

#include <simdjson.h>

namespace clipwren {

bool isValidUtf8(QByteArrayView bytes) {
    return simdjson::validate_utf8(bytes.data(), size_t(bytes.size()));
}

}  // namespace clipwren
