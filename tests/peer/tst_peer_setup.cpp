// How the peer starts: its command line, the certificate it keeps, and the signals that end it.
#include <QRegularExpression>
#include <csignal>

#include "PeerIdentity.h"
#include "PeerOptions.h"
#include "SignalWatcher.h"
#include "TokenFile.h"
#include "support/Testing.h"

using namespace clipwren::peer;

namespace {

const QString code = u"K7MZQ4RT9WXC2HPV"_s;

ParsedOptions parse(QStringList arguments, std::optional<QString> input = std::nullopt,
                    bool* inputRead = nullptr) {
    arguments.prepend(u"clipwren-peer"_s);
    return parsePeerOptions(arguments, [&] {
        if (inputRead) *inputRead = true;
        return input;
    });
}

QFile::Permissions permissionsOf(const QString& path) {
    return QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}

}  // namespace

class PeerSetupTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commandLine() {
        bool inputRead = false;
        auto parsed = parse({u"--token"_s, code}, u"other"_s, &inputRead);
        QVERIFY(parsed.options);
        QCOMPARE(parsed.options->token, code);
        QCOMPARE(parsed.options->port, quint16(47832));
        QCOMPARE(parsed.options->listenAddress, QHostAddress(QHostAddress::Any));
        QVERIFY(!parsed.options->quiet);
        QVERIFY(!inputRead);

        // From standard input when no option names it, without the line ending.
        parsed = parse({u"--quiet"_s}, code + u"\r\n"_s, &inputRead);
        QVERIFY(inputRead);
        QCOMPARE(parsed.options->token, code);
        QVERIFY(parsed.options->quiet);
        parsed = parse({}, std::nullopt);
        QVERIFY(!parsed.options);
        QVERIFY(!parsed.error.isEmpty());

        QTemporaryDir dir;
        const QString tokenFile = dir.filePath(u"code"_s);
        QFile file(tokenFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(code.toUtf8() + "\nsecond line\n");
        file.close();
        parsed = parse(
            {u"--token-file"_s, tokenFile, u"--listen"_s, u"127.0.0.1"_s, u"--port"_s, u"0"_s});
        QVERIFY(parsed.options);
        QCOMPARE(parsed.options->token, code);
        QCOMPARE(parsed.options->listenAddress, QHostAddress(QHostAddress::LocalHost));
        QCOMPARE(parsed.options->port, quint16(0));

        // Sixteen user-perceived characters, not sixteen code units.
        const QString accent = u"e\u0301"_s;
        QVERIFY(parse({u"--token"_s, code.left(15) + accent}).options);
        QVERIFY(!parse({u"--token"_s, code.left(14) + accent}).options);

        // Stored for the systemd unit: from standard input only.
        parsed = parse({u"--save-token"_s}, code + u"\n"_s, &inputRead);
        QVERIFY(parsed.options && parsed.options->saveToken);
        QCOMPARE(parsed.options->token, code);
        QVERIFY(!parse({u"--token"_s, code}).options->saveToken);

        QVERIFY(parse({u"--help"_s}).help);
        QVERIFY(parse({u"-h"_s}).help);
        const QList<QStringList> refused = {
            {u"--token"_s, code.left(15)},
            {u"--token"_s, code, u"--token-file"_s, tokenFile},
            {u"--token-file"_s, dir.filePath(u"missing"_s)},
            {u"--token"_s, code, u"--port"_s, u"65536"_s},
            {u"--token"_s, code, u"--port"_s, u"porta"_s},
            {u"--token"_s, code, u"--listen"_s, u"nowhere"_s},
            {u"--token"_s, code, u"--colour"_s},
            {u"--token"_s, code, u"extra"_s},
            {u"--save-token"_s, u"--token"_s, code},
            {u"--save-token"_s, u"--token-file"_s, tokenFile},
        };
        for (const QStringList& arguments : refused) {
            parsed = parse(arguments, code);
            QVERIFY2(!parsed.options && !parsed.help, qPrintable(arguments.join(u' ')));
            QVERIFY(!parsed.error.isEmpty());
        }
    }

    void savedCodeIsPrivateAndReadBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"config/ClipwrenPlus/peer-token"_s);
        QVERIFY(!saveTokenFile(path, u"primo codice lungo"_s));
        // Saved again over a file that others could read: replaced, and private again.
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        QVERIFY(!saveTokenFile(path, code));
        QCOMPARE(permissionsOf(path), QFile::ReadOwner | QFile::WriteOwner);
        const auto parsed = parse({u"--token-file"_s, path});
        QVERIFY(parsed.options);
        QCOMPARE(parsed.options->token, code);
        QVERIFY(defaultTokenFile().endsWith(u"/ClipwrenPlus/peer-token"_s));

        // Nowhere to write: said, and nothing half-written left behind.
        const QString blocked = dir.filePath(u"config/ClipwrenPlus/peer-token/x"_s);
        const auto error = saveTokenFile(blocked, code);
        QVERIFY(error && !error->isEmpty());
        QCOMPARE(QDir(dir.filePath(u"config/ClipwrenPlus"_s)).entryList(QDir::Files),
                 QStringList{u"peer-token"_s});
    }

    void identityIsPrivateAndKept() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"ClipwrenPlus/peer"_s);
        const QString key = folder + u"/key.pem"_s;
        const QString certificate = folder + u"/certificate.pem"_s;

        const IdentityResult first = loadOrCreateIdentity(folder);
        QVERIFY2(first.identity, qPrintable(first.error));
        QVERIFY(first.identity->created);
        QVERIFY(first.identity->fingerprint.contains(
            QRegularExpression(u"^([0-9A-F]{2}:){31}[0-9A-F]{2}$"_s)));
        QCOMPARE(permissionsOf(folder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(permissionsOf(key), QFile::ReadOwner | QFile::WriteOwner);

        // Loosened by hand: tightened again, and the same certificate is used.
        QFile::setPermissions(folder, QFile::Permissions(0x7755));
        QFile::setPermissions(key, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        const IdentityResult again = loadOrCreateIdentity(folder);
        QVERIFY(again.identity);
        QVERIFY(!again.identity->created);
        QCOMPARE(again.identity->fingerprint, first.identity->fingerprint);
        QCOMPARE(again.identity->privateKeyPem, first.identity->privateKeyPem);
        QCOMPARE(permissionsOf(folder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(permissionsOf(key), QFile::ReadOwner | QFile::WriteOwner);

        // A damaged certificate is replaced, key and all.
        QFile damaged(certificate);
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("-----BEGIN CERTIFICATE-----\nbroken\n");
        damaged.close();
        const IdentityResult remade = loadOrCreateIdentity(folder);
        QVERIFY(remade.identity);
        QVERIFY(remade.identity->created);
        QVERIFY(remade.identity->fingerprint != first.identity->fingerprint);
        QVERIFY(remade.identity->privateKeyPem != first.identity->privateKeyPem);
        QCOMPARE(permissionsOf(key), QFile::ReadOwner | QFile::WriteOwner);
    }

    void signalsReachTheEventLoop() {
        SignalWatcher watcher({SIGUSR1, SIGUSR2});
        QVERIFY(watcher.isValid());
        QSignalSpy caught(&watcher, &SignalWatcher::caught);
        std::raise(SIGUSR2);
        std::raise(SIGUSR1);
        QTRY_COMPARE(caught.count(), 2);
        QCOMPARE(caught.at(0).at(0).toInt(), SIGUSR2);
        QCOMPARE(caught.at(1).at(0).toInt(), SIGUSR1);
    }
};

QTEST_GUILESS_MAIN(PeerSetupTest)
#include "tst_peer_setup.moc"
