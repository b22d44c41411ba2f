// The simulated device: answers, block requests, uploads and their round trips.

#include "device.h"
#include "simframes.h"

#include <QtTest>

using namespace loggersim;

namespace {

const QDateTime Start(QDate(2026, 12, 5), QTime(10, 0, 0));

Scenario base()
{
    Scenario s = defaultScenario(QStringLiteral("TQM510"));
    s.serial = QStringLiteral("10001");
    s.password = QStringLiteral("1234");
    s.clock = Start;
    s.stationName = QStringLiteral("ORIGINAL");
    return s;
}

struct Harness
{
    explicit Harness(const Scenario &s) : device(s, 0.0) {}
    // Sends raw request bytes; returns the replies.
    QList<Reply> send(const QByteArray &bytes)
    {
        parser.feed(bytes);
        QList<Request> requests = parser.take();
        if (requests.isEmpty())
            requests = parser.flushStale();
        QList<Reply> out;
        for (const Request &r : qAsConst(requests))
            out << device.handle(r);
        return out;
    }
    Reply one(const QByteArray &bytes)
    {
        const QList<Reply> all = send(bytes);
        return all.size() == 1 ? all.first() : Reply();
    }
    QList<QByteArray> fields(const QByteArray &requestBytes)
    {
        const QByteArray f = one(requestBytes).bytes;
        return f.mid(27, f.size() - 27 - 5).split('\x02');
    }
    QByteArray answer(const QByteArray &requestBytes)
    {
        const Reply r = one(requestBytes);
        if (r.code != "CEV")
            return "no CEV: " + r.code;
        return r.bytes.mid(27, r.bytes.size() - 27 - 5).trimmed();
    }

    Device device;
    RequestParser parser;
};

QByteArray setupBody(const QByteArray &password, char weekday)
{
    QByteArray b = password + "0" + "10001\x02" + "YENI AD\x02" + "7-21-12\x02" + "K7\x02" + "0831\x02" +
                   "20\x02" + "30\x02" + "061226143005";
    b += weekday;
    b += "\x02"
         "0\x02"
         "4\x02";
    return b;
}

QByteArray namesBody(const QByteArray &password)
{
    QByteArray b = password + "101000000\x02";
    for (int i = 0; i < 9; ++i)
        b += QByteArray::number(5 + i).rightJustified(4, '0') + '\x02';
    for (int i = 0; i < 9; ++i)
        b += char(33 + i) + QByteArray("Kanal") + QByteArray::number(i) + '\x02';
    b += "100000001"
         "010000000"
         "\x02";
    return b;
}

QByteArray calibrationBody(const QByteArray &password)
{
    QByteArray b = password;
    for (int i = 0; i < 9; ++i)
        b += "b" + QByteArray::number(i) + '\x02';
    const char *groups[] = {"0.5", "2", "300", "-4", "0.25"};
    for (const char *g : groups) {
        for (int i = 0; i < 5; ++i)
            b += QByteArray(g) + '\x02';
    }
    b += "12345\x02"
         "6.5\x02"
         "7.5\x02"
         "21\x02"
         "54321\x02";
    return b;
}

QByteArray alarmBody()
{
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b += QByteArray::number(100 + i) + ".0000\x02" + QByteArray::number(i) + ".5000\x02";
    b += "00"
         "1010"
         "10101";
    for (int i = 0; i < 4; ++i)
        b += "\x02" + QByteArray::number(90 + i) + ".0000\x02" + QByteArray::number(i) + ".2500";
    b += "\x02";
    return b;
}

} // namespace

class TestSimDevice : public QObject
{
    Q_OBJECT

private slots:
    void readRequestsGetTheirReplyCodes()
    {
        Harness h(base());
        const QList<QPair<const char *, const char *>> pairs = {
            {"KML", "KML"}, {"ANL", "ANL"}, {"OKU", "PAR"}, {"RKL", "RKL"},
            {"KOK", "KOK"}, {"DKU", "DOS"}, {"ALO", "ALR"}};
        for (const auto &p : pairs) {
            const Reply r = h.one(simframes::plain(p.first));
            QCOMPARE(r.code, QByteArray(p.second));
            QCOMPARE(r.bytes.left(3), QByteArray(p.second));
            QCOMPARE(r.bytes.mid(4, 19), QByteArray("10001\x02TQM510-V62\0\0\0", 19));
        }
        QVERIFY(h.send(simframes::plain("XYZ")).isEmpty() || h.one(simframes::plain("XYZ")).bytes.isEmpty());
    }

    void clockRunsFromTheScenario()
    {
        Scenario s = base();
        s.generator.enabled = false;
        Device d(s, 60.0);
        qint64 now = 1000000;
        d.realMs = [&now] { return now; };
        d.setClock(Start);
        now += 1500; // 1.5 s at 60x is 90 s
        QCOMPARE(d.clock(), Start.addSecs(90));
    }

    void memoryBlocksAndTheEnd()
    {
        Scenario s = base();
        s.generator.enabled = false;
        MemoryRecord raw;
        raw.type = MemoryRecord::Raw;
        raw.raw = QByteArray(512 * 2 + 10, 'm');
        s.memoryRecords << raw;
        Harness h(s);
        const QList<QByteArray> dos = h.fields(simframes::plain("DKU"));
        QCOMPARE(dos.at(dos.size() - 2), QByteArray("2"));
        QCOMPARE(dos.last().trimmed(), QByteArray("10")); // blanks pad the frame to 40 bytes

        const Reply page1 = h.one(simframes::block(1, 300));
        QCOMPARE(page1.code, QByteArray("VER"));
        QVERIFY(page1.dataBlock);
        const QByteArray payload = page1.bytes.mid(27, page1.bytes.size() - 27 - 3);
        QCOMPARE(payload.size(), 1 + 2 + 212 + 1 + 2);
        QCOMPARE(payload.mid(1, 2), QByteArray("\x00\x01", 2));
        QCOMPARE(payload.mid(3, 212), QByteArray(212, 'm'));

        const Reply last = h.one(simframes::block(2, 0));
        QVERIFY(last.dataBlock);
        QCOMPARE(last.bytes.mid(27 + 3, 12), QByteArray(10, 'm') + QByteArray(2, char(0xFF)));

        const Reply end = h.one(simframes::block(3, 0));
        QVERIFY(!end.dataBlock);
        QVERIFY(end.bytes.contains("BITTI"));
        QCOMPARE(end.bytes.mid(28, 2), QByteArray("\x00\x03", 2));

        // A block request with a bad CRC is refused, not answered with data.
        QByteArray bad = simframes::block(0, 0);
        bad[bad.size() - 5] = char(bad.at(bad.size() - 5) ^ 0x10);
        QCOMPARE(h.answer(bad), QByteArray("CRCHata"));
    }

    void setupUploadRoundTrip_data()
    {
        QTest::addColumn<char>("weekday");
        QTest::newRow("sunday") << char(7);
        QTest::newRow("tuesday is the separator byte") << char(2);
    }

    void setupUploadRoundTrip()
    {
        QFETCH(char, weekday);
        Harness h(base());
        QCOMPARE(h.answer(simframes::checked("PAR", setupBody("1234", weekday))), QByteArray("YUKLENDI"));
        const QList<QByteArray> f = h.fields(simframes::plain("OKU"));
        QCOMPARE(f.at(0), QByteArray("YENI AD"));
        QCOMPARE(f.at(1), QByteArray("7-21-12"));
        QCOMPARE(f.at(2), QByteArray("K7"));
        QCOMPARE(f.at(3), QByteArray("06/12/26 14:30:05")); // the clock came with the upload
        const int a = h.device.state().activeSlots().size();
        QCOMPARE(f.at(5 * a + 6), QByteArray("10830"));
        QCOMPARE(f.at(5 * a + 7), QByteArray("20"));
        QCOMPARE(f.at(5 * a + 8), QByteArray("30"));
        QCOMPARE(f.at(5 * a + 9), QByteArray("0"));
        QCOMPARE(f.at(5 * a + 10), QByteArray("4"));
        QCOMPARE(h.fields(simframes::plain("KML")).at(0), QByteArray("YENI AD"));
    }

    void wrongPasswordAndBadCrcChangeNothing()
    {
        Harness h(base());
        QCOMPARE(h.answer(simframes::checked("PAR", setupBody("9999", 7))), QByteArray("SYANLIS"));
        QCOMPARE(h.answer(simframes::checked("KNL", namesBody("123"))), QByteArray("SYANLIS"));
        QCOMPARE(h.answer(simframes::checked("KAL", calibrationBody("4321"))), QByteArray("SYANLIS"));
        QCOMPARE(h.answer(simframes::checked("SIF", "00001111")), QByteArray("SYANLIS"));
        QCOMPARE(h.answer(simframes::checked("SET", "0000")), QByteArray("SYANLIS"));
        QByteArray bad = simframes::checked("PAR", setupBody("1234", 7));
        bad[bad.size() - 4] = char(bad.at(bad.size() - 4) ^ 0x40);
        QCOMPARE(h.answer(bad), QByteArray("CRCHata"));
        QCOMPARE(h.fields(simframes::plain("KML")).at(0), QByteArray("ORIGINAL"));
        QCOMPARE(h.device.state().password, QStringLiteral("1234"));
    }

    void channelNamesRoundTrip()
    {
        Harness h(base());
        QCOMPARE(h.answer(simframes::checked("KNL", namesBody("1234"))), QByteArray("YUKLENDI"));
        const QList<QByteArray> f = h.fields(simframes::plain("RKL"));
        QCOMPARE(f.at(3), QByteArray("101000000"));
        QCOMPARE(f.at(4), QByteArray("0005"));
        QCOMPARE(f.at(12), QByteArray("0013"));
        QCOMPARE(f.at(13), QByteArray("Kanal0!"));
        QCOMPARE(f.at(21), QByteArray("Kanal8)"));
        QCOMPARE(f.at(22), QByteArray("100000001010000000"));
        const QList<QByteArray> anl = h.fields(simframes::plain("ANL"));
        QCOMPARE(anl.at(5), QByteArray("101000000"));
        QCOMPARE(anl.at(6), QByteArray("Kanal0:"));
        QCOMPARE(anl.at(9), QByteArray("Kanal2:"));
    }

    void calibrationsRoundTrip()
    {
        Harness h(base());
        QCOMPARE(h.answer(simframes::checked("KAL", calibrationBody("1234"))), QByteArray("YUKLENDI"));
        const QList<QByteArray> f = h.fields(simframes::plain("KOK"));
        QCOMPARE(f.at(3), QByteArray("b0"));
        QCOMPARE(f.at(11), QByteArray("b8"));
        QCOMPARE(f.at(12), QByteArray("0.5"));
        QCOMPARE(f.at(17), QByteArray("2"));
        QCOMPARE(f.at(22), QByteArray("300"));
        QCOMPARE(f.at(27), QByteArray("-4"));
        QCOMPARE(f.at(32), QByteArray("0.25"));
        QCOMPARE(f.at(37), QByteArray("12345"));
        QCOMPARE(f.at(38), QByteArray("6.5"));
        QCOMPARE(f.at(39), QByteArray("7.5"));
        QCOMPARE(f.at(40), QByteArray("21"));
        QCOMPARE(f.at(41), QByteArray("54321"));
    }

    void alarmsRoundTripWithoutPassword()
    {
        Harness h(base());
        QCOMPARE(h.answer(simframes::checked("AYU", alarmBody())), QByteArray("YUKLENDI"));
        const QList<QByteArray> f = h.fields(simframes::plain("ALO"));
        QCOMPARE(f.mid(0, 4), (QList<QByteArray>{"100", "0.5", "101", "1.5"}));
        // The five device flags sent after the four switches come back as the first five flags.
        QCOMPARE(f.at(16), QByteArray("10101000000"));
        QCOMPARE(f.mid(17, 4), (QList<QByteArray>{"90", "0.25", "91", "1.25"}));
    }

    void passwordChangeAndFactoryReset()
    {
        Harness h(base());
        QCOMPARE(h.answer(simframes::checked("KNL", namesBody("1234"))), QByteArray("YUKLENDI"));
        QCOMPARE(h.answer(simframes::checked("SIF", "123477")), QByteArray("DEG"));
        QCOMPARE(h.device.state().password, QStringLiteral("77"));
        QCOMPARE(h.answer(simframes::checked("KNL", namesBody("1234"))), QByteArray("SYANLIS"));
        QCOMPARE(h.answer(simframes::checked("SET", "77")), QByteArray("YUKLENDI"));
        // The scenario's values are back, the password included.
        QCOMPARE(h.device.state().password, QStringLiteral("1234"));
        QCOMPARE(h.fields(simframes::plain("RKL")).at(13), base().slotList.at(0).name.toLatin1() + char(49));
        // The factory tool's plain command needs no password.
        QCOMPARE(h.answer("\x02SET4826\r\r\r"), QByteArray("YUKLENDI"));
    }

    void factoryAnswerCanBeForced()
    {
        Scenario s = base();
        s.factoryAnswer = QStringLiteral("crc");
        Harness crc(s);
        QCOMPARE(crc.answer("\x02SET4826\r\r\r"), QByteArray("CRCHata"));
        s.factoryAnswer = QStringLiteral("password");
        Harness pw(s);
        QCOMPARE(pw.answer("\x02SET4826\r\r\r"), QByteArray("SYANLIS"));
        QCOMPARE(pw.answer(simframes::checked("SET", "1234")), QByteArray("SYANLIS"));
    }

    void uploadsStartANewFileInGeneratedMemory()
    {
        Scenario s = base();
        s.generator.enabled = true;
        s.generator.days = 1;
        Harness h(s);
        const int before = h.fields(simframes::plain("DKU")).at(0).toInt();
        QCOMPARE(h.answer(simframes::checked("KNL", namesBody("1234"))), QByteArray("YUKLENDI"));
        const QList<QByteArray> dos = h.fields(simframes::plain("DKU"));
        QCOMPARE(dos.at(0).toInt(), before + 1);
        // The new setup record lists the two channels now active.
        const QByteArray mem = h.device.memory().bytes();
        const int last = mem.lastIndexOf("\xDD\xDD\xDD");
        QVERIFY(last > 0);
        QVERIFY(mem.mid(last).contains("101000000\x02Kanal0\x02Kanal2\x02"));
    }
};

QTEST_GUILESS_MAIN(TestSimDevice)
#include "tst_simdevice.moc"
