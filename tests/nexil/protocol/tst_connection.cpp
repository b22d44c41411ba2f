// Binding rules of the transport, seen through Nexil over a real loopback
// TCP pair and a pseudo-terminal opened as a serial port.

#include "nexil/protocol/nexil.h"
#include "support/pty.h"

#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

const QString tcpExists = "Bir TCP Soket bağlantısı zaten var. Önce diğer bağlantıyı kesmelisiniz.";
const QString serialExists = "Bir seri port bağlantısı zaten var. Önce diğer bağlantıyı kesmelisiniz.";
const QString serialClosed = "Seri port bağlı değil. Önce bağlantı kurmalısınız.";
const QString serialInUse = "Seri port bağlantısı zaten kullanılıyor. Önce diğer bağlantıyı kesmelisiniz.";
const QString tcpClosed = "TCP Soket bağlantısı açık değil. Önce bağlantıyı kurmalısınız.";
const QString noConnection = "Geçerli bir bağlantı yok!";

// A connected client socket and the server side of it.
struct TcpPair
{
    QTcpServer server;
    QTcpSocket client;
    QTcpSocket *peer = nullptr;

    bool open()
    {
        if (!server.listen(QHostAddress::LocalHost))
            return false;
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        if (!client.waitForConnected(5000) || !server.waitForNewConnection(5000))
            return false;
        peer = server.nextPendingConnection();
        return peer != nullptr;
    }
};

// A socket that tells how many slots listen to its data.
class CountedSocket : public QTcpSocket
{
public:
    int readers() const { return receivers(SIGNAL(readyRead())); }
};

QString lastMessage(const QSignalSpy &spy)
{
    return spy.isEmpty() ? QString() : spy.last().at(1).toString();
}

} // namespace

class tst_Connection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void refusals_tcp();
    void refusals_serial();
    void stillConnectingSocketIsRefused();
    void tcpRoundTripAndPeerDisconnect();
    void serialRoundTripAndRebindAfterClose();
    void socketErrorStopsForwardingButWriteStillWrites();
    void reusedSocketIsBoundOnceAVisit();
};

void tst_Connection::initTestCase()
{
    registerNexilMetaTypes();
}

void tst_Connection::refusals_tcp()
{
    Nexil nexil;
    QSignalSpy errors(&nexil, &Nexil::error);

    nexil.setConnection(static_cast<QTcpSocket *>(nullptr));
    QCOMPARE(lastMessage(errors), tcpClosed);
    QCOMPARE(errors.last().at(0).toInt(), 11);
    QTcpSocket unconnected;
    nexil.setConnection(&unconnected);
    QCOMPARE(lastMessage(errors), tcpClosed);

    TcpPair first, second;
    QVERIFY(first.open());
    QVERIFY(second.open());
    const int before = errors.size();
    nexil.setConnection(&first.client);
    QCOMPARE(errors.size(), before);
    nexil.setConnection(&second.client);
    QCOMPARE(lastMessage(errors), tcpExists);

    Pty pty;
    QVERIFY(pty.open());
    QSerialPort port(pty.slavePath());
    QVERIFY(port.open(QIODevice::ReadWrite));
    nexil.setConnection(&port);
    QCOMPARE(lastMessage(errors), tcpExists);
    QCOMPARE(nexil.lastError(), ConnectionError);
    QCOMPARE(nexil.lastErrorString(), tcpExists);
}

void tst_Connection::refusals_serial()
{
    Nexil nexil;
    QSignalSpy errors(&nexil, &Nexil::error);
    nexil.setConnection(static_cast<QSerialPort *>(nullptr));
    QCOMPARE(lastMessage(errors), serialClosed);

    Pty pty;
    QVERIFY(pty.open());
    QSerialPort closed(pty.slavePath());
    nexil.setConnection(&closed);
    QCOMPARE(lastMessage(errors), serialClosed);

    QSerialPort port(pty.slavePath());
    QVERIFY(port.open(QIODevice::ReadWrite));
    const int before = errors.size();
    nexil.setConnection(&port);
    QCOMPARE(errors.size(), before);

    Pty other;
    QVERIFY(other.open());
    QSerialPort second(other.slavePath());
    QVERIFY(second.open(QIODevice::ReadWrite));
    nexil.setConnection(&second);
    QCOMPARE(lastMessage(errors), serialExists);

    TcpPair tcp;
    QVERIFY(tcp.open());
    nexil.setConnection(&tcp.client);
    QCOMPARE(lastMessage(errors), serialInUse);
}

void tst_Connection::stillConnectingSocketIsRefused()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("localhost"), server.serverPort());
    QVERIFY(socket.state() == QAbstractSocket::HostLookupState ||
            socket.state() == QAbstractSocket::ConnectingState);
    Nexil nexil;
    QSignalSpy errors(&nexil, &Nexil::error);
    nexil.setConnection(&socket);
    QCOMPARE(lastMessage(errors), tcpClosed);
}

void tst_Connection::tcpRoundTripAndPeerDisconnect()
{
    TcpPair tcp;
    QVERIFY(tcp.open());
    Nexil nexil;
    QSignalSpy errors(&nexil, &Nexil::error);
    nexil.setConnection(&tcp.client);
    nexil.getDeviceIdentity();
    QTRY_COMPARE(tcp.peer->bytesAvailable(), qint64(7));
    QCOMPARE(tcp.peer->readAll(), QByteArray("\x02KML\r\r\r"));
    QVERIFY(errors.isEmpty());

    // The peer hangs up: the binding is gone and writing says so.
    tcp.peer->close();
    QTRY_COMPARE(tcp.client.state(), QAbstractSocket::UnconnectedState);
    nexil.cancelLastProcess();
    nexil.getInstantValues();
    QCOMPARE(lastMessage(errors), noConnection);
    QCOMPARE(nexil.lastError(), ConnectionError);
    // Nothing bound is no reason to drop the request: it stays pending for the timer.
    QVERIFY(nexil.isBusy());
}

void tst_Connection::serialRoundTripAndRebindAfterClose()
{
    Pty pty;
    QVERIFY(pty.open());
    Nexil nexil;
    QSignalSpy errors(&nexil, &Nexil::error);
    auto port = std::make_unique<QSerialPort>(pty.slavePath());
    QVERIFY(port->open(QIODevice::ReadWrite));
    nexil.setConnection(port.get());
    nexil.getSetupParemeters();
    QByteArray seen;
    QTRY_VERIFY((seen += pty.readMaster()).size() >= 7);
    QCOMPARE(seen, QByteArray("\x02OKU\r\r\r"));

    // The application closes the port; a new one binds without closeConnection().
    port->close();
    QSerialPort again(pty.slavePath());
    QVERIFY(again.open(QIODevice::ReadWrite));
    nexil.setConnection(&again);
    QVERIFY(errors.isEmpty());
    nexil.cancelLastProcess();
    nexil.getAlarmParameters();
    seen.clear();
    QTRY_VERIFY((seen += pty.readMaster()).size() >= 7);
    QCOMPARE(seen, QByteArray("\x02"
                              "ALO\r\r\r"));
    // The first port going away must not disturb the binding.
    port.reset();
    nexil.cancelLastProcess();
    nexil.getChannelNames();
    seen.clear();
    QTRY_VERIFY((seen += pty.readMaster()).size() >= 7);
    QCOMPARE(seen, QByteArray("\x02RKL\r\r\r"));
    QVERIFY(errors.isEmpty());

    nexil.closeConnection();
    QVERIFY(!again.isOpen());
}

void tst_Connection::socketErrorStopsForwardingButWriteStillWrites()
{
    TcpPair tcp;
    QVERIFY(tcp.open());
    Nexil nexil;
    nexil.setReplyTimeout(60000);
    QSignalSpy errors(&nexil, &Nexil::error);
    QSignalSpy identities(&nexil, &Nexil::deviceIdentity);
    nexil.setConnection(&tcp.client);

    // A socket error report, as the socket itself would send it.
    tcp.client.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QMetaObject::invokeMethod(&tcp.client, "errorOccurred", Qt::DirectConnection,
                              Q_ARG(QAbstractSocket::SocketError, QAbstractSocket::RemoteHostClosedError));
    QVERIFY(lastMessage(errors).startsWith(QStringLiteral("(1) ")));

    nexil.getDeviceIdentity();
    QTRY_COMPARE(tcp.peer->bytesAvailable(), qint64(7));
    QCOMPARE(errors.size(), 1);

    // What the peer sends now stays unread in the socket.
    tcp.peer->write(QByteArray(64, 'x'));
    QTRY_VERIFY(tcp.client.bytesAvailable() == 64);
    QVERIFY(identities.isEmpty());
}

void tst_Connection::reusedSocketIsBoundOnceAVisit()
{
    // A collector's worker keeps one socket for months and connects it
    // again each visit; visits end with the peer hanging up or with a close.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    CountedSocket socket;
    Nexil nexil;
    nexil.setReplyTimeout(60000);
    QSignalSpy errors(&nexil, &Nexil::error);
    const int unbound = socket.readers();
    int bound = -1;
    for (int visit = 0; visit < 6; ++visit) {
        socket.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(socket.waitForConnected(5000));
        QVERIFY(server.waitForNewConnection(5000));
        std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
        nexil.setConnection(&socket);
        if (bound < 0)
            bound = socket.readers();
        QVERIFY(bound > unbound);
        QCOMPARE(socket.readers(), bound);

        nexil.cancelLastProcess();
        nexil.getDeviceIdentity();
        QTRY_COMPARE(peer->bytesAvailable(), qint64(7));
        QCOMPARE(peer->readAll(), QByteArray("\x02KML\r\r\r"));
        if (visit % 2 == 0) {
            peer->close();
            QTRY_COMPARE(socket.state(), QAbstractSocket::UnconnectedState);
        } else {
            nexil.closeConnection();
            QTRY_COMPARE(socket.state(), QAbstractSocket::UnconnectedState);
        }
        // Unbound, the socket no longer feeds this connection.
        QCOMPARE(socket.readers(), unbound);
    }
    // Only the hang-ups, each told once.
    QCOMPARE(errors.size(), 3);
    for (const QList<QVariant> &e : errors)
        QVERIFY2(e.at(1).toString().startsWith(QStringLiteral("(1) ")), qPrintable(e.at(1).toString()));
}

QTEST_GUILESS_MAIN(tst_Connection)
#include "tst_connection.moc"
