// The exchange formats written from data files built here: every value once
// per format, times with the station's offset, sensor errors as nil values or
// RINVAL. WaterML is read back by lxml with the WaterML namespaces, CSV with
// the rules of its locale.

#include "nexil/excel/datafilewriter.h"
#include "nexil/files/seriesexporter.h"

#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using datafile::Channel;
using datafile::Line;

const QVector<Channel> kChannels = {
    {0, "SV", "Su Seviyesi", "cm", 10}, {1, "YG", "Yağış; \"toplam\"", "mm", 10}, {2, "X", "=1+2", "", 10}};

QByteArray run(SeriesExporter &exporter, const QStringList &paths)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    if (!exporter.run(paths, &out))
        qWarning("%s", qPrintable(exporter.errorText()));
    return out.data();
}

// Splits a CSV line with the given separator, quotes undone.
QStringList csvCells(const QString &line, QChar separator)
{
    QStringList cells{QString()};
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted && c == '"' && i + 1 < line.size() && line.at(i + 1) == '"')
            cells.last() += c, ++i;
        else if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == separator)
            cells << QString();
        else
            cells.last() += c;
    }
    return cells;
}

} // namespace

class tst_SeriesExporter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void waterml_pointsPerChannelReadByXPath();
    void zrxp_blockPerChannel_rinvalAndOffset();
    void csv_readBackWithTheLocaleRules();
    void unreadableFileAndRefusedDevice();

private:
    QTemporaryDir dir;
    QStringList files;
};

void tst_SeriesExporter::initTestCase()
{
    // A download saved twice repeats its lines; summaries are no observations;
    // the second file's lines are out of order.
    const QVector<Line> first = {
        {0, "INS", "2026-01-05", "10:00", 1.5},     {1, "INS", "2026-01-05", "10:00", 0.25},
        {2, "INS", "2026-01-05", "10:00", 7},       {0, "MAX", "2026-01-05", "10:05", 99},
        {0, "INS", "2026-01-05", "10:10", -9999},   {1, "INS", "2026-01-05", "10:10", 0.5},
        {1, "INS", "2026-01-05", "10:20", -8888.3}, {0, "INS", "2026-01-05", "10:00", 1.5},
        {0, "AVG", "2026-01-05", "23:59", 1.75}};
    const QVector<Line> second = {{0, "INS", "2026-01-06", "00:10", 3.0625},
                                  {1, "INS", "2026-01-06", "00:10", 2},
                                  {0, "INS", "2026-01-06", "00:00", 2.125},
                                  {1, "INS", "2026-01-06", "00:00", 1}};
    files << dir.filePath("a.xml") << dir.filePath("b.xml");
    QVERIFY(datafile::write(files.at(0), kChannels, first));
    QVERIFY(datafile::write(files.at(1), kChannels, second));
}

void tst_SeriesExporter::waterml_pointsPerChannelReadByXPath()
{
    SeriesExporter exporter;
    exporter.setFormat(SeriesExporter::Format::WaterML2);
    exporter.setUtcOffset(180);
    QFile xml(dir.filePath("out.wml2.xml"));
    QVERIFY(xml.open(QIODevice::WriteOnly));
    QVERIFY2(exporter.run(files, &xml), qPrintable(exporter.errorText()));
    xml.close();
    QCOMPARE(exporter.valueCount(), qint64(10));

    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(NEXIL_SOURCE_DIR "/tests/nexil/files/readwaterml.py"), xml.fileName()});
    QVERIFY(p.waitForFinished(60000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    const QString station = QStringLiteral("station|D15A012|Kızılırmak - Söğütlü");
    const QString nil = QStringLiteral("nil|http://www.opengis.net/def/nil/OGC/0/missing");
    const QStringList expected = {
        station,
        "series|Su Seviyesi|cm",
        "point|2026-01-05T10:00:00+03:00|1.5000",
        "point|2026-01-05T10:10:00+03:00|" + nil,
        "point|2026-01-06T00:00:00+03:00|2.1250",
        "point|2026-01-06T00:10:00+03:00|3.0625",
        station,
        "series|Yağış; \"toplam\"|mm",
        "point|2026-01-05T10:00:00+03:00|0.2500",
        "point|2026-01-05T10:10:00+03:00|0.5000",
        "point|2026-01-05T10:20:00+03:00|" + nil,
        "point|2026-01-06T00:00:00+03:00|1.0000",
        "point|2026-01-06T00:10:00+03:00|2.0000",
        station,
        "series|=1+2|",
        "point|2026-01-05T10:00:00+03:00|7.0000",
    };
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts), expected);
}

void tst_SeriesExporter::zrxp_blockPerChannel_rinvalAndOffset()
{
    SeriesExporter exporter;
    exporter.setFormat(SeriesExporter::Format::Zrxp);
    exporter.setUtcOffset(-330);
    exporter.setChannels({1, 2});
    exporter.setRange(QDateTime(QDate(2026, 1, 5), QTime(10, 10), Qt::UTC),
                      QDateTime(QDate(2026, 1, 6), QTime(0, 0), Qt::UTC));
    const QStringList lines = QString::fromUtf8(run(exporter, files)).split('\n', Qt::SkipEmptyParts);
    const QString head = "#ZRXPVERSION3014.03|*|ZRXPCREATORnexil|*|";
    // The station name's text cannot break the header's fields.
    QCOMPARE(lines,
             (QStringList{head, "#SANRD15A012|*|SNAMEKızılırmak - Söğütlü|*|",
                          "#CNAMEYağış; \"toplam\"|*|CUNITmm|*|RINVAL-777|*|", "#TZUTC-05:30|*|",
                          "#LAYOUT(timestamp,value)|*|", "20260105101000 0.5000", "20260105102000 -777",
                          "20260106000000 1.0000", head, "#SANRD15A012|*|SNAMEKızılırmak - Söğütlü|*|",
                          "#CNAME=1+2|*|CUNIT|*|RINVAL-777|*|", "#TZUTC-05:30|*|",
                          "#LAYOUT(timestamp,value)|*|"}));
    QCOMPARE(exporter.valueCount(), qint64(3));
}

void tst_SeriesExporter::csv_readBackWithTheLocaleRules()
{
    for (const auto locale : {SeriesExporter::Locale::C, SeriesExporter::Locale::Turkish}) {
        const bool comma = locale != SeriesExporter::Locale::C;
        SeriesExporter exporter;
        exporter.setFormat(SeriesExporter::Format::Csv);
        exporter.setLocale(locale);
        exporter.setUtcOffset(120);
        QByteArray bytes = run(exporter, files);
        QCOMPARE(bytes.startsWith("\xEF\xBB\xBF"), comma);
        if (comma)
            bytes.remove(0, 3);
        QVERIFY(bytes.endsWith("\r\n"));
        const QStringList rows = QString::fromUtf8(bytes).split("\r\n", Qt::SkipEmptyParts);
        const QLocale reader(comma ? QLocale::Turkish : QLocale::c());
        const QChar separator = comma ? ';' : ',';
        QCOMPARE(csvCells(rows.at(0), separator),
                 (QStringList{"time", "Su Seviyesi (cm)", "Yağış; \"toplam\" (mm)", "'=1+2"}));
        // time → the cells, numbers read with the locale's decimal sign.
        QStringList read;
        for (int i = 1; i < rows.size(); ++i) {
            const QStringList cells = csvCells(rows.at(i), separator);
            QCOMPARE(cells.size(), 4);
            QStringList row{cells.at(0)};
            for (int c = 1; c < cells.size(); ++c) {
                bool ok = cells.at(c).isEmpty();
                const double v = ok ? 0 : reader.toDouble(cells.at(c), &ok);
                QVERIFY2(ok, qPrintable(rows.at(i)));
                row << (cells.at(c).isEmpty() ? QString() : QString::number(v));
            }
            read << row.join('|');
        }
        QCOMPARE(read, (QStringList{"2026-01-05T10:00:00+02:00|1.5|0.25|7", "2026-01-05T10:10:00+02:00||0.5|",
                                    "2026-01-05T10:20:00+02:00|||", "2026-01-06T00:00:00+02:00|2.125|1|",
                                    "2026-01-06T00:10:00+02:00|3.0625|2|"}));
    }
}

void tst_SeriesExporter::unreadableFileAndRefusedDevice()
{
    const QString broken = dir.filePath("broken.xml");
    QFile f(broken);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<device><header><station><code>X</code></station></header><data><line channel=\"0\"");
    f.close();
    SeriesExporter exporter;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QVERIFY(!exporter.run({files.at(0), broken}, &out));
    QVERIFY2(exporter.errorText().contains("broken.xml"), qPrintable(exporter.errorText()));
    QVERIFY(out.data().isEmpty());
    QVERIFY(!exporter.run({dir.filePath("none.xml")}, &out));

    QFile readOnly(files.at(0));
    QVERIFY(readOnly.open(QIODevice::ReadOnly));
    QVERIFY(!exporter.run(files, &readOnly));

    int minutes = 0;
    QVERIFY(SeriesExporter::parseUtcOffset("-05:30", &minutes) && minutes == -330);
    QVERIFY(SeriesExporter::parseUtcOffset("Z", &minutes) && minutes == 0);
    for (const char *bad : {"", "+3", "+15:00", "03:00", "+03:60", "+0a:00", "+14:01", "x03:00"})
        QVERIFY2(!SeriesExporter::parseUtcOffset(bad, &minutes), bad);
}

QTEST_GUILESS_MAIN(tst_SeriesExporter)
#include "tst_seriesexporter.moc"
