// Holes and completeness found in data files built here with known holes.

#include "nexil/excel/datafilewriter.h"
#include "nexil/files/gapfinder.h"

#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

namespace {

using datafile::Channel;
using datafile::Line;

// Wall-clock times, as the finder gives them: no zone of the host.
QDateTime at(const QString &text)
{
    return QDateTime(QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd")),
                     QTime::fromString(text.mid(11), QStringLiteral("hh:mm")), Qt::UTC);
}

// INS lines of one channel every `minutes` from `from` up to `to`, leaving out
// the times in `holes`.
QVector<Line> series(int channel, const QString &from, const QString &to, int minutes,
                     const QSet<QString> &holes = {})
{
    QVector<Line> lines;
    for (QDateTime t = at(from); t <= at(to); t = t.addSecs(minutes * 60)) {
        const QString stamp = t.toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        if (!holes.contains(stamp))
            lines.append({channel, "INS", t.toString("yyyy-MM-dd"), t.toString("hh:mm"), 1.5});
    }
    return lines;
}

QSet<QString> every(const QString &from, const QString &to, int minutes)
{
    QSet<QString> out;
    for (QDateTime t = at(from); t <= at(to); t = t.addSecs(minutes * 60))
        out.insert(t.toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    return out;
}

// "channel from..to missing" for comparing whole lists at once.
QStringList describe(const QVector<GapFinder::Gap> &gaps)
{
    QStringList out;
    for (const GapFinder::Gap &g : gaps)
        out << QStringLiteral("%1 %2..%3 %4")
                   .arg(g.channel)
                   .arg(g.from.toString("yyyy-MM-dd hh:mm"), g.to.toString("yyyy-MM-dd hh:mm"))
                   .arg(g.missing);
    return out;
}

} // namespace

class tst_GapFinder : public QObject
{
    Q_OBJECT
private slots:
    void holesOfEachChannelAtItsOwnInterval();
    void repeatsSummariesAndJitterOpenNoHole();
    void setupChangeBetweenFiles_eachSideByItsInterval();
    void rangeEdgesAndSilentChannels();
    void completenessPerDay_splitsAHoleAtMidnight();
    void unreadableFilesAreReported();
    void orderZonesAndSensorErrorsChangeNothingElse();

private:
    QTemporaryDir dir;
};

void tst_GapFinder::holesOfEachChannelAtItsOwnInterval()
{
    QVector<Line> lines =
        series(0, "2026-01-05 00:00", "2026-01-05 23:50", 10,
               every("2026-01-05 03:10", "2026-01-05 03:50", 10) + QSet<QString>{"2026-01-05 12:00"});
    lines += series(1, "2026-01-05 00:00", "2026-01-05 23:00", 60, {"2026-01-05 06:00", "2026-01-05 07:00"});
    // Channel 2 is passive (interval 0): never expected.
    const QString path = dir.filePath("one.xml");
    QVERIFY(datafile::write(
        path, {{0, "SV", "Su Seviyesi", "cm", 10}, {1, "YG", "Yağış", "mm", 60}, {2, "X", "", "", 0}},
        lines));

    GapFinder finder;
    QVERIFY2(finder.run({path}), qPrintable(finder.errorText()));
    QCOMPARE(describe(finder.gaps()),
             (QStringList{"0 2026-01-05 03:10..2026-01-05 03:50 5", "0 2026-01-05 12:00..2026-01-05 12:00 1",
                          "1 2026-01-05 06:00..2026-01-05 07:00 2"}));
    QCOMPARE(finder.channels().size(), 2);
    QCOMPARE(finder.channels().at(0).present, qint64(144 - 6));
    QCOMPARE(finder.channels().at(0).missing, qint64(6));
    QCOMPARE(finder.channels().at(1).interval, 60);
    QCOMPARE(finder.channels().at(1).completeness(), 100.0 * 22 / 24);
    QCOMPARE(finder.stationCode(), QString("D15A012"));
    QCOMPARE(finder.from(), at("2026-01-05 00:00"));
    QCOMPARE(finder.to(), at("2026-01-05 23:50"));
}

void tst_GapFinder::repeatsSummariesAndJitterOpenNoHole()
{
    QVector<Line> lines = series(0, "2026-01-05 00:00", "2026-01-05 02:00", 10);
    // A download saved twice repeats its lines; summaries have their own times.
    lines += series(0, "2026-01-05 01:00", "2026-01-05 02:00", 10);
    lines += {{0, "MAX", "2026-01-05", "17:33", 3}, {0, "AVG", "2026-01-06", "07:59", 2}};
    // A value a minute off the grid fills its slot.
    lines += {{0, "INS", "2026-01-05", "02:11", 1}, {0, "INS", "2026-01-05", "02:20", 1}};
    // Then a real hole of two values.
    lines += {{0, "INS", "2026-01-05", "02:50", 1}};
    const QString path = dir.filePath("repeat.xml");
    QVERIFY(datafile::write(path, {{0, "SV", "Su Seviyesi", "cm", 10}}, lines));

    GapFinder finder;
    QVERIFY(finder.run({path}));
    QCOMPARE(describe(finder.gaps()), QStringList{"0 2026-01-05 02:30..2026-01-05 02:40 2"});
    QCOMPARE(finder.channels().at(0).present, qint64(13 + 3));
}

void tst_GapFinder::setupChangeBetweenFiles_eachSideByItsInterval()
{
    // Hourly until the device was set to 10 minutes at 12:00; the hole runs
    // from 10:00 (hourly) across the change to 12:30 (10-minute).
    const QString hourly = dir.filePath("hourly.xml");
    QVERIFY(datafile::write(hourly, {{0, "SV", "Su Seviyesi", "cm", 60}},
                            series(0, "2026-02-01 00:00", "2026-02-01 09:00", 60), "Sta", "01-02-003",
                            "2026-01-20 08:00"));
    const QString tenMinutes = dir.filePath("ten.xml");
    QVERIFY(datafile::write(tenMinutes, {{0, "SV", "Su Seviyesi", "cm", 10}},
                            series(0, "2026-02-01 12:40", "2026-02-01 14:00", 10), "Sta", "01-02-003",
                            "2026-02-01 12:00"));

    for (const QStringList &order : {QStringList{hourly, tenMinutes}, QStringList{tenMinutes, hourly}}) {
        GapFinder finder;
        QVERIFY(finder.run(order));
        // 10:00 and 11:00 hourly, then 12:00 to 12:30 every 10 minutes.
        QCOMPARE(describe(finder.gaps()), QStringList{"0 2026-02-01 10:00..2026-02-01 12:30 6"});
        QCOMPARE(finder.channels().at(0).interval, 10);
    }
}

void tst_GapFinder::rangeEdgesAndSilentChannels()
{
    QVector<Line> lines = series(0, "2026-03-01 01:00", "2026-03-01 05:00", 60);
    const QString path = dir.filePath("range.xml");
    QVERIFY(datafile::write(path, {{0, "SV", "Su Seviyesi", "cm", 60}, {1, "YG", "Yağış", "mm", 30}}, lines));

    GapFinder finder;
    finder.setRange(at("2026-03-01 00:00"), at("2026-03-01 07:59"));
    QVERIFY(finder.run({path}));
    // Before the first value, after the last, and a channel that never recorded.
    QCOMPARE(describe(finder.gaps()),
             (QStringList{"0 2026-03-01 00:00..2026-03-01 00:00 1", "0 2026-03-01 06:00..2026-03-01 07:00 2",
                          "1 2026-03-01 00:00..2026-03-01 07:30 16"}));

    // A range inside the data cuts it: lines outside do not count.
    finder.setRange(at("2026-03-01 02:00"), at("2026-03-01 03:00"));
    QVERIFY(finder.run({path}));
    QCOMPARE(finder.channels().at(0).present, qint64(2));
    QCOMPARE(describe(finder.gaps()), QStringList{"1 2026-03-01 02:00..2026-03-01 03:00 3"});
}

void tst_GapFinder::completenessPerDay_splitsAHoleAtMidnight()
{
    const QString path = dir.filePath("days.xml");
    QVERIFY(datafile::write(path, {{0, "SV", "Su Seviyesi", "cm", 60}},
                            series(0, "2026-04-01 00:00", "2026-04-02 23:00", 60,
                                   every("2026-04-01 20:00", "2026-04-02 05:00", 60))));
    GapFinder finder;
    QVERIFY(finder.run({path}));
    QCOMPARE(describe(finder.gaps()), QStringList{"0 2026-04-01 20:00..2026-04-02 05:00 10"});
    QCOMPARE(finder.days().size(), 2);
    QCOMPARE(finder.days().at(0).date, QDate(2026, 4, 1));
    QCOMPARE(finder.days().at(0).missing.at(0), qint64(4));
    QCOMPARE(finder.days().at(0).completeness(0), 100.0 * 20 / 24);
    QCOMPARE(finder.days().at(1).missing.at(0), qint64(6));
    QCOMPARE(finder.days().at(1).present.at(0), qint64(18));
    QCOMPARE(GapFinder::percent(0, 0), -1.0);
}

void tst_GapFinder::unreadableFilesAreReported()
{
    GapFinder finder;
    QVERIFY(!finder.run({dir.filePath("absent.xml")}));
    QVERIFY(finder.errorText().contains("absent.xml"));

    QFile broken(dir.filePath("broken.xml"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<device><header><setup/></header><data><line channel=\"0\" dataType=\"INS\"");
    broken.close();
    QVERIFY(!finder.run({broken.fileName()}));
    QVERIFY(finder.errorText().contains("broken.xml"));
    QVERIFY(finder.gaps().isEmpty());
}

void tst_GapFinder::orderZonesAndSensorErrorsChangeNothingElse()
{
    const QByteArray hostZone = qgetenv("TZ");
    const auto restore = qScopeGuard([&] {
        if (hostZone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", hostZone);
        tzset();
    });
    // Two one-hour blocks swapped in the file, and two files with the same
    // setup time given newest first.
    QVector<Line> swapped = series(0, "2026-03-29 00:00", "2026-03-29 01:50", 10);
    swapped += series(0, "2026-03-29 03:00", "2026-03-29 03:50", 10);
    swapped += series(0, "2026-03-29 02:00", "2026-03-29 02:50", 10, {"2026-03-29 02:30"});
    const QString older = dir.filePath("older.xml");
    QVERIFY(datafile::write(older, {{0, "SV", "Su Seviyesi", "cm", 10}}, swapped, "Sta", "01-02-003",
                            "2026-03-01 08:00"));
    // The newer one: hourly sensor errors at 05:00 and 06:00 (-9999, -8888).
    QVector<Line> newer = series(0, "2026-03-29 04:00", "2026-03-29 07:50", 10);
    for (Line &l : newer) {
        if (l.time == "05:00")
            l.value = -9999;
        if (l.time == "06:00")
            l.value = -8888;
    }
    const QString newest = dir.filePath("newer.xml");
    QVERIFY(datafile::write(newest, {{0, "SV", "Su Seviyesi", "cm", 10}}, newer, "Sta", "01-02-003",
                            "2026-03-01 08:00"));
    const QStringList expected{"0 2026-03-29 02:30..2026-03-29 02:30 1",
                               "0 2026-03-29 05:00..2026-03-29 05:00 1",
                               "0 2026-03-29 06:00..2026-03-29 06:00 1"};
    // The spring change: 02:00-02:59 does not exist in Berlin, and in 2018
    // São Paulo's clocks skipped midnight.
    for (const char *zone : {"UTC", "Europe/Berlin", "America/Sao_Paulo"}) {
        qputenv("TZ", zone);
        tzset();
        for (const QStringList &order : {QStringList{older, newest}, QStringList{newest, older}}) {
            GapFinder finder;
            QVERIFY(finder.run(order));
            QCOMPARE(describe(finder.gaps()), expected);
            const GapFinder::ChannelFigures &c = finder.channels().at(0);
            QCOMPARE(c.present, qint64(48 - 3));
            QCOMPARE(c.missing, qint64(3));
            QCOMPARE(c.sensorErrors, qint64(2));
            QCOMPARE(finder.days().at(0).sensorErrors.at(0), qint64(2));
            QCOMPARE(finder.from().toString("yyyy-MM-dd hh:mm"), QStringLiteral("2026-03-29 00:00"));
        }
        // A range starting inside the hour that Berlin skips.
        GapFinder finder;
        finder.setRange(QDateTime(QDate(2026, 3, 29), QTime(2, 30), Qt::UTC), QDateTime());
        QVERIFY(finder.run({newest, older}));
        QCOMPARE(describe(finder.gaps()).first(), expected.first());
    }
    // A hole at a midnight São Paulo skipped (2018-11-04).
    const QString midnight = dir.filePath("midnight.xml");
    QVERIFY(datafile::write(midnight, {{0, "SV", "Su Seviyesi", "cm", 60}},
                            series(0, "2018-11-03 22:00", "2018-11-04 02:00", 60, {"2018-11-04 00:00"})));
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    GapFinder finder;
    QVERIFY(finder.run({midnight}));
    QCOMPARE(describe(finder.gaps()), QStringList{"0 2018-11-04 00:00..2018-11-04 00:00 1"});
}

QTEST_GUILESS_MAIN(tst_GapFinder)
#include "tst_gapfinder.moc"
