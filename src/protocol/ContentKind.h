// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QByteArrayView>
#include <QLatin1StringView>
#include <optional>

namespace clipwren {

// What a clipboard content is, as it crosses: a file (UTF-8 name, 0x00, contents), an image
// (PNG) or a text (UTF-8).
enum class ContentKind { File, Image, Text };

// The kind's name in a clip message's "kind" and in a content's digest.
QLatin1StringView wireName(ContentKind kind);

// The kind that name stands for; nothing for a name no one knows.
std::optional<ContentKind> contentKindFrom(QByteArrayView name);

}  // namespace clipwren
