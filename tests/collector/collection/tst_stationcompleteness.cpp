// A station's completeness over its last days, from its own data files only.

#include "collection/stationcompleteness.h"
#include "nexil/excel/datafilewriter.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_StationCompleteness : public QObject
{
    Q_OBJECT
private slots:
    void onlyTheStationsRecentFilesCount();
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
    QVERIFY(oldFile.setFileTime(QDateTime(QDate(2025, 1, 2), QTime(0, 0)), QFileDevice::FileModificationTime));
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

QTEST_GUILESS_MAIN(tst_StationCompleteness)
#include "tst_stationcompleteness.moc"
