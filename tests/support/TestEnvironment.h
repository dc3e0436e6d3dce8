#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace clipwren::test {

// Points the user's settings and data folders at a fresh temporary folder, for the rest of
// the process. Call before anything reads settings or standard paths.
void isolateUserFolders();

QString configHome();
// Forgets every saved setting.
void clearSettings();
QString dataHome();
// Where received files are kept, one folder per file.
QString receivedFolder();
// The received files, as "<folder>/<name>", newest folder first.
QStringList receivedFiles();
// Puts a plain file where folder should be, so that nothing can be made inside it.
bool blockWithFile(const QString& folder);

// A small PNG image with some transparency.
QByteArray samplePng();

// Runs the event loop for ms milliseconds.
void spin(int ms);

}  // namespace clipwren::test
