// Memory records, block answers and the generator.

#include "memory.h"

#include <QtTest>

using namespace loggersim;

namespace {

QDateTime at(int day, int hour, int minute)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute));
}

Scenario twoChannels()
{
    Scenario s = defaultScenario(QStringLiteral("TQM510"));
    for (Slot &slot : s.slotList)
        slot.state = 0;
    s.stationName = QStringLiteral("AB");
    s.stationGroup = QStringLiteral("02-14-003");
    s.stationCode = QStringLiteral("K1");
    s.slotList[1] = {1, QStringLiteral("Lv"), 49, QStringLiteral("cm"), 15, 0, 0, 0.0, {}, {}};
    s.slotList[4] = {1, QStringLiteral("Tp"), 35, QStringLiteral("C"), 1230, 0, 0, 0.0, {}, {}};
    s.calibrations.units[1] = QStringLiteral("cm");
    s.calibrations.units[4] = QStringLiteral("C");
    return s;
}

} // namespace

class TestSimMemory : public QObject
{
    Q_OBJECT

private slots:
    void recordLayouts()
    {
        const Scenario s = twoChannels();
        Memory m;
        m.appendSetup(s, at(5, 8, 30));
        QByteArray setup("\xDD\xDD\xDD"
                         "AB\x02"
                         "2-14-3\x02"
                         "K1\x02"
                         "010010000\x02"
                         "Lv\x02Tp\x02"
                         "cm\x02"
                         "C\x02",
                         3 + 3 + 7 + 3 + 10 + 6 + 5);
        setup.append(QByteArray("\x00\x15\x12\x30", 4)); // intervals 15 and 1230 as BCD
        setup.append(QByteArray("\x00\x05\x12\x26\x08\x30\x00", 7));
        QCOMPARE(m.bytes().toHex(), setup.toHex());

        const int p = m.writePosition();
        m.appendTimeStamp(at(5, 9, 45));
        QCOMPARE(m.bytes().mid(p).toHex(), QByteArray("fafafa0512260945"));

        const int q = m.writePosition();
        m.appendMeasurement(0x010203, {1.0f, -2.0f});
        QCOMPARE(m.bytes().mid(q).toHex(), QByteArray("010203a13f800000a2c0000000"));

        const int r = m.writePosition();
        m.appendDaily({{5.0, at(5, 14, 20)}, {1.0, at(5, 9, 0)}}, {{-1.0, at(5, 3, 10)}, {0.5, at(6, 6, 0)}},
                      {2.0f, 0.75f}, {48.0f, 18.0f});
        QCOMPARE(m.writePosition() - r, 3 + 26 * 2);
        QCOMPARE(m.bytes().mid(r).toHex(), QByteArray("f1f1f1"
                                                      "0512261420"
                                                      "40a00000"
                                                      "0512260900"
                                                      "3f800000"
                                                      "0512260310"
                                                      "bf800000"
                                                      "0612260600"
                                                      "3f000000"
                                                      "40000000"
                                                      "3f400000"
                                                      "42400000"
                                                      "41900000"));
    }

    void truthFollowsTheRecords()
    {
        Memory m;
        m.dayStart = 8;
        m.appendTimeStamp(at(5, 9, 45));
        m.appendMeasurement(30, {1.5f, -9999.0f});
        m.appendDaily({{5.0, at(5, 14, 20)}}, {{1.0, at(5, 3, 10)}}, {2.0f}, {4.0f});
        const QList<TruthRow> &t = m.truth();
        QCOMPARE(t.size(), 2 + 4);
        QCOMPARE(t.at(0).time, at(5, 10, 15));
        QCOMPARE(t.at(1).channel, 1);
        QCOMPARE(t.at(1).value, -9999.0f);
        QCOMPARE(t.at(2).type, QStringLiteral("MAX"));
        // AVG and TOT carry the end of the hydrological day (start 08:00 -> 07:59 next day).
        QCOMPARE(t.at(4).type, QStringLiteral("AVG"));
        QCOMPARE(t.at(4).time, at(6, 7, 59));
        QCOMPARE(t.at(5).type, QStringLiteral("TOT"));
    }

    void blocksAndTheEndMarker()
    {
        Memory m;
        m.appendRaw(QByteArray(1024, 'a'));
        // Exactly two pages written: last page 2, last buffer 0.
        QCOMPARE(m.lastPage(), 2);
        QCOMPARE(m.lastBuffer(), 0);
        QVERIFY(!m.isEnd(1, 0));
        QVERIFY(m.isEnd(2, 0));
        QVERIFY(m.isEnd(3, 0));
        m.appendRaw(QByteArray("bcd"));
        QVERIFY(!m.isEnd(2, 0));
        QVERIFY(m.isEnd(3, 0));
        // From the requested buffer to the end of the page; unwritten bytes read 0xFF.
        const QByteArray last = m.block(2, 1);
        QCOMPARE(last.size(), 511);
        QCOMPARE(last.left(2), QByteArray("cd"));
        QCOMPARE(last.mid(2), QByteArray(509, char(0xFF)));
        QCOMPARE(m.block(1, 500), QByteArray(12, 'a'));
        QCOMPARE(m.block(0, 0).size(), 512);
        QVERIFY(m.block(2, 512).isEmpty());
    }

    void filesFollowSetupRecords()
    {
        const Scenario s = twoChannels();
        Memory m;
        m.appendSetup(s, at(1, 8, 0));
        m.appendRaw(QByteArray(1000, 'x'));
        const int second = m.writePosition();
        m.appendSetup(s, at(3, 8, 0));
        m.appendRaw(QByteArray(700, 'y'));
        const QList<FileEntry> files = m.files();
        QCOMPARE(files.size(), 2);
        QCOMPARE(files.at(0).date, at(1, 8, 0));
        QCOMPARE(files.at(0).endPage * 512 + files.at(0).endBuffer, second);
        QCOMPARE(files.at(1).endPage, m.lastPage());
        QCOMPARE(files.at(1).endBuffer, m.lastBuffer());
    }

    void generatorWritesDaysWithSummaries()
    {
        Scenario s = twoChannels();
        s.setup.dayStart = 7;
        s.generator.enabled = true;
        s.generator.interval = 15;
        s.generator.days = 2;
        s.generator.seed = 5;
        s.generator.channels = {{QStringLiteral("river"), 100.0, 150.0, 24.0, 0.05},
                                {QStringLiteral("temperature"), 10.0, 5.0, 24.0, 0.0}};
        Memory m;
        MemoryGenerator g;
        g.configure(s);
        g.begin(&m, &s, at(3, 7, 0));
        g.runUntil(&m, &s, at(5, 6, 59));
        int ins = 0, max = 0, errors = 0;
        double peak = 0.0;
        for (const TruthRow &r : m.truth()) {
            if (r.type == QLatin1String("INS")) {
                ++ins;
                if (r.value == -9999.0f)
                    ++errors;
                else if (r.channel == 0)
                    peak = qMax(peak, double(r.value));
            }
            if (r.type == QLatin1String("MAX"))
                ++max;
        }
        QCOMPARE(ins, 2 * 96 * 2);
        QCOMPARE(max, 2); // the first day is summed up when the second begins
        QVERIFY(errors > 0);
        QVERIFY(peak > 200.0); // the flood
        QCOMPARE(g.next(), at(5, 7, 0));

        // The next sample starts a new day: summary, then a time stamp, then the measurement.
        const int before = m.writePosition();
        g.runUntil(&m, &s, at(5, 7, 0));
        QCOMPARE(m.bytes().mid(before, 3), QByteArray("\xF1\xF1\xF1"));
        const int stamp = before + 3 + 26 * 2;
        QCOMPARE(m.bytes().mid(stamp, 8).toHex(), QByteArray("fafafa0512260700"));
        QCOMPARE(m.bytes().mid(stamp + 8, 3), QByteArray("\0\0\0", 3));

        // The same seed gives the same memory.
        Scenario again = twoChannels();
        again.setup.dayStart = 7;
        again.generator = s.generator;
        Memory m2;
        MemoryGenerator g2;
        g2.configure(again);
        g2.begin(&m2, &again, at(3, 7, 0));
        g2.runUntil(&m2, &again, at(5, 7, 0));
        QCOMPARE(m2.bytes(), m.bytes());
    }

    void channelIntervals_recordsHoldTheChannelsDue()
    {
        // Level every 15 minutes, temperature every 30: records at :15 and :45 hold one entry.
        Scenario s = twoChannels();
        s.slotList[4].interval = 30;
        s.generator.channelIntervals = true;
        s.generator.interval = 60; // not used with channel intervals
        Memory m;
        MemoryGenerator g;
        g.configure(s);
        g.begin(&m, &s, at(3, 10, 0));
        const int afterSetup = m.writePosition();
        g.runUntil(&m, &s, at(3, 11, 0));
        QStringList rows;
        for (const TruthRow &r : m.truth())
            rows << QStringLiteral("%1 %2").arg(r.time.toString(QStringLiteral("hh:mm"))).arg(r.channel);
        QCOMPARE(rows, QStringList({"10:00 0", "10:00 1", "10:15 0", "10:30 0", "10:30 1", "10:45 0",
                                    "11:00 0", "11:00 1"}));
        // Time stamp, then records of 3 + 5 * entries bytes; the one-entry record carries tag A1 only.
        QCOMPARE(m.writePosition() - afterSetup, 8 + 3 * 13 + 2 * 8);
        const QByteArray second = m.bytes().mid(afterSetup + 8 + 13, 8);
        QCOMPARE(second.left(4), QByteArray("\x00\x00\x0F\xA1", 4));
        QCOMPARE(uchar(m.bytes().at(afterSetup + 8 + 13 + 8)), uchar(0x00));

        // An upload that changes an interval takes effect at once.
        s.slotList[1].interval = 60;
        g.runUntil(&m, &s, at(3, 12, 0));
        int levels = 0;
        for (const TruthRow &r : m.truth())
            levels += r.channel == 0 && r.time > at(3, 11, 0) ? 1 : 0;
        QCOMPARE(levels, 1);
    }

    void noActiveSlotsRecordNothingButTheSetup()
    {
        Scenario s = twoChannels();
        for (Slot &slot : s.slotList)
            slot.state = 0;
        s.generator.interval = 60;
        Memory m;
        MemoryGenerator g;
        g.configure(s);
        g.begin(&m, &s, at(3, 0, 0));
        const int afterSetup = m.writePosition();
        g.runUntil(&m, &s, at(4, 12, 0));
        QVERIFY(m.truth().isEmpty());
        QCOMPARE(m.bytes().mid(afterSetup).count(char(0xA1)), 0);
        QCOMPARE(m.writePosition(), afterSetup);
    }

    void rainComesInBurstsAndTemperatureCycles()
    {
        Scenario s = twoChannels();
        s.generator.days = 10;
        s.generator.channels = {{QStringLiteral("rain"), 0.0, 2.0, 24.0, 0.0},
                                {QStringLiteral("temperature"), 10.0, 5.0, 24.0, 0.0}};
        MemoryGenerator g;
        g.configure(s);
        int wet = 0;
        int samples = 0;
        for (QDateTime t = at(1, 0, 0); t < at(11, 0, 0); t = t.addSecs(900)) {
            const double rain = g.sample(1, t);
            QVERIFY(rain >= 0.0);
            wet += rain > 0 ? 1 : 0;
            ++samples;
        }
        QVERIFY(wet > 0);
        QVERIFY(wet < samples / 2);
        QVERIFY(g.sample(4, at(2, 15, 0)) > g.sample(4, at(2, 3, 0)));
    }
};

QTEST_GUILESS_MAIN(TestSimMemory)
#include "tst_simmemory.moc"
