// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// Base64: what strict decoding accepts is exactly what encoding writes, and encoding then
// decoding gives the bytes back.
#include "FuzzSupport.h"
#include "platform/Crypto.h"

using namespace clipwren;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto decoded = base64DecodeStrict(input)) {
        fuzz::require(base64Encode(*decoded) == input, "decoding then encoding is the identity");
    }
    const auto again = base64DecodeStrict(base64Encode(input));
    fuzz::require(again && *again == input, "encoding then decoding is the identity");
    return 0;
}
