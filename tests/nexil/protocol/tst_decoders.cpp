#include "nexil/protocol/decoders.h"
#include "support/testframes.h"
#include "support/testrecords.h"

#include <QtTest>

#include <limits>

using testframes::payload;
using namespace testrecords;

namespace {

DeviceHeader header(DeviceType type = DeviceTQM510)
{
    DeviceHeader h;
    h.command = 1;
    h.deviceType = type;
    return h;
}

} // namespace

class tst_Decoders : public QObject
{
    Q_OBJECT
private slots:
    void payloadChecksum();
    void stationIdentification_data();
    void stationIdentification();
    void identityNeedsExactlyFourFields();
    void instantValues();
    void instantValues_tooFewFieldsForFlags();
    void fileInformations();
    void fileInformations_empty();
    void fileInformations_truncatedOrNegative();
    void setupParameters_twoChannels();
    void setupParameters_tooFewFields();
    void channelCalibrations();
    void channelCalibrations_shortFields();
    void channelNames();
    void channelNames_emptyNameFieldIsDropped();
    void alarmParameters();
    void dates();
};

void tst_Decoders::payloadChecksum()
{
    QByteArray p = payload(station() << "x");
    QList<QByteArray> fields;
    QCOMPARE(decode::fields(p, &fields), decode::Result::Ok);
    QCOMPARE(fields.size(), 4);
    p[2] = 'X';
    QCOMPARE(decode::fields(p, &fields), decode::Result::ChecksumError);
    QCOMPARE(decode::fields(QByteArray("\x01"), &fields), decode::Result::Malformed);
    DeviceIdentity identity;
    QCOMPARE(decode::deviceIdentity(header(), p, &identity), decode::Result::ChecksumError);
}

void tst_Decoders::stationIdentification_data()
{
    QTest::addColumn<QByteArray>("group");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QString>("expectedCode");
    QTest::addColumn<int>("region");
    QTest::addColumn<int>("basin");
    QTest::addColumn<int>("number");
    QTest::newRow("empty code takes the group")
        << QByteArray("02-14-003") << QByteArray("  ") << "02-14-003" << 2 << 14 << 3;
    QTest::newRow("non-digits dropped") << QByteArray("V1.2-7") << QByteArray("C") << "C" << 0 << 12 << 7;
    QTest::newRow("one piece") << QByteArray("42") << QByteArray("C") << "C" << 0 << 0 << 42;
    QTest::newRow("four pieces") << QByteArray("1-2-3-4") << QByteArray("C") << "C" << 0 << 0 << 0;
    QTest::newRow("spaces simplified")
        << QByteArray(" 1 -  2") << QByteArray(" A  B ") << "A B" << 0 << 1 << 2;
}

void tst_Decoders::stationIdentification()
{
    QFETCH(QByteArray, group);
    QFETCH(QByteArray, code);
    DeviceIdentity d;
    QCOMPARE(decode::deviceIdentity(header(), payload({" Kuru \t Dere ", group, code, "x"}), &d),
             decode::Result::Ok);
    QCOMPARE(d.stationName, QStringLiteral("Kuru Dere"));
    QTEST(d.stationCode, "expectedCode");
    QTEST(d.region, "region");
    QTEST(d.basin, "basin");
    QTEST(d.stationNo, "number");
    QCOMPARE(d.header.command, 1);
}

void tst_Decoders::identityNeedsExactlyFourFields()
{
    DeviceIdentity d;
    QCOMPARE(decode::deviceIdentity(header(), payload(station()), &d), decode::Result::Malformed);
    QCOMPARE(decode::deviceIdentity(header(),
                                    payload(station() << "a"
                                                      << "b"),
                                    &d),
             decode::Result::Malformed);
}

void tst_Decoders::instantValues()
{
    QList<QByteArray> f = station();
    f << " 05/12/26 14:30:15 "
      << "12.6V"
      << "101000000";
    f << "Seviye:"
      << " 1.25 "
      << "m"
      << "Sicaklik:"
      << "-3.5"
      << " C ";
    const QDateTime now = QDateTime::currentDateTime();
    InstantData d;
    QCOMPARE(decode::instantData(header(), payload(f), now, &d), decode::Result::Ok);
    QCOMPARE(d.deviceTime, QDateTime(QDate(2026, 12, 5), QTime(14, 30, 15)));
    QCOMPARE(d.supplyVoltage, 12.6f);
    QCOMPARE(d.channelCount, 9);
    QCOMPARE(d.activeChannelCount, 2);
    QCOMPARE(d.activeChannels, QList<int>({0, 2}));
    QCOMPARE(d.values.size(), 2);
    QCOMPARE(d.values[0].label, QStringLiteral("Seviye"));
    QCOMPARE(d.values[0].value, 1.25f);
    QCOMPARE(d.values[1].label, QStringLiteral("Sicaklik"));
    QCOMPARE(d.values[1].value, -3.5f);
    QCOMPARE(d.values[1].unit, QStringLiteral("C"));
    QCOMPARE(d.values[1].valueType, ValueINS);
    QCOMPARE(d.values[1].dateTime, now);
}

void tst_Decoders::instantValues_tooFewFieldsForFlags()
{
    QList<QByteArray> f = station();
    f << "05/12/26 14:30:15"
      << "12.6V"
      << "111"
      << "a:"
      << "1"
      << "m"
      << "b:"
      << "2"
      << "m"
      << "c:"
      << "3";
    InstantData d;
    QCOMPARE(decode::instantData(header(), payload(f), QDateTime(), &d), decode::Result::Malformed);
    QCOMPARE(decode::instantData(header(), payload(station()), QDateTime(), &d), decode::Result::Malformed);
}

void tst_Decoders::fileInformations()
{
    FileInformations d;
    const QList<QByteArray> f = {"2", "01/11/26 00:00", "3", "100", "00/00/00 00:00", "7", "0", "9", "12"};
    QCOMPARE(decode::fileInformations(header(), payload(f), &d), decode::Result::Ok);
    QCOMPARE(d.fileCount, 2);
    QCOMPARE(d.files.size(), 2);
    QCOMPARE(d.files[0].date, QDateTime(QDate(2026, 11, 1), QTime(0, 0)));
    QCOMPARE(d.files[0].startPage, 0);
    QCOMPARE(d.files[0].size, 3 * 512 + 100);
    QCOMPARE(d.files[1].startPage, 3);
    QCOMPARE(d.files[1].startBuffer, 100);
    QCOMPARE(d.files[1].size, 1948);
    QVERIFY(!d.files[1].date.isValid());
    QCOMPARE(d.lastPage, 9);
    QCOMPARE(d.lastBuffer, 12);
    QCOMPARE(d.lastAddress, 9 * 512 + 12);
}

void tst_Decoders::fileInformations_empty()
{
    FileInformations d;
    QCOMPARE(decode::fileInformations(header(), payload({"0", "5", "44"}), &d), decode::Result::Ok);
    QVERIFY(d.files.isEmpty());
    QCOMPARE(d.lastPage, 5);
    QCOMPARE(d.lastBuffer, 44);
}

void tst_Decoders::fileInformations_truncatedOrNegative()
{
    FileInformations d;
    QCOMPARE(decode::fileInformations(header(), payload({"2", "01/11/26 00:00", "3", "100", "7", "0"}), &d),
             decode::Result::Malformed);
    QCOMPARE(decode::fileInformations(header(), payload({"-1", "5", "44"}), &d), decode::Result::Malformed);
    QCOMPARE(decode::fileInformations(header(), payload({"999999999", "5"}), &d), decode::Result::Malformed);

    // Positions far beyond any memory (garbled digits) are held to int, not overflowed.
    const QList<QByteArray> huge = {"1", "01/11/26 00:00", "-2147483648", "0", "99999999", "511"};
    QCOMPARE(decode::fileInformations(header(), payload(huge), &d), decode::Result::Ok);
    QCOMPARE(d.lastAddress, std::numeric_limits<int>::max());
    QCOMPARE(d.files[0].size, std::numeric_limits<int>::min());
}

void tst_Decoders::setupParameters_twoChannels()
{
    const QList<QByteArray> f = setupFields("011000000", 2);
    QCOMPARE(f.size(), 21);
    SetupParameters d;
    QCOMPARE(decode::setupParameters(header(), payload(f), QDateTime(), &d), decode::Result::Ok);
    QCOMPARE(d.activeChannels, QList<int>({1, 2}));
    QCOMPARE(d.instantValues.size(), 2);
    QCOMPARE(d.instantValues[1].label, QStringLiteral("Level1"));
    // Maxima from fields 12 and 14, minima from 13 and 15.
    QCOMPARE(d.maximumValues.size(), 2);
    QCOMPARE(d.maximumValues[0].value, 9.0f);
    QCOMPARE(d.maximumValues[1].value, 10.0f);
    QCOMPARE(d.maximumValues[0].dateTime, QDateTime(QDate(2026, 12, 4), QTime(10, 15)));
    QCOMPARE(d.maximumValues[0].valueType, ValueMAX);
    QCOMPARE(d.maximumValues[0].label, QStringLiteral("Level0"));
    QCOMPARE(d.maximumValues[0].unit, QStringLiteral("m"));
    // A minimum without a time is still there, with an invalid time.
    QCOMPARE(d.minimumValues.size(), 2);
    QVERIFY(!d.minimumValues[1].dateTime.isValid());
    QCOMPARE(d.minimumValues[1].value, 1.0f);
    QCOMPARE(d.minimumValues[1].valueType, ValueMIN);
    // Option text from field 16: 10700.
    QVERIFY(d.rs485Output);
    QCOMPARE(d.dayStart, 7);
    QCOMPARE(d.setupDigitA, 0);
    QCOMPARE(d.setupDigitB, 0);
    QCOMPARE(d.sensorOnOffTime, 30);
    QCOMPARE(d.sensorWaitTime, 5);
    QVERIFY(d.waitForExactHour); // field 19
    QCOMPARE(d.setupDigitC, 7);
    QVERIFY(!d.keepOldSetups);
    QCOMPARE(d.deviceTime, QDateTime(QDate(2026, 12, 5), QTime(14, 30, 15)));
    QCOMPARE(d.stationCode, QStringLiteral("D14A003"));
}

void tst_Decoders::setupParameters_tooFewFields()
{
    SetupParameters d;
    QList<QByteArray> f = setupFields("111000000", 3);
    QCOMPARE(f.size(), 26);
    QCOMPARE(decode::setupParameters(header(), payload(f), QDateTime(), &d), decode::Result::Ok);
    f.removeLast();
    QCOMPARE(decode::setupParameters(header(), payload(f), QDateTime(), &d), decode::Result::Malformed);
    QCOMPARE(decode::setupParameters(header(), payload(setupFields("1", 1, "107")), QDateTime(), &d),
             decode::Result::Malformed);
}

void tst_Decoders::channelCalibrations()
{
    ChannelCalibrations d;
    QCOMPARE(decode::channelCalibrations(header(), payload(calibrationFields()), &d), decode::Result::Ok);
    QCOMPARE(d.units.size(), 9);
    QCOMPARE(d.units[4], QStringLiteral("m4"));
    QCOMPARE(d.minVoltages, QList<float>({0.5f, 1.5f, 2.5f, 3.5f, 4.5f}));
    QCOMPARE(d.gains, QList<float>({10.5f, 11.5f, 12.5f, 13.5f, 14.5f, 6.25f, 7.75f}));
    QCOMPARE(d.maxValues[0], 20.5f);
    QCOMPARE(d.minValues[4], 34.5f);
    QCOMPARE(d.offsets[2], 42.5f);
    QCOMPARE(d.multipliers, QList<int>({1, 2, 3, 4, 5}));
    // Field 41 gives the first five types, field 40 the last two.
    QCOMPARE(d.measurementTypes, QList<int>({1, 0, 1, 1, 0, 0, 1}));
}

void tst_Decoders::channelCalibrations_shortFields()
{
    ChannelCalibrations d;
    QList<QByteArray> f = calibrationFields();
    f[37] = "1234";
    QCOMPARE(decode::channelCalibrations(header(), payload(f), &d), decode::Result::Malformed);
    f = calibrationFields();
    f.removeLast();
    QCOMPARE(decode::channelCalibrations(header(), payload(f), &d), decode::Result::Malformed);
}

void tst_Decoders::channelNames()
{
    ChannelNames d;
    QList<QByteArray> f = nameFields();
    f[13] = "Level\x31";
    QCOMPARE(decode::channelNames(header(DeviceTQA110), payload(f), &d), decode::Result::Ok);
    QCOMPARE(d.channelStates, QList<int>({1, 1, 0, 1, 0, 0, 0, 0, 0}));
    QCOMPARE(d.activeChannels, QList<int>({0, 1, 3}));
    QCOMPARE(d.activeChannelCount, 3);
    QCOMPARE(d.channelCount, 1); // the model's slots, whatever the states say
    QCOMPARE(d.recordIntervals.size(), 9);
    QCOMPARE(d.recordIntervals[8], 45);
    QCOMPARE(d.names.size(), 9);
    QCOMPARE(d.names[0], QStringLiteral("Level"));
    QCOMPARE(int(d.codes[0]), 49);
    QCOMPARE(d.names[1], QStringLiteral("Name 1"));
    QCOMPARE(int(d.codes[1]), 34);
    QCOMPARE(d.minMaxTypes, QList<int>({1, 0, 0, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(d.recordTypes, QList<int>({0, 1, 0, 0, 0, 0, 0, 0, 1}));
}

void tst_Decoders::channelNames_emptyNameFieldIsDropped()
{
    ChannelNames d;
    QList<QByteArray> f = nameFields();
    f[17].clear();
    QCOMPARE(decode::channelNames(header(), payload(f), &d), decode::Result::Malformed);
    f = nameFields();
    f[22] = "10000000001000000";
    QCOMPARE(decode::channelNames(header(), payload(f), &d), decode::Result::Malformed);
}

void tst_Decoders::alarmParameters()
{
    AlarmParameters d;
    QCOMPARE(decode::alarmParameters(header(), payload(alarmFields()), &d), decode::Result::Ok);
    QCOMPARE(d.maximums, QList<float>({5.5f, 6.0f, 0.0f, 7.25f}));
    QCOMPARE(d.minimums, QList<float>({1.5f, 2.0f, -1.0f, 3.0f}));
    // Four derived flags (alarm 2 has a maximum of 0), then nine flag characters, no digits.
    QCOMPARE(d.alarmFlags.size(), 13);
    QCOMPARE(d.alarmFlags.mid(0, 4), QList<bool>({true, true, false, true}));
    QCOMPARE(d.alarmFlags.mid(4), QList<bool>({true, false, true, false, true, false, true, false, true}));
    QVERIFY(d.alarmDigits.isEmpty());
    // The zero time gives no event, whatever follows it.
    QCOMPARE(d.maximumEvents.size(), 2);
    QCOMPARE(d.maximumEvents[0].channel, 0);
    QCOMPARE(d.maximumEvents[0].value, 12.75f);
    QCOMPARE(d.maximumEvents[0].dateTime, QDateTime(QDate(2026, 12, 1), QTime(8, 30)));
    QCOMPARE(d.maximumEvents[0].valueType, ValueMAX);
    QCOMPARE(d.maximumEvents[1].channel, 3);
    QCOMPARE(d.minimumEvents.size(), 1);
    QCOMPARE(d.minimumEvents[0].channel, 1);
    QCOMPARE(d.minimumEvents[0].valueType, ValueMIN);
    QCOMPARE(d.maximumResets, QList<float>({0.1f, 2.1f, 4.1f, 6.1f}));
    QCOMPARE(d.minimumResets, QList<float>({1.1f, 3.1f, 5.1f, 7.1f}));

    QList<QByteArray> f = alarmFields();
    f[16] = "11111111134";
    QCOMPARE(decode::alarmParameters(header(), payload(f), &d), decode::Result::Ok);
    QCOMPARE(d.alarmDigits, QList<int>({3, 4}));
    f[16] = "10";
    QCOMPARE(decode::alarmParameters(header(), payload(f), &d), decode::Result::Ok);
    QCOMPARE(d.alarmFlags.size(), 6);
    f.removeLast();
    QCOMPARE(decode::alarmParameters(header(), payload(f), &d), decode::Result::Malformed);
}

void tst_Decoders::dates()
{
    const QString format = QStringLiteral("dd/MM/yy hh:mm");
    QCOMPARE(decode::deviceDateTime("05/12/26 00:00", format), QDateTime(QDate(2026, 12, 5), QTime(0, 0)));
    QCOMPARE(decode::deviceDateTime("31/12/99 23:59", format), QDateTime(QDate(2099, 12, 31), QTime(23, 59)));
    // The zero date is missing, not 1 January 2000.
    QVERIFY(!decode::deviceDateTime("00/00/00 00:00", format).isValid());
    QVERIFY(!decode::deviceDateTime("garbage", format).isValid());
    QVERIFY(!decode::deviceDateTime("", format).isValid());
}

QTEST_GUILESS_MAIN(tst_Decoders)
#include "tst_decoders.moc"
