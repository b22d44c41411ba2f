// Upload frames byte for byte, and the device's acknowledgements.

#include "../protocol/fakedevice.h"
#include "nexil/configuration/uploadencoder.h"
#include "nexil/protocol/nexil.h"
#include "support/testframes.h"

#include <QtTest>

namespace {

QByteArray checked(const QByteArray &afterStx)
{
    return QByteArray("\x02") + afterStx + testframes::crcBytes(afterStx) + "\r\r\r";
}

QByteArray answer(const QByteArray &text)
{
    return testframes::reply("CEV", testframes::rawPayload(text.leftJustified(12, ' ')));
}

ChannelNames threeChannelNames()
{
    ChannelNames n;
    n.channelCount = 3;
    n.channelStates = {1, 0, 1, 1, 1, 1, 1, 1, 1};
    n.recordIntervals = {10, 15, 1440};
    n.names = QStringList{QStringLiteral("Seviye"), QStringLiteral("Yağış")};
    n.codes = {CodeWAL, CodePR};
    n.minMaxTypes = {1, 0};
    n.recordTypes = {0, 1};
    return n;
}

ChannelCalibrations calibrations()
{
    ChannelCalibrations c;
    for (int i = 0; i < 9; ++i)
        c.units << "u" + QString::number(i);
    c.minVoltages = {0.0f, 0.5f, 1.0f, 1234567.0f, 0.000012f};
    c.gains = {1, 2, 3, 4, 5, 6.5f, 7};
    c.maxValues = {10, 20, 30, 40, 50};
    c.minValues = {-1, -2, -3, -4, -5};
    c.offsets = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f};
    c.multipliers = {1, 2, 3, 4, 5};
    c.measurementTypes = {0, 1, 0, 1, 0, 1, 1};
    return c;
}

AlarmParameters alarms()
{
    AlarmParameters a;
    a.maximums = {1.5f, 2, 0, 4};
    a.minimums = {-1, 0.25f, 0, 0};
    a.alarmFlags = {true, true, false, true, false, false, true, false, true, true};
    a.maximumResets = {1, 2, 3, 4};
    a.minimumResets = {5, 6, 7, 8};
    return a;
}

} // namespace

class tst_Upload : public QObject
{
    Q_OBJECT
private slots:
    void passwordAndFactoryFrames();
    void setupBody_onASunday();
    void channelNames_nineStatusCharacters();
    void calibrations_g6Numbers();
    void alarms_noPasswordAndFourDecimals();
    void shortLists_refused();

    void init();
    void cleanup();
    void acknowledgements_data();
    void acknowledgements();
    void crcHata_resentAtTheNextTick();
    void yuklendiWithNothingPending_emitsNothing();
    void shortRecord_sendsNothingAndSaysWhy();
    void noOpOperations();
    void busy_uploadRefused();

private:
    QTcpSocket *client = nullptr;
    FakeDevice *device = nullptr;
    Nexil *nexil = nullptr;
};

void tst_Upload::passwordAndFactoryFrames()
{
    QCOMPARE(upload::frame("SIF", upload::passwordBody("1234", "9876")), checked("SIF12349876\r"));
    QCOMPARE(upload::frame("SET", upload::factoryDefaultsBody(QString())), checked("SET\r"));
    QCOMPARE(upload::frame("SET", upload::factoryDefaultsBody("4826")), checked("SET4826\r"));
}

void tst_Upload::setupBody_onASunday()
{
    SetupParameters s;
    s.header.serialNumber = "SN77";
    s.stationName = "Kuru Dere";
    s.region = 2;
    s.basin = 14;
    s.stationNo = 3;
    s.stationCode = "D14";
    s.dayStart = 7;
    s.setupDigitA = 3;
    s.setupDigitB = 9; // never sent
    s.rs485Output = true;
    s.sensorOnOffTime = 30;
    s.sensorWaitTime = 5;
    s.waitForExactHour = false;
    s.setupDigitC = 4;
    s.keepOldSetups = true;
    const QDateTime sunday(QDate(2026, 12, 6), QTime(21, 5, 9));
    QCOMPARE(sunday.date().dayOfWeek(), 7);
    const QByteArray body = upload::setupBody("pw", s, sunday);
    const QByteArray expected = "pw1SN77\x02Kuru Dere\x02"
                                "2-14-3\x02"
                                "D14\x02"
                                "0731\x02"
                                "30\x02"
                                "5\x02"
                                "061226210509\x07\x02"
                                "0\x02"
                                "4\x02";
    QCOMPARE(body, expected);
    const QByteArray frame = upload::frame("PAR", body);
    QVERIFY(frame.startsWith("\x02PARpw1SN77"));
}

void tst_Upload::channelNames_nineStatusCharacters()
{
    QByteArray body;
    QString missing;
    QVERIFY(upload::channelNamesBody("pw", threeChannelNames(), &body, &missing));
    // Latin-1 has no ğ, ı or ş: they go out as the conversion makes them.
    const QByteArray expected = QByteArray("pw101000000\x02") +
                                "0010\x02"
                                "0015\x02"
                                "1440\x02" +
                                char(49) + "Seviye\x02" + char(43) + QStringLiteral("Yağış").toLatin1() +
                                "\x02" + "1001\x02";
    QCOMPARE(body, expected);
}

void tst_Upload::calibrations_g6Numbers()
{
    QCOMPARE(upload::g6(0.5f), QByteArray("0.5"));
    QCOMPARE(upload::g6(1234567.0f), QByteArray("1.23457e+06"));
    QCOMPARE(upload::g6(0.000012f), QByteArray("1.2e-05"));
    QCOMPARE(upload::g6(-3.0f), QByteArray("-3"));
    QByteArray body;
    QString missing;
    QVERIFY(upload::calibrationsBody("pw", calibrations(), &body, &missing));
    const QList<QByteArray> fields = body.split('\x02');
    QCOMPARE(fields.size(), 9 + 25 + 1 + 2 + 2 + 1);
    QCOMPARE(fields[0], QByteArray("pwu0"));
    QCOMPARE(fields[8], QByteArray("u8"));
    QCOMPARE(fields[9], QByteArray("0"));
    QCOMPARE(fields[12], QByteArray("1.23457e+06"));
    QCOMPARE(fields[14], QByteArray("1"));     // gains start
    QCOMPARE(fields[28], QByteArray("-5"));    // last minimum value
    QCOMPARE(fields[32], QByteArray("0.4"));   // offsets
    QCOMPARE(fields[34], QByteArray("12345")); // multipliers
    QCOMPARE(fields[35], QByteArray("6.5"));   // gain of channel 5
    QCOMPARE(fields[36], QByteArray("7"));     // gain of channel 6
    QCOMPARE(fields[37], QByteArray("11"));    // types of channels 5 and 6
    QCOMPARE(fields[38], QByteArray("01010")); // types of channels 0-4
    QCOMPARE(fields[39], QByteArray());
}

void tst_Upload::alarms_noPasswordAndFourDecimals()
{
    QByteArray body;
    QString missing;
    QVERIFY(upload::alarmBody(alarms(), &body, &missing));
    const QByteArray expected = "1.5000\x02-1.0000\x02"
                                "2.0000\x02"
                                "0.2500\x02"
                                "0.0000\x02"
                                "0.0000\x02"
                                "4.0000\x02"
                                "0.0000\x02"
                                "00110100101"
                                "\x02"
                                "1.0000\x02"
                                "5.0000\x02"
                                "2.0000\x02"
                                "6.0000\x02"
                                "3.0000\x02"
                                "7.0000\x02"
                                "4.0000\x02"
                                "8.0000\x02";
    QCOMPARE(body, expected);
    QVERIFY(upload::frame("AYU", body)
                .startsWith("\x02"
                            "AYU1.5000"));
}

void tst_Upload::shortLists_refused()
{
    QByteArray body = "untouched";
    QString missing;
    ChannelCalibrations c = calibrations();
    c.units.removeLast();
    QVERIFY(!upload::calibrationsBody("pw", c, &body, &missing));
    QVERIFY(missing.startsWith("units"));
    c = calibrations();
    c.gains.removeLast();
    QVERIFY(!upload::calibrationsBody("pw", c, &body, &missing));
    QVERIFY(missing.startsWith("gains"));
    AlarmParameters a = alarms();
    a.alarmFlags = a.alarmFlags.mid(0, 8);
    QVERIFY(!upload::alarmBody(a, &body, &missing));
    QVERIFY(missing.startsWith("alarmFlags"));
    a = alarms();
    a.minimumResets.removeLast();
    QVERIFY(!upload::alarmBody(a, &body, &missing));
    ChannelNames n = threeChannelNames();
    n.channelStates = {1, 0};
    QVERIFY(!upload::channelNamesBody("pw", n, &body, &missing));
    n = threeChannelNames();
    n.codes.removeLast();
    QVERIFY(!upload::channelNamesBody("pw", n, &body, &missing));
    QCOMPARE(body, QByteArray("untouched"));
}

void tst_Upload::init()
{
    client = new QTcpSocket;
    device = new FakeDevice;
    QVERIFY(device->connectClient(client));
    nexil = new Nexil;
    nexil->setConnection(client);
}

void tst_Upload::cleanup()
{
    delete nexil;
    delete device;
    delete client;
}

void tst_Upload::acknowledgements_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("signal");
    QTest::newRow("calibrations") << QByteArray("YUKLENDI") << "KAL"
                                  << QByteArray(SIGNAL(channelCalibrationsHaveBeenLoaded()));
    QTest::newRow("setup") << QByteArray("YUKLENDI") << "PAS"
                           << QByteArray(SIGNAL(setupParametersHaveBeenLoaded()));
    QTest::newRow("factory") << QByteArray("YUKLENDI") << "SET"
                             << QByteArray(SIGNAL(factoryDefaultsHaveBeenLoaded()));
    QTest::newRow("names") << QByteArray("YUKLENDI") << "KNL"
                           << QByteArray(SIGNAL(channelNamesHaveBeenLoaded()));
    QTest::newRow("alarms") << QByteArray("YUKLENDI") << "AYU"
                            << QByteArray(SIGNAL(alarmParametersHaveBeenLoaded()));
    QTest::newRow("password") << QByteArray("DEG") << "DEG" << QByteArray(SIGNAL(passwordChanged()));
    QTest::newRow("password loaded") << QByteArray("YUKLENDI") << "DEG"
                                     << QByteArray(SIGNAL(passwordChanged()));
    QTest::newRow("DEG wins over YUKLENDI")
        << QByteArray("DEG YUKLENDI") << "KAL" << QByteArray(SIGNAL(passwordChanged()));
    QTest::newRow("wrong password") << QByteArray("SYANLIS") << "PAS" << QByteArray(SIGNAL(wrongPassword()));
}

void tst_Upload::acknowledgements()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, operation);
    QFETCH(QByteArray, signal);
    nexil->setReplyTimeout(60000);
    QSignalSpy spy(nexil, signal.constData());

    SetupParameters setup;
    if (operation == "KAL")
        nexil->sendCalibrations("pw", calibrations());
    else if (operation == "PAS")
        nexil->sendSetupParameters("pw", setup);
    else if (operation == "SET")
        nexil->loadFactoryDefaults("pw");
    else if (operation == "KNL")
        nexil->sendChannelNames("pw", threeChannelNames());
    else if (operation == "AYU")
        nexil->sendAlarmParameters("pw", alarms());
    else if (operation == "DEG")
        nexil->setPassword("pw", "new");
    QVERIFY(nexil->isBusy());
    QTRY_COMPARE(device->requests().size(), 1);
    device->send(::answer(answer));
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.size(), 1);
    QVERIFY(!nexil->isBusy());
}

void tst_Upload::crcHata_resentAtTheNextTick()
{
    nexil->setReplyTimeout(200);
    QSignalSpy loaded(nexil, &Nexil::channelNamesHaveBeenLoaded);
    int answered = 0;
    device->setHandler(
        [&](const QByteArray &) { return ::answer(answered++ == 0 ? "CRCHata" : "YUKLENDI"); });
    nexil->sendChannelNames("pw", threeChannelNames());
    QTRY_COMPARE(answered, 1);
    QTRY_VERIFY(!nexil->isBusy());
    QVERIFY(loaded.isEmpty());
    QVERIFY(loaded.wait(2000));
    QCOMPARE(device->requests().size(), 2);
    QCOMPARE(device->requests().at(0), device->requests().at(1));
}

void tst_Upload::yuklendiWithNothingPending_emitsNothing()
{
    QSignalSpy loaded(nexil, &Nexil::setupParametersHaveBeenLoaded);
    QSignalSpy names(nexil, &Nexil::channelNamesHaveBeenLoaded);
    QSignalSpy identities(nexil, &Nexil::deviceIdentity);
    device->send(::answer("YUKLENDI"));
    // Something decoded afterwards proves the answer was read and ignored.
    nexil->getDeviceIdentity();
    QTRY_COMPARE(device->requests().size(), 1);
    device->send(testframes::reply("KML", testframes::payload({"Station", "1-2-3", "CODE", "x"})));
    QVERIFY(identities.wait(2000));
    QVERIFY(loaded.isEmpty());
    QVERIFY(names.isEmpty());
}

void tst_Upload::shortRecord_sendsNothingAndSaysWhy()
{
    QSignalSpy errors(nexil, &Nexil::error);
    ChannelCalibrations c = calibrations();
    c.offsets.clear();
    nexil->sendCalibrations("pw", c);
    QCOMPARE(errors.size(), 1);
    QCOMPARE(nexil->lastError(), InvalidRecord);
    QVERIFY(nexil->lastErrorString().contains("offsets"));
    QVERIFY(!nexil->isBusy());
    nexil->getDeviceIdentity();
    QTRY_COMPARE(device->requests().size(), 1);
    QVERIFY(device->requests().first().startsWith("\x02KML"));
}

void tst_Upload::noOpOperations()
{
    QSignalSpy errors(nexil, &Nexil::error);
    nexil->sendDischargeTable("pw", {1, 2, 3});
    nexil->sendFirmware("pw", QByteArray(100, 'x'));
    QVERIFY(!nexil->isBusy());
    nexil->getDeviceIdentity();
    QTRY_COMPARE(device->requests().size(), 1);
    QVERIFY(device->requests().first().startsWith("\x02KML"));
    QVERIFY(errors.isEmpty());
}

void tst_Upload::busy_uploadRefused()
{
    nexil->setReplyTimeout(60000);
    nexil->getDeviceIdentity();
    nexil->sendAlarmParameters("pw", alarms());
    QCOMPARE(nexil->lastError(), DeviceBusy);
    QCOMPARE(nexil->lastErrorString(), QStringLiteral("Cihaz Meşgul."));
    QTRY_COMPARE(device->requests().size(), 1);
}

QTEST_GUILESS_MAIN(tst_Upload)
#include "tst_upload.moc"
