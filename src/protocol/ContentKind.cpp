// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "protocol/ContentKind.h"

namespace clipwren {

QLatin1StringView wireName(ContentKind kind) {
    switch (kind) {
        case ContentKind::File:
            return QLatin1StringView("file");
        case ContentKind::Image:
            return QLatin1StringView("image");
        case ContentKind::Text:
            return QLatin1StringView("text");
    }
    return QLatin1StringView();
}

std::optional<ContentKind> contentKindFrom(QByteArrayView name) {
    for (const ContentKind kind : {ContentKind::File, ContentKind::Image, ContentKind::Text}) {
        if (name == QByteArrayView(wireName(kind))) return kind;
    }
    return std::nullopt;
}

}  // namespace clipwren
