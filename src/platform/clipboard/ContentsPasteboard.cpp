// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/clipboard/ContentsPasteboard.h"

namespace clipwren {

QList<QUrl> ContentsPasteboard::fileURLs() const {
    return m_contents.uriList ? localFileURLs(*m_contents.uriList) : QList<QUrl>();
}

std::optional<QByteArray> ContentsPasteboard::data(DataType type) const {
    return type == DataType::PNG ? m_contents.png : m_contents.tiff;
}

}  // namespace clipwren
