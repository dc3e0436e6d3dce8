// How the peer starts: its command line, the certificate it keeps, and the signals that end it.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "PeerIdentity.h"
#include "PeerOptions.h"
#include "SignalWatcher.h"
#include "TokenFile.h"

using namespace clipwren::peer;

namespace {

const QString code = QStringLiteral("K7MZQ4RT9WXC2HPV");

ParsedOptions parse(QStringList arguments, std::optional<QString> input = std::nullopt,
                    bool* inputRead = nullptr) {
    arguments.prepend(QStringLiteral("clipwren-peer"));
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
        auto parsed = parse({QStringLiteral("--token"), code}, QStringLiteral("other"), &inputRead);
        QVERIFY(parsed.options);
        QCOMPARE(parsed.options->token, code);
        QCOMPARE(parsed.options->port, quint16(47832));
        QCOMPARE(parsed.options->listenAddress, QHostAddress(QHostAddress::Any));
        QVERIFY(!parsed.options->quiet);
        QVERIFY(!inputRead);

        // From standard input when no option names it, without the line ending.
        parsed = parse({QStringLiteral("--quiet")}, code + QStringLiteral("\r\n"), &inputRead);
        QVERIFY(inputRead);
        QCOMPARE(parsed.options->token, code);
        QVERIFY(parsed.options->quiet);
        parsed = parse({}, std::nullopt);
        QVERIFY(!parsed.options);
        QVERIFY(!parsed.error.isEmpty());

        QTemporaryDir dir;
        const QString tokenFile = dir.filePath(QStringLiteral("code"));
        QFile file(tokenFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(code.toUtf8() + "\nsecond line\n");
        file.close();
        parsed =
            parse({QStringLiteral("--token-file"), tokenFile, QStringLiteral("--listen"),
                   QStringLiteral("127.0.0.1"), QStringLiteral("--port"), QStringLiteral("0")});
        QVERIFY(parsed.options);
        QCOMPARE(parsed.options->token, code);
        QCOMPARE(parsed.options->listenAddress, QHostAddress(QHostAddress::LocalHost));
        QCOMPARE(parsed.options->port, quint16(0));

        // Sixteen user-perceived characters, not sixteen code units.
        const QString accent = QStringLiteral("e\u0301");
        QVERIFY(parse({QStringLiteral("--token"), code.left(15) + accent}).options);
        QVERIFY(!parse({QStringLiteral("--token"), code.left(14) + accent}).options);

        // Stored for the systemd unit: from standard input only.
        parsed = parse({QStringLiteral("--save-token")}, code + QStringLiteral("\n"), &inputRead);
        QVERIFY(parsed.options && parsed.options->saveToken);
        QCOMPARE(parsed.options->token, code);
        QVERIFY(!parse({QStringLiteral("--token"), code}).options->saveToken);

        QVERIFY(parse({QStringLiteral("--help")}).help);
        QVERIFY(parse({QStringLiteral("-h")}).help);
        const QList<QStringList> refused = {
            {QStringLiteral("--token"), code.left(15)},
            {QStringLiteral("--token"), code, QStringLiteral("--token-file"), tokenFile},
            {QStringLiteral("--token-file"), dir.filePath(QStringLiteral("missing"))},
            {QStringLiteral("--token"), code, QStringLiteral("--port"), QStringLiteral("65536")},
            {QStringLiteral("--token"), code, QStringLiteral("--port"), QStringLiteral("porta")},
            {QStringLiteral("--token"), code, QStringLiteral("--listen"),
             QStringLiteral("nowhere")},
            {QStringLiteral("--token"), code, QStringLiteral("--colour")},
            {QStringLiteral("--token"), code, QStringLiteral("extra")},
            {QStringLiteral("--save-token"), QStringLiteral("--token"), code},
            {QStringLiteral("--save-token"), QStringLiteral("--token-file"), tokenFile},
        };
        for (const QStringList& arguments : refused) {
            parsed = parse(arguments, code);
            QVERIFY2(!parsed.options && !parsed.help, qPrintable(arguments.join(u' ')));
            QVERIFY(!parsed.error.isEmpty());
        }
    }

    void savedCodeIsPrivateAndReadBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("config/ClipwrenPlus/peer-token"));
        QVERIFY(!saveTokenFile(path, QStringLiteral("primo codice lungo")));
        // Saved again over a file that others could read: replaced, and private again.
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        QVERIFY(!saveTokenFile(path, code));
        QCOMPARE(permissionsOf(path), QFile::ReadOwner | QFile::WriteOwner);
        const auto parsed = parse({QStringLiteral("--token-file"), path});
        QVERIFY(parsed.options);
        QCOMPARE(parsed.options->token, code);
        QVERIFY(defaultTokenFile().endsWith(QStringLiteral("/ClipwrenPlus/peer-token")));

        // Nowhere to write: said, and nothing half-written left behind.
        const QString blocked = dir.filePath(QStringLiteral("config/ClipwrenPlus/peer-token/x"));
        const auto error = saveTokenFile(blocked, code);
        QVERIFY(error && !error->isEmpty());
        QCOMPARE(QDir(dir.filePath(QStringLiteral("config/ClipwrenPlus"))).entryList(QDir::Files),
                 QStringList{QStringLiteral("peer-token")});
    }

    void identityIsPrivateAndKept() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("ClipwrenPlus/peer"));
        const QString key = folder + QStringLiteral("/key.pem");
        const QString certificate = folder + QStringLiteral("/certificate.pem");

        const IdentityResult first = loadOrCreateIdentity(folder);
        QVERIFY2(first.identity, qPrintable(first.error));
        QVERIFY(first.identity->created);
        QVERIFY(first.identity->fingerprint.contains(
            QRegularExpression(QStringLiteral("^([0-9A-F]{2}:){31}[0-9A-F]{2}$"))));
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
