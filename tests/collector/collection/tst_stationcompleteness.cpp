// A station's completeness over its last days, from its own data files only.

#include "collection/completenessbook.h"
#include "collection/stationcompleteness.h"
#include "nexil/excel/datafilewriter.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_StationCompleteness : public QObject
{
    Q_OBJECT
private slots:
    void onlyTheStationsRecentFilesCount();
    void countsFromTheValuesEqualARecount();
};

void tst_StationCompleteness::onlyTheStationsRecentFilesCount()
{
    QTemporaryDir dir;
    const QVector<datafile::Channel> hourly{{0, "SV", "Su Seviyesi", "cm", 60}};
    const QDateTime now = QDateTime::currentDateTime();
    const QString day = now.date().addDays(-2).toString(Qt::ISODate);
    QVector<datafile::Line> lines;
    for (int hour = 0; hour < 24; ++hour)
        if (hour % 4 != 0) // every fourth value missing: 75 %
            lines.append({0, "INS", day, QStringLiteral("%1:00").arg(hour, 2, 10, QChar('0')), 1.0});
    QVERIFY(datafile::write(dir.filePath("D1_05122026.xml"), hourly, lines));
    // Same day, complete, but another station whose name starts the same way.
    QVector<datafile::Line> full;
    for (int hour = 0; hour < 24; ++hour)
        full.append({0, "INS", day, QStringLiteral("%1:00").arg(hour, 2, 10, QChar('0')), 1.0});
    QVERIFY(datafile::write(dir.filePath("D10_05122026.xml"), hourly, full));
    QVERIFY(datafile::write(dir.filePath("D1.x_05122026.xml"), hourly, full));
    // An old file of the station, not written to within the window.
    const QString old = dir.filePath("D1_01012025.xml");
    QVERIFY(datafile::write(old, hourly, full));
    QFile oldFile(old);
    QVERIFY(oldFile.open(QIODevice::ReadWrite));
    QVERIFY(
        oldFile.setFileTime(QDateTime(QDate(2025, 1, 2), QTime(0, 0)), QFileDevice::FileModificationTime));
    oldFile.close();

    QCOMPARE(StationCompleteness::stationFiles(dir.path(), "D1", now.addDays(-30)),
             QStringList{dir.filePath("D1_05122026.xml")});
    const StationCompleteness c = StationCompleteness::lastDays(dir.path(), "D1", now);
    QVERIFY(c.error.isEmpty());
    // Neither the 28 days before the first value nor the hours after the last are missing.
    QCOMPARE(c.present, qint64(18));
    QCOMPARE(c.missing, qint64(5));
    QCOMPARE(StationCompleteness::lastDays(dir.path(), "D7", now).percent, -1.0);

    QFile broken(dir.filePath("D1_06122026.xml"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<device><header>");
    broken.close();
    QVERIFY(StationCompleteness::lastDays(dir.path(), "D1", now).error.contains("D1_06122026.xml"));
}

namespace {

QString text(QVector<StationDayCounts::Count> counts)
{
    std::sort(counts.begin(), counts.end(), [](const auto &a, const auto &b) {
        return a.day != b.day ? a.day < b.day : a.channel < b.channel;
    });
    QStringList out;
    for (const StationDayCounts::Count &c : counts)
        out << QStringLiteral("%1/%2 %3 of %4")
                   .arg(c.day.toString(Qt::ISODate))
                   .arg(c.channel)
                   .arg(c.present)
                   .arg(c.expected);
    return out.join(QLatin1Char('\n'));
}

// Counts of the same station and day added together.
QVector<StationDayCounts::Count> sum(const QVector<StationDayCounts::Count> &a,
                                     const QVector<StationDayCounts::Count> &b)
{
    QVector<StationDayCounts::Count> out = a;
    for (const StationDayCounts::Count &c : b) {
        auto it = std::find_if(out.begin(), out.end(),
                               [&](const auto &o) { return o.day == c.day && o.channel == c.channel; });
        if (it == out.end()) {
            out.append(c);
        } else {
            it->expected += c.expected;
            it->present += c.present;
        }
    }
    return out;
}

} // namespace

void tst_StationCompleteness::countsFromTheValuesEqualARecount()
{
    // Two channels every 15 minutes over midnight, saved in two visits: a hole
    // that spans midnight, sensor errors inside a hole and at the end of the
    // first visit, a value the second visit saves again, and a channel whose
    // values stop before the other's. After each visit the counts taken from
    // the saved values alone equal a count of the file from scratch.
    QTemporaryDir dir;
    const QVector<datafile::Channel> channels{{0, "SV", "Level", "cm", 15}, {1, "YA", "Rain", "mm", 15}};
    const QDate first = QDate::currentDate().addDays(-2);
    QVector<datafile::Line> lines;
    SavedValues one, two;
    one.steps = two.steps = {{0, 15}, {1, 15}};
    const auto add = [&](SavedValues &saved, int channel, int minuteOfRun, double value) {
        const QDateTime t(first, QTime(20, 0));
        const QDateTime at = t.addSecs(qint64(minuteOfRun) * 60);
        lines.append({channel, "INS", at.date().toString(Qt::ISODate), at.time().toString("hh:mm"), value});
        saved.values.append({channel,
                             at.date().toJulianDay() * 1440 + at.time().hour() * 60 + at.time().minute(),
                             value <= -8888});
    };
    for (int m = 0; m <= 120; m += 15)
        add(one, 0, m, 1.5);
    for (int m = 0; m <= 90; m += 15)
        add(one, 1, m, m == 45 ? -9999.0 : 0.2);
    add(one, 1, 105, -9999.0); // ends with an error
    const QString path = dir.filePath("R1_01012026.xml");
    QVERIFY(datafile::write(path, channels, lines));
    const QDateTime now = QDateTime::currentDateTime();
    QHash<int, StationDayCounts::Mark> marks;
    const QVector<StationDayCounts::Count> afterOne = CompletenessBook::countNew(one, &marks);
    const CompletenessBook::Recount recountOne = CompletenessBook::recountFiles(dir.path(), "R1", now, 30);
    QVERIFY(recountOne.error.isEmpty());
    QVERIFY(!afterOne.isEmpty());
    QCOMPARE(text(afterOne), text(recountOne.counts));

    add(two, 0, 120, 1.5);               // saved again
    for (int m = 300; m <= 330; m += 15) // 03:00 the next morning: a hole over midnight
        add(two, 0, m, 1.5);
    for (int m = 315; m <= 330; m += 15)
        add(two, 1, m, 0.4);
    QVERIFY(datafile::write(path, channels, lines));
    const QVector<StationDayCounts::Count> added = CompletenessBook::countNew(two, &marks);
    const CompletenessBook::Recount recountTwo = CompletenessBook::recountFiles(dir.path(), "R1", now, 30);
    QCOMPARE(text(sum(afterOne, added)), text(recountTwo.counts));
    // The marks a recount leaves let the counts go on the same way.
    QCOMPARE(recountTwo.state.marks.value(0).lastMinute, marks.value(0).lastMinute);
    QCOMPARE(recountTwo.state.marks.value(1).step, 15);
}

QTEST_GUILESS_MAIN(tst_StationCompleteness)
#include "tst_stationcompleteness.moc"
