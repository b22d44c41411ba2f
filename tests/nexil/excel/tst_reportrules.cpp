#include "nexil/excel/datalinereader.h"
#include "nexil/excel/reportrules.h"

#include <QtTest>

using namespace report;

// The report sheets' rules on plain values, without a workbook.
class tst_ReportRules : public QObject
{
    Q_OBJECT
private slots:
    void sensorErrors_data();
    void sensorErrors();
    void datesBeforeTimesBeforeOtherTexts();
    void dailyRowsOpenBlocksOnNewDatesAndFullBlocks();
    void aMonthIsOneEntryWhateverOrderTheDeviceWrites();
    void monthTotalIsTheDevicesDailyTotalsWhereThereAreAny();
    void errorsAndRepeatedDaysDoNotCount();
    void yearSummaryUsesMonthlyMeansAndTheYearsTotals();
    void lineScanReadsWhatTheParserReads_data();
    void lineScanReadsWhatTheParserReads();
};

namespace {
Line line(int channel, const char *type, const QString &date, const QString &time, double value)
{
    Line l;
    l.channel = channel;
    l.type = lineType(QLatin1String(type));
    l.date = date;
    l.time = time;
    l.value.number = value;
    return l;
}
} // namespace

void tst_ReportRules::sensorErrors_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("error");
    QTest::newRow("-9999") << -9999.0 << true;
    QTest::newRow("-9999.75") << -9999.75 << true;
    QTest::newRow("-8888.1") << -8888.1 << true;
    QTest::newRow("-9998.99") << -9998.99 << false;
    QTest::newRow("-10000") << -10000.0 << false;
    QTest::newRow("9999") << 9999.0 << false;
    QTest::newRow("0") << 0.0 << false;
}

void tst_ReportRules::sensorErrors()
{
    QFETCH(double, value);
    QFETCH(bool, error);
    QCOMPARE(isSensorError(value), error);
    Value v;
    v.number = value;
    QCOMPARE(isSensorError(v), error);
    v.text = QStringLiteral("-9999"); // a text is shown as it is
    QVERIFY(!isSensorError(v));
}

void tst_ReportRules::datesBeforeTimesBeforeOtherTexts()
{
    QStringList texts{"12:00", "x", "2024-01-01", "00:00", "2023-12-31", "2024-02-30", "09:10", "2024-10-02"};
    std::sort(texts.begin(), texts.end(), &lessThan);
    // 30 February is no date: it sorts with the other texts.
    QCOMPARE(texts, QStringList({"2023-12-31", "2024-01-01", "2024-10-02", "00:00", "09:10", "12:00",
                                 "2024-02-30", "x"}));
    QCOMPARE(parseDate(QStringLiteral("2024-02-29")), QDate(2024, 2, 29));
    QVERIFY(!parseDate(QStringLiteral("2024-2-29")).isValid());
    QVERIFY(!parseDate(QStringLiteral("2023-02-29")).isValid());
}

void tst_ReportRules::dailyRowsOpenBlocksOnNewDatesAndFullBlocks()
{
    DailyRows rows(3);
    struct Expect
    {
        const char *date, *time;
        bool newRow, newBlock;
        int row;
    };
    const Expect steps[] = {
        {"2024-01-01", "10:00", true, false, 0},  // the first block is already there
        {"2024-01-01", "10:00", false, false, 0}, // a second channel of the same time
        {"2024-01-01", "10:10", true, false, 1},  {"2024-01-01", "10:20", true, false, 2},
        {"2024-01-01", "10:30", true, true, 0}, // the block is full
        {"2024-01-02", "00:00", true, true, 0}, // a new date
        {"2024-01-01", "10:40", true, true, 0}, // back to an earlier date: a block of its own
    };
    for (const Expect &e : steps) {
        const DailyRows::Place p = rows.place(QLatin1String(e.date), QLatin1String(e.time));
        QCOMPARE(p.newRow, e.newRow);
        QCOMPARE(p.newBlock, e.newBlock);
        QCOMPARE(p.row, e.row);
    }
}

void tst_ReportRules::aMonthIsOneEntryWhateverOrderTheDeviceWrites()
{
    // Day start 08:00: the day of 31 December ends at 1 January 07:59. The
    // device writes the new calendar day's first instant values, then the
    // summary with MAX and MIN dated by their own times, the day before.
    DailySummaries days;
    const QVector<Line> lines{
        line(0, "INS", "2025-12-31", "20:00", 1),  line(0, "AVG", "2025-12-31", "07:59", 10),
        line(0, "INS", "2026-01-01", "02:00", 2),  line(0, "MAX", "2025-12-31", "20:00", 3),
        line(0, "MIN", "2026-01-01", "02:00", 1),  line(0, "AVG", "2026-01-01", "07:59", 11),
        line(0, "TOT", "2026-01-01", "07:59", 44), line(0, "INS", "2026-01-02", "02:00", 2),
        line(0, "MAX", "2026-01-01", "09:00", 3),  line(0, "AVG", "2026-01-02", "07:59", 12),
        line(0, "INS", "2026-02-01", "02:00", 2),  line(0, "MAX", "2026-01-31", "09:00", 3),
        line(0, "AVG", "2026-02-01", "07:59", 13), line(0, "AVG", "bad", "07:59", 99),
    };
    for (const Line &l : lines)
        days.add(l);
    QCOMPARE(days.months().keys(), QList<QDate>({QDate(2025, 12, 1), QDate(2026, 1, 1), QDate(2026, 2, 1)}));
    const DailySummaries::Month &january = days.months().value(QDate(2026, 1, 1));
    QCOMPARE(january.keys(), QList<QDate>({QDate(2026, 1, 1), QDate(2026, 1, 2)}));
    QCOMPARE(january.value(QDate(2026, 1, 1)).averages.value(0).number, 11.0);
    QCOMPARE(january.value(QDate(2026, 1, 1)).totals.value(0).number, 44.0);
    QVERIFY(january.value(QDate(2026, 1, 2)).totals.isEmpty());
}

void tst_ReportRules::monthTotalIsTheDevicesDailyTotalsWhereThereAreAny()
{
    // Channel 0 (rain) has the device's totals, channel 1 (level) none.
    DailySummaries days;
    for (int d = 1; d <= 3; ++d) {
        const QString date = QStringLiteral("2026-01-0%1").arg(d);
        days.add(line(0, "AVG", date, "07:59", 0.25 * d));
        days.add(line(0, "TOT", date, "07:59", 24.0 * d));
        days.add(line(1, "AVG", date, "07:59", 100.0 + d));
    }
    const QMap<int, Summary> s = DailySummaries::monthSummary(days.months().first());
    QCOMPARE(s.value(0).total, 24.0 + 48 + 72);
    QCOMPARE(s.value(1).total, 101.0 + 102 + 103);
    QCOMPARE(s.value(0).max, 0.75);
    QCOMPARE(s.value(0).maxLabel, QStringLiteral("2026-01-03"));
    QCOMPARE(s.value(1).min, 101.0);
    QCOMPARE(s.value(1).minLabel, QStringLiteral("2026-01-01"));
}

void tst_ReportRules::errorsAndRepeatedDaysDoNotCount()
{
    DailySummaries days;
    days.add(line(0, "AVG", "2026-01-01", "07:59", 5));
    days.add(line(0, "TOT", "2026-01-01", "07:59", 50));
    days.add(line(0, "AVG", "2026-01-02", "07:59", -9999));
    days.add(line(0, "TOT", "2026-01-02", "07:59", -9999));
    days.add(line(0, "AVG", "2026-01-03", "07:59", 7));
    days.add(line(0, "TOT", "2026-01-03", "07:59", 70));
    // The same download saved twice repeats its lines.
    days.add(line(0, "AVG", "2026-01-03", "07:59", 7));
    days.add(line(0, "TOT", "2026-01-03", "07:59", 70));
    // A channel whose every value is an error has nothing to summarise.
    days.add(line(1, "AVG", "2026-01-01", "07:59", -9999));
    const DailySummaries::Month &m = days.months().first();
    const QMap<int, Summary> s = DailySummaries::monthSummary(m);
    QCOMPARE(s.value(0).count, 2);
    QCOMPARE(s.value(0).min, 5.0);
    QCOMPARE(s.value(0).total, 120.0);
    QCOMPARE(s.value(1).count, 0);
    QCOMPARE(DailySummaries::monthMeans(m), (QMap<int, double>{{0, 6.0}}));
}

void tst_ReportRules::yearSummaryUsesMonthlyMeansAndTheYearsTotals()
{
    DailySummaries days;
    days.add(line(0, "AVG", "2025-01-01", "23:59", 2));
    days.add(line(0, "AVG", "2025-01-02", "23:59", 4)); // January's mean: 3
    days.add(line(0, "AVG", "2025-03-05", "23:59", 1));
    days.add(line(0, "TOT", "2025-03-05", "23:59", 30));
    days.add(line(1, "AVG", "2025-01-01", "23:59", 8));
    days.add(line(1, "AVG", "2025-03-01", "23:59", 9));
    QVector<const DailySummaries::Month *> months;
    for (const DailySummaries::Month &m : days.months())
        months.append(&m);
    const QMap<int, Summary> y = DailySummaries::yearSummary(months);
    QCOMPARE(y.value(0).max, 3.0);
    QCOMPARE(y.value(0).maxLabel, QStringLiteral("2025-01"));
    QCOMPARE(y.value(0).min, 1.0);
    QCOMPARE(y.value(0).minLabel, QStringLiteral("2025-03"));
    // The year has device totals for channel 0: only they add up.
    QCOMPARE(y.value(0).total, 30.0);
    QCOMPARE(y.value(1).total, 17.0);
}

namespace {
QString describe(const Line &l)
{
    return QStringLiteral("%1 %2 %3 %4 [%5] %6 [%7]")
        .arg(l.channel)
        .arg(int(l.type))
        .arg(l.date, l.time, l.valueText)
        .arg(l.value.number)
        .arg(l.value.text);
}

// Every line the reader gives, with its error state at the end.
QStringList readAll(const QString &path, bool scan, const QVector<int> &channels, bool instantOnly)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot open")};
    DataLineReader reader(&file, scan);
    reader.setFilter(channels, instantOnly);
    Header header;
    QStringList out;
    out << QStringLiteral("header %1 %2 %3")
               .arg(reader.readHeader(&header))
               .arg(header.stationCode)
               .arg(header.channels.size());
    Line l;
    while (reader.readLine(&l))
        out << describe(l);
    out << QStringLiteral("error %1 %2")
               .arg(reader.hasError())
               .arg(reader.hasError() ? reader.errorText() : QString());
    return out;
}
} // namespace

void tst_ReportRules::lineScanReadsWhatTheParserReads_data()
{
    const QByteArray head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<nexil>\n <header>\n  <station><name>Yeşilırmak "
        "Köprüsü &amp; 𝄞</name><code>D01A003</code></station>\n  <setup><channels><channel "
        "id=\"0\"><name>Seviye</name><unit>cm</unit></channel></channels></setup>\n </header>\n "
        "<data>\n";
    const QByteArray plain =
        "  <line channel=\"0\" dataType=\"INS\" date=\"2026-12-06\" time=\"14:45\" "
        "setTime=\"true\" value=\"122.6000\"/>\r\n"
        "  <line channel=\"1\" dataType=\"AVG\" date=\"2026-12-06\" time=\"00:00\" value=\"-9999\"/>\n"
        "  <line channel='2' dataType='INS' date='2026-12-06' time='15:00' value='x>'/>\n";
    const QByteArray tail = " </data>\n</nexil>\n";
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("as written") << head + plain + plain + tail;
    QTest::newRow("entity in a value") << head + plain +
                                              "<line channel=\"0\" dataType=\"INS\" date=\"2026-12-07\" "
                                              "time=\"10:00\" value=\"1&#46;5\"/>\n" +
                                              plain + tail;
    QTest::newRow("two on a line, a comment, another element")
        << head + plain +
               "<line channel=\"0\" value=\"1\"/><line channel=\"0\" value=\"2\"/>\n<!-- x -->\n<note/>\n" +
               plain + tail;
    QTest::newRow("duplicate attribute")
        << head + plain + "<line channel=\"0\" channel=\"1\" value=\"1\"/>\n" + plain + tail;
    QTest::newRow("bad channels") << head +
                                         "<line channel=\"-1\" value=\"1\"/>\n<line channel=\" 3\" "
                                         "value=\"1\"/>\n<line channel=\"99\" value=\"1\"/>\n" +
                                         plain + tail;
    QTest::newRow("cut short") << head + plain + "  <line channel=\"0\" dataType=\"INS\" date=";
    QTest::newRow("broken after the data") << head + plain + tail + "<extra>";
    QTest::newRow("second data element") << head + plain + " </data>\n <data>\n" + plain + tail;
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF") + head + plain + tail;
    QTest::newRow("non-ASCII value") << head + plain +
                                            "<line channel=\"0\" dataType=\"INS\" value=\"ç\"/>\n" + tail;
    QTest::newRow("control character") << head + "<line channel=\"0\" value=\"1\x01\"/>\n" + plain + tail;
}

void tst_ReportRules::lineScanReadsWhatTheParserReads()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("D01A003_06122026.xml"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    for (const bool instantOnly : {false, true}) {
        for (const QVector<int> &channels : {QVector<int>(), QVector<int>{0, 2}}) {
            const QStringList parsed = readAll(path, false, channels, instantOnly);
            QCOMPARE(readAll(path, true, channels, instantOnly), parsed);
        }
    }
    // A file replaced under its name while being read (a save is a rename)
    // is read as it was when opened.
    const QStringList before = readAll(path, false, {}, false);
    QFile opened(path);
    QVERIFY(opened.open(QIODevice::ReadOnly));
    DataLineReader reader(&opened);
    Header header;
    reader.readHeader(&header);
    const QString newer = dir.filePath(QStringLiteral("newer.xml"));
    QFile replacement(newer);
    QVERIFY(replacement.open(QIODevice::WriteOnly));
    replacement.write(QByteArray(content).replace("2026-12-06", "2030-01-01"));
    replacement.close();
    QVERIFY(QFile::remove(path) && QFile::rename(newer, path));
    QStringList after{QStringLiteral("header %1 %2 %3")
                          .arg(!reader.hasError())
                          .arg(header.stationCode)
                          .arg(header.channels.size())};
    Line l;
    while (reader.readLine(&l))
        after << describe(l);
    after << QStringLiteral("error %1 %2")
                 .arg(reader.hasError())
                 .arg(reader.hasError() ? reader.errorText() : QString());
    QCOMPARE(after, before);
}

QTEST_GUILESS_MAIN(tst_ReportRules)
#include "tst_reportrules.moc"
