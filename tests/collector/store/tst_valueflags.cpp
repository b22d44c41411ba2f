// The flags readers take from the store: by the data file's name, the
// value's position in that file's channel list and its minute, whichever
// folder the values were committed through; instant values only; a range
// bounds them; what the store does not know, or cannot name, is 2.

#include "store/databaseconnection.h"
#include "store/stationvalues.h"
#include "store/valueflags.h"
#include "store/visitcommit.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

class tst_ValueFlags : public QObject
{
    Q_OBJECT

private slots:
    void flagsByFileChannelAndMinute();
};

namespace {

qint64 minute(int y, int m, int d, int h, int mi)
{
    return QDate(y, m, d).toJulianDay() * 1440 + h * 60 + mi;
}

} // namespace

void tst_ValueFlags::flagsByFileChannelAndMinute()
{
    QCOMPARE(ValueFlags::minuteOf(QStringLiteral("2026-02-01"), QStringLiteral("00:10")),
             minute(2026, 2, 1, 0, 10));
    for (const auto &bad : QVector<QPair<QString, QString>>{{"2026-02-30", "10:00"},
                                                            {"2026-02-01", "24:00"},
                                                            {"2026-2-01", "10:00"},
                                                            {"2026-02-01", "1:00"}})
        QCOMPARE(ValueFlags::minuteOf(bad.first, bad.second), qint64(-1));

    QTemporaryDir dir;
    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir.filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
    DBStation station;
    station.code = QStringLiteral("V01");
    const int id = DatabaseConnection::insertStation(station);
    DBStation other;
    other.code = QStringLiteral("V02");
    const int otherId = DatabaseConnection::insertStation(other);

    // One file committed through two folders across a month's end, a newer
    // file, and another station's file of the same name. Slots 2 and 7 are
    // the file's channels 0 and 1.
    int page = 0;
    const auto commit = [&](int stationId, const QString &file, const QString &destination,
                            const QStringList &times, const QString &type = QStringLiteral("INS")) {
        VisitCommit c;
        c.target = {stationId, file, destination};
        c.point.page = ++page;
        c.point.timeBase = QDateTime(QDate(2026, 1, 1), QTime(0, 0));
        for (const QString &at : times) {
            c.values.append(
                {2, type, at, QStringLiteral("1.0"), false, 0, QStringLiteral("1"), QStringLiteral("cm")});
            c.values.append(
                {7, type, at, QStringLiteral("2.0"), false, 1, QStringLiteral("7"), QStringLiteral("V")});
        }
        return c.run(DatabaseConnection::connectionName()).result == VisitCommit::Committed;
    };
    const QString january = QStringLiteral("V01_01012026.xml"), february = QStringLiteral("V01_01022026.xml");
    QVERIFY(commit(id, january, QStringLiteral("here:/a"), {"2026-01-31 23:50"}));
    QVERIFY(commit(id, january, QStringLiteral("there:/b"), {"2026-02-01 00:00"}));
    QVERIFY(commit(id, february, QStringLiteral("here:/a"), {"2026-02-01 00:10"}));
    QVERIFY(commit(id, february, QStringLiteral("here:/a"), {"2026-02-01 00:10"}, QStringLiteral("MAX")));
    QVERIFY(commit(otherId, january, QStringLiteral("here:/a"), {"2026-01-31 23:50"}));

    StationValues values;
    QVERIFY(values.setFlag(id, 2, QStringLiteral("INS"), QStringLiteral("2026-01-31 23:50"), 1));
    QVERIFY(values.setFlag(id, 7, QStringLiteral("INS"), QStringLiteral("2026-01-31 23:50"), 4));
    QVERIFY(values.setFlag(id, 2, QStringLiteral("INS"), QStringLiteral("2026-02-01 00:00"), 3));
    QVERIFY(values.setFlag(id, 7, QStringLiteral("INS"), QStringLiteral("2026-02-01 00:10"), 9));
    QVERIFY(values.setFlag(id, 7, QStringLiteral("MAX"), QStringLiteral("2026-02-01 00:10"), 4));
    QVERIFY(values.setFlag(otherId, 2, QStringLiteral("INS"), QStringLiteral("2026-01-31 23:50"), 4));
    // Rows no reader can name: a channel past the files' limit, no date.
    QSqlQuery q;
    QVERIFY(
        q.exec(QStringLiteral("UPDATE station_values SET channel = 300 WHERE station_id = %1 AND slot = 2 "
                              "AND at = '2026-02-01 00:10' AND value_type = 'INS'")
                   .arg(id)));
    QVERIFY(
        q.exec(QStringLiteral("INSERT INTO station_values (station_id, slot, value_type, at, value, "
                              "channel, target, flag) SELECT station_id, 9, value_type, '2026-02-31 10:00', "
                              "value, 0, target, 4 FROM station_values WHERE station_id = %1 LIMIT 1")
                   .arg(id)));

    ValueFlags all;
    QVERIFY(all.load(DatabaseConnection::connectionName(), id, QString(), QString()));
    QCOMPARE(all.count(), 5);
    const ValueFlags::Source source = all.source();
    struct Case
    {
        QString file;
        int channel;
        qint64 minute;
        int flag;
    };
    const QVector<Case> cases = {
        {january, 0, minute(2026, 1, 31, 23, 50), 1},
        {january, 1, minute(2026, 1, 31, 23, 50), 4},
        // Committed through the other folder, into the same file.
        {january, 0, minute(2026, 2, 1, 0, 0), 3},
        {january, 1, minute(2026, 2, 1, 0, 0), 2},
        {february, 1, minute(2026, 2, 1, 0, 10), 9},
        // By position, not by slot; the other file's times are not this one's.
        {january, 7, minute(2026, 1, 31, 23, 50), 2},
        {february, 1, minute(2026, 1, 31, 23, 50), 2},
        {january, 0, minute(2026, 1, 31, 23, 40), 2},
        {QStringLiteral("V01_01032026.xml"), 0, minute(2026, 1, 31, 23, 50), 2},
        {QString(), 0, minute(2026, 1, 31, 23, 50), 2},
        {january, -1, minute(2026, 1, 31, 23, 50), 2},
        {january, 0, -1, 2},
    };
    // Files asked in turn, as readers of several files do.
    for (int round = 0; round < 2; ++round) {
        for (const Case &c : cases) {
            QCOMPARE(all.flag(c.file, c.channel, c.minute), c.flag);
            QCOMPARE(source(c.file, c.channel, c.minute), c.flag);
        }
    }

    // A range: its values only, both ends included.
    ValueFlags ranged;
    QVERIFY(ranged.load(DatabaseConnection::connectionName(), id, QStringLiteral("2026-02-01 00:00"),
                        QStringLiteral("2026-02-01 00:00")));
    QCOMPARE(ranged.count(), 2);
    QCOMPARE(ranged.flag(january, 0, minute(2026, 2, 1, 0, 0)), 3);
    QCOMPARE(ranged.flag(january, 1, minute(2026, 1, 31, 23, 50)), 2);
    QCOMPARE(ranged.flag(february, 1, minute(2026, 2, 1, 0, 10)), 2);

    // The other station's values are its own.
    ValueFlags theirs;
    QVERIFY(theirs.load(DatabaseConnection::connectionName(), otherId, QString(), QString()));
    QCOMPARE(theirs.flag(january, 0, minute(2026, 1, 31, 23, 50)), 4);
    QCOMPARE(theirs.flag(january, 1, minute(2026, 1, 31, 23, 50)), 2);

    // A store that does not answer is no empty set of flags.
    DatabaseConnection::close();
    ValueFlags none;
    QVERIFY(!none.load(DatabaseConnection::connectionName(), id, QString(), QString()));
    QCOMPARE(none.flag(january, 0, minute(2026, 1, 31, 23, 50)), 2);
}

QTEST_GUILESS_MAIN(tst_ValueFlags)
#include "tst_valueflags.moc"
