#include "nexil/excel/datafilewriter.h"
#include "ui/chartfile.h"

#include <QDateTime>
#include <QDomDocument>
#include <QTemporaryDir>
#include <QXmlNamePool>
#include <QXmlQuery>
#include <QXmlResultItems>
#include <QtTest>

#include <ctime>

// The points a chart draws, selected as the document query does it: the data
// file serialised, one query for the channel's lines, one more per attribute.
static QVector<QPointF> queryPoints(const QString &path, int channel, const QString &type,
                                    bool skipSensorErrors)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QDomDocument document;
    if (!document.setContent(&file))
        return {};
    QXmlQuery query;
    query.setFocus(document.toString(1));
    query.setQuery(
        QStringLiteral("/device/data/line[@channel='%1' and @dataType='%2']").arg(channel).arg(type));
    QXmlResultItems items;
    query.evaluateTo(&items);
    QVector<QPointF> points;
    for (QXmlItem item = items.next(); !item.isNull(); item = items.next()) {
        auto attribute = [&](const QString &name) {
            QXmlQuery sub(query.namePool());
            sub.setFocus(item);
            sub.setQuery(QStringLiteral("@%1/data(.)").arg(name));
            QString text;
            sub.evaluateTo(&text);
            return text.simplified();
        };
        const float value = attribute(QStringLiteral("value")).toFloat();
        if (skipSensorErrors && (value == -9999.0f || value == -8888.0f))
            continue;
        const QDateTime time(
            QDate::fromString(attribute(QStringLiteral("date")), QStringLiteral("yyyy-MM-dd")),
            QTime::fromString(attribute(QStringLiteral("time")), QStringLiteral("hh:mm")));
        points.append(QPointF(double(time.toMSecsSinceEpoch()), double(value)));
    }
    return points;
}

class tst_ChartFile : public QObject
{
    Q_OBJECT

private slots:
    void pointsEqualTheDocumentQuery_data();
    void pointsEqualTheDocumentQuery();
    void headerGivesStationAndChannels();
    void unreadableLinesAreNotDrawn();
    void brokenFilesKeepNothing_data();
    void brokenFilesKeepNothing();
    void daylightSavingDaysConvertEachTime();

private:
    QString write(const QString &name, const QByteArray &text);
    QTemporaryDir m_dir;
};

static const char header[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<device>
    <header>
        <device_type>2</device_type>
        <station>
            <code>D15A012</code>
            <name>Kızılırmak - Söğütlü</name>
        </station>
        <setup>
            <channels>
                <channel id="0" code="AH"><name>Seviye</name><unit>cm</unit></channel>
                <channel id="1" code="SC"><name>Sıcaklık</name><unit>°C</unit></channel>
            </channels>
        </setup>
    </header>
    <alarms/>
)";

QString tst_ChartFile::write(const QString &name, const QByteArray &text)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return QString();
    return path;
}

void tst_ChartFile::pointsEqualTheDocumentQuery_data()
{
    QTest::addColumn<QByteArray>("data");
    // As the program writes them: the lines are read straight from the bytes.
    QTest::newRow("written") << QByteArray(R"(    <data>
        <line channel="0" dataType="INS" date="2024-03-01" time="00:10" setTime="true" value="12.5000"/>
        <line channel="1" dataType="INS" date="2024-03-01" time="00:10" setTime="false" value="-9999.0000"/>
        <line channel="0" dataType="INS" date="2024-03-01" time="00:20" setTime="false" value="-8888.0000"/>
        <line channel="0" dataType="MAX" date="2024-03-01" time="14:40" setTime="false" value="19.2500"/>
        <line channel="0" dataType="MIN" date="2024-03-01" time="05:00" setTime="false" value="-3.1250"/>
        <line channel="0" dataType="AVG" date="2024-03-02" time="08:00" setTime="false" value="7.0000"/>
        <line channel="1" dataType="INS" date="2024-02-29" time="23:50" setTime="false" value="0.1000"/>
        <line channel="0" dataType="INS" date="2024-03-01" time="00:00" setTime="false" value="1e2"/>
        <line channel="0" dataType="INS" date="2024-03-01" time="00:30" setTime="false" value="+3.5"/>
        <line channel="0" dataType="INS" date="2024-03-01" time="00:40" setTime="false" value=" 4.25 "/>
        <line channel="03" dataType="INS" date="2024-03-01" time="00:50" setTime="false" value="5"/>
        <line channel="0" dataType="ins" date="2024-03-01" time="01:00" setTime="false" value="6"/>
        <line value='16777217.0' dataType='INS' time='01:10' date='2024-03-01' channel='0'/>
    </data>
</device>
)");
    // Anything unusual sends the whole file through the XML reader.
    QTest::newRow("entities") << QByteArray(R"(    <data>
        <line channel="0" dataType="INS" date="2024-03-01" time="00:10" setTime="false" value="&#49;2.5"/>
        <line channel="0" dataType="&#x49;NS" date="2024-03-01" time="00:20" setTime="false" value="-9999"/>
    </data>
</device>
)");
    QTest::newRow("comment, text and other elements") << QByteArray(R"(    <data>
        <!-- a comment -->
        <line channel="0" dataType="INS" date="2024-03-01" time="00:10" setTime="false" value="1.5">text</line>
        <other/>
        <line channel="0" dataType="INS" date="2024-03-01" time="00:20" setTime="false" value="2.5" extra="x"/>
    </data>
    <data>
        <line channel="0" dataType="MIN" date="2024-03-01" time="00:30" setTime="false" value="0.5"/>
    </data>
    <line channel="0" dataType="INS" date="2024-03-01" time="00:40" setTime="false" value="9"/>
</device>
)");
    QTest::newRow("no lines") << QByteArray("    <data/>\n</device>\n");
}

void tst_ChartFile::pointsEqualTheDocumentQuery()
{
    QFETCH(QByteArray, data);
    const QString path = write(QStringLiteral("query.xml"), header + data);
    const ChartFile file = ChartFile::read(path);
    QCOMPARE(file.status(), ChartFile::Loaded);
    const QString types[] = {QStringLiteral("INS"), QStringLiteral("MIN"), QStringLiteral("MAX")};
    int drawn = 0;
    for (int channel : {0, 1, 3}) {
        for (int kind = ChartFile::Instant; kind <= ChartFile::DailyMaximum; ++kind) {
            for (bool skip : {false, true}) {
                const QVector<QPointF> expected = queryPoints(path, channel, types[kind], skip);
                const QVector<QPointF> points = file.points(channel, ChartFile::Kind(kind), skip);
                if (points != expected)
                    qWarning() << channel << types[kind] << skip << points << expected;
                QCOMPARE(points, expected);
                drawn += points.size();
            }
        }
    }
    QCOMPARE(drawn > 0, !data.contains("<data/>"));
}

void tst_ChartFile::headerGivesStationAndChannels()
{
    // Channels at any depth under the setup, in document order; a missing id
    // reads as 0; only the first name of each counts.
    const QString path = write(QStringLiteral("header.xml"), R"(<?xml version="1.0" encoding="UTF-8"?>
<device><header><station><code>X</code><name>Ağrı <b>Dağı</b></name><name>second</name></station>
<setup><channel id="7"><name>Yağış</name><unit>mm</unit><name>other</name></channel>
<channels><group><channel><name>Rüzgar</name><unit>m/s</unit></channel></group></channels></setup>
<setup><channel id="9"><name>not this setup</name></channel></setup></header>
<data/></device>)");
    const ChartFile file = ChartFile::read(path);
    QCOMPARE(file.status(), ChartFile::Loaded);
    QCOMPARE(file.stationName(), QStringLiteral("Ağrı Dağı"));
    const QVector<ChartChannel> channels = file.channels();
    QCOMPARE(channels.size(), 2);
    QCOMPARE(channels[0].id, 7);
    QCOMPARE(channels[0].name, QStringLiteral("Yağış"));
    QCOMPARE(channels[0].unit, QStringLiteral("mm"));
    QCOMPARE(channels[1].id, 0);
    QCOMPARE(channels[1].name, QStringLiteral("Rüzgar"));
    QCOMPARE(channels[1].unit, QStringLiteral("m/s"));

    // The program's own files, through the test writer.
    const QString written = m_dir.filePath(QStringLiteral("written.xml"));
    QVERIFY(datafile::write(written, {{0, "AH", "Seviye", "cm"}, {4, "YG", "Yağış", "mm"}},
                            {{4, "INS", "2024-03-01", "10:00", 1.5}}));
    const ChartFile second = ChartFile::read(written);
    QCOMPARE(second.stationName(), QStringLiteral("Kızılırmak - Söğütlü"));
    QCOMPARE(second.channels().size(), 2);
    QCOMPARE(second.channels()[1].id, 4);
    QCOMPARE(second.points(4, ChartFile::Instant),
             QVector<QPointF>{
                 QPointF(double(QDateTime(QDate(2024, 3, 1), QTime(10, 0)).toMSecsSinceEpoch()), 1.5)});
}

void tst_ChartFile::unreadableLinesAreNotDrawn()
{
    // A point at 1970 or a value of 0 for text that is no number would be a
    // lie on the chart; such lines are left out, the rest still drawn.
    for (const char *spacing : {"", "\t"}) { // the tab sends it through the XML reader
        const QByteArray data = QByteArray(R"(    <data>
        <line channel="0" dataType="INS" date="2024-13-01" time="00:10" value="1"/>
        <line channel="0" dataType="INS" date="2024-03-01" time="24:00" value="2"/>
        <line channel="0" dataType="INS" date="2024-3-1" time="00:10" value="3"/>
        <line channel="0" dataType="INS" date="2024-03-01" time="00:10" value="abc"/>
        <line channel="0" dataType="INS" date="2024-03-01" time="00:10" value="nan"/>
        <line channel="0" dataType="INS" date="2024-03-01" time="00:10" value="1e999"/>
        <line channel="0" dataType="INS" date="2024-03-01" time="00:10"/>
        <line channel="0" dataType="INS" date="2024-03-01" time="00:20" value="7.5)") +
                                spacing + R"("/>
    </data>
</device>
)";
        const ChartFile file = ChartFile::read(write(QStringLiteral("bad.xml"), header + data));
        QCOMPARE(file.status(), ChartFile::Loaded);
        const QVector<QPointF> points = file.points(0, ChartFile::Instant);
        QCOMPARE(points.size(), 1);
        QCOMPARE(points[0].y(), 7.5);
    }
}

void tst_ChartFile::brokenFilesKeepNothing_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not XML") << QByteArray("date;value\n2024-03-01;1\n");
    QTest::newRow("cut in the lines")
        << QByteArray(header) + "<data>\n<line channel=\"0\" dataType=\"INS\" date";
    QTest::newRow("'<' in a value") << QByteArray(header) +
                                           "<data><line channel=\"0\" dataType=\"INS\" date=\"2024-03-01\" "
                                           "time=\"00:10\" value=\"1<2\"/></data></device>";
    QTest::newRow("repeated attribute")
        << QByteArray(header) + "<data><line channel=\"0\" channel=\"1\" dataType=\"INS\" "
                                "date=\"2024-03-01\" time=\"00:10\" value=\"1\"/></data></device>";
    QTest::newRow("unclosed root") << QByteArray(header) + "<data></data>\n";
    QTest::newRow("second root") << QByteArray(header) + "<data></data></device><device/>";
}

void tst_ChartFile::brokenFilesKeepNothing()
{
    QFETCH(QByteArray, text);
    const ChartFile file = ChartFile::read(write(QStringLiteral("broken.xml"), text));
    QCOMPARE(file.status(), ChartFile::Malformed);
    QVERIFY(!file.errorString().isEmpty());
    QVERIFY(file.channels().isEmpty());
    QVERIFY(file.stationName().isEmpty());
    QVERIFY(file.points(0, ChartFile::Instant).isEmpty());

    const ChartFile missing = ChartFile::read(m_dir.filePath(QStringLiteral("missing.xml")));
    QCOMPARE(missing.status(), ChartFile::Unreadable);
    QVERIFY(!missing.errorString().isEmpty());
}

void tst_ChartFile::daylightSavingDaysConvertEachTime()
{
    // Days with a clock change cannot be their midnight plus minutes.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QByteArray data = "<data>\n";
    for (const char *date : {"2024-03-30", "2024-03-31", "2024-04-01", "2024-10-27"})
        for (const char *time : {"00:00", "01:50", "02:30", "03:10", "12:00", "23:50"})
            data +=
                QStringLiteral("<line channel=\"0\" dataType=\"INS\" date=\"%1\" time=\"%2\" value=\"1\"/>\n")
                    .arg(QLatin1String(date), QLatin1String(time))
                    .toUtf8();
    data += "</data></device>\n";
    const QString path = write(QStringLiteral("dst.xml"), header + data);
    QVector<QPointF> points = ChartFile::read(path).points(0, ChartFile::Instant);
    QVector<QPointF> expected = queryPoints(path, 0, QStringLiteral("INS"), false);
    qputenv("TZ", zone);
    tzset();
    QCOMPARE(points.size(), 24);
    QCOMPARE(expected.size(), 24);
    // 03:10 on the 31st of March is 20 minutes after 01:50, not 80.
    QCOMPARE(points[9].x() - points[7].x(), 20 * 60000.0);
    // 02:30 on the 27th of October comes twice; the first is taken, while the
    // query's choice depends on the conversions made before it.
    QCOMPARE(qint64(points[20].x()),
             QDateTime(QDate(2024, 10, 27), QTime(0, 30), Qt::UTC).toMSecsSinceEpoch());
    points.remove(20);
    expected.remove(20);
    QCOMPARE(points, expected);
}

QTEST_GUILESS_MAIN(tst_ChartFile)
#include "tst_chartfile.moc"
