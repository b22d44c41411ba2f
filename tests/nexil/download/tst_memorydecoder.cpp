#include "nexil/download/memorydecoder.h"
#include "support/testmemory.h"

#include <QtTest>

using namespace testmemory;

namespace {

// A device with slots 0, 2 and 5 on, as the download chain would have read it.
MemoryDevice device(int dayStart = 0)
{
    MemoryDevice d;
    d.setup.header.deviceType = DeviceTQM510;
    d.setup.stationName = "Current Name";
    d.setup.stationCode = "CUR";
    d.setup.region = 1;
    d.setup.basin = 2;
    d.setup.stationNo = 3;
    d.setup.supplyVoltage = 12.5f;
    d.setup.dayStart = dayStart;
    d.setup.activeChannelCount = 3;
    d.setup.activeChannels = {0, 2, 5};
    d.names.channelStates = {1, 0, 1, 0, 0, 1, 0, 0, 0};
    d.names.activeChannels = {0, 2, 5};
    for (int i = 0; i < 9; ++i) {
        d.names.names << "Slot" + QString::number(i);
        d.names.codes << ChannelCode(CodeAH + i);
        d.names.recordIntervals << 10 * (i + 1);
        d.calibrations.units << "u" + QString::number(i);
    }
    d.lastPage = 7;
    d.lastBuffer = 99;
    return d;
}

DataFile decodeImage(const QByteArray &image, const MemoryDevice &d = device(),
                     const QDateTime &base = QDateTime(QDate(2026, 3, 1), QTime(6, 0)),
                     memory::ImageEnd end = memory::ImageEnd::Anywhere)
{
    static const Catalogue catalogue;
    return memory::decode(image, d, base, QDateTime(QDate(2026, 3, 9), QTime(12, 0)), catalogue, end);
}

DataFile decodeToWritePosition(const QByteArray &image)
{
    return decodeImage(image, device(), QDateTime(QDate(2026, 3, 1), QTime(6, 0)),
                       memory::ImageEnd::WritePosition);
}

QDateTime at(int day, int hour, int minute)
{
    return QDateTime(QDate(2026, 3, day), QTime(hour, minute));
}

} // namespace

class tst_MemoryDecoder : public QObject
{
    Q_OBJECT
private slots:
    void emptyImage_describesTheDevice();
    void measurements_countFromTheBaseUntilATimeStamp();
    void setTime_marksOnlyTheFirstRecordAfterAStamp();
    void readFromTheStart_keepsWhatFollowsThePoint_withItsBase();
    void shortMeasurementRecord();
    void endTestAssumesFullRecords();
    void writePosition_lastShortRecordIsWhole();
    void dayEndStamps_data();
    void dayEndStamps();
    void summaryLinesInMemoryOrder();
    void setupRecords_lastOneDescribesTheFile();
    void garbage_neverReadsPastTheEnd();
    void bcdTimes();
};

void tst_MemoryDecoder::emptyImage_describesTheDevice()
{
    const DataFile f = decodeImage(QByteArray());
    QVERIFY(f.lines.isEmpty());
    QCOMPARE(f.deviceType, int(DeviceTQM510));
    QCOMPARE(f.deviceTypeName, QStringLiteral("TQM510"));
    QCOMPARE(f.stationCode, QStringLiteral("CUR"));
    QCOMPARE(f.stationNo, 3);
    QCOMPARE(f.supplyVoltage, 12.5f);
    QCOMPARE(f.memoryPage, 7);
    QCOMPARE(f.memoryBuffer, 99);
    // Channel i is the i-th active slot.
    QCOMPARE(f.channelCount, 3);
    QCOMPARE(f.channelNames, QStringList({"Slot0", "Slot2", "Slot5"}));
    QCOMPARE(f.channelCodes, QList<ChannelCode>({CodeAH, CodeAT, CodeETo}));
    QCOMPARE(f.channelUnits, QStringList({"u0", "u2", "u5"}));
    QCOMPARE(f.channelIntervals, QList<int>({10, 30, 60}));
    QVERIFY(!f.setupTime.isValid());
    QCOMPARE(f.lastConnectionTime, QDateTime(QDate(2026, 3, 9), QTime(12, 0)));
}

void tst_MemoryDecoder::measurements_countFromTheBaseUntilATimeStamp()
{
    const QByteArray image = measurement(30, {1.0f, 2.0f, 3.0f}) + timeStamp(at(5, 10, 0)) +
                             measurement(0, {4.0f, 5.0f, 6.0f}) + measurement(15, {7.0f, 8.0f, 9.0f});
    const DataFile f = decodeImage(image);
    QCOMPARE(f.lines.size(), 9);
    QCOMPARE(f.lines[0].dateTime, at(1, 6, 30));
    QCOMPARE(f.lines[2].channel, 2);
    QCOMPARE(f.lines[2].value, 3.0f);
    QCOMPARE(f.lines[2].valueType, int(ValueINS));
    QCOMPARE(f.lines[2].valueTypeName, QStringLiteral("INS"));
    QCOMPARE(f.lines[3].dateTime, at(5, 10, 0));
    QCOMPARE(f.lines[8].dateTime, at(5, 10, 15));
    QCOMPARE(f.lines[8].value, 9.0f);
}

void tst_MemoryDecoder::setTime_marksOnlyTheFirstRecordAfterAStamp()
{
    const QByteArray image = timeStamp(at(5, 10, 0)) + measurement(0, {1, 2, 3}) + measurement(10, {4, 5, 6});
    const DataFile f = decodeImage(image);
    QCOMPARE(f.lines.size(), 6);
    for (int i = 0; i < 3; ++i)
        QVERIFY(f.lines[i].setTime);
    for (int i = 3; i < 6; ++i)
        QVERIFY(!f.lines[i].setTime);
}

void tst_MemoryDecoder::readFromTheStart_keepsWhatFollowsThePoint_withItsBase()
{
    static const Catalogue catalogue;
    const QByteArray before = timeStamp(at(4, 8, 0)) + measurement(0, {1, 2, 3}) + timeStamp(at(5, 10, 0)) +
                              measurement(0, {4, 5, 6});
    const QByteArray image = before + measurement(20, {7, 8, 9}) + measurement(40, {10, 11, 12});
    // A resume point after the second stamp, its base unknown to the caller.
    const DataFile f =
        memory::decode(image, device(), QDateTime(), at(9, 12, 0), catalogue, memory::ImageEnd::Anywhere,
                       int(before.size()));
    QCOMPARE(f.lines.size(), 6);
    QCOMPARE(f.lines.first().dateTime, at(5, 10, 20));
    QCOMPARE(f.lines.first().value, 7.0f);
    QCOMPARE(f.lines.last().dateTime, at(5, 10, 40));
    QVERIFY(!f.lines.first().setTime);
    // The base at the end of the image is the last stamp, whatever was kept.
    QCOMPARE(f.timeBase, at(5, 10, 0));
    QCOMPARE(decodeImage(measurement(30, {1, 2, 3})).timeBase, at(1, 6, 0));
}

void tst_MemoryDecoder::shortMeasurementRecord()
{
    // Only two of three channels: the record ends at the first byte outside the tags.
    const QByteArray image = measurement(0, {1, 2}) + measurement(10, {4, 5, 6}) + QByteArray(20, '\xFF');
    const DataFile f = decodeImage(image);
    QCOMPARE(f.lines.size(), 5);
    QCOMPARE(f.lines[2].dateTime, at(1, 6, 10));
    QCOMPARE(f.lines[2].channel, 0);
}

void tst_MemoryDecoder::endTestAssumesFullRecords()
{
    // A final record shorter than 3 + 5 * 3 bytes is not read, even though its entries are whole.
    const QByteArray image = measurement(0, {1, 2, 3}) + measurement(10, {4, 5});
    QCOMPARE(decodeImage(image).lines.size(), 3);
}

void tst_MemoryDecoder::writePosition_lastShortRecordIsWhole()
{
    // Cut at the device's write position, the record ending there is complete.
    const QByteArray image = measurement(0, {1, 2, 3}) + measurement(10, {4, 5}) + measurement(20, {7}, 2);
    const DataFile f = decodeToWritePosition(image);
    QCOMPARE(f.lines.size(), 6);
    QCOMPARE(f.lines[5].channel, 2);
    QCOMPARE(f.lines[5].value, 7.0f);
    QCOMPARE(f.lines[5].dateTime, at(1, 6, 20));

    // An entry cut short is never read, nor is anything behind the last whole one.
    QCOMPARE(decodeToWritePosition(image.left(image.size() - 2)).lines.size(), 5);
    QCOMPARE(decodeToWritePosition(image.left(image.size() - 5)).lines.size(), 5);
    QCOMPARE(decodeToWritePosition(measurement(0, {1, 2, 3}) + "\x00\x00").lines.size(), 3);
}

void tst_MemoryDecoder::dayEndStamps_data()
{
    QTest::addColumn<int>("dayStart");
    QTest::addColumn<QDateTime>("maximum");
    QTest::addColumn<QDateTime>("stamp");
    QTest::newRow("midnight day") << 0 << at(5, 14, 20) << at(5, 23, 59);
    QTest::newRow("after the day start") << 8 << at(5, 14, 20) << at(6, 7, 59);
    QTest::newRow("before the day start") << 8 << at(6, 3, 10) << at(6, 7, 59);
    QTest::newRow("at the day start") << 8 << at(6, 8, 0) << at(7, 7, 59);
}

void tst_MemoryDecoder::dayEndStamps()
{
    QFETCH(int, dayStart);
    QFETCH(QDateTime, maximum);
    QFETCH(QDateTime, stamp);
    QCOMPARE(memory::dayEndStamp(maximum, dayStart), stamp);

    const QByteArray image =
        summary({{at(5, 1, 0), 1}, {at(5, 2, 0), 2}, {maximum, 3}},
                {{at(5, 4, 0), -1}, {at(5, 5, 0), -2}, {at(5, 6, 0), -3}}, {10, 20, 30}, {100, 200, 300});
    const DataFile f = decodeImage(image, device(dayStart));
    QCOMPARE(f.lines.size(), 12);
    QCOMPARE(f.lines[6].dateTime, stamp);
    QCOMPARE(f.lines[11].dateTime, stamp);
}

void tst_MemoryDecoder::summaryLinesInMemoryOrder()
{
    const QByteArray image =
        timeStamp(at(5, 23, 50)) + measurement(0, {1, 2, 3}) +
        summary({{at(5, 14, 0), 9}, {at(5, 15, 0), 8}, {at(5, 16, 0), 7}},
                {{at(5, 1, 0), -9}, {at(5, 2, 0), -8}, {at(5, 3, 0), -7}}, {1.5f, 2.5f, 3.5f}, {10, 20, 30}) +
        measurement(10, {4, 5, 6});
    const DataFile f = decodeImage(image);
    QCOMPARE(f.lines.size(), 3 + 12 + 3);
    const int types[] = {ValueMAX, ValueMAX, ValueMAX, ValueMIN, ValueMIN, ValueMIN,
                         ValueAVG, ValueAVG, ValueAVG, ValueTOT, ValueTOT, ValueTOT};
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(f.lines[3 + i].valueType, types[i]);
        QCOMPARE(f.lines[3 + i].channel, i % 3);
        QVERIFY(!f.lines[3 + i].setTime);
    }
    QCOMPARE(f.lines[3].dateTime, at(5, 14, 0));
    QCOMPARE(f.lines[4].value, 8.0f);
    QCOMPARE(f.lines[6].dateTime, at(5, 1, 0));
    QCOMPARE(f.lines[10].value, 2.5f);
    QCOMPARE(f.lines[10].valueTypeName, QStringLiteral("AVG"));
    QCOMPARE(f.lines[14].value, 30.0f);
    QCOMPARE(f.lines[14].valueTypeName, QStringLiteral("TOT"));
    // The measurement after the summary still counts from the stamp.
    QCOMPARE(f.lines[15].dateTime, at(6, 0, 0));
}

void tst_MemoryDecoder::setupRecords_lastOneDescribesTheFile()
{
    const QByteArray first =
        setupRecord("Old Name", "4-5-6", "OLD", "11", {"A", "B"}, {"m", "C"}, {10, 1440}, at(2, 9, 0));
    const QByteArray second = setupRecord(" New  Name ", "7-8-9", "NEW", "101000000", {"A", "B"}, {"m", "C"},
                                          {15, 60}, at(3, 9, 30));
    // Two channels after each setup record.
    const QByteArray image = first + timeStamp(at(2, 9, 0)) + measurement(0, {1, 2}) + second +
                             measurement(10, {3, 4}) +
                             summary({{at(3, 12, 0), 5}, {at(3, 13, 0), 6}},
                                     {{at(3, 1, 0), 0}, {at(3, 2, 0), 1}}, {7, 8}, {9, 10});
    const DataFile f = decodeImage(image);
    QCOMPARE(f.lines.size(), 2 + 2 + 8);
    QCOMPARE(f.stationName, QStringLiteral("New Name"));
    QCOMPARE(f.stationCode, QStringLiteral("NEW"));
    QCOMPARE(f.region, 7);
    QCOMPARE(f.basin, 8);
    QCOMPARE(f.stationNo, 9);
    QCOMPARE(f.channelCount, 2);
    QCOMPARE(f.channelFlags, QList<int>({1, 0, 1, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(f.setupTime, at(3, 9, 30));
    // Channel descriptions still come from the device.
    QCOMPARE(f.channelNames, QStringList({"Slot0", "Slot2", "Slot5"}));
    QCOMPARE(f.lines[2].dateTime, at(2, 9, 10));
    QCOMPARE(f.lines[11].valueType, int(ValueTOT));
    QCOMPARE(f.lines[11].value, 10.0f);
}

void tst_MemoryDecoder::garbage_neverReadsPastTheEnd()
{
    // Truncated records of every kind at the end of the image.
    const QByteArray full =
        setupRecord("N", "1-2-3", "C", "111", {"a", "b", "c"}, {"x", "y", "z"}, {1, 2, 3}, at(1, 0, 0)) +
        timeStamp(at(1, 0, 0)) + measurement(0, {1, 2, 3}) +
        summary({{at(1, 1, 0), 1}, {at(1, 1, 0), 1}, {at(1, 1, 0), 1}},
                {{at(1, 1, 0), 1}, {at(1, 1, 0), 1}, {at(1, 1, 0), 1}}, {1, 1, 1}, {1, 1, 1});
    for (int cut = 0; cut <= full.size(); ++cut)
        decodeImage(full.left(cut));
    const QByteArray stampOnly("\xFA\xFA\xFA\x01", 4);
    QVERIFY(decodeImage(stampOnly).lines.isEmpty());
    const QByteArray summaryOnly("\xF1\xF1\xF1", 3);
    const DataFile f = decodeImage(summaryOnly);
    QCOMPARE(f.lines.size(), 12);
    QVERIFY(!f.lines[0].dateTime.isValid());
}

void tst_MemoryDecoder::bcdTimes()
{
    QCOMPARE(memory::bcdDateTime(QByteArray("\x05\x03\x26\x14\x20", 5)), at(5, 14, 20));
    QVERIFY(!memory::bcdDateTime(QByteArray("\xFF\xFF\xFF\xFF\xFF", 5)).isValid());
    QVERIFY(!memory::bcdDateTime(QByteArray("\x05\x03\x26\x14", 4)).isValid());
    QVERIFY(!memory::bcdDateTime(QByteArray("\x32\x01\x26\x00\x00", 5)).isValid());
}

QTEST_GUILESS_MAIN(tst_MemoryDecoder)
#include "tst_memorydecoder.moc"
