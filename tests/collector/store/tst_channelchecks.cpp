// A river series with spikes, a step, stuck sensors, values out of range and
// sensor errors committed visit by visit: every stored flag is the one the
// QARTOD rules give over the whole series, wherever the visits ended, and
// each value alarm is raised and cleared once, never by a spike.

#include "store/channelchecks.h"
#include "store/databaseconnection.h"
#include "store/stationsettings.h"
#include "store/visitcommit.h"
#include "support/qartodreference.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

class tst_ChannelChecks : public QObject
{
    Q_OBJECT

private slots:
    void flagsAndAlarmsAcrossVisits();
    void settingsAreCheckedWhenSet();
};

namespace {

QString atOf(qint64 minute)
{
    return QartodFlags::dateTimeOf(minute).toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

} // namespace

void tst_ChannelChecks::flagsAndAlarmsAcrossVisits()
{
    QTemporaryDir dir;
    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir.filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
    DBStation station;
    station.code = QStringLiteral("R01");
    const int id = DatabaseConnection::insertStation(station);
    QString why;
    QVERIFY2(StationSettings::setValue(id, ChannelChecks::qualityKey(3), qartodref::allTests, &why),
             qPrintable(why));
    QVERIFY2(StationSettings::setValue(id, ChannelChecks::alarmsKey(3), QStringLiteral("high=2.9,2.7"), &why),
             qPrintable(why));

    // The values as the store keeps them, and the series read back from them.
    QList<StationValues::Value> values;
    QVector<QartodFlags::Point> series;
    for (const QartodFlags::Point &p : qartodref::riverSeries()) {
        const QString text = p.missing ? QStringLiteral("-9999.000000") : QString::number(p.value, 'f', 6);
        values.append({3, QStringLiteral("INS"), atOf(p.minute), text, false, 0, QStringLiteral("1"),
                       QStringLiteral("m")});
        // A channel without checks beside it.
        values.append({5, QStringLiteral("INS"), atOf(p.minute), QStringLiteral("12.5"), false, 1,
                       QStringLiteral("7"), QStringLiteral("V")});
        series.append(QartodFlags::point(p.minute, text));
    }
    qartodref::Reference reference;
    QVERIFY(QartodFlags::Settings::parse(qartodref::allTests, &reference.c, &why));
    reference.s = series;

    // Visits ending inside a spike's neighbours, a stuck stretch and the
    // step; then another collector's visit over values stored already.
    QList<ValueAlarms::Event> events;
    int page = 0;
    const auto visit = [&](int from, int to, const QString &destination) {
        VisitCommit commit;
        commit.target = {id, QStringLiteral("R01_01012025.xml"), destination};
        commit.point.page = ++page;
        commit.point.timeBase = QDateTime(QDate(2025, 1, 1), QTime(0, 0));
        commit.values = values.mid(2 * from, 2 * (to - from));
        const VisitCommit::Outcome out = commit.run(DatabaseConnection::connectionName());
        for (const ChannelChecks::Alarm &a : out.alarms) {
            if (a.slot != 3 || a.code != QLatin1String("1"))
                return false;
            events.append(a.event);
        }
        return out.result == VisitCommit::Committed;
    };
    for (const auto &range : {qMakePair(0, 101), qMakePair(101, 137), qMakePair(137, 420),
                              qMakePair(420, 521), qMakePair(521, 700)})
        QVERIFY(visit(range.first, range.second, QStringLiteral("here:/files")));
    QVERIFY(visit(590, 650, QStringLiteral("there:/files")));

    QSqlQuery q;
    QVERIFY(q.exec(
        QStringLiteral("SELECT slot, at, flag FROM station_values WHERE station_id = %1 ORDER BY at, slot")
            .arg(id)));
    int checked = 0;
    while (q.next()) {
        const int i = checked / 2;
        QCOMPARE(q.value(1).toString(), atOf(series.at(i).minute));
        const int expected = q.value(0).toInt() == 5 ? 2 : reference.at(i).flag;
        QVERIFY2(q.value(2).toInt() == expected,
                 qPrintable(QStringLiteral("slot %1 at %2: flag %3, the rules give %4")
                                .arg(q.value(0).toInt())
                                .arg(q.value(1).toString())
                                .arg(q.value(2).toInt())
                                .arg(expected)));
        ++checked;
    }
    QCOMPARE(checked, 2 * series.size());

    // The alarm by its definition, on every value but the newest (its
    // spike test waits) not flagged fail or missing.
    QList<QPair<qint64, bool>> expected;
    bool active = false;
    for (int i = 0; i + 1 < series.size(); ++i) {
        const quint8 flag = reference.at(i).flag;
        if (flag == 4 || flag == 9)
            continue;
        if (!active && series.at(i).value > 2.9)
            expected.append({series.at(i).minute, active = true});
        else if (active && series.at(i).value < 2.7)
            expected.append({series.at(i).minute, active = false});
    }
    QList<QPair<qint64, bool>> raised;
    for (const ValueAlarms::Event &e : qAsConst(events)) {
        QCOMPARE(int(e.kind), int(ValueAlarms::Kind::High));
        raised.append({e.minute, e.raised});
    }
    QCOMPARE(raised, expected);
    QCOMPARE(expected.size(), 2);
    // The spikes at 100 and 200 lie above the limit and raised nothing.
    for (int i : {100, 200}) {
        QVERIFY(series.at(i).value > 2.9);
        QCOMPARE(int(reference.at(i).flag), 4);
    }
    DatabaseConnection::close();
}

void tst_ChannelChecks::settingsAreCheckedWhenSet()
{
    QTemporaryDir dir;
    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir.filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
    DBStation station;
    station.code = QStringLiteral("S01");
    const int id = DatabaseConnection::insertStation(station);
    QString why;
    for (const char *key :
         {"quality:64", "quality:-1", "quality:01", "quality:", "alarms:x", "quality:3;drop"})
        QVERIFY2(!StationSettings::setValue(id, QString::fromLatin1(key), QStringLiteral("gross=0,1"), &why),
                 key);
    QVERIFY(!StationSettings::setValue(id, QStringLiteral("quality:3"), QStringLiteral("gross=1"), &why));
    QVERIFY(!why.isEmpty() && !why.contains(QLatin1Char('\n')));
    QVERIFY(!StationSettings::setValue(id, QStringLiteral("alarms:3"), QStringLiteral("high=x\n"), &why));
    // Kept in their own form, and removed by an empty value.
    QVERIFY(StationSettings::setValue(id, QStringLiteral("alarms:3"),
                                      QStringLiteral(" rise=0.2,60m ; high=5 "), &why));
    ValueAlarms::Settings stored;
    QVERIFY(
        ValueAlarms::Settings::parse(StationSettings::value(id, QStringLiteral("alarms:3")), &stored, &why));
    QVERIFY(stored.high && stored.rise && stored.risePeriod == 60);
    QVERIFY(StationSettings::setValue(id, QStringLiteral("alarms:3"), QString(), &why));
    QVERIFY(StationSettings::value(id, QStringLiteral("alarms:3")).isEmpty());
    DatabaseConnection::close();
}

QTEST_GUILESS_MAIN(tst_ChannelChecks)
#include "tst_channelchecks.moc"
