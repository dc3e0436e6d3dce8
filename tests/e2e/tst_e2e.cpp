// The tray program and the peer as real processes on 127.0.0.1:47832, each with a desktop and
// user folders of its own, driven the way a user drives them: another program copies on one
// side and reads what arrived on the other. The desktops are X servers with xclip, or, with
// CLIPWREN_TEST_SESSION=wayland, sway sessions with wl-copy and wl-paste.
#include <QBuffer>
#include <QDeadlineTimer>
#include <QImage>
#include <QProcess>
#include <QUrl>
#include <memory>

#include "support/DesktopSession.h"
#include "support/Testing.h"

namespace {

const QString code = u"K7MZQ4RT9WXC2HPV"_s;
constexpr int deadlineMs = 15000;
// A side that wrongly sent back what it received would do so at its next tick (0.45 s);
// nothing can be seen to stay unsent without watching for a few ticks.
constexpr int echoWatchMs = 1500;

const QString connected = u"Connesso \u2022 sincronizzazione attiva"_s;

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

// One side of the bridge: a desktop with its clipboard (a private X server, or a sway
// session where a native terminal has the focus), and user folders.
class Side {
public:
    bool start(const QString& root) {
        m_root = root;
        m_desktop = test::DesktopSession::chosen();
        return m_desktop->start();
    }

    QProcessEnvironment environment() const { return m_desktop->environmentWithFolders(m_root); }

    test::DesktopSession& desktop() const { return *m_desktop; }
    QString receivedFolder() const { return m_root + u"/data/ClipwrenPlus/Received"_s; }
    QString config() const { return m_root + u"/config"_s; }

private:
    std::unique_ptr<test::DesktopSession> m_desktop;
    QString m_root;
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

// True when the peer's log holds still for a few watcher ticks: it has sent only what was
// copied on its side, and nothing it already had came back to it.
bool nothingEchoed(const Running& peer, int sent) {
    QDeadlineTimer watch(echoWatchMs);
    do {
        if (peer.count(u"Inviato"_s) != sent || peer.count(u"Già presente"_s) != 0) return false;
        QTest::qWait(50);
    } while (!watch.hasExpired());
    return true;
}

// File managers paste a file from this type, not from the URL list alone.
bool offeredToFileManagers(const Side& side, const QString& path) {
    return side.desktop().paste(u"x-special/gnome-copied-files"_s) ==
           "copy\n" + QUrl::fromLocalFile(path).toEncoded();
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
        m_peer.start(m_linux, QStringLiteral(CLIPWREN_PEER_PATH), {u"--listen"_s, u"127.0.0.1"_s},
                     code.toUtf8() + '\n');  // the code on standard input, out of sight
    }
    void startProgram() {
        m_program.start(m_mac, programPath(), {u"--connect"_s, u"--print-status"_s});
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_root.isValid());
        QVERIFY(m_mac.start(m_root.filePath(u"mac"_s)));
        QVERIFY(m_linux.start(m_root.filePath(u"linux"_s)));
        QVERIFY(writeFile(m_mac.config() + u"/ClipwrenPlus/ClipwrenPlus.conf"_s,
                          "[General]\nhost=127.0.0.1\ntoken=" + code.toUtf8() + '\n'));

        startPeer();
        QTRY_VERIFY2_WITH_TIMEOUT(m_peer.count(u"Impronta SHA-256"_s) == 1,
                                  qPrintable(m_peer.dump()), deadlineMs);
        QVERIFY(m_peer.firstLine(u"In ascolto su 127.0.0.1, porta 47832"_s)
                    .endsWith(u"(certificato nuovo)"_s));
        m_fingerprint = m_peer.firstLine(u"Impronta SHA-256"_s);

        startProgram();
        QTRY_VERIFY2_WITH_TIMEOUT(m_program.lines().contains(connected),
                                  qPrintable(m_program.dump()), deadlineMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_peer.count(u"Autenticata 127.0.0.1:"_s), 1, deadlineMs);
    }

    void secondPeerSaysThePortIsTaken() {
        QProcess second;
        second.setProcessEnvironment(m_linux.environment());
        second.start(QStringLiteral(CLIPWREN_PEER_PATH), {u"--token"_s, code});
        QVERIFY(second.waitForFinished(deadlineMs));
        QVERIFY(second.exitCode() != 0);
        QCOMPARE(QString::fromLocal8Bit(second.readAllStandardError()),
                 u"clipwren-peer: non posso ascoltare su 0.0.0.0:47832: la porta è "
                 "già in uso, forse da un altro clipwren-peer\n"_s);
    }

    void textImageAndFileCrossBothWays() {
        QImage flipped = QImage::fromData(test::samplePng()).mirrored(true, false);
        QByteArray otherPng;
        QBuffer buffer(&otherPng);
        buffer.open(QIODevice::WriteOnly);
        flipped.save(&buffer, "PNG");
        int sentByPeer = 0;
        for (auto [from, to] : {std::pair{&m_mac, &m_linux}, std::pair{&m_linux, &m_mac}}) {
            const bool fromMac = from == &m_mac;
            const QString text =
                fromMac ? u"Ciao da Clipwren+ \u2713 perché sì"_s : u"Risposta da Kubuntu: àèìòù"_s;
            const QByteArray png = fromMac ? test::samplePng() : otherPng;
            const QByteArray contents = fromMac ? QByteArray("prima riga\n\0binario\xff\n", 21)
                                                : QByteArray(70'000, 'k') + "fine";
            const QString original =
                m_root.filePath(fromMac ? u"files/nota dal Mac.txt"_s : u"files/rapporto.log"_s);

            from->desktop().copyText(text);
            QTRY_COMPARE_WITH_TIMEOUT(to->desktop().text(), text, deadlineMs);
            QVERIFY(nothingEchoed(m_peer, sentByPeer += fromMac ? 0 : 1));
            from->desktop().copy(u"image/png"_s, png);
            QTRY_COMPARE_WITH_TIMEOUT(to->desktop().png(), png, deadlineMs);
            QVERIFY(nothingEchoed(m_peer, sentByPeer += fromMac ? 0 : 1));
            QVERIFY(writeFile(original, contents));
            from->desktop().copyFile(original);
            QTRY_VERIFY_WITH_TIMEOUT(to->desktop().file().startsWith(to->receivedFolder()),
                                     deadlineMs);
            const QString stored = to->desktop().file();
            QCOMPARE(QFileInfo(stored).fileName(), QFileInfo(original).fileName());
            QCOMPARE(readFile(stored), contents);
            QVERIFY(offeredToFileManagers(*to, stored));
            if (fromMac) {
                QTRY_VERIFY2_WITH_TIMEOUT(m_peer.lines().contains(u"File salvato: "_s + stored),
                                          qPrintable(m_peer.dump()), deadlineMs);
            }
            QVERIFY(nothingEchoed(m_peer, sentByPeer += fromMac ? 0 : 1));
        }

        // Each side sent what was copied on it, once, and applied only what came across.
        const QString reply = u"Risposta da Kubuntu: àèìòù"_s;
        QVERIFY(m_peer.lines().contains(u"Inviato: text, %1 byte"_s.arg(reply.toUtf8().size())));
        QVERIFY(m_peer.lines().contains(u"Inviato: image, %1 byte"_s.arg(otherPng.size())));
        QCOMPARE(m_peer.count(u"Applicato: "_s), 3);
        QVERIFY(m_peer.lines().contains(u"Applicato: text, %1 byte"_s.arg(
            u"Ciao da Clipwren+ \u2713 perché sì"_s.toUtf8().size())));
        QCOMPARE(m_program.lines().last(), connected);  // no failure of any kind on the way
    }

    void largestFilesCrossBothWays() {
        // As large as a file can be and still fit in one payload with its name.
        QByteArray contents(12'582'912 - 64, '\0');
        for (qsizetype i = 0; i < contents.size(); ++i) contents[i] = char(i * 7 + i / 4093);
        for (auto [from, to] : {std::pair{&m_mac, &m_linux}, std::pair{&m_linux, &m_mac}}) {
            const QString original =
                m_root.filePath(u"files/grande %1.bin"_s.arg(from == &m_mac ? u'A' : u'B'));
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
            const QString incoming = u"arrivato mentre gli appunti tacevano"_s;
            other->desktop().copyText(incoming);
            QTRY_COMPARE_WITH_TIMEOUT(hung->desktop().text(), incoming, deadlineMs);
            // And what is copied next on its side leaves as usual.
            const QString next = u"e poi avanti"_s;
            hung->desktop().copyText(next);
            QTRY_COMPARE_WITH_TIMEOUT(other->desktop().text(), next, deadlineMs);
        }
    }

    void programShowsThePeerGoing() {
        QVERIFY2(m_peer.stop(), qPrintable(m_peer.dump()));
        QCOMPARE(m_peer.lines().last(), u"Arresto"_s);
        QTRY_VERIFY2_WITH_TIMEOUT(m_program.count(u"Connessione fallita: "_s) >= 1,
                                  qPrintable(m_program.dump()), deadlineMs);
    }

    void programConnectsAgainToARestartedPeer() {
        m_program.stop();
        startProgram();  // nobody listens yet: it waits and tries again
        QTRY_VERIFY2_WITH_TIMEOUT(m_program.count(u"In attesa: "_s) >= 1,
                                  qPrintable(m_program.dump()), deadlineMs);

        startPeer();
        QTRY_VERIFY_WITH_TIMEOUT(m_peer.count(u"Impronta SHA-256"_s) == 1, deadlineMs);
        // The same certificate as before: what the user compared once stays true.
        QCOMPARE(m_peer.firstLine(u"Impronta SHA-256"_s), m_fingerprint);
        QCOMPARE(m_peer.firstLine(u"In ascolto"_s), u"In ascolto su 127.0.0.1, porta 47832"_s);
        QTRY_VERIFY2_WITH_TIMEOUT(m_program.lines().contains(connected),
                                  qPrintable(m_program.dump()), deadlineMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_peer.count(u"Autenticata"_s), 1, deadlineMs);

        const QString again = u"di nuovo insieme"_s;
        m_mac.desktop().copyText(again);
        QTRY_COMPARE_WITH_TIMEOUT(m_linux.desktop().text(), again, deadlineMs);
    }

    void peerEndsSayingWhyWhenItsDisplayServerGoes() {
        m_linux.desktop().stop();
        QTRY_VERIFY_WITH_TIMEOUT(m_peer.exitCode(), deadlineMs);
        QCOMPARE(*m_peer.exitCode(), 2);
        QVERIFY2(m_peer.errors().contains(u"appunti non raggiungibili"_s),
                 qPrintable(m_peer.dump()));
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "tst_e2e.moc"
