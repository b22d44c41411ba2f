// The built program over loopback TCP and a pseudo-terminal: ready file,
// split replies, the request log, dropped requests, reconnects and hang-ups.

#include "device.h"
#include "encoder.h"
#include "simframes.h"

#include <QDir>
#include <QProcess>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using namespace loggersim;

namespace {

QString program()
{
    return qEnvironmentVariable("LOGGERSIM");
}

QString scenario(const char *name)
{
    return QDir(QStringLiteral(LOGGERSIM_SCENARIOS)).filePath(QLatin1String(name));
}

// Reads one whole reply frame: 27-byte header, counted payload, then up to CR CR CR.
QByteArray readFrame(QIODevice *io, QByteArray *buffer, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (buffer->size() >= 27) {
            const int length = (uchar(buffer->at(23)) << 8) | uchar(buffer->at(24));
            // Past the payload: its CRC bytes may themselves be CRs.
            const int end = buffer->indexOf("\r\r\r", 27 + length);
            if (end >= 0) {
                const QByteArray frame = buffer->left(end + 3);
                buffer->remove(0, end + 3);
                return frame;
            }
        }
        if (timer.elapsed() > timeoutMs)
            return QByteArray();
        if (io->bytesAvailable() == 0)
            io->waitForReadyRead(50);
        buffer->append(io->readAll());
    }
}

class Sim
{
public:
    ~Sim()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000)) {
                process.kill();
                process.waitForFinished(3000);
            }
        }
    }
    // Starts the program; returns its first stdout line.
    QString start(const QStringList &arguments)
    {
        process.start(program(), arguments);
        if (!process.waitForStarted(5000))
            return QString();
        QElapsedTimer timer;
        timer.start();
        while (!process.canReadLine() && timer.elapsed() < 5000 && process.state() == QProcess::Running)
            process.waitForReadyRead(100);
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    QProcess process;
};

} // namespace

class TestSimProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QFileInfo(program()).isExecutable())
            QSKIP("LOGGERSIM does not name the built program");
    }

    void helpAndBadScenario()
    {
        QProcess help;
        help.start(program(), {QStringLiteral("--help")});
        QVERIFY(help.waitForFinished(5000));
        QCOMPARE(help.exitCode(), 0);
        const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
        for (const char *option : {"--tcp", "--pty", "--ready-file", "--scenario", "--split", "--seed",
                                   "--drop-every", "--corrupt-every", "--delay-ms", "--log", "--speed",
                                   "--truth", "--disconnect-after-blocks", "--factory-answer"})
            QVERIFY2(text.contains(QLatin1String(option)), option);

        QTemporaryDir dir;
        const QString bad = dir.filePath(QStringLiteral("bad.json"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"serial\": }");
        file.close();
        QProcess run;
        run.start(program(),
                  {QStringLiteral("--scenario"), bad, QStringLiteral("--tcp"), QStringLiteral("0")});
        QVERIFY(run.waitForFinished(5000));
        QCOMPARE(run.exitCode(), 2);
        QVERIFY(QString::fromLocal8Bit(run.readAllStandardError()).contains(QStringLiteral("bad.json")));
    }

    void splitRepliesLogAndReconnect()
    {
        QTemporaryDir dir;
        const QString ready = dir.filePath(QStringLiteral("ready"));
        const QString log = dir.filePath(QStringLiteral("requests.log"));
        Sim sim;
        const QString first =
            sim.start({QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--ready-file"), ready,
                       QStringLiteral("--scenario"), scenario("explicit-memory.json"),
                       QStringLiteral("--split"), QStringLiteral("7"), QStringLiteral("--seed"),
                       QStringLiteral("3"), QStringLiteral("--log"), log});
        QVERIFY(!first.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ready), 5000);
        QFile readyFile(ready);
        QVERIFY(readyFile.open(QIODevice::ReadOnly));
        const QString port = QString::fromLatin1(readyFile.readAll()).trimmed();
        QCOMPARE(port, first);

        Scenario expected;
        QString error;
        QVERIFY(loadScenarioFile(scenario("explicit-memory.json"), &expected, &error));
        const QByteArray id = encoder::identification(expected.serial, expected.model, expected.firmware);

        for (int round = 0; round < 2; ++round) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, quint16(port.toUInt()));
            QVERIFY(socket.waitForConnected(5000));
            // The request itself arrives in pieces too.
            const QByteArray kml = simframes::plain("KML");
            socket.write(kml.left(2));
            socket.flush();
            QTest::qWait(20);
            socket.write(kml.mid(2));
            QByteArray buffer;
            const QByteArray reply = readFrame(&socket, &buffer);
            QCOMPARE(reply, encoder::frame("KML", id, encoder::identityPayload(expected)));

            socket.write(simframes::block(0, 0));
            const QByteArray block = readFrame(&socket, &buffer);
            QCOMPARE(block.left(3), QByteArray("VER"));
            QCOMPARE(block.mid(27 + 3, 3), QByteArray("\xDD\xDD\xDD"));
            socket.write(simframes::block(1, 0));
            QVERIFY(readFrame(&socket, &buffer).contains("BITTI"));
            socket.disconnectFromHost();
        }

        QFile logFile(log);
        QVERIFY(logFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = logFile.readAll().split('\n');
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines.at(0), QByteArray("KML"));
        QCOMPARE(lines.at(1), QByteArray("AKT page=0 buffer=0"));
        QCOMPARE(lines.at(2), QByteArray("AKT page=1 buffer=0"));
        QCOMPARE(lines.at(3), QByteArray("KML"));
    }

    void droppedAndCorruptedReplies()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("requests.log"));
        Sim sim;
        const QString port =
            sim.start({QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--scenario"),
                       scenario("tqa110.json"), QStringLiteral("--drop-every"), QStringLiteral("2"),
                       QStringLiteral("--corrupt-every"), QStringLiteral("2"), QStringLiteral("--delay-ms"),
                       QStringLiteral("30"), QStringLiteral("--log"), log});
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(port.toUInt()));
        QVERIFY(socket.waitForConnected(5000));
        QByteArray buffer;
        socket.write(simframes::plain("DKU"));
        const QByteArray good = readFrame(&socket, &buffer);
        QCOMPARE(good.left(3), QByteArray("DOS"));
        socket.write(simframes::plain("DKU")); // 2nd request: silent
        QVERIFY(readFrame(&socket, &buffer, 400).isEmpty());
        socket.write(simframes::plain("DKU")); // 2nd reply: bad payload CRC
        const QByteArray corrupt = readFrame(&socket, &buffer);
        QCOMPARE(corrupt.size(), good.size());
        const QByteArray payload = corrupt.mid(27, corrupt.size() - 27 - 5);
        QVERIFY(encoder::crcBytes(payload) != corrupt.mid(corrupt.size() - 5, 2));

        QFile logFile(log);
        QVERIFY(logFile.open(QIODevice::ReadOnly));
        QCOMPARE(logFile.readAll(), QByteArray("DKU\nDKU dropped\nDKU corrupt\n"));
    }

    void hangsUpAfterBlocks()
    {
        Sim sim;
        const QString port = sim.start({QStringLiteral("--tcp"), QStringLiteral("0"),
                                        QStringLiteral("--scenario"), scenario("tqm510.json"),
                                        QStringLiteral("--disconnect-after-blocks"), QStringLiteral("2")});
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(port.toUInt()));
        QVERIFY(socket.waitForConnected(5000));
        QByteArray buffer;
        socket.write(simframes::block(0, 0));
        QVERIFY(!readFrame(&socket, &buffer).isEmpty());
        socket.write(simframes::block(1, 0));
        QVERIFY(!readFrame(&socket, &buffer).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 5000);
        // Only once: the next connection downloads on.
        QTcpSocket again;
        again.connectToHost(QHostAddress::LocalHost, quint16(port.toUInt()));
        QVERIFY(again.waitForConnected(5000));
        for (int page = 2; page < 5; ++page) {
            again.write(simframes::block(page, 0));
            QCOMPARE(readFrame(&again, &buffer).left(3), QByteArray("VER"));
        }
        QCOMPARE(again.state(), QAbstractSocket::ConnectedState);
    }

    void fastClockAppendsToMemoryAndTruth()
    {
        QTemporaryDir dir;
        const QString truthPath = dir.filePath(QStringLiteral("truth.csv"));
        Sim sim;
        const QString port =
            sim.start({QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--scenario"),
                       scenario("tiny.json"), QStringLiteral("--speed"), QStringLiteral("1800"),
                       QStringLiteral("--truth"), truthPath});
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(port.toUInt()));
        QVERIFY(socket.waitForConnected(5000));
        QByteArray buffer;
        auto fields = [&](const char *word) {
            socket.write(simframes::plain(word));
            const QByteArray f = readFrame(&socket, &buffer);
            return f.mid(27, f.size() - 27 - 5).split('\x02');
        };
        auto position = [&] {
            const QList<QByteArray> dos = fields("DKU");
            return dos.at(dos.size() - 2).trimmed().toInt() * 512 + dos.last().trimmed().toInt();
        };
        auto rows = [&] {
            QFile file(truthPath);
            return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
        };
        auto deviceTime = [&] {
            return QDateTime::fromString(QString::fromLatin1(fields("ANL").at(3)),
                                         QStringLiteral("dd/MM/yy hh:mm:ss"));
        };
        const QDateTime before = deviceTime();
        const int start = position();
        const int startRows = rows();
        QVERIFY(startRows > 1);
        // 1800x: a 15-minute record every half second.
        QTRY_VERIFY_WITH_TIMEOUT(rows() > startRows, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(position() > start, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(before.secsTo(deviceTime()) >= 900, 5000);
        QFile truth(truthPath);
        QVERIFY(truth.open(QIODevice::ReadOnly));
        QCOMPARE(truth.readLine(), QByteArray("time,type,channel,value\n"));
        QVERIFY(truth.readLine().contains(",INS,0,"));
    }

    void manyLoggersInOneProcess()
    {
        // One process, three loggers: a port each, the code of each its own,
        // a truth file each that grows as the clock runs.
        QTemporaryDir dir;
        QFile json(dir.filePath(QStringLiteral("many.json")));
        QVERIFY(json.open(QIODevice::WriteOnly));
        json.write(R"({"station": {"code": "M%1X"}})");
        json.close();
        const QString ready = dir.filePath(QStringLiteral("ports"));
        Sim sim;
        const QString first =
            sim.start({QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--count"),
                       QStringLiteral("3"), QStringLiteral("--scenario"), json.fileName(),
                       QStringLiteral("--speed"), QStringLiteral("1800"), QStringLiteral("--truth"),
                       dir.filePath(QStringLiteral("t_%1.csv")), QStringLiteral("--ready-file"), ready});
        QFile readyFile(ready);
        QTRY_VERIFY(readyFile.exists());
        QVERIFY(readyFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> ports = readyFile.readAll().trimmed().split('\n');
        QCOMPARE(ports.size(), 3);
        QCOMPARE(first, QString::fromLatin1(ports.first()));
        for (int i = 0; i < 3; ++i) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, quint16(ports.at(i).toUInt()));
            QVERIFY(socket.waitForConnected(5000));
            QByteArray buffer;
            socket.write(simframes::plain("OKU"));
            const QByteArray setup = readFrame(&socket, &buffer);
            QVERIFY2(setup.contains(QByteArray("M") + QByteArray::number(i) + "X"), setup.constData());
            for (int other = 0; other < 3; ++other)
                if (other != i)
                    QVERIFY(!setup.contains(QByteArray("M") + QByteArray::number(other) + "X"));
            QFile truth(dir.filePath(QStringLiteral("t_%1.csv").arg(i)));
            QVERIFY(truth.open(QIODevice::ReadOnly));
            const qint64 size = truth.size();
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(truth.fileName()).size() > size, 5000);
        }
    }

    void pseudoTerminalServesASerialPort()
    {
        QTemporaryDir dir;
        const QString ready = dir.filePath(QStringLiteral("ready"));
        Sim sim;
        const QString path = sim.start({QStringLiteral("--pty"), QStringLiteral("--ready-file"), ready,
                                        QStringLiteral("--scenario"), scenario("tqb210.json")});
        QVERIFY(path.startsWith(QLatin1String("/dev/")));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ready), 5000);
        QSerialPort port(path);
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        port.write(simframes::plain("ALO"));
        QByteArray buffer;
        const QByteArray reply = readFrame(&port, &buffer);
        QCOMPARE(reply.left(3), QByteArray("ALR"));
        QCOMPARE(reply.mid(4, 15), QByteArray("61001\x02"
                                              "DEZAraDez"));
    }
};

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
