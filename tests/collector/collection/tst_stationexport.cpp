// The exchange-format exports a station's settings ask for, written after a
// whole visit against the simulator, and the settings' own rules.

#include "../common/simulator.h"
#include "../common/stationfixtures.h"
#include "collection/collectionoptions.h"
#include "collection/worker.h"
#include "store/databaseconnection.h"
#include "store/stationsettings.h"

#include "nexil/protocol/nexil.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

class tst_StationExport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void settingsAreCheckedStoredAndRead();
    void visitWritesTheExportsWithTheStationsOffset();

private:
    QTemporaryDir storeDir;
    DatabaseConnection store;
};

void tst_StationExport::initTestCase()
{
    registerDBStation();
    registerNexilMetaTypes();
    // Every table a visit writes to: it commits its values in the store.
    QVERIFY(store.connectToDatabase(storeDir.filePath(QStringLiteral("data.db")), QString(), 0, QString(),
                                    QString()));
    QVERIFY(StationSettings::createTable());
}

void tst_StationExport::settingsAreCheckedStoredAndRead()
{
    QString why;
    QVERIFY(!StationSettings::setValue(3, "utcOffset", "3", &why));
    QVERIFY(!StationSettings::setValue(3, "exportFormats", "csv,pdf", &why));
    QVERIFY(!StationSettings::setValue(3, "csvLocale", "fr", &why));
    QVERIFY(!StationSettings::setValue(3, "colour", "red", &why));
    QVERIFY(why.contains("unknown"));
    // Nothing set: settings.ini's value, else +03:00.
    QCOMPARE(StationSettings::utcOffsetMinutes(3, "+01:00"), 60);
    QCOMPARE(StationSettings::utcOffsetMinutes(3, "nonsense"), 180);
    QVERIFY(StationSettings::setValue(3, "utcOffset", "-04:30", &why));
    QVERIFY(StationSettings::setValue(3, "exportFormats", " csv, WATERML2,csv ", &why));
    QCOMPARE(StationSettings::utcOffsetMinutes(3, "+01:00"), -270);
    QCOMPARE(StationSettings::exportFormats(3), (QStringList{"csv", "waterml2"}));
    // What another process reads back from the table.
    QVERIFY(StationSettings::reload());
    QCOMPARE(StationSettings::value(3, "utcOffset"), QString("-04:30"));
    QVERIFY(StationSettings::setValue(3, "exportFormats", "", &why));
    QVERIFY(StationSettings::reload());
    QVERIFY(StationSettings::exportFormats(3).isEmpty());
    // The rows are read again only once the store counts a change, as
    // setValue in another process makes it.
    QSqlQuery direct;
    QVERIFY(
        direct.exec("INSERT INTO station_settings (station_id, key, value) VALUES (4, 'csvLocale', 'tr')"));
    QVERIFY(StationSettings::reload());
    QCOMPARE(StationSettings::value(4, "csvLocale"), QString());
    QVERIFY(direct.exec("UPDATE station_settings_changes SET changes = changes + 1"));
    QVERIFY(StationSettings::reload());
    QCOMPARE(StationSettings::value(4, "csvLocale"), QString("tr"));
    QVERIFY(StationSettings::setValue(4, "csvLocale", "", &why));
    QVERIFY(StationSettings::exportFormats(4).isEmpty());
    QCOMPARE(StationSettings::csvLocale(4), SeriesExporter::Locale::C);
}

void tst_StationExport::visitWritesTheExportsWithTheStationsOffset()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QTemporaryDir dir;
    Simulator sim;
    QVERIFY2(sim.start(dir.path(), QStringLiteral("sim"), "{}"), qPrintable(sim.error()));
    DBStation s = fullStation();
    s.id = 9;
    s.code = QStringLiteral("D02A003");
    s.ip = QStringLiteral("127.0.0.1");
    s.port = sim.port;
    s.active = false;
    s.status.clear();
    s.file_path = dir.filePath(QStringLiteral("station"));
    s.file_name = s.code;
    s.download_data = true;
    QString why;
    QVERIFY(StationSettings::setValue(9, "exportFormats", "waterml2,zrxp,csv", &why));
    QVERIFY(StationSettings::setValue(9, "utcOffset", "+02:00", &why));
    QVERIFY(StationSettings::setValue(9, "csvLocale", "tr", &why));
    CollectionOptions options;
    options.utcOffset = QStringLiteral("+05:00"); // the station's own wins
    Worker worker(s, options);

    QSignalSpy ended(&worker, &Worker::visitEnded);
    worker.onUpdateStationData(0);
    QVERIFY(ended.wait(60000));

    QDir folder(s.file_path);
    const QStringList xml = folder.entryList({QStringLiteral("D02A003_????????.xml")}, QDir::Files);
    QCOMPARE(xml.size(), 1);
    const QString base = folder.filePath(xml.first().left(xml.first().size() - 4));
    // Nothing else is left in the folder: no half-written exports.
    QCOMPARE(folder.entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 4);

    // The instant values of the data file, each (channel, time) once.
    QSet<QString> instants;
    QFile data(base + ".xml");
    QVERIFY(data.open(QIODevice::ReadOnly));
    QXmlStreamReader r(&data);
    while (!r.atEnd()) {
        r.readNext();
        const QXmlStreamAttributes a = r.attributes();
        if (r.isStartElement() && r.name() == QLatin1String("line") &&
            a.value("dataType") == QLatin1String("INS"))
            instants.insert(a.value("channel").toString() + QLatin1Char(' ') + a.value("date").toString() +
                            a.value("time").toString());
    }
    QVERIFY(!r.hasError());
    QVERIFY(instants.size() > 50);

    QFile wml(base + ".wml2.xml"), zrx(base + ".zrx"), csv(base + ".csv");
    QVERIFY(wml.open(QIODevice::ReadOnly) && zrx.open(QIODevice::ReadOnly) && csv.open(QIODevice::ReadOnly));
    const QByteArray w = wml.readAll();
    QCOMPARE(w.count("<wml2:MeasurementTVP>"), instants.size());
    QCOMPARE(w.count("+02:00</wml2:time>"), instants.size());
    int rows = 0;
    for (const QByteArray &line : zrx.readAll().split('\n'))
        rows += QRegularExpression("^\\d{14} ").match(QString::fromLatin1(line)).hasMatch();
    QCOMPARE(rows, instants.size());
    QVERIFY(zrx.seek(0) && zrx.readAll().contains("#TZUTC+2|*|"));
    QVERIFY(csv.readAll().contains("+02:00;"));
}

QTEST_GUILESS_MAIN(tst_StationExport)
#include "tst_stationexport.moc"
