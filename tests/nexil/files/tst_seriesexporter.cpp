// The exchange formats written from data files built here: every value once
// per format, under its own channel across a change of setup, times with the
// station's offset, sensor errors as nil values or RINVAL. WaterML is checked
// against its schemas' and schematron's rules and read back with OWSLib, ZRXP
// by the common readers' rules, CSV with the rules of its locale.

#include "nexil/excel/datafilewriter.h"
#include "nexil/files/gapfinder.h"
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

struct Script
{
    int status = -1;
    QStringList lines;
    QByteArray err;
};

// Runs one of the readers beside this test on a file.
Script read(const char *script, const QString &path, const QStringList &more = {})
{
    QProcess p;
    p.start(
        QStringLiteral("/usr/bin/python3"),
        QStringList{QStringLiteral(NEXIL_SOURCE_DIR "/tests/nexil/files/") + QLatin1String(script), path} +
            more);
    Script r;
    if (!p.waitForFinished(60000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    r.err = p.readAllStandardError();
    return r;
}

Script exportAndRead(SeriesExporter &exporter, const QStringList &files, const QString &out,
                     const char *script, const QStringList &more = {})
{
    QFile file(out);
    if (!file.open(QIODevice::WriteOnly) || !exporter.run(files, &file)) {
        qWarning("%s", qPrintable(exporter.errorText()));
        return Script();
    }
    file.close();
    return read(script, out, more);
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
    void changeOfSetup_everyValueUnderItsOwnChannel();
    void waterml_validForEmptyUnknownAndOddUnits();
    void zrxp_encodingSeparatorsAndZone();
    void flags_everyFormatCarriesEachValuesOwn();

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

    const Script r = read("checkwaterml.py", xml.fileName());
    QVERIFY2(r.status == 0, r.err.constData());
    const QString station = QStringLiteral("station|D15A012|Kızılırmak - Söğütlü");
    const QString nil = QStringLiteral("nil|http://www.opengis.net/def/nil/OGC/0/missing");
    const QStringList expected = {
        station,
        "series|0|Su Seviyesi|cm|cm",
        "point|2026-01-05T10:00:00+03:00|1.5000",
        "point|2026-01-05T10:10:00+03:00|" + nil,
        "point|2026-01-06T00:00:00+03:00|2.1250",
        "point|2026-01-06T00:10:00+03:00|3.0625",
        station,
        "series|1|Yağış; \"toplam\"|mm|mm",
        "point|2026-01-05T10:00:00+03:00|0.2500",
        "point|2026-01-05T10:10:00+03:00|0.5000",
        "point|2026-01-05T10:20:00+03:00|" + nil,
        "point|2026-01-06T00:00:00+03:00|1.0000",
        "point|2026-01-06T00:10:00+03:00|2.0000",
        station,
        "series|2|=1+2|-|-",
        "point|2026-01-05T10:00:00+03:00|7.0000",
    };
    QCOMPARE(r.lines, expected);
}

void tst_SeriesExporter::zrxp_blockPerChannel_rinvalAndOffset()
{
    SeriesExporter exporter;
    exporter.setFormat(SeriesExporter::Format::Zrxp);
    exporter.setUtcOffset(-330);
    exporter.setChannels({1, 2});
    exporter.setRange(QDateTime(QDate(2026, 1, 5), QTime(10, 10), Qt::UTC),
                      QDateTime(QDate(2026, 1, 6), QTime(0, 0), Qt::UTC));
    const QStringList lines = QString::fromLatin1(run(exporter, files)).split('\n', Qt::SkipEmptyParts);
    const QString head = "#ZRXPVERSION3014.03|*|ZRXPCREATORnexil|*|";
    // ISO-8859-1, letters outside it without their accents; -05:30 is no
    // whole hour, so the times are UTC's.
    QCOMPARE(lines, (QStringList{
                        head, "#SANRD15A012|*|SNAMEKizilirmak - Sögütlü|*|",
                        "#CNAMEYagis; \"toplam\"|*|CUNITmm|*|RINVAL-777|*|", "#TZUTC+0|*|",
                        "#LAYOUT(timestamp,value)|*|", "20260105154000 0.5000", "20260105155000 -777",
                        "20260106053000 1.0000", head, "#SANRD15A012|*|SNAMEKizilirmak - Sögütlü|*|",
                        "#CNAME=1+2|*|CUNIT|*|RINVAL-777|*|", "#TZUTC+0|*|", "#LAYOUT(timestamp,value)|*|"}));
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

void tst_SeriesExporter::changeOfSetup_everyValueUnderItsOwnChannel()
{
    // One station before and after a change of setup: humidity removed,
    // rain inserted first, water temperature moved, two air temperature
    // channels alike in all but their order. The newer file's name sorts
    // first as text, and it repeats one older time with another value.
    QTemporaryDir here;
    const QString older = here.filePath("D02A003_28012026.xml");
    const QString newer = here.filePath("D02A003_01022026.xml");
    QVERIFY(datafile::write(older,
                            {{0, "WAL", "Su Seviyesi", "cm", 10},
                             {1, "AH", "Hava Nemi", "%", 10},
                             {2, "AT", "Hava Sıcaklığı", "C", 10},
                             {3, "AT", "Hava Sıcaklığı", "C", 10},
                             {4, "WAT", "Su Sıcaklığı", "°C", 10},
                             {5, "EC", "İletkenlik", "mS/cm", 10}},
                            {{0, "INS", "2026-01-28", "10:00", 120},
                             {1, "INS", "2026-01-28", "10:00", 65},
                             {2, "INS", "2026-01-28", "10:00", 5.5},
                             {3, "INS", "2026-01-28", "10:00", 6.5},
                             {4, "INS", "2026-01-28", "10:00", 9.5}},
                            "Söğüt", "D02A003", "2026-01-01 08:00"));
    QVERIFY(datafile::write(newer,
                            {{0, "PR", "Yağış", "mm", 10},
                             {1, "WAL", "Su Seviyesi", "cm", 10},
                             {2, "WAT", "Su Sıcaklığı", "°C", 10},
                             {3, "AT", "Hava Sıcaklığı", "C", 10},
                             {4, "AT", "Hava Sıcaklığı", "C", 10}},
                            {{1, "INS", "2026-01-28", "10:00", 122},
                             {0, "INS", "2026-02-01", "10:00", 0.2},
                             {1, "INS", "2026-02-01", "10:00", 121},
                             {2, "INS", "2026-02-01", "10:00", -0.00001},
                             {3, "INS", "2026-02-01", "10:00", 4.5},
                             {4, "INS", "2026-02-01", "10:00", 7.5}},
                            "Söğüt", "D02A003", "2026-01-30 08:00"));
    const QStringList both = {newer, older};

    SeriesExporter csv;
    const QStringList rows = QString::fromUtf8(run(csv, both)).split("\r\n", Qt::SkipEmptyParts);
    // Numbered by the newest setup; the removed channel after it.
    QCOMPARE(rows, (QStringList{"time,Yağış (mm),Su Seviyesi (cm),Su Sıcaklığı (°C),Hava Sıcaklığı (C),"
                                "Hava Sıcaklığı (C),Hava Nemi (%),İletkenlik (mS/cm)",
                                "2026-01-28T10:00:00+03:00,,122.0000,9.5000,5.5000,6.5000,65.0000,",
                                "2026-02-01T10:00:00+03:00,0.2000,121.0000,0.0000,4.5000,7.5000,,"}));
    QCOMPARE(csv.warnings(),
             QStringList{"channel 1 (Su Seviyesi) at 2026-01-28 10:00: D02A003_28012026.xml has 120.0000, "
                         "the newer D02A003_01022026.xml has 122.0000; 122.0000 written"});

    SeriesExporter zrxp;
    zrxp.setFormat(SeriesExporter::Format::Zrxp);
    zrxp.setChannels({2, 5});
    const Script z = exportAndRead(zrxp, both, here.filePath("out.zrx"), "readzrxp.py");
    QVERIFY2(z.status == 0, z.err.constData());
    QCOMPARE(z.lines, (QStringList{"block|D02A003|Sögüt|Su Sicakligi|°C", "value|2026-01-28T07:00Z|9.5000",
                                   "value|2026-02-01T07:00Z|0.0000", "block|D02A003|Sögüt|Hava Nemi|%",
                                   "value|2026-01-28T07:00Z|65.0000"}));

    SeriesExporter wml;
    wml.setFormat(SeriesExporter::Format::WaterML2);
    wml.setChannels({3, 4});
    const Script w = exportAndRead(wml, both, here.filePath("out.xml"), "checkwaterml.py");
    QVERIFY2(w.status == 0, w.err.constData());
    QCOMPARE(w.lines, (QStringList{"station|D02A003|Söğüt", "series|3|Hava Sıcaklığı|Cel|C",
                                   "point|2026-01-28T10:00:00+03:00|5.5000",
                                   "point|2026-02-01T10:00:00+03:00|4.5000", "station|D02A003|Söğüt",
                                   "series|4|Hava Sıcaklığı|Cel|C", "point|2026-01-28T10:00:00+03:00|6.5000",
                                   "point|2026-02-01T10:00:00+03:00|7.5000"}));

    // Rain is expected only from the setup that added it, humidity and the
    // conductivity that never had a value only until the setup that removed
    // them.
    GapFinder gaps;
    gaps.setRange(QDateTime(QDate(2026, 1, 28), QTime(0, 0), Qt::UTC),
                  QDateTime(QDate(2026, 2, 1), QTime(23, 50), Qt::UTC));
    QVERIFY(gaps.run(both));
    QStringList figures;
    for (const GapFinder::ChannelFigures &c : gaps.channels())
        figures << QStringLiteral("%1|%2|%3|%4|%5")
                       .arg(c.channel)
                       .arg(c.name, c.unit)
                       .arg(c.present)
                       .arg(c.missing);
    QCOMPARE(figures, (QStringList{"0|Yağış|mm|1|383", "1|Su Seviyesi|cm|2|718", "2|Su Sıcaklığı|°C|2|718",
                                   "3|Hava Sıcaklığı|C|2|718", "4|Hava Sıcaklığı|C|2|718",
                                   "5|Hava Nemi|%|1|335", "6|İletkenlik|mS/cm|0|336"}));
}

void tst_SeriesExporter::waterml_validForEmptyUnknownAndOddUnits()
{
    // A channel without values in the range, a line whose channel the header
    // does not list, units that are no UCUM code or none at all.
    QTemporaryDir here;
    const QString path = here.filePath("X_05012026.xml");
    QVERIFY(datafile::write(path,
                            {{0, "WAL", "Seviye", "mm h", 10},
                             {1, "WAF", "Debi", "m³/s", 10},
                             {2, "AT", "Sıcaklık", "°C", 10},
                             {3, "X", "Boş", "%", 10}},
                            {{0, "INS", "2026-01-05", "10:00", 1},
                             {1, "INS", "2026-01-05", "10:00", -0.00004},
                             {2, "INS", "2026-01-05", "10:00", -9999},
                             {7, "INS", "2026-01-05", "10:00", 4},
                             {3, "INS", "2026-01-04", "10:00", 3}}));
    SeriesExporter exporter;
    exporter.setFormat(SeriesExporter::Format::WaterML2);
    exporter.setUtcOffset(345);
    exporter.setRange(QDateTime(QDate(2026, 1, 5), QTime(0, 0), Qt::UTC), QDateTime());
    const Script r = exportAndRead(exporter, {path}, here.filePath("out.xml"), "checkwaterml.py");
    QVERIFY2(r.status == 0, r.err.constData());
    QCOMPARE(r.lines,
             (QStringList{"station|D15A012|Kızılırmak - Söğütlü", "series|0|Seviye|-|mm h",
                          "point|2026-01-05T10:00:00+05:45|1.0000", "station|D15A012|Kızılırmak - Söğütlü",
                          "series|1|Debi|m3/s|m³/s", "point|2026-01-05T10:00:00+05:45|0.0000",
                          "station|D15A012|Kızılırmak - Söğütlü", "series|2|Sıcaklık|Cel|°C",
                          "point|2026-01-05T10:00:00+05:45|nil|http://www.opengis.net/def/nil/OGC/0/missing",
                          "station|D15A012|Kızılırmak - Söğütlü", "series|4|Channel 4|-|-",
                          "point|2026-01-05T10:00:00+05:45|4.0000"}));

    // Nothing in range: a collection without members, still valid.
    exporter.setRange(QDateTime(QDate(2027, 1, 1), QTime(0, 0), Qt::UTC), QDateTime());
    const Script empty = exportAndRead(exporter, {path}, here.filePath("empty.xml"), "checkwaterml.py");
    QVERIFY2(empty.status == 0, empty.err.constData());
    QVERIFY(empty.lines.isEmpty());

    QCOMPARE(SeriesExporter::ucumCode(" m3/m "), QStringLiteral("m3/min"));
    QCOMPARE(SeriesExporter::ucumCode("degree"), QStringLiteral("deg"));
    QVERIFY(SeriesExporter::ucumCode("mm h").isEmpty());
}

void tst_SeriesExporter::zrxp_encodingSeparatorsAndZone()
{
    QTemporaryDir here;
    const auto file = [&](const QString &name, const QString &code, const QString &channel) {
        const QString path = here.filePath(name);
        datafile::write(path, {{0, "WAL", channel, "m³", 10}},
                        {{0, "INS", "2026-01-05", "10:00", 1}, {0, "INS", "2026-01-05", "00:10", 2}},
                        "ÇAYI İST", code);
        return path;
    };
    const QString plain = file("a.xml", "D02A003", "Seviye");

    // ISO-8859-1 unless asked: İ without its dot, Ç and ³ as they are.
    SeriesExporter exporter;
    exporter.setFormat(SeriesExporter::Format::Zrxp);
    exporter.setUtcOffset(345);
    Script r = exportAndRead(exporter, {plain}, here.filePath("a.zrx"), "readzrxp.py");
    QVERIFY2(r.status == 0, r.err.constData());
    QCOMPARE(r.lines, (QStringList{"block|D02A003|ÇAYI IST|Seviye|m³", "value|2026-01-04T18:25Z|2.0000",
                                   "value|2026-01-05T04:15Z|1.0000"}));
    exporter.setEncoding(SeriesExporter::Encoding::Utf8);
    exporter.setUtcOffset(-180);
    r = exportAndRead(exporter, {plain}, here.filePath("b.zrx"), "readzrxp.py", {"utf-8"});
    QVERIFY2(r.status == 0, r.err.constData());
    QCOMPARE(r.lines, (QStringList{"block|D02A003|ÇAYI İST|Seviye|m³", "value|2026-01-05T03:10Z|2.0000",
                                   "value|2026-01-05T13:00Z|1.0000"}));
    QFile b(here.filePath("b.zrx"));
    QVERIFY(b.open(QIODevice::ReadOnly));
    QVERIFY(b.readAll().contains("#TZUTC-3|*|"));

    // Refused, naming the station, with nothing written: separators in any
    // header value, and in ISO-8859-1 a character it cannot hold.
    const QVector<QPair<QString, QString>> refused = {
        {file("c.xml", "D02|A*003", "Seviye"), "station D02|A*003: the station code"},
        {file("d.xml", "D02A003", "Seviye;*;X"), "station D02A003: the channel name \"Seviye;*;X\""},
        {file("e.xml", "D02A003", "Seviye €"),
         "station D02A003: the channel name \"Seviye €\" has characters"}};
    exporter.setEncoding(SeriesExporter::Encoding::Latin1);
    for (const auto &c : refused) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QVERIFY(!exporter.run({c.first}, &out));
        QVERIFY2(exporter.errorText().startsWith(c.second), qPrintable(exporter.errorText()));
        QVERIFY(out.data().isEmpty());
    }
    exporter.setEncoding(SeriesExporter::Encoding::Utf8);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QVERIFY(exporter.run({refused.at(2).first}, &out));
}

void tst_SeriesExporter::flags_everyFormatCarriesEachValuesOwn()
{
    // The flags a store would hold, by file, channel position and time;
    // one value the store does not know, one flag off the scale.
    const QHash<QString, int> held = {
        {"a.xml|0|2026-01-05 10:00", 1}, {"a.xml|0|2026-01-05 10:10", 9}, {"b.xml|0|2026-01-06 00:00", 3},
        {"b.xml|0|2026-01-06 00:10", 1}, {"a.xml|1|2026-01-05 10:00", 4}, {"a.xml|1|2026-01-05 10:10", 4},
        {"a.xml|1|2026-01-05 10:20", 9}, {"b.xml|1|2026-01-06 00:10", 4}, {"a.xml|2|2026-01-05 10:00", 77}};
    int asked = 0;
    const SeriesExporter::FlagSource flags = [&](const QString &file, int channel, qint64 minute) {
        ++asked;
        const QDateTime t(QDate::fromJulianDay(minute / 1440), QTime(0, 0).addSecs(int(minute % 1440) * 60));
        return held.value(QStringLiteral("%1|%2|%3")
                              .arg(file)
                              .arg(channel)
                              .arg(t.toString(QStringLiteral("yyyy-MM-dd HH:mm"))),
                          2);
    };

    // WaterML: read back by OWSLib, each point's quality its flag's term;
    // the most common one the series' default (checked by the reader).
    SeriesExporter wml;
    wml.setFormat(SeriesExporter::Format::WaterML2);
    wml.setFlags(flags);
    const Script w = exportAndRead(wml, files, dir.filePath("flags.xml"), "checkwaterml.py");
    QVERIFY2(w.status == 0, w.err.constData());
    const QString station = QStringLiteral("station|D15A012|Kızılırmak - Söğütlü");
    const QString nil = QStringLiteral("nil|http://www.opengis.net/def/nil/OGC/0/missing");
    QCOMPARE(
        w.lines,
        (QStringList{
            station, "series|0|Su Seviyesi|cm|cm", "point|2026-01-05T10:00:00+03:00|1.5000|good",
            "point|2026-01-05T10:10:00+03:00|" + nil + "|missing",
            "point|2026-01-06T00:00:00+03:00|2.1250|suspect", "point|2026-01-06T00:10:00+03:00|3.0625|good",
            station, "series|1|Yağış; \"toplam\"|mm|mm", "point|2026-01-05T10:00:00+03:00|0.2500|poor",
            "point|2026-01-05T10:10:00+03:00|0.5000|poor",
            "point|2026-01-05T10:20:00+03:00|" + nil + "|missing",
            "point|2026-01-06T00:00:00+03:00|1.0000|unchecked", "point|2026-01-06T00:10:00+03:00|2.0000|poor",
            station, "series|2|=1+2|-|-", "point|2026-01-05T10:00:00+03:00|7.0000|unchecked"}));
    QFile xml(dir.filePath("flags.xml"));
    QVERIFY(xml.open(QIODevice::ReadOnly));
    // Only the points that differ from their default name a quality.
    QCOMPARE(xml.readAll().count("<wml2:quality "), 3 + 3 + 1);
    QVERIFY(asked >= 10);

    // ZRXP: a status column the readers take by the layout.
    SeriesExporter zrxp;
    zrxp.setFormat(SeriesExporter::Format::Zrxp);
    zrxp.setChannels({0, 1});
    zrxp.setFlags(flags);
    const Script z = exportAndRead(zrxp, files, dir.filePath("flags.zrx"), "readzrxp.py");
    QVERIFY2(z.status == 0, z.err.constData());
    QCOMPARE(z.lines, (QStringList{"block|D15A012|Kizilirmak - Sögütlü|Su Seviyesi|cm",
                                   "value|2026-01-05T07:00Z|1.5000|1", "value|2026-01-05T07:10Z|nil|9",
                                   "value|2026-01-05T21:00Z|2.1250|3", "value|2026-01-05T21:10Z|3.0625|1",
                                   "block|D15A012|Kizilirmak - Sögütlü|Yagis; \"toplam\"|mm",
                                   "value|2026-01-05T07:00Z|0.2500|4", "value|2026-01-05T07:10Z|0.5000|4",
                                   "value|2026-01-05T07:20Z|nil|9", "value|2026-01-05T21:00Z|1.0000|2",
                                   "value|2026-01-05T21:10Z|2.0000|4"}));

    // CSV: a flag column beside each channel's, named after it, quoted
    // like it; empty where the channel has no value at that time.
    SeriesExporter csv;
    csv.setLocale(SeriesExporter::Locale::Turkish);
    csv.setFlags(flags);
    const QStringList rows = QString::fromUtf8(run(csv, files).mid(3)).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(csvCells(rows.at(0), ';'),
             (QStringList{"time", "Su Seviyesi (cm)", "Su Seviyesi (cm) flag", "Yağış; \"toplam\" (mm)",
                          "Yağış; \"toplam\" (mm) flag", "'=1+2", "'=1+2 flag"}));
    QStringList cells;
    for (const QString &row : rows.mid(1))
        cells << csvCells(row, ';').join('|');
    QCOMPARE(cells,
             (QStringList{"2026-01-05T10:00:00+03:00|1,5000|1|0,2500|4|7,0000|2",
                          "2026-01-05T10:10:00+03:00||9|0,5000|4||", "2026-01-05T10:20:00+03:00||||9||",
                          "2026-01-06T00:00:00+03:00|2,1250|3|1,0000|2||",
                          "2026-01-06T00:10:00+03:00|3,0625|1|2,0000|4||"}));
}

QTEST_GUILESS_MAIN(tst_SeriesExporter)
#include "tst_seriesexporter.moc"
