#include "clipboard/Digest.h"

#include "platform/Crypto.h"

namespace clipwren {

QByteArray contentDigest(QByteArrayView kindUtf8, QByteArrayView bytes) {
    return sha256({kindUtf8, bytes});
}

}  // namespace clipwren
