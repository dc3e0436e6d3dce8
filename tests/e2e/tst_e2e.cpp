// The tray program and the peer as real processes on 127.0.0.1:47832, each with a desktop and
// user folders of its own, driven the way a user drives them: another program copies on one
// side and reads what arrived on the other. The desktops are X servers with xclip, or, with
// CLIPWREN_E2E_SESSION=wayland, sway sessions with wl-copy and wl-paste.
#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

#include "platform/SelfSignedCertificate.h"
#include "protocol/FrameCodec.h"
#include "protocol/Message.h"
#include "support/DesktopSession.h"
#include "support/TestEnvironment.h"
#include "support/TlsTestServer.h"

using namespace clipwren;

namespace {

const QString code = QStringLiteral("K7MZQ4RT9WXC2HPV");
constexpr quint16 port = 47832;
constexpr int deadlineMs = 15000;
// A side that wrongly sent back what it received would do so at its next tick (0.45 s);
// nothing can be seen to stay unsent without watching for a few ticks.
constexpr int echoWatchMs = 1500;

const QString connected = QStringLiteral("Connesso \u2022 sincronizzazione attiva");

QString programPath() {
    // Another build of the program can be tried against the same tests.
    const QString chosen = qEnvironmentVariable("CLIPWREN_E2E_PROGRAM");
    return chosen.isEmpty() ? QStringLiteral(CLIPWREN_PLUS_PATH) : chosen;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool onWayland() {
    return qEnvironmentVariable("CLIPWREN_E2E_SESSION") == u"wayland";
}

// One side of the bridge: a desktop with its clipboard (a private X server, or a sway
// session where a native terminal has the focus), and user folders.
class Side {
public:
    bool start(const QString& root) {
        m_config = root + QStringLiteral("/config");
        m_data = root + QStringLiteral("/data");
        m_runtime = root + QStringLiteral("/runtime");
        for (const QString& folder : {m_config, m_data, m_runtime}) QDir().mkpath(folder);
        QFile::setPermissions(m_runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (onWayland()) {
            m_desktop = std::make_unique<test::SwaySession>();
        } else {
            m_desktop = std::make_unique<test::XvfbSession>();
        }
        return m_desktop->start();
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment environment = m_desktop->environment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_data);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
        return environment;
    }

    test::DesktopSession& desktop() const { return *m_desktop; }
    QString receivedFolder() const { return m_data + QStringLiteral("/ClipwrenPlus/Received"); }
    const QString& config() const { return m_config; }
    const QString& data() const { return m_data; }

private:
    std::unique_ptr<test::DesktopSession> m_desktop;
    QString m_config;
    QString m_data;
    QString m_runtime;
};

// A running program whose standard output is read line by line.
class Running {
public:
    void start(const Side& side, const QString& program, const QStringList& arguments,
               const QByteArray& input = QByteArray()) {
        m_output.clear();
        m_process = std::make_unique<QProcess>();
        m_process->setProcessEnvironment(side.environment());
        QObject::connect(m_process.get(), &QProcess::readyReadStandardOutput,
                         [this] { m_output += m_process->readAllStandardOutput(); });
        m_process->start(program, arguments);
        m_process->write(input);
        m_process->closeWriteChannel();
    }
    ~Running() { stop(); }

    // Ends it the way a service manager does; true when it then exited cleanly.
    bool stop() {
        if (!m_process || m_process->state() == QProcess::NotRunning) return true;
        m_process->terminate();
        if (m_process->waitForFinished(deadlineMs)) {
            m_output += m_process->readAllStandardOutput();
            return m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
        }
        m_process->kill();
        m_process->waitForFinished();
        return false;
    }

    // How it ended on its own: its exit code, or nothing while it runs.
    std::optional<int> exitCode() const {
        if (m_process->state() != QProcess::NotRunning) return std::nullopt;
        return m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
    }

    QStringList lines() const {
        return QString::fromUtf8(m_output).split(u'\n', Qt::SkipEmptyParts);
    }
    int count(const QString& start) const {
        int found = 0;
        for (const QString& line : lines()) found += line.startsWith(start) ? 1 : 0;
        return found;
    }
    QString firstLine(const QString& start) const {
        for (const QString& line : lines()) {
            if (line.startsWith(start)) return line;
        }
        return QString();
    }
    QString errors() const { return QString::fromLocal8Bit(m_process->readAllStandardError()); }
    QString dump() const { return lines().join(u'\n') + u'\n' + errors(); }

private:
    std::unique_ptr<QProcess> m_process;
    QByteArray m_output;
};

// True when no line starting with start appears for a few watcher ticks.
bool staysWithout(const Running& process, const QString& start, int expected) {
    QDeadlineTimer watch(echoWatchMs);
    while (!watch.hasExpired()) {
        if (process.count(start) != expected) return false;
        QTest::qWait(50);
    }
    return process.count(start) == expected;
}

// File managers paste a file from this type, not from the URL list alone.
bool offeredToFileManagers(const Side& side, const QString& path) {
    return side.desktop().paste(QStringLiteral("x-special/gnome-copied-files")) ==
           "copy\n" + QUrl::fromLocalFile(path).toEncoded();
}

QStringList filesUnder(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files.append(it.next());
    return files;
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;
    Side m_mac;  // the side of the tray program
    Side m_linux;
    Running m_program;
    Running m_peer;
    QString m_fingerprint;

    void startPeer() {
        m_peer.start(m_linux, QStringLiteral(CLIPWREN_PEER_PATH),
                     {QStringLiteral("--listen"), QStringLiteral("127.0.0.1")},
                     code.toUtf8() + '\n');  // the code on standard input, out of sight
    }
    void startProgram() {
        m_program.start(m_mac, programPath(),
                        {QStringLiteral("--connect"), QStringLiteral("--print-status")});
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_root.isValid());
        QVERIFY(m_mac.start(m_root.filePath(QStringLiteral("mac"))));
        QVERIFY(m_linux.start(m_root.filePath(QStringLiteral("linux"))));
        QVERIFY(writeFile(m_mac.config() + QStringLiteral("/ClipwrenPlus/ClipwrenPlus.conf"),
                          "[General]\nhost=127.0.0.1\ntoken=" + code.toUtf8() + '\n'));

        startPeer();
        QTRY_VERIFY2_WITH_TIMEOUT(m_peer.count(QStringLiteral("Impronta SHA-256")) == 1,
                                  qPrintable(m_peer.dump()), deadlineMs);
        QVERIFY(m_peer.firstLine(QStringLiteral("In ascolto su 127.0.0.1, porta 47832"))
                    .endsWith(QStringLiteral("(certificato nuovo)")));
        m_fingerprint = m_peer.firstLine(QStringLiteral("Impronta SHA-256"));

        startProgram();
        QTRY_VERIFY2_WITH_TIMEOUT(m_program.lines().contains(connected),
                                  qPrintable(m_program.dump()), deadlineMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_peer.count(QStringLiteral("Autenticata 127.0.0.1:")), 1,
                                  deadlineMs);
    }

    void secondPeerSaysThePortIsTaken() {
        QProcess second;
        second.setProcessEnvironment(m_linux.environment());
        second.start(QStringLiteral(CLIPWREN_PEER_PATH), {QStringLiteral("--token"), code});
        QVERIFY(second.waitForFinished(deadlineMs));
        QVERIFY(second.exitCode() != 0);
        QCOMPARE(QString::fromLocal8Bit(second.readAllStandardError()),
                 QStringLiteral("clipwren-peer: non posso ascoltare su 0.0.0.0:47832: la porta è "
                                "già in uso, forse da un altro clipwren-peer\n"));
    }

    void textImageAndFileCrossBothWays() {
        const QByteArray png = test::samplePng();

        // From the program's side to the peer's.
        const QString text = QStringLiteral("Ciao da Clipwren+ \u2713 perché sì");
        m_mac.desktop().copyText(text);
        QTRY_COMPARE_WITH_TIMEOUT(m_linux.desktop().text(), text, deadlineMs);
        QVERIFY(staysWithout(m_peer, QStringLiteral("Inviato"), 0));

        m_mac.desktop().copy(QStringLiteral("image/png"), png);
        QTRY_COMPARE_WITH_TIMEOUT(m_linux.desktop().png(), png, deadlineMs);
        QVERIFY(staysWithout(m_peer, QStringLiteral("Inviato"), 0));

        const QByteArray contents("prima riga\n\0binario\xff\n", 21);
        const QString original = m_root.filePath(QStringLiteral("files/nota dal Mac.txt"));
        QVERIFY(writeFile(original, contents));
        m_mac.desktop().copyFile(original);
        QTRY_VERIFY_WITH_TIMEOUT(m_linux.desktop().file().startsWith(m_linux.receivedFolder()),
                                 deadlineMs);
        const QString stored = m_linux.desktop().file();
        QCOMPARE(QFileInfo(stored).fileName(), QStringLiteral("nota dal Mac.txt"));
        QCOMPARE(readFile(stored), contents);
        QVERIFY(offeredToFileManagers(m_linux, stored));
        QTRY_VERIFY2_WITH_TIMEOUT(
            m_peer.lines().contains(QStringLiteral("File salvato: ") + stored),
            qPrintable(m_peer.dump()), deadlineMs);
        QVERIFY(staysWithout(m_peer, QStringLiteral("Inviato"), 0));
        QCOMPARE(m_peer.count(QStringLiteral("Applicato: ")), 3);

        // From the peer's side to the program's.
        const QString reply = QStringLiteral("Risposta da Kubuntu: àèìòù");
        m_linux.desktop().copyText(reply);
        QTRY_COMPARE_WITH_TIMEOUT(m_mac.desktop().text(), reply, deadlineMs);
        QVERIFY(staysWithout(m_peer, QStringLiteral("Già presente"), 0));

        QImage flipped;
        QVERIFY(flipped.loadFromData(png));
        QByteArray otherPng;
        QBuffer buffer(&otherPng);
        buffer.open(QIODevice::WriteOnly);
        flipped.mirrored(true, false).save(&buffer, "PNG");
        m_linux.desktop().copy(QStringLiteral("image/png"), otherPng);
        QTRY_COMPARE_WITH_TIMEOUT(m_mac.desktop().png(), otherPng, deadlineMs);
        QVERIFY(staysWithout(m_peer, QStringLiteral("Già presente"), 0));

        const QByteArray report = QByteArray(70'000, 'k') + "fine";
        const QString linuxFile = m_root.filePath(QStringLiteral("files/rapporto.log"));
        QVERIFY(writeFile(linuxFile, report));
        m_linux.desktop().copyFile(linuxFile);
        QTRY_VERIFY_WITH_TIMEOUT(m_mac.desktop().file().startsWith(m_mac.receivedFolder()),
                                 deadlineMs);
        QCOMPARE(QFileInfo(m_mac.desktop().file()).fileName(), QStringLiteral("rapporto.log"));
        QCOMPARE(readFile(m_mac.desktop().file()), report);
        QVERIFY(offeredToFileManagers(m_mac, m_mac.desktop().file()));
        QVERIFY(staysWithout(m_peer, QStringLiteral("Già presente"), 0));

        // Each side sent what was copied on it, once, and applied only what came across.
        QCOMPARE(m_peer.count(QStringLiteral("Inviato: ")), 3);
        QVERIFY(m_peer.lines().contains(
            QStringLiteral("Inviato: text, %1 byte").arg(reply.toUtf8().size())));
        QVERIFY(m_peer.lines().contains(
            QStringLiteral("Inviato: image, %1 byte").arg(otherPng.size())));
        QCOMPARE(m_peer.count(QStringLiteral("Applicato: ")), 3);
        QVERIFY(m_peer.lines().contains(
            QStringLiteral("Applicato: text, %1 byte").arg(text.toUtf8().size())));
        QVERIFY(m_program.lines().contains(connected));
        QCOMPARE(m_program.lines().last(), connected);  // no failure of any kind on the way
    }

    void largestFilesCrossBothWays() {
        // As large as a file can be and still fit in one payload with its name.
        QByteArray contents(12'582'912 - 64, '\0');
        for (qsizetype i = 0; i < contents.size(); ++i) contents[i] = char(i * 7 + i / 4093);
        for (auto [from, to] : {std::pair{&m_mac, &m_linux}, std::pair{&m_linux, &m_mac}}) {
            const QString original = m_root.filePath(
                QStringLiteral("files/grande %1.bin").arg(from == &m_mac ? u'A' : u'B'));
            QVERIFY(writeFile(original, contents));
            from->desktop().copyFile(original);
            QTRY_VERIFY_WITH_TIMEOUT(to->desktop().file().startsWith(to->receivedFolder()),
                                     deadlineMs);
            QCOMPARE(QFileInfo(to->desktop().file()).fileName(), QFileInfo(original).fileName());
            QVERIFY(readFile(to->desktop().file()) == contents);
        }
    }

    void aClipboardOwnerThatNeverAnswersFreezesNeitherProgram() {
        for (auto [hung, other] : {std::pair{&m_mac, &m_linux}, std::pair{&m_linux, &m_mac}}) {
            const auto owner = hung->desktop().hangClipboard();
            QVERIFY(owner);
            // While its read of the hung owner waits, the program still applies what comes.
            const QString incoming = QStringLiteral("arrivato mentre gli appunti tacevano");
            other->desktop().copyText(incoming);
            QTRY_COMPARE_WITH_TIMEOUT(hung->desktop().text(), incoming, deadlineMs);
            // And what is copied next on its side leaves as usual.
            const QString next = QStringLiteral("e poi avanti");
            hung->desktop().copyText(next);
            QTRY_COMPARE_WITH_TIMEOUT(other->desktop().text(), next, deadlineMs);
        }
    }

    void peerTurnsAwayAnotherCode() {
        const QString before = m_linux.desktop().text();
        QSslSocket intruder;
        intruder.setPeerVerifyMode(QSslSocket::VerifyNone);
        QByteArray heard;
        connect(&intruder, &QSslSocket::readyRead, [&] { heard += intruder.readAll(); });
        intruder.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
        QTRY_VERIFY_WITH_TIMEOUT(intruder.isEncrypted(), deadlineMs);
        intruder.write(*encodeFrame(*clipMessage(QStringLiteral("text"), "intruso",
                                                 QStringLiteral("K7MZQ4RT9WXC2HPW"),
                                                 QStringLiteral("mac-INTRUSO"))
                                         .toJson()));
        QTRY_COMPARE_WITH_TIMEOUT(intruder.state(), QAbstractSocket::UnconnectedState, deadlineMs);
        QVERIFY(heard.isEmpty());
        QCOMPARE(m_peer.count(QStringLiteral("Rifiutata 127.0.0.1:")), 1);
        QVERIFY(m_peer.firstLine(QStringLiteral("Rifiutata"))
                    .endsWith(QStringLiteral(": codice errato")));
        QCOMPARE(m_linux.desktop().text(), before);

        // The program's own connection went on as if nothing had happened.
        const QString after = QStringLiteral("dopo l'intruso");
        m_linux.desktop().copyText(after);
        QTRY_COMPARE_WITH_TIMEOUT(m_mac.desktop().text(), after, deadlineMs);
        QCOMPARE(m_peer.count(QStringLiteral("Autenticata")), 1);
        QCOMPARE(m_peer.count(QStringLiteral("Chiusa")), 0);
    }

    void programShowsThePeerGoing() {
        QVERIFY2(m_peer.stop(), qPrintable(m_peer.dump()));
        QCOMPARE(m_peer.lines().last(), QStringLiteral("Arresto"));
        QTRY_VERIFY2_WITH_TIMEOUT(m_program.count(QStringLiteral("Connessione fallita: ")) >= 1,
                                  qPrintable(m_program.dump()), deadlineMs);
    }

    void programConnectsAgainToARestartedPeer() {
        m_program.stop();
        startProgram();  // nobody listens yet: it waits and tries again
        QTRY_VERIFY2_WITH_TIMEOUT(m_program.count(QStringLiteral("In attesa: ")) >= 1,
                                  qPrintable(m_program.dump()), deadlineMs);

        startPeer();
        QTRY_VERIFY_WITH_TIMEOUT(m_peer.count(QStringLiteral("Impronta SHA-256")) == 1, deadlineMs);
        // The same certificate as before: what the user compared once stays true.
        QCOMPARE(m_peer.firstLine(QStringLiteral("Impronta SHA-256")), m_fingerprint);
        QCOMPARE(m_peer.firstLine(QStringLiteral("In ascolto")),
                 QStringLiteral("In ascolto su 127.0.0.1, porta 47832"));
        QTRY_VERIFY2_WITH_TIMEOUT(m_program.lines().contains(connected),
                                  qPrintable(m_program.dump()), deadlineMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_peer.count(QStringLiteral("Autenticata")), 1, deadlineMs);

        const QString again = QStringLiteral("di nuovo insieme");
        m_mac.desktop().copyText(again);
        QTRY_COMPARE_WITH_TIMEOUT(m_linux.desktop().text(), again, deadlineMs);
    }

    void peerEndsSayingWhyWhenItsDisplayServerGoes() {
        m_linux.desktop().stop();
        QTRY_VERIFY_WITH_TIMEOUT(m_peer.exitCode(), deadlineMs);
        QCOMPARE(*m_peer.exitCode(), 2);
        QVERIFY2(m_peer.errors().contains(QStringLiteral("appunti non raggiungibili")),
                 qPrintable(m_peer.dump()));
    }

    void programAppliesNothingWithAnotherCode() {
        QVERIFY(m_peer.stop());
        m_program.stop();
        const QStringList storedBefore = filesUnder(m_mac.receivedFolder());

        // A stand-in for the peer that knows the code and also sends with another one. It
        // presents the peer's own certificate, the one the program has pinned.
        const QString identity = m_linux.data() + QStringLiteral("/ClipwrenPlus/peer/");
        test::TlsTestServer fake(
            SelfSignedCertificate{readFile(identity + QStringLiteral("certificate.pem")),
                                  readFile(identity + QStringLiteral("key.pem"))});
        QVERIFY(fake.listen(port));
        startProgram();
        QSslSocket* client = fake.waitForClient(deadlineMs);
        QVERIFY2(client, qPrintable(m_program.dump()));
        const QList<QJsonObject> hello = fake.readMessages(client, 1, deadlineMs);
        QCOMPARE(hello.size(), 1);
        QCOMPARE(hello[0].value(QStringLiteral("token")).toString(), code);

        const QString other = QStringLiteral("K7MZQ4RT9WXC2HPW");
        const QString device = QStringLiteral("linux-E2E");
        test::TlsTestServer::sendFrame(
            client, *clipMessage(QStringLiteral("file"), QByteArray("intruso.txt") + '\0' + "no",
                                 other, device)
                         .toJson());
        test::TlsTestServer::sendFrame(
            client, *clipMessage(QStringLiteral("text"), "intruso", other, device).toJson());
        // Frames are applied in order: once this one shows, the two before it were judged.
        const QString marker = QStringLiteral("con il codice giusto");
        test::TlsTestServer::sendFrame(
            client, *clipMessage(QStringLiteral("text"), marker.toUtf8(), code, device).toJson());
        QTRY_COMPARE_WITH_TIMEOUT(m_mac.desktop().text(), marker, deadlineMs);
        QCOMPARE(filesUnder(m_mac.receivedFolder()), storedBefore);
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "tst_e2e.moc"
