// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace clipwren {

namespace {

constexpr auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QSettings openSettings() {
    return QSettings(QStringLiteral("ClipwrenPlus"), QStringLiteral("ClipwrenPlus"));
}

// QSettings replaces the file atomically and keeps an existing file's permissions, so the
// file is created owner-only before anything is written into it.
void prepareOwnerOnlyFile(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.exists()) file.open(QIODevice::WriteOnly, ownerOnly);
    QFile::setPermissions(path, ownerOnly);
}

}  // namespace

QString SettingsStore::fileName() {
    return openSettings().fileName();
}

QString SettingsStore::text(const QString& key) const {
    const QVariant value = openSettings().value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

bool SettingsStore::setText(const QString& key, const QString& value) {
    QSettings settings = openSettings();
    prepareOwnerOnlyFile(settings.fileName());
    settings.setValue(key, value);
    // sync() says nothing itself of a write that failed; status() does.
    settings.sync();
    QFile::setPermissions(settings.fileName(), ownerOnly);
    return settings.status() == QSettings::NoError;
}

}  // namespace clipwren
