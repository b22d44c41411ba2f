// The setup wizard's rules without a window: texts, page checks, send order.

#include "nexil/configuration/setuppages.h"

#include <QtTest>

using namespace setupwizard;

namespace {

QList<NameRow> threeRows()
{
    QList<NameRow> rows;
    for (int r = 0; r < 9; ++r) {
        NameRow row;
        row.status = 1;
        row.name = QStringLiteral("Kanal %1").arg(r);
        row.codeIndex = 17; // WAL
        row.interval = 10 + r;
        row.minMaxType = r % 2;
        row.recordType = 1 - r % 2;
        rows << row;
    }
    return rows;
}

ChannelNames readNames(int channelCount)
{
    ChannelNames n;
    n.channelCount = channelCount;
    n.channelStates = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    n.activeChannelCount = 9;
    n.activeChannels = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    for (int i = 0; i < 9; ++i) {
        n.recordIntervals << 60;
        n.names << QStringLiteral("Old%1").arg(i);
        n.codes << CodePR;
        n.minMaxTypes << 0;
        n.recordTypes << 0;
    }
    return n;
}

ChannelCalibrations readCalibrations()
{
    ChannelCalibrations c;
    for (int i = 0; i < 9; ++i)
        c.units << QStringLiteral("u%1").arg(i);
    c.minVoltages = {1, 1, 1, 1, 1};
    c.gains = {2, 2, 2, 2, 2, 2, 2};
    c.maxValues = {3, 3, 3, 3, 3};
    c.minValues = {4, 4, 4, 4, 4};
    c.offsets = {5, 5, 5, 5, 5};
    c.multipliers = {6, 6, 6, 6, 6};
    c.measurementTypes = {1, 1, 1, 1, 1, 1, 1};
    return c;
}

} // namespace

class tst_SetupPages : public QObject
{
    Q_OBJECT
private slots:
    void capitalise_data();
    void capitalise();
    void turkishLetters();
    void stationAndChannelTexts_data();
    void stationAndChannelTexts();
    void stationCode_data();
    void stationCode();
    void startOfDay();
    void checkSetup_emptyNameRefused();
    void checkSetup_takesTheFormAndGeneratesTheCode();
    void checkNames_onlyTheModelsChannels();
    void checkNames_failures();
    void checkCalibrations_activeRowsOnly();
    void checkCalibrations_failures();
    void checkAlarms_fourAlarmsOnly();
    void sendOrder();
};

void tst_SetupPages::capitalise_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("example") << "  su   SEVIYE "
                             << "Su Seviye ";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("only spaces unchanged") << "   "
                                           << "   ";
    QTest::newRow("only tabs unchanged") << "\t\t"
                                         << "\t\t";
    QTest::newRow("one word") << "yAGIS"
                              << "Yagis";
    // The tab stays inside the word; the space marks the input's end.
    QTest::newRow("tab ends the input") << "su\t"
                                        << "Su\t ";
    QTest::newRow("no-break space between words")
        << QString::fromUtf8("a\u00a0\u00a0b") << QString::fromUtf8("A\u00a0b");
    QTest::newRow("NUL dropped") << QString::fromUtf8("s\0u x", 5) << "Su X";
    QTest::newRow("Turkish lower i") << QString::fromUtf8("ılık su") << QString::fromUtf8("Ilık Su");
    QTest::newRow("single space") << " "
                                  << " ";
}

void tst_SetupPages::capitalise()
{
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(setupwizard::capitalise(in), out);
}

void tst_SetupPages::turkishLetters()
{
    QCOMPARE(convertCharacters2English(QString::fromUtf8("ÇçÖöÜüĞğİıŞş")), QStringLiteral("CcOoUuGgIiSs"));
    // Everything else stays, including letters Latin-1 has.
    QCOMPARE(convertCharacters2English(QString::fromUtf8("Âé x-1 ß")), QString::fromUtf8("Âé x-1 ß"));
}

void tst_SetupPages::stationAndChannelTexts_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("station");
    QTest::addColumn<QString>("channel");
    QTest::newRow("istanbul") << "istanbul merkez"
                              << "ISTANBUL MERKEZ"
                              << "Istanbul Merkez";
    QTest::newRow("Şile") << QString::fromUtf8("Şile") << "SILE"
                          << "Sile";
    QTest::newRow("su seviyesi") << "su seviyesi"
                                 << "SU SEVIYESI"
                                 << "Su Seviyesi";
    QTest::newRow("dotless and dotted") << QString::fromUtf8("ığdır İzmir") << "IGDIR IZMIR"
                                        << "Igdir Izmir";
    QTest::newRow("still typing") << QString::fromUtf8("çay ") << "CAY "
                                  << "Cay ";
}

void tst_SetupPages::stationAndChannelTexts()
{
    QFETCH(QString, typed);
    QFETCH(QString, station);
    QFETCH(QString, channel);
    QCOMPARE(stationText(typed), station);
    QCOMPARE(channelNameText(typed), channel);
}

void tst_SetupPages::stationCode_data()
{
    QTest::addColumn<int>("region");
    QTest::addColumn<int>("basin");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("stationNo");
    QTest::addColumn<QString>("code");
    QTest::newRow("TQM510 has no letter") << 1 << 2 << int(DeviceTQM510) << 3 << "01-02-003";
    QTest::newRow("TQC210") << 5 << 12 << int(DeviceTQC210) << 7 << "05-12-L007";
    QTest::newRow("TQB210") << 5 << 12 << int(DeviceTQB210) << 7 << "05-12-L007";
    QTest::newRow("TQF110C") << 255 << 0 << int(DeviceTQF110C) << 65535 << "255-00-D65535";
    QTest::newRow("TQF110P") << 0 << 0 << int(DeviceTQF110P) << 0 << "00-00-D000";
    QTest::newRow("TQD310") << 14 << 3 << int(DeviceTQD310) << 44 << "14-03-G044";
    QTest::newRow("TQA110") << 1 << 1 << int(DeviceTQA110) << 1 << "01-01-001";
    QTest::newRow("unknown") << 1 << 1 << int(DeviceUnknown) << 1 << "01-01-001";
}

void tst_SetupPages::stationCode()
{
    QFETCH(int, region);
    QFETCH(int, basin);
    QFETCH(int, type);
    QFETCH(int, stationNo);
    QFETCH(QString, code);
    QCOMPARE(generateStationCode(region, basin, DeviceType(type), stationNo), code);
}

void tst_SetupPages::startOfDay()
{
    const QStringList items = startOfDayItems();
    QCOMPARE(items.size(), 24);
    QCOMPARE(items.first(), QStringLiteral("00:00"));
    QCOMPARE(items.at(7), QStringLiteral("07:00"));
    QCOMPARE(items.last(), QStringLiteral("23:00"));
    QCOMPARE(startOfDayIndex(7), 7);
    QCOMPARE(startOfDayIndex(24), -1);
    QCOMPARE(startOfDayIndex(-1), -1);
    QCOMPARE(dayStartFromIndex(6, 7), 6);
    // Without a choice the hour read goes back, or 0 when it was no hour.
    QCOMPARE(dayStartFromIndex(-1, 7), 7);
    QCOMPARE(dayStartFromIndex(-1, 99), 0);
}

void tst_SetupPages::checkSetup_emptyNameRefused()
{
    SetupPage page;
    page.stationName = QStringLiteral(" \t ");
    SetupParameters setup;
    setup.stationName = QStringLiteral("KEEP");
    const CheckResult r = checkSetup(&page, &setup);
    QVERIFY(!r.ok);
    QCOMPARE(r.message, QString::fromUtf8("Lütfen geçerli bir istasyon adı girin!"));
    QCOMPARE(setup.stationName, QStringLiteral("KEEP"));
}

void tst_SetupPages::checkSetup_takesTheFormAndGeneratesTheCode()
{
    SetupPage page;
    page.stationName = QStringLiteral("  KURU   DERE ");
    page.stationCode = QStringLiteral("   ");
    page.region = 5;
    page.basin = 12;
    page.stationNo = 7;
    page.sensorOnOffTime = 30;
    page.sensorWaitTime = 180;
    page.startOfDayIndex = 6;
    page.waitForExactHour = true;
    page.rs485Output = true;
    page.keepOldSetups = true;
    SetupParameters setup;
    setup.header.deviceType = DeviceTQC210;
    setup.dayStart = 7;
    setup.setupDigitA = 3;
    setup.setupDigitC = 4;
    QVERIFY(checkSetup(&page, &setup).ok);
    QCOMPARE(page.stationName, QStringLiteral("KURU DERE"));
    QCOMPARE(page.stationCode, QStringLiteral("05-12-L007"));
    QCOMPARE(setup.stationName, QStringLiteral("KURU DERE"));
    QCOMPARE(setup.stationCode, QStringLiteral("05-12-L007"));
    QCOMPARE(setup.region, 5);
    QCOMPARE(setup.basin, 12);
    QCOMPARE(setup.stationNo, 7);
    QCOMPARE(setup.sensorOnOffTime, 30);
    QCOMPARE(setup.sensorWaitTime, 180);
    QCOMPARE(setup.dayStart, 6);
    QVERIFY(setup.waitForExactHour && setup.rs485Output && setup.keepOldSetups);
    // Not on the page: carried through as read.
    QCOMPARE(setup.setupDigitA, 3);
    QCOMPARE(setup.setupDigitC, 4);

    page.stationCode = QStringLiteral(" D02  A3 ");
    QVERIFY(checkSetup(&page, &setup).ok);
    QCOMPARE(setup.stationCode, QStringLiteral("D02 A3"));
}

void tst_SetupPages::checkNames_onlyTheModelsChannels()
{
    ChannelNames names = readNames(3);
    QList<NameRow> rows = threeRows();
    rows[1].status = 0;
    rows[1].name.clear(); // a passive channel needs no name
    rows[1].codeIndex = 0;
    rows[5].name.clear(); // past the model's three channels: never looked at
    rows[2].name = QStringLiteral("  Hava   Sicakligi ");
    QVERIFY(checkNames(rows, &names).ok);
    QCOMPARE(names.activeChannelCount, 2);
    QCOMPARE(names.activeChannels, (QList<int>{0, 2}));
    QCOMPARE(names.channelStates, (QList<int>{1, 0, 1, 1, 1, 1, 1, 1, 1}));
    QCOMPARE(names.names.at(0), QStringLiteral("Kanal 0"));
    QCOMPARE(names.names.at(1), QStringLiteral("Old1")); // passive: kept as read
    QCOMPARE(names.names.at(2), QStringLiteral("Hava Sicakligi"));
    QCOMPARE(names.names.at(5), QStringLiteral("Old5"));
    QCOMPARE(names.codes.at(0), CodeWAL);
    QCOMPARE(names.codes.at(1), CodePR);
    QCOMPARE(names.recordIntervals.mid(0, 4), (QList<int>{10, 60, 12, 60}));
    QCOMPARE(names.minMaxTypes.mid(0, 3), (QList<int>{0, 0, 0}));
    QCOMPARE(names.recordTypes.mid(0, 3), (QList<int>{1, 0, 1}));

    ChannelNames none = readNames(0);
    QVERIFY(checkNames(rows, &none).ok);
    QCOMPARE(none.activeChannelCount, 0);
    QVERIFY(none.activeChannels.isEmpty());

    // A short record read from a device grows instead of being written past.
    ChannelNames shortRecord;
    shortRecord.channelCount = 2;
    QVERIFY(checkNames(rows, &shortRecord).ok);
    QCOMPARE(shortRecord.names, QStringList{"Kanal 0"}); // the passive row writes no name
    QCOMPARE(shortRecord.channelStates, (QList<int>{1, 0}));
}

void tst_SetupPages::checkNames_failures()
{
    ChannelNames names = readNames(9);
    QList<NameRow> rows = threeRows();
    rows[4].name = QStringLiteral("   ");
    CheckResult r = checkNames(rows, &names);
    QVERIFY(!r.ok);
    QCOMPARE(r.message, QString::fromUtf8("Lütfen geçerli bir kanal ismi girin!"));
    QCOMPARE(r.row, 4);
    QCOMPARE(r.column, int(NameText));

    rows[4].name = QStringLiteral("X");
    rows[6].codeIndex = 0;
    r = checkNames(rows, &names);
    QVERIFY(!r.ok);
    QCOMPARE(r.message, QString::fromUtf8("Lütfen geçerli bir ölçüm tipi seçin!"));
    QCOMPARE(r.row, 6);
    QCOMPARE(r.column, int(NameCode));
    rows[6].codeIndex = -1; // no selection at all
    QVERIFY(!checkNames(rows, &names).ok);
}

void tst_SetupPages::checkCalibrations_activeRowsOnly()
{
    QList<CalibrationRow> rows = QVector<CalibrationRow>(9).toList();
    for (int r = 0; r < 9; ++r) {
        rows[r].active = r != 2;
        rows[r].unit = QStringLiteral("U%1").arg(r);
        rows[r].offset = 0.5 + r;
        rows[r].maxValue = 100 + r;
        rows[r].minValue = -r;
        rows[r].measurementType = 0;
        rows[r].gain = 1.25 * r;
        rows[r].multiplier = 2.9; // truncated toward zero
        rows[r].minVoltage = 0.1;
    }
    rows[2].unit.clear();         // passive: no unit needed
    rows[4].measurementType = -1; // read as 3, which neither choice shows
    ChannelCalibrations c = readCalibrations();
    c.measurementTypes[4] = 3;
    QVERIFY(checkCalibrations(rows, &c).ok);
    QCOMPARE(c.units, (QStringList{"U0", "U1", "u2", "U3", "U4", "U5", "U6", "U7", "U8"}));
    QCOMPARE(c.offsets, (QList<float>{0.5f, 1.5f, 5, 3.5f, 4.5f}));
    QCOMPARE(c.maxValues, (QList<float>{100, 101, 3, 103, 104}));
    QCOMPARE(c.minValues, (QList<float>{0, -1, 4, -3, -4}));
    QCOMPARE(c.measurementTypes, (QList<int>{0, 0, 1, 0, 3, 1, 1})); // 5 and 6 not on the page
    QCOMPARE(c.gains, (QList<float>{0, 1.25f, 2, 3.75f, 5, 6.25f, 7.5f}));
    QCOMPARE(c.multipliers, (QList<int>{2, 2, 6, 2, 2}));
    QCOMPARE(c.minVoltages, (QList<float>{0.1f, 0.1f, 1, 0.1f, 0.1f}));
}

void tst_SetupPages::checkCalibrations_failures()
{
    QList<CalibrationRow> rows = QVector<CalibrationRow>(9).toList();
    rows[0].active = true;
    rows[0].unit = QStringLiteral("cm");
    rows[7].active = true;
    ChannelCalibrations c = readCalibrations();
    CheckResult r = checkCalibrations(rows, &c);
    QVERIFY(!r.ok);
    QCOMPARE(r.message, QString::fromUtf8("Lütfen geçerli bir birim seçin!"));
    QCOMPARE(r.row, 7);
    QCOMPARE(r.column, int(CalibrationUnit));

    // One digit per channel goes to the device: 10 or -1 would shift the others.
    rows[7].active = false;
    for (double bad : {10.0, -1.0}) {
        rows[0].multiplier = bad;
        r = checkCalibrations(rows, &c);
        QVERIFY(!r.ok);
        QCOMPARE(r.row, 0);
        QCOMPARE(r.column, int(CalibrationMultiplier));
    }
    rows[0].multiplier = 9.99;
    QVERIFY(checkCalibrations(rows, &c).ok);
    QCOMPARE(c.multipliers.at(0), 9);
}

void tst_SetupPages::checkAlarms_fourAlarmsOnly()
{
    QList<AlarmRow> rows = QVector<AlarmRow>(9).toList();
    for (int r = 0; r < 9; ++r)
        rows[r] = AlarmRow{r % 2, 10.0 + r, 9.0 + r, 1.0 + r, 2.0 + r};
    AlarmParameters a;
    a.alarmFlags = {true, true, true, true, true, false, true, false, true, true, true, false, true};
    a.maximums = {0, 0, 0, 0};
    a.minimums = {0, 0, 0, 0};
    a.maximumResets = {0, 0, 0, 0};
    a.minimumResets = {0, 0, 0, 0};
    QVERIFY(checkAlarms(rows, &a).ok);
    QCOMPARE(a.alarmFlags, (QList<bool>{false, true, false, true, true, false, true, false, true, true, true,
                                        false, true}));
    QCOMPARE(a.maximums, (QList<float>{10, 11, 12, 13}));
    QCOMPARE(a.maximumResets, (QList<float>{9, 10, 11, 12}));
    QCOMPARE(a.minimums, (QList<float>{1, 2, 3, 4}));
    QCOMPARE(a.minimumResets, (QList<float>{2, 3, 4, 5}));
}

void tst_SetupPages::sendOrder()
{
    QVERIFY(!sendEnabled(SendChoice::None, QStringLiteral("1234")));
    QVERIFY(!sendEnabled(SendChoice::All, QString()));
    QVERIFY(sendEnabled(SendChoice::Alarms, QStringLiteral("1")));

    // Everything: names, calibrations, setup, alarms, with a pause before the
    // second and the third.
    QList<Upload> order{firstUpload(SendChoice::All)};
    QList<bool> pauses{false};
    for (Step s = nextStep(SendChoice::All, order.last()); s.upload != Upload::None;
         s = nextStep(SendChoice::All, order.last())) {
        order << s.upload;
        pauses << s.pauseFirst;
    }
    QCOMPARE(order, (QList<Upload>{Upload::Names, Upload::Calibrations, Upload::Setup, Upload::Alarms}));
    QCOMPARE(pauses, (QList<bool>{false, true, true, false}));

    QCOMPARE(firstUpload(SendChoice::Calibrations), Upload::Calibrations);
    QCOMPARE(nextStep(SendChoice::Calibrations, Upload::Calibrations).upload, Upload::None);
    QCOMPARE(firstUpload(SendChoice::Alarms), Upload::Alarms);
    QCOMPARE(nextStep(SendChoice::Alarms, Upload::Alarms).upload, Upload::None);
    QCOMPARE(firstUpload(SendChoice::None), Upload::None);

    QCOMPARE(sendingText(Upload::Names), QString::fromUtf8("Kanal İsimleri Gönderiliyor\nLütfen bekleyin.."));
    QCOMPARE(sendingText(Upload::Setup),
             QString::fromUtf8("Kurulum Bilgileri Gönderiliyor\nLütfen bekleyin.."));
    QCOMPARE(pageTitle(3), QString::fromUtf8("Kanal Kalibrasyonları"));
}

QTEST_GUILESS_MAIN(tst_SetupPages)
#include "tst_setuppages.moc"
