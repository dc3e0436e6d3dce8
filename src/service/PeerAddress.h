// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QString>

namespace clipwren {

// Whether a trimmed address can name the Linux machine: an IPv4 or IPv6 address, or a host
// name (letters, digits and hyphens in dot-separated labels, or its international form).
// Anything with a blank inside, or a half-typed address such as "192.168.1", is not one.
bool isValidPeerAddress(const QString& address);

}  // namespace clipwren
