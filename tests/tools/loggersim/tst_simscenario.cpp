// Scenario files: defaults, the shipped examples, and clear errors.

#include "scenario.h"

#include <QDir>
#include <QtTest>

using namespace loggersim;

class TestSimScenario : public QObject
{
    Q_OBJECT

private slots:
    void emptyObjectIsAWorkingLogger()
    {
        Scenario s;
        QString error;
        QVERIFY2(loadScenario("{}", &s, &error), qPrintable(error));
        QCOMPARE(s.model, QStringLiteral("TQM510"));
        QCOMPARE(s.slotList.size(), 9);
        QVERIFY(!s.activeSlots().isEmpty());
        QVERIFY(s.activeSlots().size() < 9);
        QCOMPARE(s.calibrations.units.size(), 9);
        QCOMPARE(s.calibrations.gains.size(), 7);
        QCOMPARE(s.calibrations.measurementTypes.size(), 7);
        QCOMPARE(s.calibrations.minVoltages.size(), 5);
        QCOMPARE(s.alarms.maximums.size(), 4);
        QCOMPARE(s.alarms.flags.size(), 9);
        QCOMPARE(s.alarms.digits.size(), 2);
        QVERIFY(!s.clock.isValid());  // the device then starts at the current time
        QVERIFY(s.generator.enabled); // no memory given: generated data
        for (const Slot &slot : s.slotList)
            QVERIFY(slot.code >= 32 && slot.code <= 56);
    }

    void modelDecidesTheDefaultSlots()
    {
        Scenario s;
        QString error;
        QVERIFY(loadScenario(R"({"model": "ZozOdoRed"})", &s, &error));
        QCOMPARE(s.activeSlots(), QList<int>{0});
        QVERIFY(loadScenario(R"({"model": "TQF110P"})", &s, &error));
        QCOMPARE(s.activeSlots(), (QList<int>{0, 1, 2}));
        QVERIFY(loadScenario(R"({"model": "Nonesuch", "firmware": 50})", &s, &error));
        QCOMPARE(s.model, QStringLiteral("Nonesuch"));
        QCOMPARE(s.firmware, 50);
    }

    void membersOverrideDefaults()
    {
        Scenario s;
        QString error;
        const QByteArray json = R"({
            "serial": "4242", "password": "99", "clock": "05/12/26 10:11:12",
            "station": {"name": "AKSU", "group": "07-21-012"},
            "setup": {"dayStart": 8, "rs485Output": true},
            "channels": [{"state": 1, "name": "Seviye", "code": 49, "unit": "m",
                          "max": {"value": 3.5, "time": "05/12/26 09:00"}},
                         {"state": 0}],
            "calibrations": {"gains": [2, 3]},
            "alarms": {"maximumEvents": [{"time": "04/12/26 18:30", "value": 262.5}, null]},
            "files": [{"date": "01/12/26 08:00", "endPage": 3, "endBuffer": 100}],
            "memory": {"records": [{"type": "timestamp", "time": "05/12/26 08:00"}]}
        })";
        QVERIFY2(loadScenario(json, &s, &error), qPrintable(error));
        QCOMPARE(s.serial, QStringLiteral("4242"));
        QCOMPARE(s.password, QStringLiteral("99"));
        QCOMPARE(s.clock, QDateTime(QDate(2026, 12, 5), QTime(10, 11, 12)));
        QCOMPARE(s.stationName, QStringLiteral("AKSU"));
        QCOMPARE(s.stationCode, defaultScenario(QStringLiteral("TQM510")).stationCode);
        QCOMPARE(s.setup.dayStart, 8);
        QVERIFY(s.setup.rs485Output);
        QCOMPARE(s.slotList.at(0).name, QStringLiteral("Seviye"));
        QCOMPARE(s.slotList.at(0).maximum.time, QDateTime(QDate(2026, 12, 5), QTime(9, 0)));
        QCOMPARE(s.slotList.at(1).state, 0);
        QCOMPARE(s.calibrations.units.at(0), QStringLiteral("m")); // the slot's unit
        QCOMPARE(s.calibrations.gains.mid(0, 3), (QList<double>{2, 3, 1}));
        QVERIFY(s.alarms.maximumEvents.at(0).present);
        QVERIFY(!s.alarms.maximumEvents.at(1).present);
        QVERIFY(s.filesGiven);
        QCOMPARE(s.files.size(), 1);
        QCOMPARE(s.files.at(0).endBuffer, 100);
        QCOMPARE(s.memoryRecords.size(), 1);
        QVERIFY(!s.generator.enabled); // memory given without a generator
    }

    void badInputGivesAClearError_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("syntax") << QByteArray("{\n  \"model\": \"TQM510\",,\n}") << QStringLiteral("line 2");
        QTest::newRow("not an object") << QByteArray("[1, 2]") << QStringLiteral("JSON object");
        QTest::newRow("long password")
            << QByteArray(R"({"password": "12345"})") << QStringLiteral("password");
        QTest::newRow("bad time") << QByteArray(R"({"clock": "yesterday"})") << QStringLiteral("clock");
        QTest::newRow("bad code") << QByteArray(R"({"channels": [{"code": 2}]})")
                                  << QStringLiteral("channels[0].code");
        QTest::newRow("ten slots") << QByteArray(R"({"channels": [{},{},{},{},{},{},{},{},{},{}]})")
                                   << QStringLiteral("at most 9");
        QTest::newRow("number as text") << QByteArray(R"({"firmware": "new"})") << QStringLiteral("firmware");
        QTest::newRow("record type") << QByteArray(R"({"memory": {"records": [{"type": "x"}]}})")
                                     << QStringLiteral("memory.records[0].type");
        QTest::newRow("day start") << QByteArray(R"({"setup": {"dayStart": 24}})")
                                   << QStringLiteral("dayStart");
        QTest::newRow("factory answer")
            << QByteArray(R"({"factoryAnswer": "maybe"})") << QStringLiteral("factoryAnswer");
    }

    void badInputGivesAClearError()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, fragment);
        Scenario s;
        s.serial = QStringLiteral("untouched");
        QString error;
        QVERIFY(!loadScenario(json, &s, &error));
        QVERIFY2(error.contains(fragment), qPrintable(error));
        QCOMPARE(s.serial, QStringLiteral("untouched"));
    }

    void unknownMembersAreReportedNotFatal()
    {
        Scenario s;
        QString error;
        QStringList warnings;
        QVERIFY(loadScenario(R"({"seriall": "1", "modem": {}, "station": {"nmae": "x"},
                                 "channels": [{"stat": 1}]})",
                             &s, &error, &warnings));
        QCOMPARE(warnings.size(), 3);
        QVERIFY(warnings.at(0).startsWith(QStringLiteral("seriall")));
        QVERIFY(warnings.at(1).startsWith(QStringLiteral("station.nmae")));
        QVERIFY(warnings.at(2).startsWith(QStringLiteral("channels[].stat")));
    }

    void timesReadAsTheDeviceWritesThem()
    {
        QCOMPARE(parseDeviceTime(QStringLiteral("05/12/26 10:11:12")),
                 QDateTime(QDate(2026, 12, 5), QTime(10, 11, 12)));
        QCOMPARE(parseDeviceTime(QStringLiteral("05/12/26 10:11")),
                 QDateTime(QDate(2026, 12, 5), QTime(10, 11)));
        QVERIFY(!parseDeviceTime(QStringLiteral("00/00/00 00:00")).isValid());
        QCOMPARE(formatDeviceTime(QDateTime(), false), QStringLiteral("00/00/00 00:00"));
        QCOMPARE(formatDeviceTime(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)), true),
                 QStringLiteral("02/01/26 03:04:05"));
    }

    void shippedScenariosLoad()
    {
        const QDir dir(QStringLiteral(LOGGERSIM_SCENARIOS));
        const QStringList files = dir.entryList({QStringLiteral("*.json")}, QDir::Files);
        QVERIFY(files.size() >= 9);
        QStringList models;
        for (const QString &name : files) {
            Scenario s;
            QString error;
            QVERIFY2(loadScenarioFile(dir.filePath(name), &s, &error), qPrintable(error));
            QVERIFY2(s.password.size() <= 4, qPrintable(name));
            models << s.model;
        }
        for (const char *word :
             {"ZazEroDar", "ZozOdoRed", "TQF110C", "TQF110P", "VeZevAvu", "RorEdeDar", "DEZAraDez"})
            QVERIFY2(models.contains(QLatin1String(word)), word);
        Scenario old;
        QString error;
        QVERIFY(loadScenarioFile(dir.filePath(QStringLiteral("firmware50.json")), &old, &error));
        QCOMPARE(old.firmware, 50);
        QVERIFY(!loadScenarioFile(dir.filePath(QStringLiteral("missing.json")), &old, &error));
        QVERIFY(error.contains(QStringLiteral("missing.json")));
    }
};

QTEST_GUILESS_MAIN(TestSimScenario)
#include "tst_simscenario.moc"
