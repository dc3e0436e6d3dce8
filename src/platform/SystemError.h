// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QString>

namespace clipwren {

// An error number of the system in the words the user reads: Italian for what saving a file
// meets (a full disk, no permission, ...), the system's own text for anything rarer.
QString systemErrorText(int error);

}  // namespace clipwren
