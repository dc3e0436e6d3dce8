// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// How the peer starts: its command line, and the code and certificate it keeps.
#include <sys/stat.h>

#include <QRegularExpression>

#include "PeerAddresses.h"
#include "PeerIdentity.h"
#include "PeerOptions.h"
#include "TokenFile.h"
#include "protocol/PairingCode.h"
#include "support/Testing.h"

using namespace clipwren::peer;

namespace {

const QString code = u"K7MZQ4RT9WXC2HPV"_s;

// What the peer makes of a command line, when input holds a line or, if null, nothing, and
// savedFile is where a saved code would be: "help", "refused", "code: " and why, or its options
// in one line, ending in "read" if it read the input.
QString outcome(QStringList arguments, const QString& input, const QString& savedFile) {
    bool read = false;
    arguments.prepend(u"clipwren-peer"_s);
    auto parsed = parsePeerOptions(arguments);
    if (!parsed) return parsed.error().isEmpty() ? u"refused without a word"_s : u"refused"_s;
    if (parsed->help) return u"help"_s;
    const auto taken = readPeerCode(
        parsed.value(),
        [&]() -> std::optional<QString> {
            read = true;
            return input.isNull() ? std::nullopt : std::optional(input);
        },
        savedFile);
    if (!taken) return u"code: "_s + taken.error();
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
        QTest::addColumn<QString>("saved");      // null: no code saved
        QTest::addColumn<QString>("expected");
        const QString file = m_dir.filePath(u"code"_s);
        QVERIFY(saveTokenFile(file, u" \t"_s + code + u"\nriga due"_s));
        const auto row = [](const char* name, const QString& arguments, const QString& input,
                            const QString& expected, const QString& saved = {}) {
            QTest::addRow("%s", name) << arguments << input << saved << expected;
        };
        const QString refused = u"refused"_s;
        const QString lengthRule = u"code: il codice pairing deve avere da 16 a 1024 caratteri"_s;
        // The code saved for the systemd unit comes from input only; blanks around are no part
        // of a code, wherever it comes from.
        row("saved from input", u"--quiet --save-token"_s, u"  "_s + code + u" \r\n"_s,
            code + u" 0.0.0.0 47832 quiet save read"_s, u"OLDCODEOLDCODE99"_s);
        row("from a file", u"--token-file %1 --listen 127.0.0.1 --port 0"_s.arg(file), {},
            code + u" 127.0.0.1 0"_s);
        row("given, tabs around", u"--token \t"_s + code + u"\t"_s, {}, code + u" 0.0.0.0 47832"_s);
        // Started by hand after --save-token: the saved code, nothing asked.
        row("the saved code", QString(), code, code + u" 0.0.0.0 47832"_s,
            u" "_s + code + u" \n"_s);
        row("nothing saved: asked", QString(), code, code + u" 0.0.0.0 47832 read"_s);
        row("blank inside", QString(), u"K7MZQ4RT 9WXC2HPV"_s,
            u"code: il codice pairing non pu\u00f2 contenere spazi"_s);
        // Sixteen user-perceived characters, not sixteen code units.
        row("sixteen characters", u"--token K7MZQ4RT9WXC2HPe\u0301"_s, {},
            u"K7MZQ4RT9WXC2HPe\u0301 0.0.0.0 47832"_s);
        row("fifteen characters", u"--token K7MZQ4RT9WXC2He\u0301"_s, code, lengthRule);
        row("too long", u"--token "_s + QString(pairing::maximumLength + 1, u'K'), code,
            lengthRule);
        row("saved, given", u"--save-token --token K7MZQ4RT9WXC2HPV"_s, code, refused);
        row("saved from a file", u"--save-token --token-file "_s + file, code, refused);
        row("-h", u"-h"_s, code, u"help"_s);
        row("no input", QString(), {}, u"code: nessun codice pairing in ingresso"_s);
        row("code twice", u"--token K7MZQ4RT9WXC2HPV --token-file "_s + file, code, refused);
        QFile missing(file + u"x"_s);
        QVERIFY(!missing.open(QIODevice::ReadOnly));
        row("missing file", u"--token-file "_s + missing.fileName(), code,
            u"code: non riesco a leggere %1: %2"_s.arg(missing.fileName(), missing.errorString()));
        row("port too high", u"--token K7MZQ4RT9WXC2HPV --port 65536"_s, code, refused);
        row("port not a number", u"--token K7MZQ4RT9WXC2HPV --port porta"_s, code, refused);
        row("not an address", u"--token K7MZQ4RT9WXC2HPV --listen nowhere"_s, code, refused);
        row("unknown option", u"--token K7MZQ4RT9WXC2HPV --colour"_s, code, refused);
        row("extra argument", u"--token K7MZQ4RT9WXC2HPV extra"_s, code, refused);
    }

    void commandLine() {
        QFETCH(QString, arguments);
        QFETCH(QString, input);
        QFETCH(QString, saved);
        QFETCH(QString, expected);
        const QString savedFile =
            m_dir.filePath(u"saved/"_s + QString::fromLatin1(QTest::currentDataTag()));
        if (!saved.isNull()) QVERIFY(saveTokenFile(savedFile, saved));
        QCOMPARE(outcome(arguments.split(u' ', Qt::SkipEmptyParts), input, savedFile), expected);
    }

    // The addresses the tray program can be told: the one listened on, or this machine's own
    // that another machine can reach.
    void addressesAreThoseToType_data() {
        QTest::addColumn<QString>("listening");
        QTest::addColumn<QString>("local");  // split at spaces
        QTest::addColumn<QString>("expected");
        const QString local = u"127.0.0.1 ::1 fe80::1 2001:db8::5 192.168.1.20 10.0.0.7"_s;
        QTest::addRow("every address")
            << QString() << local << u"192.168.1.20, 10.0.0.7, 2001:db8::5"_s;
        QTest::addRow("every IPv4 address") << u"0.0.0.0"_s << local << u"192.168.1.20, 10.0.0.7"_s;
        QTest::addRow("every IPv6 address") << u"::"_s << local << u"2001:db8::5"_s;
        QTest::addRow("one address") << u"192.168.1.20"_s << local << u"192.168.1.20"_s;
        QTest::addRow("only loopback") << QString() << u"127.0.0.1 ::1"_s
                                       << u"nessuno trovato: questo Linux \u00e8 in rete?"_s;
    }
    void addressesAreThoseToType() {
        QFETCH(QString, listening);
        QFETCH(QString, local);
        QFETCH(QString, expected);
        QList<QHostAddress> addresses;
        for (const QString& address : local.split(u' ')) addresses.append(QHostAddress(address));
        const QHostAddress listened =
            listening.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(listening);
        QCOMPARE(addressesLine(addressesToType(listened, addresses)),
                 u"Indirizzi da inserire in \u00abIP Linux\u00bb: "_s + expected);
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
