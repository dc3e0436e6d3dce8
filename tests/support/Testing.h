// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once
// What nearly every test uses, so that each test file names only what is its own.
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "support/TestEnvironment.h"

namespace clipwren {}
using namespace clipwren;
using namespace Qt::StringLiterals;
