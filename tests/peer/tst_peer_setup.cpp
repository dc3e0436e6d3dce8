// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// How the peer starts: its command line, and the code and certificate it keeps.
#include <sys/stat.h>

#include <QRegularExpression>

#include "PeerIdentity.h"
#include "PeerOptions.h"
#include "TokenFile.h"
#include "protocol/PairingCode.h"
#include "support/Testing.h"

using namespace clipwren::peer;

namespace {

const QString code = u"K7MZQ4RT9WXC2HPV"_s;

// What the peer makes of a command line, when input holds a line or, if null, nothing:
// "help", "refused", or its options in one line, ending in "read" if it read the input.
QString outcome(QStringList arguments, const QString& input) {
    bool read = false;
    arguments.prepend(u"clipwren-peer"_s);
    const auto parsed = parsePeerOptions(arguments, [&]() -> std::optional<QString> {
        read = true;
        return input.isNull() ? std::nullopt : std::optional(input);
    });
    if (!parsed) return parsed.error().isEmpty() ? u"refused without a word"_s : u"refused"_s;
    if (parsed->help) return u"help"_s;
    const PeerOptions& o = parsed.value();
    return u"%1 %2 %3%4%5%6"_s.arg(o.token, o.listenAddress.toString(), QString::number(o.port),
                                   o.quiet ? u" quiet"_s : QString(),
                                   o.saveToken ? u" save"_s : QString(),
                                   read ? u" read"_s : QString());
}

int modeOf(const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 0777 : -1;
}

}  // namespace

class PeerSetupTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    void commandLine_data() {
        QTest::addColumn<QString>("arguments");  // split at spaces
        QTest::addColumn<QString>("input");      // null: nothing to read
        QTest::addColumn<QString>("expected");
        const QString file = m_dir.filePath(u"code"_s);
        QVERIFY(saveTokenFile(file, code + u"\nriga due"_s));
        const auto row = [](const char* name, const QString& arguments, const QString& input,
                            const QString& expected) {
            QTest::addRow("%s", name) << arguments << input << expected;
        };
        const QString refused = u"refused"_s;
        // The code saved for the systemd unit comes from input only.
        row("saved from input", u"--quiet --save-token"_s, code + u"\r\n"_s,
            code + u" 0.0.0.0 47832 quiet save read"_s);
        row("from a file", u"--token-file %1 --listen 127.0.0.1 --port 0"_s.arg(file), {},
            code + u" 127.0.0.1 0"_s);
        // Sixteen user-perceived characters, not sixteen code units.
        row("sixteen characters", u"--token K7MZQ4RT9WXC2HPe\u0301"_s, {},
            u"K7MZQ4RT9WXC2HPe\u0301 0.0.0.0 47832"_s);
        row("fifteen characters", u"--token K7MZQ4RT9WXC2He\u0301"_s, code, refused);
        row("too long", u"--token "_s + QString(pairing::maximumLength + 1, u'K'), code, refused);
        row("saved, given", u"--save-token --token K7MZQ4RT9WXC2HPV"_s, code, refused);
        row("saved from a file", u"--save-token --token-file "_s + file, code, refused);
        row("-h", u"-h"_s, code, u"help"_s);
        row("no input", QString(), {}, refused);
        row("code twice", u"--token K7MZQ4RT9WXC2HPV --token-file "_s + file, code, refused);
        row("missing file", u"--token-file "_s + file + u"x"_s, code, refused);
        row("port too high", u"--token K7MZQ4RT9WXC2HPV --port 65536"_s, code, refused);
        row("port not a number", u"--token K7MZQ4RT9WXC2HPV --port porta"_s, code, refused);
        row("not an address", u"--token K7MZQ4RT9WXC2HPV --listen nowhere"_s, code, refused);
        row("unknown option", u"--token K7MZQ4RT9WXC2HPV --colour"_s, code, refused);
        row("extra argument", u"--token K7MZQ4RT9WXC2HPV extra"_s, code, refused);
    }

    void commandLine() {
        QFETCH(QString, arguments);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(outcome(arguments.split(u' ', Qt::SkipEmptyParts), input), expected);
    }

    void savedCodeIsPrivate() {
        const QString path = m_dir.filePath(u"config/ClipwrenPlus/peer-token"_s);
        QVERIFY(saveTokenFile(path, code));
        QCOMPARE(modeOf(path), 0600);
        const auto saved = saveTokenFile(path + u"/x"_s, code);
        QVERIFY(!saved && !saved.error().isEmpty());
    }

    void identityIsPrivateAndKept() {
        const QString folder = m_dir.filePath(u"ClipwrenPlus/peer"_s);
        const QString key = folder + u"/key.pem"_s;
        const auto isPrivate = [&] { return modeOf(folder) == 0700 && modeOf(key) == 0600; };
        const auto first = loadOrCreateIdentity(folder);
        QVERIFY2(first, qPrintable(first.error()));
        QVERIFY(first->created && isPrivate());
        QVERIFY(
            first->fingerprint.contains(QRegularExpression(u"^([0-9A-F]{2}:){31}[0-9A-F]{2}$"_s)));

        // Loosened by hand: tightened again, and the same certificate is used.
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        ::chmod(QFile::encodeName(key).constData(), 0644);
        const auto again = loadOrCreateIdentity(folder);
        QVERIFY(again && !again->created && isPrivate());
        QCOMPARE(again->fingerprint, first->fingerprint);
        QCOMPARE(again->privateKeyPem, first->privateKeyPem);

        // A certificate cut short after its first line is made anew.
        QVERIFY(QFile::resize(folder + u"/certificate.pem"_s, 28));
        const auto remade = loadOrCreateIdentity(folder);
        QVERIFY(remade && remade->created && isPrivate());
        QVERIFY(remade->fingerprint != first->fingerprint);
    }
};

QTEST_GUILESS_MAIN(PeerSetupTest)
#include "tst_peer_setup.moc"
