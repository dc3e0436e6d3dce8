#pragma once

#include <QByteArray>
#include <QString>

namespace clipwren::test {

// Points the user's settings and data folders at a fresh temporary folder, for the rest of
// the process. Call before anything reads settings or standard paths.
void isolateUserFolders();

QString configHome();
// Forgets every saved setting.
void clearSettings();
QString dataHome();

// A small PNG image with some transparency.
QByteArray samplePng();

// Runs the event loop for ms milliseconds.
void spin(int ms);

}  // namespace clipwren::test
