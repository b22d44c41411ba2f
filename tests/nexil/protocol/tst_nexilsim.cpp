// Nexil against the logger simulator, over TCP and over a pseudo-terminal:
// every record read with the scenario's values, also through damaged and
// split replies. The expected values come from the scenario file itself.

#include "nexil/protocol/nexil.h"
#include "support/simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

QJsonObject loadScenario(const QString &name)
{
    QFile file(SimProcess::scenario(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

int countLines(const QString &path, const QByteArray &prefix)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    int n = 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            ++n;
    }
    return n;
}

// A Nexil bound to a running simulator over TCP or a pty.
struct Link
{
    std::unique_ptr<QTcpSocket> socket;
    std::unique_ptr<QSerialPort> port;
    Nexil nexil;

    bool open(const SimProcess &sim, bool pty)
    {
        if (pty) {
            port = std::make_unique<QSerialPort>(sim.ptyPath());
            if (!port->open(QIODevice::ReadWrite))
                return false;
            nexil.setConnection(port.get());
        } else {
            socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(QHostAddress::LocalHost, sim.port());
            if (!socket->waitForConnected(5000))
                return false;
            nexil.setConnection(socket.get());
        }
        return true;
    }
};

template<typename Signal>
QVariant request(Nexil &nexil, void (Nexil::*start)(), Signal signal, int timeout = 10000)
{
    QSignalSpy spy(&nexil, signal);
    (nexil.*start)();
    if (!spy.wait(timeout) || spy.isEmpty())
        return QVariant();
    return spy.first().at(0);
}

} // namespace

class tst_NexilSim : public QObject
{
    Q_OBJECT
private slots:
    void readsEveryRecord_data();
    void readsEveryRecord();
    void silentSimulator_timesOutAfterFiveSends();
    void firmware50_neverDecoded();
};

void tst_NexilSim::readsEveryRecord_data()
{
    QTest::addColumn<bool>("pty");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("timeout");
    QTest::newRow("tcp") << false << QStringList() << 10000;
    QTest::newRow("pty") << true << QStringList() << 10000;
    QTest::newRow("tcp, corrupt and split")
        << false << QStringList{"--corrupt-every", "2", "--split", "7", "--seed", "3"} << 300;
    QTest::newRow("pty, corrupt and split")
        << true << QStringList{"--corrupt-every", "2", "--split", "7"} << 300;
}

void tst_NexilSim::readsEveryRecord()
{
    QFETCH(bool, pty);
    QFETCH(QStringList, faults);
    QFETCH(int, timeout);
    const QJsonObject scenario = loadScenario("tqm510.json");
    QVERIFY(!scenario.isEmpty());
    SimProcess sim;
    QVERIFY(sim.start(QStringList{"--scenario", SimProcess::scenario("tqm510.json"), "--log", sim.path("log"),
                                  "--truth", sim.path("truth.csv"), "--speed", "0"} +
                          faults,
                      pty));
    // The instant values are the latest readings the simulator put into
    // memory; a sensor error there leaves the reading before it.
    QHash<int, float> latest;
    QFile truth(sim.path("truth.csv"));
    QVERIFY(truth.open(QIODevice::ReadOnly));
    for (const QByteArray &row : truth.readAll().split('\n')) {
        const QList<QByteArray> cells = row.split(',');
        if (cells.size() == 4 && cells.at(1) == "INS" && cells.at(3).toFloat() > -9999.0f)
            latest[cells.at(2).toInt()] = cells.at(3).toFloat();
    }
    Link link;
    QVERIFY(link.open(sim, pty));
    Nexil &nexil = link.nexil;
    nexil.setReplyTimeout(timeout);

    const QJsonObject station = scenario.value("station").toObject();
    const QJsonArray channels = scenario.value("channels").toArray();
    QList<int> active;
    for (int i = 0; i < channels.size(); ++i) {
        if (channels.at(i).toObject().value("state").toInt() == 1)
            active << i;
    }

    const auto identity =
        request(nexil, &Nexil::getDeviceIdentity, &Nexil::deviceIdentity).value<DeviceIdentity>();
    QCOMPARE(identity.stationName, station.value("name").toString());
    QCOMPARE(identity.stationCode, station.value("code").toString());
    QCOMPARE(QStringLiteral("%1-%2-%3")
                 .arg(identity.region, 2, 10, QChar('0'))
                 .arg(identity.basin)
                 .arg(identity.stationNo, 3, 10, QChar('0')),
             station.value("group").toString());
    QCOMPARE(identity.header.serialNumber, scenario.value("serial").toString());
    QCOMPARE(identity.header.firmwareVersion, scenario.value("firmware").toInt());
    QCOMPARE(identity.header.deviceType, DeviceTQM510);

    const auto instant = request(nexil, &Nexil::getInstantValues, &Nexil::instantValues).value<InstantData>();
    QCOMPARE(instant.activeChannels, active);
    QCOMPARE(instant.values.size(), active.size());
    QCOMPARE(instant.channelCount, 9);
    for (int k = 0; k < active.size(); ++k) {
        const QJsonObject channel = channels.at(active.at(k)).toObject();
        QCOMPARE(instant.values.at(k).value, latest.value(k));
        QCOMPARE(instant.values.at(k).unit, channel.value("unit").toString());
    }
    QCOMPARE(instant.supplyVoltage, float(scenario.value("supplyVoltage").toDouble()));

    const auto files =
        request(nexil, &Nexil::getFileInformations, &Nexil::fileInformations).value<FileInformations>();
    QVERIFY(files.fileCount >= 1);
    QCOMPARE(files.files.size(), files.fileCount);
    QCOMPARE(files.lastAddress, files.lastPage * 512 + files.lastBuffer);
    QCOMPARE(files.files.last().endPage * 512 + files.files.last().endBuffer, files.lastAddress);

    const auto setup =
        request(nexil, &Nexil::getSetupParemeters, &Nexil::setupParameters).value<SetupParameters>();
    const QJsonObject setupJson = scenario.value("setup").toObject();
    QCOMPARE(setup.dayStart, setupJson.value("dayStart").toInt());
    QCOMPARE(setup.sensorOnOffTime, setupJson.value("sensorOnOffTime").toInt());
    QCOMPARE(setup.sensorWaitTime, setupJson.value("sensorWaitTime").toInt());
    QCOMPARE(setup.waitForExactHour, setupJson.value("waitForExactHour").toBool());
    QCOMPARE(setup.activeChannels, active);
    // Extremes follow the simulated memory: one of each per active channel, in order.
    QCOMPARE(setup.maximumValues.size(), active.size());
    QCOMPARE(setup.minimumValues.size(), active.size());
    for (int k = 0; k < active.size(); ++k) {
        QCOMPARE(setup.maximumValues.at(k).unit,
                 channels.at(active.at(k)).toObject().value("unit").toString());
        QVERIFY(setup.maximumValues.at(k).value >= setup.minimumValues.at(k).value);
    }

    const auto names = request(nexil, &Nexil::getChannelNames, &Nexil::channelNames).value<ChannelNames>();
    QCOMPARE(names.activeChannels, active);
    for (int i = 0; i < 9; ++i) {
        const QJsonObject channel = channels.at(i).toObject();
        QCOMPARE(names.names.at(i), channel.value("name").toString());
        QCOMPARE(int(names.codes.at(i)), channel.value("code").toInt());
        QCOMPARE(names.recordIntervals.at(i), channel.value("interval").toInt());
        QCOMPARE(names.minMaxTypes.at(i), channel.value("minMaxType").toInt());
        QCOMPARE(names.recordTypes.at(i), channel.value("recordType").toInt());
    }

    const auto calibrations = request(nexil, &Nexil::getChannelCalibrations, &Nexil::channelCalibrations)
                                  .value<ChannelCalibrations>();
    const QJsonObject calJson = scenario.value("calibrations").toObject();
    for (int i = 0; i < 9; ++i)
        QCOMPARE(calibrations.units.at(i), calJson.value("units").toArray().at(i).toString());
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(calibrations.gains.at(i), float(calJson.value("gains").toArray().at(i).toDouble()));
        QCOMPARE(calibrations.measurementTypes.at(i),
                 calJson.value("measurementTypes").toArray().at(i).toInt());
    }
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(calibrations.offsets.at(i), float(calJson.value("offsets").toArray().at(i).toDouble()));
        QCOMPARE(calibrations.multipliers.at(i), calJson.value("multipliers").toArray().at(i).toInt());
    }

    const auto alarms =
        request(nexil, &Nexil::getAlarmParameters, &Nexil::alarmParameters).value<AlarmParameters>();
    const QJsonObject alarmJson = scenario.value("alarms").toObject();
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(alarms.maximums.at(i), float(alarmJson.value("maximums").toArray().at(i).toDouble()));
        QCOMPARE(alarms.minimumResets.at(i),
                 float(alarmJson.value("minimumResets").toArray().at(i).toDouble()));
    }
    QCOMPARE(alarms.maximumEvents.size(), 1);
    QCOMPARE(alarms.maximumEvents.first().value, 262.5f);
    QCOMPARE(alarms.minimumEvents.size(), 1);
    QCOMPARE(alarms.minimumEvents.first().channel, 2);

    // Damaged replies were asked for again.
    const int requests = countLines(sim.path("log"), "");
    if (faults.isEmpty())
        QCOMPARE(countLines(sim.path("log"), "KML"), 1);
    else
        QVERIFY2(countLines(sim.path("log"), "KML") + countLines(sim.path("log"), "ALO") > 2,
                 qPrintable(QString::number(requests)));
}

void tst_NexilSim::silentSimulator_timesOutAfterFiveSends()
{
    SimProcess sim;
    QVERIFY(sim.start(
        {"--scenario", SimProcess::scenario("tqm510.json"), "--drop-every", "1", "--log", sim.path("log")}));
    Link link;
    QVERIFY(link.open(sim, false));
    link.nexil.setReplyTimeout(50);
    QSignalSpy errors(&link.nexil, &Nexil::error);
    link.nexil.getInstantValues();
    QVERIFY(errors.wait(5000));
    QCOMPARE(errors.first().at(0).toInt(), 5);
    QCOMPARE(errors.first().at(1).toString(), QStringLiteral("İşlem zaman aşımı."));
    QTRY_COMPARE(countLines(sim.path("log"), "ANL"), 5);
}

void tst_NexilSim::firmware50_neverDecoded()
{
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", SimProcess::scenario("firmware50.json"), "--log", sim.path("log")}));
    Link link;
    QVERIFY(link.open(sim, false));
    link.nexil.setReplyTimeout(100);
    QSignalSpy identities(&link.nexil, &Nexil::deviceIdentity);
    QSignalSpy errors(&link.nexil, &Nexil::error);
    link.nexil.getDeviceIdentity();
    QVERIFY(errors.wait(5000));
    QVERIFY(identities.isEmpty());
    QCOMPARE(errors.first().at(0).toInt(), 5);
    QCOMPARE(countLines(sim.path("log"), "KML"), 5);
}

QTEST_GUILESS_MAIN(tst_NexilSim)
#include "tst_nexilsim.moc"
