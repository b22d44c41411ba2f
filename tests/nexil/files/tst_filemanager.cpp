#include "nexil/files/datafilehead.h"
#include "nexil/files/filemanager.h"
#include "nexil/protocol/nexil.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <sys/resource.h>
#include <thread>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

DataLine line(const QString &when, ValueType type, int channel, float value, bool setTime = false)
{
    static const char *const names[] = {"Unknown", "AVG", "INS", "MAX", "MIN", "TOT"};
    DataLine l;
    l.dateTime = QDateTime::fromString(when, QStringLiteral("yyyy-MM-dd hh:mm"));
    l.valueType = type;
    l.valueTypeName = QString::fromLatin1(names[type]);
    l.channel = channel;
    l.value = value;
    l.setTime = setTime;
    return l;
}

DataFile download(const QString &stationCode = QStringLiteral("D18A001"), int channels = 2)
{
    DataFile f;
    f.deviceType = DeviceTQM510;
    f.deviceTypeName = QStringLiteral("TQM510");
    f.deviceTypeDescription = QStringLiteral("Hidrometeorolojik istasyon");
    f.lastConnectionTime = QDateTime(QDate(2026, 3, 6), QTime(8, 15));
    f.supplyVoltage = 12.5f;
    f.stationCode = stationCode;
    f.stationName = QStringLiteral("Köprübaşı");
    f.region = 18;
    f.basin = 7;
    f.stationNo = 1;
    f.channelCount = channels;
    f.dayStartHour = 8;
    f.memoryPage = 12;
    f.memoryBuffer = 300;
    const QList<ChannelCode> codes = {CodeWAL, CodePR, CodeAT};
    for (int i = 0; i < channels; ++i) {
        f.channelFlags.append(1);
        f.channelCodes.append(codes.value(i, CodeSV));
        f.channelNames.append(QStringLiteral("Kanal <%1> & \"ş\"").arg(i));
        f.channelUnits.append(i == 0 ? QStringLiteral("m") : QStringLiteral("mm"));
        f.channelIntervals.append(10 * (i + 1));
    }
    f.setupTime = QDateTime(QDate(2026, 1, 2), QTime(9, 30));
    f.lines = {
        line("2026-03-05 10:00", ValueINS, 0, 12.5f, true), line("2026-03-05 10:00", ValueINS, 1, 0.2f),
        line("2026-03-05 10:10", ValueINS, 0, -9999.0f),    line("2026-03-05 10:10", ValueINS, 1, 3.25f),
        line("2026-03-05 14:20", ValueMAX, 1, 7.5f),        line("2026-03-05 03:10", ValueMIN, 0, -8888.5f),
        line("2026-03-06 07:59", ValueAVG, 0, 1.0f),        line("2026-03-06 07:59", ValueAVG, 1, -9999.0f),
        line("2026-03-06 07:59", ValueTOT, 0, -9999.0f),    line("2026-03-06 07:59", ValueTOT, 1, 42.0f)};
    return f;
}

void setText(QDomElement parent, const QString &name, const QString &text)
{
    QDomDocument d = parent.ownerDocument();
    QDomElement e = d.createElement(name);
    e.appendChild(d.createTextNode(text));
    parent.appendChild(e);
}

// Refreshed values go to their place under the root, created when an older
// file lacks them, so the next resume point is always the new one.
void replaceText(QDomDocument &d, const QString &path, const QString &text)
{
    QDomElement e = d.documentElement();
    for (const QString &name : path.split(QLatin1Char('/'))) {
        QDomElement child = e.firstChildElement(name);
        if (child.isNull())
            child = e.appendChild(d.createElement(name)).toElement();
        e = child;
    }
    while (e.hasChildNodes())
        e.removeChild(e.firstChild());
    e.appendChild(d.createTextNode(text));
}

// The document-based way of appending a download, step by step, kept here
// as the yardstick for the streaming writer.
QDomDocument referenceDocument(const QString &path, const DataFile &f)
{
    QDomDocument d;
    QFile existing(path);
    bool parsed = existing.open(QIODevice::ReadOnly) && d.setContent(&existing);
    parsed = parsed && !d.documentElement().isNull();
    if (!parsed) {
        const Nexil nexil;
        d = QDomDocument();
        QDomElement root = d.createElement("device");
        d.appendChild(root);
        QDomElement header = d.createElement("header");
        root.appendChild(header);
        setText(header, "device_type", QString::number(f.deviceType));
        setText(header, "device_type_name", f.deviceTypeName);
        setText(header, "device_type_description", f.deviceTypeDescription);
        setText(header, "last_connection_time", QString());
        setText(header, "supply_voltage", QString());
        QDomElement station = d.createElement("station");
        header.appendChild(station);
        setText(station, "code", f.stationCode);
        setText(station, "name", f.stationName);
        setText(station, "region", QString::number(f.region));
        setText(station, "basin", QString::number(f.basin));
        setText(station, "no", QString::number(f.stationNo));
        QDomElement setup = d.createElement("setup");
        header.appendChild(setup);
        setText(setup, "timestamp", f.setupTime.toString("yyyy-MM-dd hh:mm"));
        setText(setup, "start_of_day", QString::number(f.dayStartHour));
        QDomElement memory = d.createElement("memory");
        setup.appendChild(memory);
        setText(memory, "page", QString());
        setText(memory, "buffer", QString());
        setText(setup, "channel_count", QString::number(f.channelCount));
        QDomElement channels = d.createElement("channels");
        setup.appendChild(channels);
        for (int i = 0; i < f.channelCount; ++i) {
            QDomElement c = d.createElement("channel");
            c.setAttribute("id", i);
            c.setAttribute("code", nexil.channelCodeName(f.channelCodes.at(i)));
            setText(c, "name", f.channelNames.at(i));
            setText(c, "unit", f.channelUnits.at(i));
            setText(c, "interval", QString::number(f.channelIntervals.at(i)));
            channels.appendChild(c);
        }
        root.appendChild(d.createElement("data"));
        root.appendChild(d.createElement("data"));
    }
    replaceText(d, "header/last_connection_time", f.lastConnectionTime.toString("yyyy-MM-dd hh:mm"));
    replaceText(d, "header/supply_voltage", QString::asprintf("%.2f", double(f.supplyVoltage)));
    replaceText(d, "header/setup/memory/page", QString::number(f.memoryPage));
    replaceText(d, "header/setup/memory/buffer", QString::number(f.memoryBuffer));
    QDomElement data = d.documentElement().firstChildElement("data");
    if (data.isNull())
        data = d.documentElement().appendChild(d.createElement("data")).toElement();
    for (const DataLine &l : f.lines) {
        QDomElement e = d.createElement("line");
        e.setAttribute("channel", l.channel);
        e.setAttribute("dataType", l.valueTypeName);
        e.setAttribute("date", l.dateTime.toString("yyyy-MM-dd"));
        e.setAttribute("time", l.dateTime.toString("hh:mm"));
        e.setAttribute("setTime", l.setTime ? "true" : "false");
        e.setAttribute("value", QString::asprintf("%.4f", double(l.value)));
        data.appendChild(e);
    }
    return d;
}

// The document's lines as a QXmlStreamWriter lays them out, which is how
// every data file must end.
QByteArray writerDataXml(const QDomDocument &d)
{
    QByteArray out = "    <data>\n";
    for (QDomElement l = d.documentElement().firstChildElement("data").firstChildElement(); !l.isNull();
         l = l.nextSiblingElement()) {
        QByteArray element;
        QXmlStreamWriter w(&element);
        w.writeEmptyElement("line");
        for (const char *name : {"channel", "dataType", "date", "time", "setTime", "value"})
            w.writeAttribute(name, l.attribute(name));
        w.writeEndDocument();
        out += "        " + element.trimmed() + "\n";
    }
    return out + "    </data>\n</device>\n";
}

// A document that fails to parse is treated as one without elements.
QDomDocument parse(const QByteArray &xml)
{
    QDomDocument d;
    if (!d.setContent(xml))
        return QDomDocument();
    return d;
}

// Line by line, so a failure names the first line that differs.
QStringList linesOf(const QString &path)
{
    return QString::fromUtf8(readAll(path)).split(QLatin1Char('\n'));
}

// A data file as a station would have it, with the given lines
// ("channel,type,date,time,setTime,value").
QByteArray dataXml(const QStringList &lines, int channels = 2)
{
    QByteArray x =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<device><header>"
        "<device_type>1</device_type><last_connection_time>2026-03-06 08:15</last_connection_time>"
        "<station><code>D01</code><name>Köprü</name><region>1</region></station>"
        "<setup><timestamp>2026-03-05 14:20</timestamp><start_of_day>8</start_of_day>"
        "<memory><page>00000012</page><buffer>300</buffer></memory><channel_count>2</channel_count>"
        "<channels>";
    const QStringList names = {"Level", "Rain", "Air"}, units = {"m", "mm", "C"},
                      intervals = {"10", "60", "5"};
    for (int i = 0; i < channels; ++i) {
        x += QStringLiteral(
                 "<channel id=\"%1\" code=\"WAL\"><name>%2</name><unit>%3</unit><interval>%4</interval>"
                 "</channel>")
                 .arg(i)
                 .arg(names[i], units[i], intervals[i])
                 .toUtf8();
    }
    x += "</channels></setup></header><alarms><alarm>x</alarm></alarms><data>";
    for (const QString &l : lines) {
        const QStringList f = l.split(',');
        x += QStringLiteral(
                 "<line channel=\"%1\" dataType=\"%2\" date=\"%3\" time=\"%4\" setTime=\"%5\" value=\"%6\"/>")
                 .arg(f[0], f[1], f[2], f[3], f[4], f[5])
                 .toUtf8();
    }
    return x + "</data></device>\n";
}

const QByteArray textHeader = "Köprü\r\nD01\r\n05/03/2026 14:20\r\n000000120300\r\n\r\n"
                              "|||Level|Rain|\r\n|||m|mm|\r\n|||10|60|\r\n\r\n";

} // namespace

class TestFileManager : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void newFile_hasCanonicalLayoutAndFormats();
    void emptyDownload_writesEmptyDataOrOnlyRefreshesHeader();
    void secondSave_doublesLinesAndKeepsStationAndSetup();
    void streamingSave_writesWhatTheDocumentPathWrites_data();
    void streamingSave_writesWhatTheDocumentPathWrites();
    void unreadableExisting_returns1AndWritesNothing();
    void unwritableTarget_returns2WithoutExports();
    void interruptedSave_leavesEarlierFilesIntact();
    void appendInPlace_writesWhatTheWholeFileWouldHold();
    void unparsableExisting_isMovedAsideNotLost();
    void deeplyNestedExisting_isSavedWithoutCrashing();
    void concurrentSaves_onDifferentFiles();
    void concurrentSaves_onOneFileKeepEveryLine();
    void heldLock_waitEndsOnTimeoutCancelOrRelease();

    void resumePoint_data();
    void resumePoint();
    void resumePoint_missingFile();
    void timeBase_keptBesideThePosition();

    void textExport_data();
    void textExport();
    void textExport_pathStopsAtFirstDot();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString path(const QString &name) const { return dir->filePath(name); }
};

void TestFileManager::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestFileManager::newFile_hasCanonicalLayoutAndFormats()
{
    DataFile f = download(QStringLiteral("D01"), 1);
    f.setupTime = QDateTime();
    f.lines = {line("2026-03-05 10:00", ValueINS, 0, 12.5f, true),
               line("2026-03-05 10:10", ValueINS, 0, -0.00004f), line("unreadable", ValueMAX, 0, 1e6f)};
    FileManager manager;
    QCOMPARE(manager.saveFile(f, path("st_05032026.xml"), false, false), 0);

    const QByteArray expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<device>\n"
        "    <header>\n"
        "        <device_type>1</device_type>\n"
        "        <device_type_name>TQM510</device_type_name>\n"
        "        <device_type_description>Hidrometeorolojik istasyon</device_type_description>\n"
        "        <last_connection_time>2026-03-06 08:15</last_connection_time>\n"
        "        <supply_voltage>12.50</supply_voltage>\n"
        "        <station>\n"
        "            <code>D01</code>\n"
        "            <name>Köprübaşı</name>\n"
        "            <region>18</region>\n"
        "            <basin>7</basin>\n"
        "            <no>1</no>\n"
        "        </station>\n"
        "        <setup>\n"
        "            <timestamp></timestamp>\n"
        "            <start_of_day>8</start_of_day>\n"
        "            <memory>\n"
        "                <page>12</page>\n"
        "                <buffer>300</buffer>\n"
        "            </memory>                                                                \n"
        "            <channel_count>1</channel_count>\n"
        "            <channels>\n"
        "                <channel id=\"0\" code=\"WAL\">\n"
        "                    <name>Kanal &lt;0&gt; &amp; &quot;ş&quot;</name>\n"
        "                    <unit>m</unit>\n"
        "                    <interval>10</interval>\n"
        "                </channel>\n"
        "            </channels>\n"
        "        </setup>\n"
        "    </header>\n"
        "    <alarms/>\n"
        "    <data>\n"
        "        <line channel=\"0\" dataType=\"INS\" date=\"2026-03-05\" time=\"10:00\" "
        "setTime=\"true\" value=\"12.5000\"/>\n"
        "        <line channel=\"0\" dataType=\"INS\" date=\"2026-03-05\" time=\"10:10\" "
        "setTime=\"false\" value=\"-0.0000\"/>\n"
        "        <line channel=\"0\" dataType=\"MAX\" date=\"\" time=\"\" "
        "setTime=\"false\" value=\"1000000.0000\"/>\n"
        "    </data>\n"
        "</device>\n";
    QCOMPARE(linesOf(path("st_05032026.xml")), QString::fromUtf8(expected).split(QLatin1Char('\n')));
}

void TestFileManager::emptyDownload_writesEmptyDataOrOnlyRefreshesHeader()
{
    FileManager manager;
    DataFile f = download();
    f.lines.clear();
    QCOMPARE(manager.saveFile(f, path("a.xml"), false, false), 0);
    const QByteArray first = readAll(path("a.xml"));
    QVERIFY(first.contains("    <data/>\n"));

    DataFile later = f;
    later.stationCode = QStringLiteral("OTHER");
    later.lastConnectionTime = later.lastConnectionTime.addDays(1);
    later.supplyVoltage = 11.875f;
    later.memoryPage = 40;
    later.memoryBuffer = 0;
    QCOMPARE(manager.saveFile(later, path("a.xml"), false, false), 0);
    QByteArray expected = first;
    expected.replace("2026-03-06 08:15", "2026-03-07 08:15")
        .replace("<supply_voltage>12.50", "<supply_voltage>11.88")
        .replace("<page>12", "<page>40")
        .replace("<buffer>300", "<buffer>0")
        // Rewritten in place: the room the shorter number left stays as spaces.
        .replace("</memory>" + QByteArray(64, ' '), "</memory>" + QByteArray(66, ' '));
    QCOMPARE(readAll(path("a.xml")), expected);
}

void TestFileManager::secondSave_doublesLinesAndKeepsStationAndSetup()
{
    FileManager manager;
    const DataFile first = download(QStringLiteral("D01"), 2);
    QCOMPARE(manager.saveFile(first, path("a.xml"), false, false), 0);

    DataFile second = download(QStringLiteral("XYZ"), 3);
    second.memoryPage = 13;
    QCOMPARE(manager.saveFile(second, path("a.xml"), false, false), 0);

    const QDomDocument d = parse(readAll(path("a.xml")));
    QCOMPARE(d.elementsByTagName("line").count(), first.lines.size() + second.lines.size());
    QCOMPARE(d.elementsByTagName("code").item(0).toElement().text(), QStringLiteral("D01"));
    QCOMPARE(d.elementsByTagName("channel").count(), 2);
    QCOMPARE(d.elementsByTagName("channel_count").item(0).toElement().text(), QStringLiteral("2"));
    QCOMPARE(d.elementsByTagName("page").item(0).toElement().text(), QStringLiteral("13"));
}

void TestFileManager::streamingSave_writesWhatTheDocumentPathWrites_data()
{
    QTest::addColumn<QByteArray>("existing");
    const QByteArray canonical =
        dataXml({"0,INS,2026-03-04,10:00,true,1.0000", "1,MAX,2026-03-04,11:00,false,2"});
    QTest::newRow("new file") << QByteArray();
    QTest::newRow("canonical file") << canonical;
    QTest::newRow("escapes and entities")
        << dataXml({"0,INS,2026-03-04,10:00,&quot;a&amp;b&lt;&#x15F;&quot;,1 &#10;2", "0,&apos;INS&apos;,,,,",
                    "0,a&quot;b,,,,", "0,x&gt;y,,,,", "0,it's,,,,", "0,t&#9;,,,,", "0,é,,,,", "0,\x7f,,,,"});
    QTest::newRow("lines missing attributes and odd children")
        << QByteArray("<device><header><station><name>A<b>B</b>C</name></station><setup><channels>"
                      "<channel><name><![CDATA[x<y]]></name></channel></channels></setup></header>"
                      "<data><line value=\"3\"/><other channel=\"1\">text<line/></other>\n  </data>"
                      "<data><line channel=\"9\"/></data></device>");
    QTest::newRow("data before header") << QByteArray(
        "<?xml version=\"1.0\"?><!-- c --><device><alarms/><data><line channel=\"1\" value=\"5\"/>"
        "</data><header><station><code> C  </code></station></header><header><station>"
        "<code>second</code></station></header></device><!-- after -->");
    QTest::newRow("no header, no data") << QByteArray("<root/>");
    QTest::newRow("prefixed names are other names")
        << QByteArray("<device xmlns:x=\"urn:x\"><x:header><station><code>no</code></station></x:header>"
                      "<x:data><line channel=\"7\"/></x:data><data><x:line channel=\"1\"/></data></device>");
}

void TestFileManager::streamingSave_writesWhatTheDocumentPathWrites()
{
    QFETCH(QByteArray, existing);
    if (!existing.isEmpty()) {
        writeAll(path("stream.xml"), existing);
        writeAll(path("dom.xml"), existing);
    }
    const DataFile f = download();
    QDomDocument reference = referenceDocument(path("dom.xml"), f);

    FileManager manager;
    QVERIFY(manager.saveXML(reference, path("dom.xml")));
    manager.exportToText(reference, path("dom.xml"));
    QCOMPARE(manager.saveFile(f, path("stream.xml"), true, false), 0);

    QCOMPARE(linesOf(path("stream.xml")), linesOf(path("dom.xml")));
    const QByteArray data = writerDataXml(reference);
    QCOMPARE(QString::fromUtf8(readAll(path("stream.xml")).right(data.size())), QString::fromUtf8(data));
    QCOMPARE(linesOf(path("stream.txt")), linesOf(path("dom.txt")));
    QVERIFY(!readAll(path("stream.txt")).isEmpty());
    QVERIFY(!readAll(path("stream.xml")).contains("<alarm>"));
}

void TestFileManager::unreadableExisting_returns1AndWritesNothing()
{
    QVERIFY(QDir(dir->path()).mkdir("a.xml"));
    FileManager manager;
    QCOMPARE(manager.saveFile(download(), path("a.xml"), true, false), 1);
    QVERIFY(!QFile::exists(path("a.txt")));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList());
}

void TestFileManager::unwritableTarget_returns2WithoutExports()
{
    FileManager manager;
    // Only one missing folder level is created.
    QCOMPARE(manager.saveFile(download(), path("x/y/a.xml"), true, false), 2);
    QVERIFY(!QFile::exists(path("x/y/a.txt")));
    QVERIFY(!manager.saveXML(QDomDocument(), path("x/y/a.xml")));

    // A failing text export does not fail the save.
    QVERIFY(QDir(dir->path()).mkdir("b.txt"));
    QCOMPARE(manager.saveFile(download(), path("b.xml"), true, false), 0);
    QVERIFY(readAll(path("b.xml")).contains("<data>"));
}

void TestFileManager::interruptedSave_leavesEarlierFilesIntact()
{
    FileManager manager;
    QCOMPARE(manager.saveFile(download(), path("a.xml"), true, false), 0);
    const QByteArray xml = readAll(path("a.xml"));
    const QByteArray text = readAll(path("a.txt"));

    DataFile big = download();
    for (int i = 0; i < 3000; ++i)
        big.lines.append(line("2026-03-07 10:00", ValueINS, i % 2, float(i)));

    // The file size limit makes the write fail part of the way through, as a
    // full disk would.
    struct rlimit saved;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 32 * 1024;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int result = manager.saveFile(big, path("a.xml"), true, false);
    const bool domSaved = manager.saveXML(referenceDocument(path("a.xml"), big), path("a.xml"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(result, 2);
    QVERIFY(!domSaved);
    QCOMPARE(readAll(path("a.xml")), xml);
    QCOMPARE(readAll(path("a.txt")), text);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList({"a.txt", "a.xml"}));
}

void TestFileManager::appendInPlace_writesWhatTheWholeFileWouldHold()
{
    FileManager manager;
    DataFile visit = download();
    QCOMPARE(manager.saveFile(visit, path("a.xml"), true, false), 0);
    struct stat first;
    QCOMPARE(::stat(QFile::encodeName(path("a.xml")).constData(), &first), 0);
    QList<DataLine> all = visit.lines;

    // A row opened by a value that followed a clock setting and left open
    // (its "*" is written only when the next row starts, a visit later), a
    // maximum between rows, sensor errors, a visit with nothing new whose
    // numbers grow, and a shorter supply voltage.
    const QList<QList<DataLine>> visits = {
        {line("2026-03-06 10:20", ValueINS, 0, 1.5f, true), line("2026-03-06 10:20", ValueINS, 1, 2.5f)},
        {line("2026-03-06 10:25", ValueMAX, 1, 7.0f), line("2026-03-06 10:30", ValueINS, 0, -9999.0f),
         line("2026-03-06 10:30", ValueINS, 1, 3.0f)},
        {},
        {line("2026-03-06 10:40", ValueINS, 0, 1.0f), line("2026-03-06 10:40", ValueINS, 1, -0.00004f)}};
    const QList<int> pages = {13, 14, 1234567, 1234568};
    for (int i = 0; i < visits.size(); ++i) {
        visit.lines = visits.at(i);
        visit.memoryPage = pages.at(i);
        visit.memoryBuffer = 7 * i;
        visit.lastConnectionTime = visit.lastConnectionTime.addSecs(600);
        visit.supplyVoltage = i == 3 ? 9.5f : 12.25f;
        visit.timeBase = QDateTime(QDate(2026, 3, 6), QTime(10, 10 * i));
        QCOMPARE(manager.saveFile(visit, path("a.xml"), true, false), 0);
        all += visits.at(i);
    }
    // Written where it stood, not replaced.
    struct stat after;
    QCOMPARE(::stat(QFile::encodeName(path("a.xml")).constData(), &after), 0);
    QCOMPARE(after.st_ino, first.st_ino);

    DataFile whole = visit;
    whole.lines = all;
    const QDomDocument reference = referenceDocument(path("ref.xml"), whole);
    QVERIFY(manager.saveXML(reference, path("ref.xml")));
    manager.exportToText(reference, path("ref.xml"));
    // The reference document knows no time base; the head below checks it.
    auto trimmed = [](const QStringList &lines) {
        QStringList out;
        for (const QString &l : lines)
            if (!l.contains(QLatin1String("<time_base>")))
                out << QString(l).remove(QRegularExpression(QStringLiteral("\\s+$")));
        return out;
    };
    QCOMPARE(trimmed(linesOf(path("a.xml"))), trimmed(linesOf(path("ref.xml"))));
    QCOMPARE(readAll(path("a.txt")), readAll(path("ref.txt")));
    QVERIFY(readAll(path("a.txt")).contains("2.5000|*\r\n") || readAll(path("a.txt")).contains("#*\r\n"));
    const DataFileHead head = DataFileHead::read(path("a.xml"));
    QVERIFY(head.whole);
    QCOMPARE(head.page, 1234568);
    QCOMPARE(head.buffer, 21);
    QCOMPARE(head.timeBase, QStringLiteral("2026-03-06 10:30"));
}

void TestFileManager::unparsableExisting_isMovedAsideNotLost()
{
    FileManager manager;
    const DataFile f = download();
    QCOMPARE(manager.saveFile(f, path("fresh.xml"), false, false), 0);

    const QByteArray truncated = dataXml({"0,INS,2026-03-04,10:00,true,1.0000"}).left(400);
    writeAll(path("a.xml"), truncated);
    QCOMPARE(manager.saveFile(f, path("a.xml"), false, false), 0);
    QCOMPARE(readAll(path("a.xml")), readAll(path("fresh.xml")));
    const QStringList aside = QDir(dir->path()).entryList({"a.xml.corrupt-*"}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QVERIFY(QRegularExpression("^a\\.xml\\.corrupt-\\d{14}$").match(aside.first()).hasMatch());
    QCOMPARE(readAll(path(aside.first())), truncated);

    // An empty file has nothing to keep.
    writeAll(path("b.xml"), QByteArray());
    QCOMPARE(manager.saveFile(f, path("b.xml"), false, false), 0);
    QCOMPARE(readAll(path("b.xml")), readAll(path("fresh.xml")));
    QVERIFY(QDir(dir->path()).entryList({"b.xml.*"}, QDir::Files).isEmpty());
}

void TestFileManager::deeplyNestedExisting_isSavedWithoutCrashing()
{
    const int depth = 200000;
    QByteArray xml = "<device><header><station><name>A";
    xml += QByteArray("<b>").repeated(depth) + "x" + QByteArray("</b>").repeated(depth);
    xml += "</name></station></header><data><line channel=\"3\"/></data></device>";
    writeAll(path("a.xml"), xml);
    FileManager manager;
    QCOMPARE(manager.saveFile(download(), path("a.xml"), true, false), 0);
    const QDomDocument saved = parse(readAll(path("a.xml")));
    QCOMPARE(saved.elementsByTagName("name").item(0).toElement().text(), QStringLiteral("A"));
    QCOMPARE(saved.elementsByTagName("line").count(), 1 + download().lines.size());
}

void TestFileManager::concurrentSaves_onDifferentFiles()
{
    FileManager serial;
    const DataFile f = download();
    QCOMPARE(serial.saveFile(f, path("serial.xml"), true, false), 0);
    QCOMPARE(serial.saveFile(f, path("serial.xml"), true, false), 0);

    std::vector<std::thread> threads;
    std::vector<int> results(4, -1);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            FileManager manager;
            const QString p = path(QStringLiteral("t%1.xml").arg(t));
            results[t] = manager.saveFile(f, p, true, false) + manager.saveFile(f, p, true, false);
        });
    }
    for (std::thread &t : threads)
        t.join();
    for (int t = 0; t < 4; ++t) {
        QCOMPARE(results[t], 0);
        QCOMPARE(readAll(path(QStringLiteral("t%1.xml").arg(t))), readAll(path("serial.xml")));
        QCOMPARE(readAll(path(QStringLiteral("t%1.txt").arg(t))), readAll(path("serial.txt")));
    }
}

void TestFileManager::concurrentSaves_onOneFileKeepEveryLine()
{
    const DataFile f = download();
    std::vector<std::thread> threads;
    std::vector<int> results(4, -1);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            FileManager manager;
            results[t] = manager.saveFile(f, path("a.xml"), true, false);
        });
    }
    for (std::thread &t : threads)
        t.join();
    QCOMPARE(results, std::vector<int>(4, 0));
    QCOMPARE(parse(readAll(path("a.xml"))).elementsByTagName("line").count(), 4 * f.lines.size());
    QVERIFY(!QFile::exists(path("a.xml.lock")));
}

void TestFileManager::heldLock_waitEndsOnTimeoutCancelOrRelease()
{
    const DataFile f = download();
    QCOMPARE(FileManager().saveFile(f, path("a.xml"), false, false), 0);
    const QByteArray before = readAll(path("a.xml"));
    // Another save (another process, in practice) holds the file.
    QLockFile holder(path("a.xml.lock"));
    QVERIFY(holder.tryLock(0));

    FileManager patient;
    QCOMPARE(patient.lockTimeout(), 60000);
    patient.setLockTimeout(150);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(patient.saveFile(f, path("a.xml"), true, false), int(FileManager::WriteFailed));
    QVERIFY(clock.elapsed() >= 150);
    QCOMPARE(readAll(path("a.xml")), before);

    // A stop while waiting ends the wait at once, with nothing written.
    std::atomic_bool stop{false};
    std::atomic_int checks{0};
    std::atomic_int result{-1};
    std::thread saver([&] {
        FileManager manager;
        manager.setCancelCheck([&] {
            ++checks;
            return stop.load();
        });
        result = manager.saveFile(f, path("a.xml"), true, false);
    });
    QTRY_VERIFY(checks > 1);
    clock.restart();
    stop = true;
    saver.join();
    QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(result.load(), int(FileManager::Cancelled));
    QCOMPARE(readAll(path("a.xml")), before);
    QVERIFY(!QFile::exists(path("a.txt")));

    // Released while waiting: the save goes on and keeps both downloads.
    checks = 0;
    stop = false;
    std::thread waiter([&] {
        FileManager manager;
        manager.setCancelCheck([&] {
            ++checks;
            return false;
        });
        result = manager.saveFile(f, path("a.xml"), false, false);
    });
    QTRY_VERIFY(checks > 1);
    holder.unlock();
    waiter.join();
    QCOMPARE(result.load(), int(FileManager::Saved));
    QCOMPARE(parse(readAll(path("a.xml"))).elementsByTagName("line").count(), 2 * f.lines.size());
}

void TestFileManager::resumePoint_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("buffer");
    QTest::addColumn<QDateTime>("time");

    const QDateTime initial(QDate(2000, 1, 1), QTime(0, 0));
    QTest::newRow("no set-time line keeps the caller's time")
        << dataXml({"0,INS,2026-03-04,10:00,false,1"}) << 12 << 300 << initial;
    QTest::newRow("last true line before later false ones")
        << dataXml({"0,INS,2026-03-04,10:00,true,1", "0,INS,2026-03-04,11:00,true,1",
                    "0,INS,2026-03-04,12:00,false,1", "0,MAX,2026-03-04,13:00,false,1"})
        << 12 << 300 << QDateTime(QDate(2026, 3, 4), QTime(11, 0));
    QTest::newRow("not well-formed") << dataXml({"0,INS,2026-03-04,10:00,true,1"}).left(600) << 0 << 0
                                     << initial;
    QTest::newRow("missing memory, garbage page")
        << QByteArray("<device><header><setup><memory><page>x</page></memory></setup></header>"
                      "<line setTime=\"true\" date=\"2026-02-01\" time=\"07:05\"/></device>")
        << 0 << 0 << QDateTime(QDate(2026, 2, 1), QTime(7, 5));
    QTest::newRow("prefixed names are other names")
        << QByteArray("<device xmlns:x=\"urn:x\"><x:header><setup><memory><page>4</page></memory></setup>"
                      "</x:header><line setTime=\"true\" date=\"2026-02-01\" time=\"07:05\"/>"
                      "<x:line setTime=\"true\" date=\"2026-02-02\" time=\"07:05\"/></device>")
        << 4 << 0 << QDateTime(QDate(2026, 2, 1), QTime(7, 5));
    QTest::newRow("first setup and memory only")
        << QByteArray("<device><header><setup><channels><memory><page>5</page></memory></channels>"
                      "<memory><buffer>7</buffer><page>8</page><page>9</page></memory><memory><page>1</"
                      "page></memory>"
                      "</setup><setup><memory><page>2</page></memory></setup></header></device>")
        << 8 << 7 << initial;
    QTest::newRow("unreadable set-time stamp")
        << dataXml({"0,INS,2026-13-04,10:00,true,1"}) << 12 << 300 << QDateTime();
    QTest::newRow("kept time base before any set-time line")
        << QByteArray("<device><header><setup><memory><page>3</page><buffer>9</buffer>"
                      "<time_base>2026-05-06 07:00</time_base></memory></setup></header><data>"
                      "<line setTime=\"true\" date=\"2026-02-01\" time=\"07:05\"/></data></device>")
        << 3 << 9 << QDateTime(QDate(2026, 5, 6), QTime(7, 0));
    QTest::newRow("unreadable time base: the set-time line")
        << QByteArray("<device><header><setup><memory><page>3</page><time_base>../../etc</time_base>"
                      "</memory></setup></header><line setTime=\"true\" date=\"2026-02-01\" time=\"07:05\"/>"
                      "</device>")
        << 3 << 0 << QDateTime(QDate(2026, 2, 1), QTime(7, 5));
}

void TestFileManager::resumePoint()
{
    QFETCH(QByteArray, xml);
    writeAll(path("a.xml"), xml);
    FileManager manager;
    int page = -1, buffer = -1;
    QDateTime time(QDate(2000, 1, 1), QTime(0, 0));
    QCOMPARE(manager.getLastMemoryAddresses(&page, &buffer, &time, path("a.xml")), 0);
    QTEST(page, "page");
    QTEST(buffer, "buffer");
    QTEST(time, "time");

    // The same answer as walking the document.
    const QDomDocument d = parse(xml);
    const QDomElement memory =
        d.documentElement().elementsByTagName("setup").item(0).toElement().firstChildElement("memory");
    QCOMPARE(page, memory.firstChildElement("page").text().toInt());
    QCOMPARE(buffer, memory.firstChildElement("buffer").text().toInt());
}

void TestFileManager::resumePoint_missingFile()
{
    FileManager manager;
    int page = -1, buffer = -1;
    QDateTime time;
    QCOMPARE(manager.getLastMemoryAddresses(&page, &buffer, &time, path("none.xml")), 1);
    QCOMPARE(page, 0);
    QCOMPARE(buffer, 0);
    QVERIFY(time.isNull());
    QCOMPARE(manager.getLastMemoryAddresses(nullptr, nullptr, nullptr, path("none.xml")), 1);
}

void TestFileManager::timeBase_keptBesideThePosition()
{
    // A file begun in the middle of memory: no value after a clock setting.
    FileManager manager;
    DataFile f = download();
    for (DataLine &l : f.lines)
        l.setTime = false;
    f.timeBase = QDateTime(QDate(2026, 3, 5), QTime(6, 0));
    QCOMPARE(manager.saveFile(f, path("a.xml"), true, false), 0);
    int page = 0, buffer = 0;
    QDateTime time;
    QCOMPARE(manager.getLastMemoryAddresses(&page, &buffer, &time, path("a.xml")), 0);
    QCOMPARE(time, f.timeBase);
    const QDomDocument d = parse(readAll(path("a.xml")));
    const QDomElement memory = d.elementsByTagName("memory").item(0).toElement();
    QCOMPARE(memory.firstChildElement("time_base").text(), QStringLiteral("2026-03-05 06:00"));
    // Page and buffer stay the first children, as older readers expect.
    QCOMPARE(memory.firstChildElement().tagName(), QStringLiteral("page"));

    // A download that found no base keeps the file's; a later one replaces it.
    DataFile none = download();
    none.lines.clear();
    QCOMPARE(manager.saveFile(none, path("a.xml"), false, false), 0);
    QCOMPARE(manager.getLastMemoryAddresses(&page, &buffer, &time, path("a.xml")), 0);
    QCOMPARE(time, f.timeBase);
    DataFile later = none;
    later.timeBase = QDateTime(QDate(2026, 3, 7), QTime(0, 0));
    QCOMPARE(manager.saveFile(later, path("a.xml"), false, false), 0);
    QCOMPARE(manager.getLastMemoryAddresses(&page, &buffer, &time, path("a.xml")), 0);
    QCOMPARE(time, later.timeBase);
    QCOMPARE(parse(readAll(path("a.xml"))).elementsByTagName("line").count(), f.lines.size());
}

void TestFileManager::textExport_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QByteArray>("rows");

    QTest::newRow("no lines") << QStringList() << 2 << QByteArray();
    QTest::newRow("max row in its column")
        << QStringList({"1,MAX,2026-03-05,14:20,false,7.5"}) << 3
        << QByteArray("05/03/2026|14:20|MAX|\r\n05/03/2026|14:20|MAX||7.5000||#");
    QTest::newRow("max row with a damaged channel stays bounded")
        << QStringList({"2000000000,MAX,2026-03-05,14:20,false,1", "-5,MIN,2026-03-05,14:20,false,2"}) << 2
        << QByteArray("05/03/2026|14:20|MAX|\r\n05/03/2026|14:20|MAX|||1.0000#"
                      "\r\n05/03/2026|14:20|MIN|2.0000||#");
    QTest::newRow("rows per time")
        << QStringList({"0,INS,2026-03-05,10:00,false,1", "1,INS,2026-03-05,10:00,false,2",
                        "0,INS,2026-03-05,10:15,false,3"})
        << 2 << QByteArray("05/03/2026|10:00|INS|1.0000|2.0000|\r\n05/03/2026|10:15|INS|3.0000|");
    QTest::newRow("sensor error shifts cells left")
        << QStringList({"0,INS,2026-03-05,10:00,false,-9999.0", "1,INS,2026-03-05,10:00,false,2",
                        "2,INS,2026-03-05,10:00,false,-8888.9"})
        << 3 << QByteArray("05/03/2026|10:00|INS|2.0000|");
    QTest::newRow("sensor error keeps max and min columns")
        << QStringList({"0,INS,2026-03-05,10:00,false,1", "1,MIN,2026-03-05,03:10,false,-9999"}) << 2
        << QByteArray("05/03/2026|10:00|INS|1.0000|\r\n05/03/2026|03:10|MIN|||#");
    QTest::newRow("avg and tot: channel 0 always written")
        << QStringList({"0,AVG,2026-03-06,07:59,false,-9999", "1,AVG,2026-03-06,07:59,false,-9999.5",
                        "2,AVG,2026-03-06,07:59,false,3", "0,TOT,2026-03-06,07:59,false,4"})
        << 3
        << QByteArray("06/03/2026|07:59|AVG|\r\n06/03/2026|07:59|AVG|-9999.0000|3.0000|"
                      "\r\n06/03/2026|07:59|TOT|4.0000|");
    QTest::newRow("star ends the row begun after a clock setting")
        << QStringList({"0,INS,2026-03-05,10:00,true,1", "0,INS,2026-03-05,10:10,false,2",
                        "0,MAX,2026-03-05,10:05,false,9", "0,INS,2026-03-05,10:20,false,3",
                        "0,INS,2026-03-05,10:30,true,4"})
        << 1
        << QByteArray("05/03/2026|10:00|INS|1.0000|*\r\n05/03/2026|10:10|INS|2.0000|"
                      "\r\n05/03/2026|10:05|MAX|9.0000|#\r\n05/03/2026|10:20|INS|3.0000|"
                      "\r\n05/03/2026|10:30|INS|4.0000|");
    QTest::newRow("the file's text is kept, sign of zero included")
        << QStringList({"0,INS,2026-03-05,10:00,false,-0.0000", "1,INS,2026-03-05,10:00,false,12.5",
                        "0,MAX,2026-03-05,10:00,false,-0.0000", "0,AVG,2026-03-06,07:59,false,-0.0000"})
        << 2
        << QByteArray("05/03/2026|10:00|INS|-0.0000|12.5000|\r\n05/03/2026|10:00|MAX|-0.0000||#"
                      "\r\n06/03/2026|07:59|AVG|-0.0000|");
    QTest::newRow("earlier or unreadable times join the row")
        << QStringList({"0,INS,2026-03-05,10:00,false,1", "0,INS,2026-03-04,23:00,false,2",
                        "0,INS,garbage,10:00,false,3", "0,INS,2026-03-05,10:01,false,x"})
        << 1 << QByteArray("05/03/2026|10:00|INS|1.0000|2.0000|3.0000|\r\n05/03/2026|10:01|INS|0.0000|");
}

void TestFileManager::textExport()
{
    QFETCH(QStringList, lines);
    QFETCH(int, channels);
    QFETCH(QByteArray, rows);

    FileManager manager;
    manager.exportToText(parse(dataXml(lines, channels)), path("st.xml"));
    QByteArray header = textHeader;
    if (channels == 1)
        header.replace("|Rain|", "|").replace("|mm|", "|").replace("|60|", "|");
    if (channels == 3)
        header.replace("|Rain|", "|Rain|Air|").replace("|mm|", "|mm|C|").replace("|60|", "|60|5|");
    QCOMPARE(QString::fromUtf8(readAll(path("st.txt"))), QString::fromUtf8(header + rows));
}

void TestFileManager::textExport_pathStopsAtFirstDot()
{
    FileManager manager;
    QCOMPARE(manager.saveFile(download(), path("a.b.xml"), true, false), 0);
    QVERIFY(QFile::exists(path("a.txt")));
    QVERIFY(!QFile::exists(path("a.b.txt")));
    QVERIFY(
        readAll(path("a.txt")).startsWith("Köprübaşı\r\nD18A001\r\n02/01/2026 09:30\r\n000000120300\r\n"));
}

QTEST_GUILESS_MAIN(TestFileManager)
#include "tst_filemanager.moc"
