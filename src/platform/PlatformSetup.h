// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

class QCoreApplication;

namespace clipwren {

// Before the application object exists: where an X server is available, use it. Under
// Wayland a program in the background cannot read the clipboard, and this one always is.
// An explicit QT_QPA_PLATFORM is left alone.
void preferX11Platform();

// Installs Qt's own Italian texts, so that the platform's error descriptions read in the same
// language as the texts around them. False when the translation is not installed.
bool installPlatformTranslation(QCoreApplication& application);

// First thing at start: a program that stops reading what we serve it (a clipboard pipe, a
// socket) must not end this one. The write fails instead, and is handled where it is made.
void ignoreBrokenPipes();

}  // namespace clipwren
