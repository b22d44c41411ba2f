#include "bookreader.h"
#include "datafilewriter.h"
#include "nexil/excel/excelconverter.h"
#include "nexil/files/filemanager.h"

#include <QDate>
#include <QDomDocument>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using datafile::Channel;
using datafile::Line;

// Data files written here, converted, and read back by other readers.
class tst_ExcelConverter : public QObject
{
    Q_OBJECT
private slots:
    void types_data();
    void emptyFileGivesOneHeaderBlockPerSheet_data() { types_data(); }
    void emptyFileGivesOneHeaderBlockPerSheet();
    void dailyBlocksSplitAfter34RowsAndOnANewDate_data() { types_data(); }
    void dailyBlocksSplitAfter34RowsAndOnANewDate();
    void channelIdsAboveNineLieOutsideTheFormattedColumns();
    void monthlyAndAnnualFiguresMatchTheData_data() { types_data(); }
    void monthlyAndAnnualFiguresMatchTheData();
    void pivotSheetsHoldValuesAtTheirDateAndTime_data() { types_data(); }
    void pivotSheetsHoldValuesAtTheirDateAndTime();
    void monthlySheetHasOneBlockPerMonthInDeviceOrder_data() { types_data(); }
    void monthlySheetHasOneBlockPerMonthInDeviceOrder();
    void sensorErrorsAreMarkedCellsThatFormulasSkip_data() { types_data(); }
    void sensorErrorsAreMarkedCellsThatFormulasSkip();
    void printedReportsShowOneBlockPerPageWithItsLogo_data() { types_data(); }
    void printedReportsShowOneBlockPerPageWithItsLogo();
    void badInputLeavesNoWorkbook();
    void unwritableOutputKeepsTheEarlierWorkbook();
    void documentFormWritesBesideTheFileOfTheFirstForm();
    void longXlsDailySheetContinuesOnANewSheet();
    void libreOfficeShowsTheReports();
    void eventsRunBetweenStepsOnlyOnTheGuiThread();
    void fileManagerExportsAfterEverySave();

private:
    QString dataFile(const QString &name, const QVector<Channel> &channels, const QVector<Line> &lines);
    bookreader::Book convertAndRead(const QString &xml, int type, bool pivot = false,
                                    QStringList *messages = nullptr, bool valuesOnly = false,
                                    const QString &rows = QString());

    QTemporaryDir m_dir;
    const QVector<Channel> m_channels{
        {0, QStringLiteral("WL"), QStringLiteral("Su Seviyesi"), QStringLiteral("cm")},
        {1, QStringLiteral("AT"), QStringLiteral("Hava Sıcaklığı"), QStringLiteral("°C")}};
};

void tst_ExcelConverter::types_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("xls") << int(ExcelConverter::Xls);
    QTest::newRow("xlsx") << int(ExcelConverter::Xlsx);
}

QString tst_ExcelConverter::dataFile(const QString &name, const QVector<Channel> &channels,
                                     const QVector<Line> &lines)
{
    const QString path = m_dir.filePath(name + QStringLiteral(".xml"));
    if (!datafile::write(path, channels, lines))
        return QString();
    return path;
}

bookreader::Book tst_ExcelConverter::convertAndRead(const QString &xml, int type, bool pivot,
                                                    QStringList *messages, bool valuesOnly,
                                                    const QString &rows)
{
    ExcelConverter converter;
    QSignalSpy msg(&converter, &ExcelConverter::message);
    QSignalSpy err(&converter, &ExcelConverter::error);
    bookreader::Book book;
    if (!converter.convert(xml, ExcelConverter::ExcelType(type), pivot)) {
        book.error = QStringLiteral("convert failed: ") + converter.lastError() + converter.errorDetail();
        return book;
    }
    if (!err.isEmpty()) {
        book.error = QStringLiteral("error signal on success");
        return book;
    }
    if (messages)
        for (const QList<QVariant> &m : msg)
            messages->append(m.at(0).toString());
    return bookreader::read(converter.outputPath(), valuesOnly, rows);
}

void tst_ExcelConverter::emptyFileGivesOneHeaderBlockPerSheet()
{
    QFETCH(int, type);
    const QString xml = dataFile(QStringLiteral("Station_01012024"), m_channels, {});
    QStringList messages;
    const bookreader::Book book = convertAndRead(xml, type, false, &messages);
    QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
    const QString out = m_dir.filePath(type == ExcelConverter::Xls ? QStringLiteral("Station_01012024.xls")
                                                                   : QStringLiteral("Station_01012024.xlsx"));
    QVERIFY(QFile::exists(out));
    QCOMPARE(messages, QStringList({"Loading xml", "Creating daily page", "Creating monthly page",
                                    "Creating annual page", "Writing daily data", "Writing monthly data",
                                    "Writing annual data", "Saving file"}));
    QCOMPARE(book.names(), QStringList({"Daily", "Monthly", "Annual"}));
    for (const bookreader::Sheet &s : book.sheets) {
        QCOMPARE(s.text(1, 1), QStringLiteral("Station Name"));
        QCOMPARE(s.text(2, 1), QStringLiteral("Station Code"));
        QCOMPARE(s.text(3, 1), QStringLiteral("Setup Timestamp"));
        QCOMPARE(s.text(1, 3), QStringLiteral("Kızılırmak - Söğütlü"));
        QCOMPARE(s.text(2, 3), QStringLiteral("D15A012"));
        QCOMPARE(s.text(3, 3), QStringLiteral("2024-01-01 08:00"));
        for (int r = 1; r <= 3; ++r) {
            QVERIFY(s.isMerged(r, 1, r, 2));
            QVERIFY(s.isMerged(r, 3, r, 5));
        }
        QCOMPARE(s.text(7, 1),
                 s.name == QLatin1String("Annual") ? QStringLiteral("Month") : QStringLiteral("Date"));
        QCOMPARE(s.text(7, 2), s.name == QLatin1String("Daily") ? QStringLiteral("Time") : QString());
        QVERIFY(s.isMerged(7, 1, 8, 1));
        QCOMPARE(s.text(7, 3), QStringLiteral("Su Seviyesi"));
        QCOMPARE(s.text(8, 3), QStringLiteral("cm"));
        QCOMPARE(s.text(7, 4), QStringLiteral("Hava Sıcaklığı"));
        QCOMPARE(s.text(8, 4), QStringLiteral("°C"));
        QVERIFY(s.bold(7, 3) && s.filled(7, 3));
        QVERIFY(s.lastRow() < 50); // one block
        // Widths as the writers store them (7-pixel characters plus padding).
        QCOMPARE(qRound(s.width(0) * 100), 729);
        QCOMPARE(qRound(s.width(2) * 100), 1086);
        QCOMPARE(qRound(s.width(12) * 100), 1314);
        QCOMPARE(qRound(s.width(13) * 100), 200);
        QCOMPARE(s.margins, QJsonArray({0.4, 0.4, 0.5, 0.5}));
        if (type == ExcelConverter::Xlsx) {
            QJsonArray logo; // braces around a single array would copy it
            logo.append(QJsonArray{1, 10});
            QCOMPARE(s.images, logo);
        }
    }
    const QStringList daily{"Time", "MIN", "Time", "MAX", "AVG", "TOT"};
    for (int i = 0; i < daily.size(); ++i)
        QCOMPARE(book.sheet("Daily")->text(44 + i, 1), daily.at(i));
    const QVector<QPair<int, QString>> summary{{0, "MAX"}, {1, "Date"}, {3, "MIN"}, {4, "Date"}, {6, "TOT"}};
    for (const auto &row : summary) {
        QCOMPARE(book.sheet("Monthly")->text(41 + row.first, 1), row.second);
        QCOMPARE(book.sheet("Annual")->text(22 + row.first, 1), row.second);
    }
}

void tst_ExcelConverter::dailyBlocksSplitAfter34RowsAndOnANewDate()
{
    QFETCH(int, type);
    QVector<Line> lines;
    const QTime start(0, 0);
    auto ins = [&](const QString &date, int i) {
        const QString t = start.addSecs(600 * i).toString(QStringLiteral("hh:mm"));
        lines.append({0, "INS", date, t, 100 + i + 0.1234});
        lines.append({1, "INS", date, t, -i - 0.5});
    };
    for (int i = 0; i < 40; ++i)
        ins(QStringLiteral("2024-03-05"), i);
    lines.append({0, "MIN", "2024-03-05", "00:00", 100.1234});
    lines.append({0, "MAX", "2024-03-05", "06:30", 139.1234});
    lines.append({0, "AVG", "2024-03-05", "08:00", 119.6234});
    lines.append({0, "TOT", "2024-03-05", "08:00", 4784.936});
    for (int i = 0; i < 3; ++i)
        ins(QStringLiteral("2024-03-06"), i);
    const bookreader::Book book = convertAndRead(dataFile(QStringLiteral("forty"), m_channels, lines), type);
    QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
    const bookreader::Sheet &d = *book.sheet("Daily");
    auto rowOf = [](int i) { return i < 34 ? 9 + i : 50 + 9 + (i - 34); };
    for (int i = 0; i < 40; ++i) {
        const int r = rowOf(i);
        QCOMPARE(d.text(r, 1), QStringLiteral("2024-03-05"));
        QCOMPARE(d.text(r, 2), start.addSecs(600 * i).toString(QStringLiteral("hh:mm")));
        QCOMPARE(d.number(r, 3), 100 + i + 0.1234);
        QCOMPARE(d.number(r, 4), -i - 0.5);
        QCOMPARE(d.format(r, 3), QStringLiteral("0.0000"));
    }
    QVERIFY(!d.has(65, 1)); // the second block ends after six rows
    // The day's summary follows it into its last block.
    QCOMPARE(d.text(94, 3), QStringLiteral("00:00"));
    QCOMPARE(d.number(95, 3), 100.1234);
    QCOMPARE(d.text(96, 3), QStringLiteral("06:30"));
    QCOMPARE(d.number(97, 3), 139.1234);
    QCOMPARE(d.number(98, 3), 119.6234);
    QCOMPARE(d.number(99, 3), 4784.936);
    QVERIFY(!d.has(45, 3));
    // A new date opens a third block with its own headers.
    QCOMPARE(d.text(107, 3), QStringLiteral("Su Seviyesi"));
    QCOMPARE(d.text(101, 3), QStringLiteral("Kızılırmak - Söğütlü"));
    QCOMPARE(d.text(109, 1), QStringLiteral("2024-03-06"));
    QCOMPARE(d.text(111, 2), QStringLiteral("00:20"));
    QVERIFY(d.lastRow() < 150);
}

void tst_ExcelConverter::channelIdsAboveNineLieOutsideTheFormattedColumns()
{
    const QVector<Channel> channels{{0, "WL", "Level", "m"}, {11, "RN", "Rain", "mm"}};
    const QVector<Line> lines{{0, "INS", "2024-01-01", "10:00", 1.5},
                              {11, "INS", "2024-01-01", "10:00", 2.25}};
    const bookreader::Book book =
        convertAndRead(dataFile(QStringLiteral("eleven"), channels, lines), ExcelConverter::Xls);
    QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
    const bookreader::Sheet &d = *book.sheet("Daily");
    QCOMPARE(d.text(7, 14), QStringLiteral("Rain"));
    QCOMPARE(d.text(8, 14), QStringLiteral("mm"));
    QCOMPARE(d.number(9, 14), 2.25);
    QVERIFY(!d.filled(7, 14));
    QCOMPARE(d.format(9, 14), QStringLiteral("General"));
    QVERIFY(d.filled(7, 3));
    QCOMPARE(d.format(9, 3), QStringLiteral("0.0000"));
}

void tst_ExcelConverter::monthlyAndAnnualFiguresMatchTheData()
{
    QFETCH(int, type);
    // Daily lines from 2023-11-20 to 2024-02-10; channel 1 stays far below
    // -9999 so that no made-up starting extreme can win.
    QRandomGenerator rng(42);
    QVector<Line> lines;
    struct Stat
    {
        double max = 0, min = 0, sum = 0;
        int n = 0;
        QString maxDate, minDate;
        void add(double v, const QString &d)
        {
            if (n == 0 || v > max) {
                max = v;
                maxDate = d;
            }
            if (n == 0 || v < min) {
                min = v;
                minDate = d;
            }
            sum += v;
            ++n;
        }
    };
    QMap<QString, Stat> month[2]; // "yyyy-MM" -> stats of the daily averages
    QMap<QString, double> yearTotal[2];
    QMap<QString, QStringList> datesOfMonth;
    QMap<QString, QVector<double>> avgOf[2];
    for (QDate d(2023, 11, 20); d <= QDate(2024, 2, 10); d = d.addDays(1)) {
        const QString date = d.toString(Qt::ISODate);
        datesOfMonth[date.left(7)].append(date);
        for (int ch = 0; ch < 2; ++ch) {
            lines.append({ch, "INS", date, "12:00", 1.0});
            // Rounded as the data file holds it.
            const double avg =
                QString::number(ch == 0 ? rng.bounded(500.0) : -10000 - rng.bounded(10000.0), 'f', 4)
                    .toDouble();
            lines.append({ch, "AVG", date, "23:59", avg});
            month[ch][date.left(7)].add(avg, date);
            yearTotal[ch][date.left(4)] += avg;
            avgOf[ch][date].append(avg);
        }
    }
    const bookreader::Book book = convertAndRead(dataFile(QStringLiteral("months"), m_channels, lines), type);
    QVERIFY2(book.error.isEmpty(), qPrintable(book.error));

    const bookreader::Sheet &m = *book.sheet("Monthly");
    int block = 0;
    for (auto it = datesOfMonth.cbegin(); it != datesOfMonth.cend(); ++it, ++block) {
        const int r = block * 50;
        for (int i = 0; i < it->size(); ++i) {
            QCOMPARE(m.text(r + 9 + i, 1), it->at(i));
            for (int ch = 0; ch < 2; ++ch)
                QCOMPARE(m.number(r + 9 + i, 3 + ch), avgOf[ch][it->at(i)].at(0));
        }
        QVERIFY(!m.has(r + 9 + it->size(), 1));
        for (int ch = 0; ch < 2; ++ch) {
            const Stat &s = month[ch][it.key()];
            QCOMPARE(m.number(r + 41, 3 + ch), s.max);
            QCOMPARE(m.text(r + 42, 3 + ch), s.maxDate);
            QCOMPARE(m.number(r + 44, 3 + ch), s.min);
            QCOMPARE(m.text(r + 45, 3 + ch), s.minDate);
            QCOMPARE(m.number(r + 47, 3 + ch), s.sum);
            QCOMPARE(m.format(r + 41, 3 + ch), QStringLiteral("0.0000"));
        }
        QCOMPARE(m.text(r + 7, 3), QStringLiteral("Su Seviyesi"));
    }
    QCOMPARE(block, 4);
    QVERIFY(m.lastRow() < 200);

    const bookreader::Sheet &a = *book.sheet("Annual");
    const QStringList years{"2023", "2024"};
    for (int y = 0; y < 2; ++y) {
        const int r = y * 50;
        for (int ch = 0; ch < 2; ++ch) {
            Stat ofMeans;
            for (int mo = 1; mo <= 12; ++mo) {
                const QString label = QStringLiteral("%1-%2").arg(years[y]).arg(mo, 2, 10, QLatin1Char('0'));
                QCOMPARE(a.text(r + 8 + mo, 1), label);
                if (!month[ch].contains(label)) {
                    QVERIFY(!a.has(r + 8 + mo, 3 + ch));
                    continue;
                }
                const double mean = month[ch][label].sum / month[ch][label].n;
                QCOMPARE(a.number(r + 8 + mo, 3 + ch), mean);
                ofMeans.add(mean, label);
            }
            QCOMPARE(a.number(r + 22, 3 + ch), ofMeans.max);
            QCOMPARE(a.text(r + 23, 3 + ch), ofMeans.maxDate);
            QCOMPARE(a.number(r + 25, 3 + ch), ofMeans.min);
            QCOMPARE(a.text(r + 26, 3 + ch), ofMeans.minDate);
            QCOMPARE(a.number(r + 28, 3 + ch), yearTotal[ch][years[y]]);
        }
    }
    QVERIFY(a.lastRow() < 100);
}

void tst_ExcelConverter::pivotSheetsHoldValuesAtTheirDateAndTime()
{
    QFETCH(int, type);
    const QVector<Channel> channels{{0, "WL", "Su Seviyesi", "cm"},
                                    {1, "WL", "Su Seviyesi", "cm"}, // same name: made unique
                                    {2, "AT", "Temp. [C] / upper gauge station", "C"}};
    const QStringList dates{"2024-02-29", "2023-12-31", "2024-01-01"};
    const QStringList times{"23:50", "00:00", "09:10", "12:00"};
    QVector<Line> lines;
    QMap<QPair<QString, QString>, double> expected[3];
    for (int k = 0; k < dates.size() * times.size(); ++k) {
        const QString d = dates.at(k % dates.size());
        const QString t = times.at((k * 7) % times.size());
        for (int ch = 0; ch < 3; ++ch) {
            const double v = ch * 1000 + k + 0.0625;
            lines.append({ch, "INS", d, t, v});
            expected[ch][{d, t}] = v;
        }
        lines.append({0, "AVG", d, t, -1}); // not an instant value: not pivoted
    }
    QStringList messages;
    const bookreader::Book book =
        convertAndRead(dataFile(QStringLiteral("pivot"), channels, lines), type, true, &messages);
    QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
    const QStringList names{"Su Seviyesi_Pivot", "Su Seviyesi (2)_Pivot", "Temp. _C_ _ upper gauge s_Pivot"};
    QCOMPARE(book.names(), QStringList({"Daily", "Monthly", "Annual"}) + names);
    QCOMPARE(messages.mid(7, 4),
             QStringList({"Writing Su Seviyesi pivot page", "Writing Su Seviyesi pivot page",
                          "Writing Temp. [C] / upper gauge station pivot page", "Saving file"}));
    const QStringList sortedDates{"2023-12-31", "2024-01-01", "2024-02-29"};
    const QStringList sortedTimes{"00:00", "09:10", "12:00", "23:50"};
    for (int ch = 0; ch < 3; ++ch) {
        const bookreader::Sheet &p = *book.sheet(names[ch]);
        QCOMPARE(p.text(0, 0), QStringLiteral("Date"));
        for (int i = 0; i < sortedDates.size(); ++i)
            QCOMPARE(p.text(i + 1, 0), sortedDates[i]);
        for (int j = 0; j < sortedTimes.size(); ++j)
            QCOMPARE(p.text(0, j + 1), sortedTimes[j]);
        for (int i = 0; i < sortedDates.size(); ++i)
            for (int j = 0; j < sortedTimes.size(); ++j) {
                const auto key = qMakePair(sortedDates[i], sortedTimes[j]);
                if (expected[ch].contains(key))
                    QCOMPARE(p.number(i + 1, j + 1), expected[ch][key]);
                else
                    QVERIFY(!p.has(i + 1, j + 1));
            }
        QVERIFY(p.lastRow() == 3);
    }
}

namespace {
// Lines as a device with day start 08:00 writes them from the day that starts
// on `from` to the one that starts on `to`: the instant values of a day
// 08:00 to 07:00, then its MAX and MIN, dated by their own times (the earlier
// calendar day for the maximum), and its AVG and TOT stamped the next 07:59.
// Channel 0 is a level without totals, channel 1 rain with the device's
// daily totals. Returns the expected summary per "yyyy-MM-dd" of the stamp.
struct DeviceDay
{
    double levelAvg, rainAvg, rainTot;
};
QMap<QString, DeviceDay> deviceLines(QVector<Line> *lines, const QDate &from, const QDate &to)
{
    QMap<QString, DeviceDay> days;
    int n = 0;
    for (QDate d = from; d <= to; d = d.addDays(1), ++n) {
        const QString today = d.toString(Qt::ISODate), next = d.addDays(1).toString(Qt::ISODate);
        const double level[4] = {100.0 + n, 110.0 + n, 105.0 + n, 95.0 + n};
        const double rain[4] = {0, 0.2 * (n % 3), 1.4, 0};
        const QString times[4] = {"08:00", "14:00", "20:00", "02:00"};
        for (int i = 0; i < 4; ++i) {
            const QString &date = i < 3 ? today : next;
            lines->append({0, "INS", date, times[i], level[i]});
            lines->append({1, "INS", date, times[i], rain[i]});
        }
        lines->append({0, "MAX", today, "14:00", level[1]});
        lines->append({1, "MAX", today, "20:00", 1.4});
        lines->append({0, "MIN", next, "02:00", level[3]});
        lines->append({1, "MIN", today, "08:00", 0});
        DeviceDay day{(level[0] + level[1] + level[2] + level[3]) / 4, (rain[1] + 1.4) / 4, rain[1] + 1.4};
        // Rounded as the data file holds them.
        for (double *v : {&day.levelAvg, &day.rainAvg, &day.rainTot})
            *v = QString::number(*v, 'f', 4).toDouble();
        lines->append({0, "AVG", next, "07:59", day.levelAvg});
        lines->append({1, "AVG", next, "07:59", day.rainAvg});
        lines->append({0, "TOT", next, "07:59", -9999}); // a level has no total
        lines->append({1, "TOT", next, "07:59", day.rainTot});
        days.insert(next, day);
    }
    return days;
}
} // namespace

void tst_ExcelConverter::monthlySheetHasOneBlockPerMonthInDeviceOrder()
{
    QFETCH(int, type);
    QVector<Line> lines;
    // Stamps from 29 December to 2 February: three months.
    const QMap<QString, DeviceDay> days = deviceLines(&lines, QDate(2025, 12, 28), QDate(2026, 2, 1));
    const bookreader::Book book = convertAndRead(dataFile(QStringLiteral("device"), m_channels, lines), type);
    QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
    const bookreader::Sheet &m = *book.sheet("Monthly");
    QVERIFY2(m.lastRow() < 150, qPrintable(QString::number(m.lastRow())));
    const QStringList months{"2025-12", "2026-01", "2026-02"};
    for (int b = 0; b < months.size(); ++b) {
        const int r = b * 50;
        QCOMPARE(m.text(r + 1, 1), QStringLiteral("Station Name"));
        QStringList dates;
        for (auto it = days.cbegin(); it != days.cend(); ++it)
            if (it.key().startsWith(months[b]))
                dates << it.key();
        double levelMax = -1e9, rainSum = 0, levelSum = 0;
        QString levelMaxDate;
        for (int i = 0; i < dates.size(); ++i) {
            const DeviceDay &d = days[dates[i]];
            QCOMPARE(m.text(r + 9 + i, 1), dates[i]);
            QCOMPARE(m.number(r + 9 + i, 3), d.levelAvg);
            QCOMPARE(m.number(r + 9 + i, 4), d.rainAvg);
            if (d.levelAvg > levelMax) {
                levelMax = d.levelAvg;
                levelMaxDate = dates[i];
            }
            rainSum += d.rainTot;
            levelSum += d.levelAvg;
        }
        QVERIFY(!m.has(r + 9 + dates.size(), 1));
        QCOMPARE(m.number(r + 41, 3), levelMax);
        QCOMPARE(m.text(r + 42, 3), levelMaxDate);
        // Rain adds up the device's daily totals; the level, without any,
        // its daily averages.
        QCOMPARE(m.number(r + 47, 4), rainSum);
        QCOMPARE(m.number(r + 47, 3), levelSum);
    }
    const bookreader::Sheet &a = *book.sheet("Annual");
    double rain2026 = 0;
    for (auto it = days.cbegin(); it != days.cend(); ++it)
        if (it.key().startsWith(QLatin1String("2026")))
            rain2026 += it->rainTot;
    QCOMPARE(a.text(59, 1), QStringLiteral("2026-01"));
    QCOMPARE(a.number(50 + 28, 4), rain2026);
}

void tst_ExcelConverter::sensorErrorsAreMarkedCellsThatFormulasSkip()
{
    QFETCH(int, type);
    const QVector<Line> lines{
        {0, "INS", "2026-01-01", "10:00", 12.5},  {1, "INS", "2026-01-01", "10:00", -9999},
        {0, "INS", "2026-01-01", "10:15", -9999}, {1, "INS", "2026-01-01", "10:15", 12345.6789},
        {0, "MAX", "2026-01-01", "10:00", 12.5},  {1, "MAX", "2026-01-01", "10:15", 12345.6789},
        {0, "AVG", "2026-01-01", "23:59", 12.5},  {1, "AVG", "2026-01-01", "23:59", -9999},
        {0, "AVG", "2026-01-02", "23:59", 14.5}};
    const bookreader::Book book =
        convertAndRead(dataFile(QStringLiteral("errors"), m_channels, lines), type, true);
    QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
    auto marked = [](const bookreader::Sheet &s, int r, int c) {
        return s.text(r, c) == QLatin1String("Err") && s.color(r, c) == QLatin1String("808080");
    };
    const bookreader::Sheet &d = *book.sheet("Daily");
    QCOMPARE(d.number(9, 3), 12.5);
    QVERIFY(marked(d, 9, 4));
    QVERIFY(marked(d, 10, 3));
    QCOMPARE(d.number(10, 4), 12345.6789);
    QVERIFY(marked(d, 48, 4));
    QCOMPARE(d.number(47, 4), 12345.6789);

    const bookreader::Sheet &m = *book.sheet("Monthly");
    QVERIFY(marked(m, 9, 4));
    QCOMPARE(m.number(10, 3), 14.5);
    QCOMPARE(m.number(44, 3), 12.5); // MIN of the values, not of the error
    QVERIFY(!m.has(44, 4));

    const bookreader::Sheet &p = *book.sheet("Hava Sıcaklığı_Pivot");
    QVERIFY(marked(p, 1, 1));
    QCOMPARE(p.number(1, 2), 12345.6789);
    // "12345.6789" needs ten characters and some room.
    QVERIFY2(p.width(1) >= 11 && p.width(2) >= 11, qPrintable(QString::number(p.width(2))));
    QVERIFY(marked(*book.sheet("Su Seviyesi_Pivot"), 1, 2));
}

void tst_ExcelConverter::printedReportsShowOneBlockPerPageWithItsLogo()
{
    QFETCH(int, type);
    if (bookreader::libreOffice().isEmpty() || QStandardPaths::findExecutable("pdfimages").isEmpty())
        QSKIP("LibreOffice or pdfimages is not installed");
    // Two daily blocks for the first day and one for the second; one month
    // and one year.
    QVector<Line> lines;
    for (int i = 0; i < 40; ++i)
        lines.append({0, "INS", "2026-01-05", QTime(0, 0).addSecs(900 * i).toString("hh:mm"), 1.0 + i});
    lines.append({0, "AVG", "2026-01-05", "23:59", 20.5});
    lines.append({0, "INS", "2026-01-06", "00:00", 3});
    lines.append({0, "AVG", "2026-01-06", "23:59", 3});
    const QString xml = dataFile(QStringLiteral("print%1").arg(type), m_channels, lines);
    ExcelConverter converter;
    QVERIFY(converter.convert(xml, ExcelConverter::ExcelType(type)));
    const QString work = m_dir.filePath(QStringLiteral("print%1").arg(type));

    // The print setup as a reader sees it (LibreOffice reads the .xls).
    const QString xlsx =
        type == ExcelConverter::Xlsx
            ? converter.outputPath()
            : bookreader::libreOfficeConvert(converter.outputPath(), QStringLiteral("xlsx"), work);
    const bookreader::Book book = bookreader::read(xlsx);
    QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
    const QJsonObject daily = book.sheet("Daily")->page;
    QVERIFY(daily.value("landscape").toBool());
    QCOMPARE(daily.value("paper").toInt(), 9);
    QCOMPARE(daily.value("rowBreaks").toArray(), QJsonArray({50, 100}));
    QVERIFY(daily.value("area").toString().endsWith(QLatin1String("$A$1:$N$150")));
    const int scale = daily.value("scale").toInt();
    QVERIFY2(scale >= 50 && scale < 100, qPrintable(QString::number(scale)));

    // Printed: a page per block, each with its logo.
    const QString pdf = bookreader::libreOfficeConvert(converter.outputPath(), QStringLiteral("pdf"), work);
    QVERIFY(!pdf.isEmpty());
    QCOMPARE(bookreader::picturesPerPage(pdf), QVector<int>(3 + 1 + 1, 1));
}

void tst_ExcelConverter::badInputLeavesNoWorkbook()
{
    ExcelConverter converter;
    QSignalSpy err(&converter, &ExcelConverter::error);

    const QString broken = m_dir.filePath(QStringLiteral("broken.xml"));
    QFile f(broken);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<?xml version=\"1.0\"?>\n<device>\n<data><line channel=\"0\"></data>\n</device>\n");
    f.close();
    QVERIFY(!converter.convert(broken, ExcelConverter::Xls));
    QCOMPARE(err.size(), 1);
    const QString text = err.at(0).at(0).toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^XML Error at 3/\\d+\n\n.+")).match(text).hasMatch(),
             qPrintable(text));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("broken.xls"))));

    QVERIFY(!converter.convert(m_dir.filePath(QStringLiteral("nothing.xml")), ExcelConverter::Xls));
    QCOMPARE(err.at(1).at(0).toString(), QStringLiteral("File could not be opened for read."));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("nothing.xls"))));

    const QString good = dataFile(QStringLiteral("typed"), m_channels, {});
    QVERIFY(!converter.convert(good, ExcelConverter::ExcelType(3)));
    QCOMPARE(err.at(2).at(0).toString(), QStringLiteral("Invalid excel type"));
    QCOMPARE(converter.lastError(), QStringLiteral("Invalid excel type"));
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("typed.*")}), QStringList{"typed.xml"});
}

void tst_ExcelConverter::unwritableOutputKeepsTheEarlierWorkbook()
{
    const QString xml = dataFile(QStringLiteral("kept"), m_channels, {{0, "INS", "2024-01-01", "10:00", 7}});
    for (int type : {int(ExcelConverter::Xls), int(ExcelConverter::Xlsx)}) {
        ExcelConverter converter;
        QVERIFY(converter.convert(xml, ExcelConverter::ExcelType(type)));
        QFile out(converter.outputPath());
        QVERIFY(out.open(QIODevice::ReadOnly));
        const QByteArray before = out.readAll();
        out.close();

        // A newer data file whose workbook cannot be saved (.xls holds 256
        // columns) must not damage the earlier workbook.
        QVERIFY(datafile::write(xml, {{300, "X", "far", "u"}}, {{300, "INS", "2024-01-02", "10:00", 1}}));
        QSignalSpy err(&converter, &ExcelConverter::error);
        const bool ok = converter.convert(xml, ExcelConverter::ExcelType(type));
        if (type == ExcelConverter::Xls) {
            QVERIFY(!ok);
            QCOMPARE(err.size(), 1);
            QCOMPARE(err.at(0).at(0).toString(), QStringLiteral("File write error!"));
            QVERIFY(converter.errorDetail().contains(QStringLiteral("columns")));
            QVERIFY(out.open(QIODevice::ReadOnly));
            QCOMPARE(out.readAll(), before);
            out.close();
        } else {
            QVERIFY(ok);
        }
        QVERIFY(datafile::write(xml, m_channels, {{0, "INS", "2024-01-01", "10:00", 7}}));

        // A directory in the workbook's place cannot be replaced.
        const QString blocked = m_dir.filePath(QStringLiteral("blocked.xml"));
        QVERIFY(QFile::copy(xml, blocked));
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("blocked")) +
                              (type == ExcelConverter::Xls ? ".xls" : ".xlsx")));
        QVERIFY(!converter.convert(blocked, ExcelConverter::ExcelType(type)));
        QCOMPARE(converter.lastError(), QStringLiteral("File write error!"));
        QFile::remove(blocked);
    }
}

void tst_ExcelConverter::documentFormWritesBesideTheFileOfTheFirstForm()
{
    const QString xml =
        dataFile(QStringLiteral("docform"), m_channels, {{0, "INS", "2024-01-01", "10:00", 7}});
    ExcelConverter converter;
    {
        QSignalSpy err(&converter, &ExcelConverter::error);
        QDomDocument none;
        QVERIFY(!converter.convert(none, ExcelConverter::Xls)); // no file given yet: nowhere to write
        QCOMPARE(err.size(), 1);
        QCOMPARE(err.at(0).at(0).toString(), QStringLiteral("File write error!"));
    }
    QVERIFY(converter.convert(xml, ExcelConverter::Xls));
    QFile f(xml);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QDomDocument doc;
    QVERIFY(doc.setContent(&f));
    doc.documentElement().firstChildElement("data").firstChildElement("line").setAttribute("value", "8.5000");
    QVERIFY(converter.convert(doc, ExcelConverter::Xls));
    QCOMPARE(converter.outputPath(), m_dir.filePath(QStringLiteral("docform.xls")));
    const bookreader::Book book = bookreader::read(converter.outputPath());
    QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
    QCOMPARE(book.sheet("Daily")->number(9, 3), 8.5);
}

void tst_ExcelConverter::longXlsDailySheetContinuesOnANewSheet()
{
    // One block per day: 1311 blocks are 65,550 rows, more than .xls holds.
    QVector<Line> lines;
    const QDate first(2020, 1, 1);
    for (int i = 0; i < 1311; ++i)
        lines.append({0, "INS", first.addDays(i).toString(Qt::ISODate), "10:00", double(i)});
    const QString xml = dataFile(QStringLiteral("long"), m_channels, lines);
    const QString rows = QStringLiteral("0:20,65450:65520");
    const bookreader::Book xls = convertAndRead(xml, ExcelConverter::Xls, false, nullptr, true, rows);
    QVERIFY2(xls.error.isEmpty(), qPrintable(xls.error));
    QCOMPARE(xls.names(), QStringList({"Daily", "Daily (2)", "Monthly", "Annual"}));
    QCOMPARE(xls.sheet("Daily")->text(1309 * 50 + 9, 1), first.addDays(1309).toString(Qt::ISODate));
    const bookreader::Sheet &more = *xls.sheet("Daily (2)");
    QCOMPARE(more.text(9, 1), first.addDays(1310).toString(Qt::ISODate));
    QCOMPARE(more.number(9, 3), 1310.0);
    QCOMPARE(more.text(1, 1), QStringLiteral("Station Name"));

    const bookreader::Book xlsx = convertAndRead(xml, ExcelConverter::Xlsx, false, nullptr, true, rows);
    QVERIFY2(xlsx.error.isEmpty(), qPrintable(xlsx.error));
    QCOMPARE(xlsx.names(), QStringList({"Daily", "Monthly", "Annual"}));
    QCOMPARE(xlsx.sheet("Daily")->number(1310 * 50 + 9, 3), 1310.0);
}

void tst_ExcelConverter::libreOfficeShowsTheReports()
{
    if (bookreader::libreOffice().isEmpty())
        QSKIP("LibreOffice is not installed");
    const QVector<Line> lines{{0, "INS", "2024-01-01", "10:00", 12.3456},
                              {1, "INS", "2024-01-01", "10:00", -3.2},
                              {0, "AVG", "2024-01-01", "23:59", 10.5}};
    const QString xml = dataFile(QStringLiteral("lo"), m_channels, lines);
    for (int type : {int(ExcelConverter::Xls), int(ExcelConverter::Xlsx)}) {
        ExcelConverter converter;
        QVERIFY(converter.convert(xml, ExcelConverter::ExcelType(type)));
        const auto csv = bookreader::libreOfficeCsv(converter.outputPath(),
                                                    m_dir.filePath(QStringLiteral("lo%1").arg(type)));
        QCOMPARE(csv.size(), 3);
        const auto daily = csv.value("Daily");
        QCOMPARE(daily.value(1).value(1), QStringLiteral("Station Name"));
        QCOMPARE(daily.value(1).value(3), QStringLiteral("Kızılırmak - Söğütlü"));
        QCOMPARE(daily.value(9).mid(1, 4), QStringList({"2024-01-01", "10:00", "12.3456", "-3.2000"}));
        QCOMPARE(daily.value(48).value(3), QStringLiteral("10.5000"));
        const auto monthly = csv.value("Monthly");
        QCOMPARE(monthly.value(9).mid(1, 3), QStringList({"2024-01-01", "", "10.5000"}));
        QCOMPARE(monthly.value(47).value(3), QStringLiteral("10.5000"));
        QCOMPARE(csv.value("Annual").value(9).mid(1, 3), QStringList({"2024-01", "", "10.5000"}));
    }
}

void tst_ExcelConverter::eventsRunBetweenStepsOnlyOnTheGuiThread()
{
    const QString xml = dataFile(QStringLiteral("events"), m_channels, {});
    bool ran = false;
    QMetaObject::invokeMethod(
        this, [&] { ran = true; }, Qt::QueuedConnection);
    ExcelConverter converter;
    QVERIFY(converter.convert(xml, ExcelConverter::Xls));
    QVERIFY(ran);

    // A worker's own events must wait until its slot returns.
    QThread thread;
    QObject worker;
    worker.moveToThread(&thread);
    thread.start();
    bool converted = false, ranInside = true;
    QMetaObject::invokeMethod(
        &worker,
        [&] {
            bool posted = false;
            QMetaObject::invokeMethod(
                &worker, [&posted] { posted = true; }, Qt::QueuedConnection);
            ExcelConverter inWorker;
            converted = inWorker.convert(xml, ExcelConverter::Xlsx);
            ranInside = posted;
            QCoreApplication::processEvents(); // let it run before the locals go
        },
        Qt::BlockingQueuedConnection);
    thread.quit();
    QVERIFY(thread.wait(60000));
    QVERIFY(converted);
    QVERIFY(!ranInside);
}

void tst_ExcelConverter::fileManagerExportsAfterEverySave()
{
    DataFile download;
    download.stationCode = QStringLiteral("D15A012");
    download.stationName = QStringLiteral("Söğütlü");
    download.lastConnectionTime = QDateTime(QDate(2024, 3, 1), QTime(10, 0));
    download.setupTime = download.lastConnectionTime;
    download.channelCount = 1;
    download.channelCodes = {CodeAT};
    download.channelNames = QStringList{QStringLiteral("Hava Sıcaklığı")};
    download.channelUnits = QStringList{QStringLiteral("°C")};
    download.channelIntervals = {10};
    for (int i = 0; i < 3; ++i) {
        DataLine l;
        l.dateTime = QDateTime(QDate(2024, 3, 1), QTime(9, 10 * i));
        l.valueType = ValueINS;
        l.valueTypeName = QStringLiteral("INS");
        l.value = 1.5f + i;
        download.lines.append(l);
    }
    const QString folder = m_dir.filePath(QStringLiteral("station"));
    FileManager files;
    QCOMPARE(files.saveFile(download, folder + QStringLiteral("/Station_01032024.xml"), false, true), 0);
    QCOMPARE(files.saveFile(download, folder + QStringLiteral("/Station_01032024.xml"), false, true), 0);
    const bookreader::Book book = bookreader::read(folder + QStringLiteral("/Station_01032024.xls"), true);
    QVERIFY2(book.error.isEmpty(), qPrintable(book.error));
    const bookreader::Sheet &d = *book.sheet("Daily");
    QCOMPARE(d.text(7, 3), QStringLiteral("Hava Sıcaklığı"));
    // The second save doubled the lines; the workbook mirrors the whole file.
    QCOMPARE(d.number(9, 3), 1.5);
    QCOMPARE(d.number(11, 3), 3.5);
    QCOMPARE(d.text(12, 2), QStringLiteral("09:00"));

    // A workbook that cannot be written leaves the save's result alone.
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/Blocked_01032024.xls")));
    QCOMPARE(files.saveFile(download, folder + QStringLiteral("/Blocked_01032024.xml"), false, true), 0);
    QVERIFY(QFileInfo(folder + QStringLiteral("/Blocked_01032024.xls")).isDir());
}

QTEST_GUILESS_MAIN(tst_ExcelConverter)
#include "tst_excelconverter.moc"
