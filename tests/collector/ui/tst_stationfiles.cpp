#include "ui/stationcounts.h"
#include "ui/stationfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_StationFiles : public QObject
{
    Q_OBJECT

private slots:
    void latestDataFileByTheDateInItsName();
    void firstDataFileInNameOrder();
    void countsTellErrorsOfActiveStationsOnly();

private:
    static void touch(const QTemporaryDir &dir, const QStringList &names);
};

void tst_StationFiles::touch(const QTemporaryDir &dir, const QStringList &names)
{
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

void tst_StationFiles::latestDataFileByTheDateInItsName()
{
    QTemporaryDir dir;
    QCOMPARE(StationFiles::latestDataFile(dir.path(), QStringLiteral("D02A003")), QString());
    QCOMPARE(StationFiles::latestDataFile(dir.filePath(QStringLiteral("missing")), QStringLiteral("D02A003")),
             QString());
    // Name order and date order differ: 31 January is older than 1 December.
    touch(dir, {"D02A003_31012026.xml", "D02A003_01122025.xml", "D02A003_15032026.xml.txt",
                "D02A003_99999999.xml", "D02A003_notadate.xml", "D02A003_01052026.txt",
                "D02A0030_01062026.xml", "X_D02A003_01072026.xml"});
    QCOMPARE(StationFiles::latestDataFile(dir.path(), QStringLiteral("D02A003")),
             dir.path() + QStringLiteral("/D02A003_31012026.xml"));
    touch(dir, {"D02A003_01022026.xml"});
    QCOMPARE(StationFiles::latestDataFile(dir.path(), QStringLiteral("D02A003")),
             dir.path() + QStringLiteral("/D02A003_01022026.xml"));
    // A name with "_" of its own: the date is what follows the last one.
    touch(dir, {"ST_01_05052026.xml", "ST_01_04052026.xml"});
    QCOMPARE(StationFiles::latestDataFile(dir.path(), QStringLiteral("ST_01")),
             dir.path() + QStringLiteral("/ST_01_05052026.xml"));
}

void tst_StationFiles::firstDataFileInNameOrder()
{
    QTemporaryDir dir;
    QCOMPARE(StationFiles::firstDataFile(dir.path(), QStringLiteral("S")), QString());
    touch(dir, {"S_02012026.xml", "S_01022026.xml", "S.txt", "R_01012026.xml"});
    QDir(dir.path()).mkdir(QStringLiteral("S_00000000.xml")); // a folder, not a file
    QCOMPARE(StationFiles::firstDataFile(dir.path(), QStringLiteral("S")),
             QDir(dir.path()).absoluteFilePath(QStringLiteral("S_01022026.xml")));
}

void tst_StationFiles::countsTellErrorsOfActiveStationsOnly()
{
    QList<DBStation> stations;
    for (int i = 0; i < 6; ++i) {
        DBStation s;
        s.active = i < 4;
        s.has_error = i % 2 == 1; // errors at 1, 3 (active) and 5 (inactive)
        stations << s;
    }
    const StationCounts counts = StationCounts::of(stations);
    QCOMPARE(counts.total, 6);
    QCOMPARE(counts.active, 4);
    QCOMPARE(counts.inactive, 2);
    QCOMPARE(counts.error, 2);
    const StationCounts none = StationCounts::of({});
    QCOMPARE(none.total + none.active + none.inactive + none.error, 0);
}

QTEST_APPLESS_MAIN(tst_StationFiles)
#include "tst_stationfiles.moc"
