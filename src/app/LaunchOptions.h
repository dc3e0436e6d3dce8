// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

class QCommandLineParser;

namespace clipwren {

struct LaunchOptions {
    // Connect once at start when an address and a code are saved.
    bool connect = false;
    // Write every new status text to standard output, one line each.
    bool printStatus = false;
};

// Adds the program's description, --help and the launch options to parser.
void describeLaunchOptions(QCommandLineParser& parser);
LaunchOptions readLaunchOptions(const QCommandLineParser& parser);

}  // namespace clipwren
