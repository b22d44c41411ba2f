#include "collection/servicenotifier.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// A service manager's notification socket: a Unix datagram socket in a
// temporary folder, as systemd hands one to a Type=notify service.
class NotifySocket
{
public:
    NotifySocket()
    {
        m_path = m_dir.filePath(QStringLiteral("notify"));
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(m_path);
        std::memcpy(address.sun_path, path.constData(),
                    size_t(qMin(path.size(), int(sizeof address.sun_path) - 1)));
        m_bound = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~NotifySocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool isBound() const { return m_bound; }
    QString path() const { return m_path; }

    // Every datagram received so far.
    QStringList received()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n < 0)
                break;
            m_messages << QString::fromUtf8(buffer, int(n));
        }
        return m_messages;
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_fd = -1;
    bool m_bound = false;
    QStringList m_messages;
};

class tst_ServiceNotifier : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void silentOutsideAService();
    void readinessStatusAndStop();
    void watchdogPingsFromTheEventLoop();
};

void tst_ServiceNotifier::cleanup()
{
    qunsetenv("NOTIFY_SOCKET");
    qunsetenv("WATCHDOG_USEC");
    qunsetenv("WATCHDOG_PID");
}

void tst_ServiceNotifier::silentOutsideAService()
{
    ServiceNotifier notifier;
    QVERIFY(!notifier.isActive());
    notifier.ready(QStringLiteral("ready"));
    QCOMPARE(notifier.startWatchdog(), 0);
}

void tst_ServiceNotifier::readinessStatusAndStop()
{
    NotifySocket socket;
    QVERIFY(socket.isBound());
    qputenv("NOTIFY_SOCKET", QFile::encodeName(socket.path()));
    ServiceNotifier notifier;
    QVERIFY(notifier.isActive());
    notifier.ready(QStringLiteral("Collecting 3 stations"));
    notifier.status(QStringLiteral("D02A003: Download completed."));
    // A station code from the store cannot add assignments of its own.
    notifier.status(QStringLiteral("X\nWATCHDOG_USEC=1000000\r\n: Download completed."));
    notifier.stopping();
    QTRY_COMPARE(socket.received().size(), 4);
    const QStringList messages = socket.received();
    QCOMPARE(messages.at(0), QStringLiteral("READY=1\nSTATUS=Collecting 3 stations"));
    QCOMPARE(messages.at(1), QStringLiteral("STATUS=D02A003: Download completed."));
    QCOMPARE(messages.at(2), QStringLiteral("STATUS=X\\nWATCHDOG_USEC=1000000\\r\\n: Download completed."));
    QCOMPARE(messages.at(3), QStringLiteral("STOPPING=1"));
}

void tst_ServiceNotifier::watchdogPingsFromTheEventLoop()
{
    NotifySocket socket;
    QVERIFY(socket.isBound());
    qputenv("NOTIFY_SOCKET", QFile::encodeName(socket.path()));
    qputenv("WATCHDOG_USEC", "100000");
    qputenv("WATCHDOG_PID", QByteArray::number(qint64(::getpid())));
    ServiceNotifier notifier;
    QCOMPARE(notifier.startWatchdog(), 50);
    // One ping at once, then every half period while the loop runs.
    QTRY_VERIFY(socket.received().count(QStringLiteral("WATCHDOG=1")) >= 4);
    notifier.stopping();
    const int pings = socket.received().count(QStringLiteral("WATCHDOG=1"));
    QTest::qWait(150); // no ping may follow the stop
    QCOMPARE(socket.received().count(QStringLiteral("WATCHDOG=1")), pings);

    // A watchdog meant for another process is not ours to ping.
    qputenv("WATCHDOG_PID", QByteArray::number(qint64(::getpid()) + 1));
    ServiceNotifier other;
    QCOMPARE(other.startWatchdog(), 0);
}

QTEST_GUILESS_MAIN(tst_ServiceNotifier)
#include "tst_servicenotifier.moc"
