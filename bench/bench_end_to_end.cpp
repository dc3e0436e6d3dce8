// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

// What the user feels. Both real programs run on two private X servers, paired over TLS on
// 127.0.0.1. A content copied on one desktop is timed from the moment it owns that clipboard
// to the moment the other program owns the other clipboard, which must then give the same
// bytes. The bench copies through an X connection of its own (it owns the clipboard and serves
// the bytes itself) and watches both clipboards' owners with XFixes on those connections.
// Meanwhile a probe asks the receiving program's clipboard for TARGETS every 5 ms: its longest
// wait is that program's stall, looked at until a tick after the content has landed.
// Each copy is made 2 s after the one before landed, as a user copies (isolated); --burst
// copies as soon as the stall has been looked at, and by default both are run and printed.
// bench_end_to_end [-n copies] [--burst|--isolated] [text|image|300kB|3MB|12MiB]...
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "protocol/Limits.h"
#include "support/DesktopSession.h"

using namespace Qt::StringLiterals;
using namespace clipwren;
using Clock = std::chrono::steady_clock;

namespace {

const QString code = u"K7MZQ4RT9WXC2HPV"_s;
constexpr auto probeInterval = std::chrono::milliseconds(5);
// The stall is looked at until one tick (0.45 s) of the receiver after the landing.
constexpr auto settle = std::chrono::milliseconds(600);
constexpr auto arrivalLimit = std::chrono::seconds(20);
// A user's pause between one copy landing and the next copy.
constexpr auto userPause = std::chrono::seconds(2);

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// One X server through a connection of the bench's own, with a window that owns and asks.
struct Screen {
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = XCB_NONE;
    xcb_atom_t clipboard = XCB_NONE, targets = XCB_NONE, probeProperty = XCB_NONE;
    quint8 xfixesNotify = 0;
    xcb_atom_t servedType = XCB_NONE;
    QByteArray served;
    int ownedByUs = 0, ownedByOthers = 0;
    Clock::time_point ourOwnership, otherOwnership;
    bool probing = false, asked = false;
    Clock::time_point askedAt, nextAsk;
    Clock::duration longestWait{};
};

xcb_atom_t intern(xcb_connection_t* connection, const QByteArray& name) {
    auto* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, quint16(name.size()), name.constData()),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_NONE);
    std::free(reply);
    return atom;
}

// Both X servers, served and watched by a thread of their own, so that every owner change and
// every probe answer is timed the moment it arrives.
class Desktops {
public:
    bool open(const std::vector<QByteArray>& displays) {
        m_screens.resize(displays.size());
        for (size_t i = 0; i < displays.size(); ++i) {
            if (!openScreen(m_screens[i], displays[i])) return false;
        }
        if (::pipe(m_wake) != 0) return false;
        m_thread = std::thread([this] { run(); });
        return true;
    }
    ~Desktops() {
        if (m_thread.joinable()) {
            {
                const std::lock_guard lock(m_mutex);
                m_stop = true;
            }
            wake();
            m_thread.join();
        }
        for (Screen& screen : m_screens) xcb_disconnect(screen.connection);
    }

    xcb_atom_t atom(size_t screen, const QByteArray& name) {
        return intern(m_screens[screen].connection, name);
    }

    // Copies bytes as type on one screen; when the server has made us the owner.
    std::optional<Clock::time_point> copy(size_t index, xcb_atom_t type, const QByteArray& bytes) {
        std::unique_lock lock(m_mutex);
        Screen& screen = m_screens[index];
        screen.servedType = type;
        screen.served = bytes;
        const int before = screen.ownedByUs;
        xcb_set_selection_owner(screen.connection, screen.window, screen.clipboard,
                                XCB_CURRENT_TIME);
        xcb_flush(screen.connection);
        if (!m_changed.wait_for(lock, arrivalLimit, [&] { return screen.ownedByUs > before; })) {
            return std::nullopt;
        }
        return screen.ourOwnership;
    }

    int othersOwnerships(size_t index) {
        const std::lock_guard lock(m_mutex);
        return m_screens[index].ownedByOthers;
    }

    // When someone else took the clipboard of a screen after it had been taken `before` times.
    std::optional<Clock::time_point> awaitOther(size_t index, int before) {
        std::unique_lock lock(m_mutex);
        Screen& screen = m_screens[index];
        if (!m_changed.wait_for(lock, arrivalLimit,
                                [&] { return screen.ownedByOthers > before; })) {
            return std::nullopt;
        }
        return screen.otherOwnership;
    }

    void startProbe(size_t index) {
        {
            const std::lock_guard lock(m_mutex);
            Screen& screen = m_screens[index];
            screen.probing = true;
            screen.longestWait = {};
            screen.nextAsk = Clock::now();
            // A question still unanswered from before is timed from now.
            if (screen.asked) screen.askedAt = screen.nextAsk;
        }
        wake();
    }

    // The longest wait for an answer since the probe started.
    Clock::duration stopProbe(size_t index) {
        const std::lock_guard lock(m_mutex);
        Screen& screen = m_screens[index];
        screen.probing = false;
        if (screen.asked) {
            screen.longestWait = std::max(screen.longestWait, Clock::now() - screen.askedAt);
        }
        return screen.longestWait;
    }

private:
    static bool openScreen(Screen& screen, const QByteArray& display) {
        int number = 0;
        screen.connection = xcb_connect(display.constData(), &number);
        if (xcb_connection_has_error(screen.connection)) return false;
        const xcb_query_extension_reply_t* xfixes =
            xcb_get_extension_data(screen.connection, &xcb_xfixes_id);
        if (!xfixes || !xfixes->present) return false;
        screen.xfixesNotify = quint8(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
        std::free(xcb_xfixes_query_version_reply(
            screen.connection, xcb_xfixes_query_version(screen.connection, 5, 0), nullptr));
        const xcb_screen_t* root = xcb_setup_roots_iterator(xcb_get_setup(screen.connection)).data;
        screen.window = xcb_generate_id(screen.connection);
        xcb_create_window(screen.connection, XCB_COPY_FROM_PARENT, screen.window, root->root, 0, 0,
                          1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        screen.clipboard = intern(screen.connection, "CLIPBOARD");
        screen.targets = intern(screen.connection, "TARGETS");
        screen.probeProperty = intern(screen.connection, "_BENCH_PROBE");
        xcb_xfixes_select_selection_input(screen.connection, screen.window, screen.clipboard,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
        xcb_flush(screen.connection);
        return true;
    }

    void wake() {
        const char byte = 0;
        [[maybe_unused]] const auto written = ::write(m_wake[1], &byte, 1);
    }

    int timeoutMs(Clock::time_point now) {
        int timeout = 100;
        for (const Screen& screen : m_screens) {
            if (!screen.probing || screen.asked) continue;
            const auto until = std::chrono::ceil<std::chrono::milliseconds>(screen.nextAsk - now);
            timeout = std::clamp(int(until.count()), 0, timeout);
        }
        return timeout;
    }

    void run() {
        std::vector<pollfd> fds{{m_wake[0], POLLIN, 0}};
        for (const Screen& screen : m_screens) {
            fds.push_back({xcb_get_file_descriptor(screen.connection), POLLIN, 0});
        }
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            const int timeout = timeoutMs(Clock::now());
            lock.unlock();
            ::poll(fds.data(), nfds_t(fds.size()), timeout);
            if (fds[0].revents & POLLIN) {
                char drained[64];
                [[maybe_unused]] const auto read = ::read(m_wake[0], drained, sizeof drained);
            }
            lock.lock();
            for (Screen& screen : m_screens) {
                while (xcb_generic_event_t* event = xcb_poll_for_event(screen.connection)) {
                    handle(screen, *event, Clock::now());
                    std::free(event);
                }
                ask(screen, Clock::now());
            }
            m_changed.notify_all();
        }
    }

    static void ask(Screen& screen, Clock::time_point now) {
        if (!screen.probing || screen.asked || now < screen.nextAsk) return;
        xcb_convert_selection(screen.connection, screen.window, screen.clipboard, screen.targets,
                              screen.probeProperty, XCB_CURRENT_TIME);
        xcb_flush(screen.connection);
        screen.asked = true;
        screen.askedAt = now;
        screen.nextAsk = now + probeInterval;
    }

    static void handle(Screen& screen, const xcb_generic_event_t& event, Clock::time_point now) {
        const quint8 type = event.response_type & 0x7f;
        if (type == screen.xfixesNotify) {
            const auto& notify =
                reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
            if (notify.owner == screen.window) {
                ++screen.ownedByUs;
                screen.ourOwnership = now;
            } else if (notify.owner != XCB_NONE) {
                ++screen.ownedByOthers;
                screen.otherOwnership = now;
            }
        } else if (type == XCB_SELECTION_NOTIFY) {
            const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
            if (notify.target != screen.targets || !screen.asked) return;
            screen.asked = false;
            if (screen.probing)
                screen.longestWait = std::max(screen.longestWait, now - screen.askedAt);
        } else if (type == XCB_SELECTION_REQUEST) {
            serve(screen, reinterpret_cast<const xcb_selection_request_event_t&>(event));
        }
    }

    static void serve(Screen& screen, const xcb_selection_request_event_t& request) {
        xcb_atom_t property = request.property == XCB_NONE ? request.target : request.property;
        if (request.target == screen.targets) {
            const xcb_atom_t offered[] = {screen.targets, screen.servedType};
            xcb_change_property(screen.connection, XCB_PROP_MODE_REPLACE, request.requestor,
                                property, XCB_ATOM_ATOM, 32, 2, offered);
        } else if (request.target == screen.servedType) {
            xcb_change_property(screen.connection, XCB_PROP_MODE_REPLACE, request.requestor,
                                property, request.target, 8, quint32(screen.served.size()),
                                screen.served.constData());
        } else {
            property = XCB_NONE;
        }
        const xcb_selection_notify_event_t notify{
            XCB_SELECTION_NOTIFY, 0,       0, request.time, request.requestor, request.selection,
            request.target,       property};
        xcb_send_event(screen.connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&notify));
        xcb_flush(screen.connection);
    }

    std::vector<Screen> m_screens;
    int m_wake[2] = {-1, -1};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
    std::thread m_thread;
};

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One program on a desktop of its own, with user folders under root; what it prints goes to a
// file, so that no pipe of ours can hold it up.
struct Side {
    Side(QString program, QString folder) : name(std::move(program)), root(std::move(folder)) {}
    ~Side() {
        process.terminate();
        process.waitForFinished();
    }

    QString name;
    QString root;
    test::DesktopSession desktop{test::DesktopSession::Kind::X11};
    QProcess process;

    bool start(const QString& program, const QStringList& arguments, const QByteArray& input) {
        process.setProcessEnvironment(desktop.environmentWithFolders(root));
        process.setStandardOutputFile(root + u"/out.log"_s);
        process.setStandardErrorFile(root + u"/err.log"_s);
        process.start(program, arguments);
        process.write(input);
        process.closeWriteChannel();
        return process.waitForStarted();
    }
    bool says(const QString& part) const {
        return QString::fromUtf8(readFile(root + u"/out.log"_s)).contains(part);
    }
    QByteArray display() const {
        return desktop.environmentWithFolders(root).value(u"DISPLAY"_s).toLocal8Bit();
    }
};

// One content as the copying side offers it, and how to tell it on the receiving side.
struct Content {
    QByteArray type;
    QByteArray offered;
    QByteArray expected;  // the file's contents, for a file
    QString path;         // the file copied, for a file
};

QByteArray noise(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    std::mt19937 random(seed);
    for (qsizetype i = 0; i + 4 <= size; i += 4) {
        const quint32 word = random();
        std::memcpy(bytes.data() + i, &word, 4);
    }
    for (qsizetype i = size & ~qsizetype(3); i < size; ++i) bytes[i] = char(random());
    return bytes;
}

QByteArray picture(int n) {
    QImage image(640, 320, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 640, 320);
    gradient.setColorAt(0, QColor::fromHsv(n * 23 % 360, 180, 230));
    gradient.setColorAt(1, QColor::fromHsv(n * 41 % 360, 200, 90));
    painter.fillRect(image.rect(), gradient);
    painter.fillRect(20 + n * 7 % 500, 40, 120, 200, QColor::fromHsv(n * 67 % 360, 255, 255));
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

struct Kind {
    QString name;
    qsizetype fileSize;  // 0: text or image
};

Content makeContent(const Kind& kind, const QString& folder, int n) {
    if (kind.name == u"text") {
        const QByteArray text = "copia numero " + QByteArray::number(n) + " \xc3\xa8 arrivata";
        return {"UTF8_STRING", text, text, {}};
    }
    if (kind.name == u"image") {
        const QByteArray png = picture(n);
        return {"image/png", png, png, {}};
    }
    const QString path = folder + u"/copia %1.bin"_s.arg(n);
    const QByteArray contents = noise(kind.fileSize, quint32(n * 7919 + kind.fileSize));
    writeFile(path, contents);
    return {"text/uri-list", QUrl::fromLocalFile(path).toEncoded() + "\r\n", contents, path};
}

// Whether the receiving side gives the same bytes now; a received file's copy then goes.
bool gives(const Side& to, const Content& content) {
    if (content.type != "text/uri-list") {
        return to.desktop.paste(QString::fromLatin1(content.type)) == content.expected;
    }
    const QString stored = to.desktop.file();
    const bool same = stored.startsWith(to.root) && readFile(stored) == content.expected;
    QFile::remove(stored);
    QDir().rmdir(QFileInfo(stored).path());
    return same;
}

struct Row {
    QString pace;
    QString what;
    QString direction;
    std::vector<double> ms;
    int missed = 0;
    double stallMs = 0;
    QString receiver;
};

double percentile(const std::vector<double>& sorted, double p) {
    const size_t rank = size_t(std::ceil(p * double(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

void print(const std::vector<Row>& rows) {
    std::printf("\n%-9s %-14s %-14s %9s %9s %9s %12s\n", "pace", "what", "from -> to", "median",
                "p95", "max", "stall (to)");
    std::map<QString, std::pair<double, QString>> stalls;
    for (Row row : rows) {
        std::sort(row.ms.begin(), row.ms.end());
        std::printf("%-9s %-14s %-14s", qPrintable(row.pace), qPrintable(row.what),
                    qPrintable(row.direction));
        if (row.ms.empty()) {
            std::printf(" %9s %9s %9s", "-", "-", "-");
        } else {
            std::printf(" %6.1f ms %6.1f ms %6.1f ms", percentile(row.ms, 0.5),
                        percentile(row.ms, 0.95), row.ms.back());
        }
        std::printf(" %9.1f ms", row.stallMs);
        if (row.missed) std::printf("   %d not arrived or not the same", row.missed);
        std::printf("\n");
        auto& longest = stalls[row.receiver + u", "_s + row.pace];
        if (row.stallMs >= longest.first) longest = {row.stallMs, row.what};
    }
    std::printf("\n");
    for (const auto& [program, longest] : stalls) {
        std::printf("longest stall of %s: %.1f ms (receiving %s)\n", qPrintable(program),
                    longest.first, qPrintable(longest.second));
    }
}

// One content kind one way, copies times after one not counted: each copy 2 s after the one
// before landed when isolated, at once after the stall has been looked at otherwise.
Row measure(Desktops& desktops, Side* const sides[2], const Kind& kind, size_t from, int copies,
            bool isolated, const QString& folder) {
    const size_t to = 1 - from;
    Row row{isolated ? u"isolated"_s : u"burst"_s,
            kind.name,
            (from == 0 ? u"plus -> peer"_s : u"peer -> plus"_s),
            {},
            0,
            0,
            sides[to]->name};
    std::optional<Clock::time_point> lastLanded;
    for (int n = 0; n <= copies; ++n) {
        const Content content = makeContent(kind, folder, int(from) * 1000 + n);
        const xcb_atom_t type = desktops.atom(from, content.type);
        if (isolated && lastLanded) std::this_thread::sleep_until(*lastLanded + userPause);
        const int before = desktops.othersOwnerships(to);
        desktops.startProbe(to);
        const auto copied = desktops.copy(from, type, content.offered);
        const auto landed = desktops.awaitOther(to, before);
        if (landed) std::this_thread::sleep_until(*landed + settle);
        lastLanded = landed;
        const double stall = ms(desktops.stopProbe(to));
        const bool same = copied && landed && gives(*sides[to], content);
        if (!same) {
            std::fprintf(stderr, "%s %s #%d: %s\n", qPrintable(kind.name),
                         qPrintable(row.direction), n,
                         !copied   ? "never owned the clipboard"
                         : !landed ? "did not arrive"
                                   : "arrived with other bytes");
        }
        if (!content.path.isEmpty()) QFile::remove(content.path);
        if (n == 0) continue;  // the receiver now owns its clipboard, for the probe
        row.stallMs = std::max(row.stallMs, stall);
        if (same) {
            row.ms.push_back(ms(*landed - *copied));
        } else {
            ++row.missed;
        }
    }
    std::fprintf(stderr, "%s %s %s done\n", qPrintable(row.pace), qPrintable(row.what),
                 qPrintable(row.direction));
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList chosen = app.arguments().mid(1);
    int copies = 20;
    if (chosen.size() >= 2 && chosen[0] == u"-n") {
        copies = std::max(1, chosen[1].toInt());
        chosen = chosen.mid(2);
    }
    std::vector<bool> paces{true, false};  // isolated, then burst
    if (chosen.removeAll(u"--burst"_s) > 0) paces = {false};
    if (chosen.removeAll(u"--isolated"_s) > 0) paces = {true};
    const std::vector<Kind> kinds{{u"text"_s, 0},
                                  {u"image"_s, 0},
                                  {u"300kB"_s, 300'000},
                                  {u"3MB"_s, 3'000'000},
                                  // as large as a file goes with its name in one payload
                                  {u"12MiB"_s, maxBytes - 64}};

    QTemporaryDir root;
    Side plus(u"clipwren-plus"_s, root.filePath(u"plus"_s));
    Side peer(u"clipwren-peer"_s, root.filePath(u"peer"_s));
    if (!plus.desktop.start() || !peer.desktop.start()) return 1;
    writeFile(plus.root + u"/config/ClipwrenPlus/ClipwrenPlus.conf"_s,
              "[General]\nhost=127.0.0.1\ntoken=" + code.toUtf8() + '\n');
    peer.start(QStringLiteral(CLIPWREN_PEER_PATH), {u"--listen"_s, u"127.0.0.1"_s},
               code.toUtf8() + '\n');
    if (!QTest::qWaitFor([&] { return peer.says(u"Impronta"_s); }, 15'000)) return 1;
    plus.start(QStringLiteral(CLIPWREN_PLUS_PATH), {u"--connect"_s, u"--print-status"_s}, {});
    if (!QTest::qWaitFor([&] { return plus.says(u"Connesso \u2022 sincronizzazione attiva"_s); },
                         15'000)) {
        std::fprintf(stderr, "the programs did not pair\n");
        return 1;
    }
    Desktops desktops;
    if (!desktops.open({plus.display(), peer.display()})) return 1;
    Side* sides[] = {&plus, &peer};

    double load[3] = {};
    getloadavg(load, 3);
    std::printf(
        "end to end on two Xvfb, TLS on 127.0.0.1: %d copies each after one not counted; "
        "image: a 640x320 PNG of %.1f kB (load %.2f %.2f %.2f, %ld cores)\n",
        copies, double(picture(0).size()) / 1000, load[0], load[1], load[2],
        sysconf(_SC_NPROCESSORS_ONLN));
    std::vector<Row> rows;
    for (const bool isolated : paces) {
        for (const Kind& kind : kinds) {
            if (!chosen.isEmpty() && !chosen.contains(kind.name)) continue;
            for (size_t from = 0; from < 2; ++from) {
                rows.push_back(measure(desktops, sides, kind, from, copies, isolated,
                                       root.filePath(u"copied/"_s + kind.name)));
            }
        }
    }
    print(rows);
    return 0;
}
