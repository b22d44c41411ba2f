#include "nexil/protocol/catalogue.h"
#include "nexil/protocol/wire.h"
#include "support/testframes.h"

#include <QtTest>

class tst_Wire : public QObject
{
    Q_OBJECT
private slots:
    void crc16_data();
    void crc16();
    void hex2long_data();
    void hex2long();
    void hex2float_data();
    void hex2float();
    void hex2float_shortInputIsRejected();
    void requests();
    void takeFrame_waitsDiscardsAndTakes();
    void parseHeader_acceptsBothModelWordsAndReadsFirmware();
    void parseHeader_rejects_data();
    void parseHeader_rejects();
};

void tst_Wire::crc16_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("expected");
    // Check values computed outside our code for this CRC's parameters.
    QTest::newRow("abc") << QByteArray("abc") << 3 << 0xEDF0;
    QTest::newRow("123456789") << QByteArray("123456789") << 9 << 0x4B25;
    QTest::newRow("empty") << QByteArray() << 0 << 0xFFFF;
    QTest::newRow("zero length of data") << QByteArray("abc") << 0 << 0xFFFF;
    QTest::newRow("negative length") << QByteArray("abc") << -4 << 0xFFFF;
}

void tst_Wire::crc16()
{
    QFETCH(QByteArray, data);
    QFETCH(int, length);
    QFETCH(int, expected);
    QCOMPARE(wire::crc16(data, length), expected);
}

void tst_Wire::hex2long_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("reply code") << QByteArray("KML") << qint64(0x4B4D4C);
    QTest::newRow("empty") << QByteArray() << qint64(0);
    QTest::newRow("one byte") << QByteArray("\xff", 1) << qint64(255);
    QTest::newRow("largest positive") << QByteArray("\x7f\xff\xff\xff", 4) << qint64(0x7FFFFFFF);
    QTest::newRow("top bit saturates") << QByteArray("\x80\x00\x00\x00", 4) << qint64(2147483647);
    QTest::newRow("five bytes saturate") << QByteArray("\x01\x00\x00\x00\x00", 5) << qint64(2147483647);
    QTest::newRow("three CRs") << QByteArray("\r\r\r") << qint64(0x0D0D0D);
}

void tst_Wire::hex2long()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, expected);
    QCOMPARE(qint64(wire::hex2long(bytes)), expected);
}

void tst_Wire::hex2float_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<float>("expected");
    QTest::newRow("1.0") << QByteArray("\x3f\x80\x00\x00", 4) << 1.0f;
    QTest::newRow("-2.0") << QByteArray("\xc0\x00\x00\x00", 4) << -2.0f;
    QTest::newRow("-9999") << QByteArray("\xc6\x1c\x3c\x00", 4) << -9999.0f;
    QTest::newRow("12.5") << QByteArray("\x41\x48\x00\x00", 4) << 12.5f;
    QTest::newRow("only first four bytes") << QByteArray("\x3f\x80\x00\x00\x41", 5) << 1.0f;
}

void tst_Wire::hex2float()
{
    QFETCH(QByteArray, bytes);
    QFETCH(float, expected);
    QCOMPARE(wire::hex2float(bytes), expected);
}

void tst_Wire::hex2float_shortInputIsRejected()
{
    bool ok = true;
    QCOMPARE(wire::hex2float(QByteArray("\x3f\x80\x00", 3), &ok), 0.0f);
    QVERIFY(!ok);
    const float negativeZero = wire::hex2float(QByteArray("\x80\x00\x00\x00", 4), &ok);
    QVERIFY(ok);
    QVERIFY(!std::signbit(negativeZero));
}

void tst_Wire::requests()
{
    QCOMPARE(wire::plainRequest("KML"), QByteArray("\x02KML\r\r\r"));
    // Block request for page 12, buffer 300.
    const QByteArray body = "AKT000000120300\r";
    const QByteArray frame = wire::checkedRequest(body);
    QCOMPARE(frame.left(17), QByteArray("\x02") + body);
    QCOMPARE(frame.mid(17, 2), testframes::crcBytes(body));
    QVERIFY(frame.endsWith("\r\r\r"));
    QCOMPARE(frame.size(), 22);
}

void tst_Wire::takeFrame_waitsDiscardsAndTakes()
{
    const QByteArray frame = testframes::reply("KML", testframes::payload({"Station", "1-2-3", "CODE", ""}));
    QVERIFY(frame.size() >= 40);

    QByteArray buffer = frame.left(20);
    QByteArray taken;
    QCOMPARE(wire::takeFrame(buffer, &taken), wire::BufferState::NeedMore);
    buffer += frame.mid(20);
    QCOMPARE(wire::takeFrame(buffer, &taken), wire::BufferState::Frame);
    QCOMPARE(taken, frame);
    QVERIFY(buffer.isEmpty());

    // 39 bytes ending in CRs are not examined yet.
    buffer = QByteArray(36, 'x') + "\r\r\r";
    buffer[3] = '\x02';
    QCOMPARE(wire::takeFrame(buffer, &taken), wire::BufferState::NeedMore);
    QCOMPARE(buffer.size(), 39);

    // A fourth byte other than STX throws the whole buffer away at 40 bytes.
    buffer = QByteArray(40, 'x');
    QCOMPARE(wire::takeFrame(buffer, &taken), wire::BufferState::Discarded);
    QVERIFY(buffer.isEmpty());

    // A frame followed by the start of the next: the frame alone, the rest kept.
    buffer = frame + "KM";
    QCOMPARE(wire::takeFrame(buffer, &taken), wire::BufferState::Frame);
    QCOMPARE(taken, frame);
    QCOMPARE(buffer, QByteArray("KM"));

    // Two whole replies in one read: two frames, one per call.
    const QByteArray second = testframes::reply("ANL", testframes::payload({"a", "b", "cdefghijkl"}));
    buffer = frame + second;
    QCOMPARE(wire::takeFrame(buffer, &taken), wire::BufferState::Frame);
    QCOMPARE(taken, frame);
    QCOMPARE(wire::takeFrame(buffer, &taken), wire::BufferState::Frame);
    QCOMPARE(taken, second);
    QVERIFY(buffer.isEmpty());

    // Page data holding CR CR CR at the end of a chunk does not end the frame.
    const QByteArray block =
        testframes::reply("VER", testframes::rawPayload(QByteArray("\0\0\1") + QByteArray(40, 'd') +
                                                        "\r\r\r" + QByteArray(40, 'e') + '\0'));
    const int cut = block.indexOf("\r\r\r") + 3;
    buffer = block.left(cut);
    QCOMPARE(wire::takeFrame(buffer, &taken), wire::BufferState::NeedMore);
    buffer += block.mid(cut);
    QCOMPARE(wire::takeFrame(buffer, &taken), wire::BufferState::Frame);
    QCOMPARE(taken, block);

    // A header that does not check: the old rule, the whole buffer once it ends with CRs.
    QByteArray damaged = frame + second;
    damaged[25] = char(damaged[25] ^ 0x10);
    buffer = damaged;
    QCOMPARE(wire::takeFrame(buffer, &taken), wire::BufferState::Frame);
    QCOMPARE(taken, damaged);
}

void tst_Wire::parseHeader_acceptsBothModelWordsAndReadsFirmware()
{
    const Catalogue catalogue;
    const QByteArray payload = testframes::payload({"a", "b", "c", "d"});
    for (const QByteArray &model : {QByteArray("ZazEroDar"), QByteArray("TQM510")}) {
        DeviceError error = NoError;
        const DeviceHeader h =
            wire::parseHeader(testframes::reply("KML", payload, model, "V57", "SN42"), catalogue, &error);
        QCOMPARE(error, NoError);
        QCOMPARE(h.command, wire::code("KML"));
        QCOMPARE(h.deviceType, DeviceTQM510);
        QCOMPARE(h.deviceName, QString::fromLatin1(model));
        QCOMPARE(h.deviceTypeName, QStringLiteral("TQM510"));
        QCOMPARE(h.deviceTypeDescription, QStringLiteral("Çok Kanallı Datalogger"));
        QCOMPARE(h.serialNumber, QStringLiteral("SN42"));
        QCOMPARE(h.firmwareVersion, 57);
        QCOMPARE(h.dataLength, payload.size());
    }
    DeviceError error = NoError;
    QCOMPARE(wire::parseHeader(testframes::reply("ANL", payload, "ZozOdoRed"), catalogue, &error).deviceType,
             DeviceTQA110);
    QCOMPARE(wire::parseHeader(testframes::reply("ANL", payload, "VeZevAvu"), catalogue, &error).deviceType,
             DeviceTQD310);
}

void tst_Wire::parseHeader_rejects_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("error");
    const QByteArray payload = testframes::payload({"a", "b", "c", "d"});
    QByteArray badCrc = testframes::reply("KML", payload);
    badCrc[26] = char(badCrc[26] ^ 0x01);
    QTest::newRow("header CRC") << badCrc << 0 << int(ChecksumError);
    QTest::newRow("unknown reply code") << testframes::reply("XYZ", payload) << 0 << int(NoError);
    QTest::newRow("unknown model") << testframes::reply("KML", payload, "TQZ999") << wire::code("KML")
                                   << int(UnknownDevice);
    QTest::newRow("lower-case model")
        << testframes::reply("KML", payload, "tqm510") << wire::code("KML") << int(UnknownDevice);

    // Identification without its 0x02 separator, or without "-".
    QByteArray header = QByteArray("KML\x02") + QByteArray("1234ZazEroDar-V51").leftJustified(19, '\0');
    header.append('\0').append(char(payload.size()));
    header += testframes::crcBytes(header);
    QTest::newRow("no separator") << header + payload + "\r\r\r" << 0 << int(NoError);
    header = QByteArray("KML\x02") + QByteArray("1234\x02ZazEroDar").leftJustified(19, '\0');
    header.append('\0').append(char(payload.size()));
    header += testframes::crcBytes(header);
    QTest::newRow("no dash") << header + payload + "\r\r\r" << 0 << int(NoError);
    QTest::newRow("short frame") << QByteArray("KML\x02") << 0 << int(NoError);
}

void tst_Wire::parseHeader_rejects()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, command);
    QFETCH(int, error);
    const Catalogue catalogue;
    DeviceError got = NoError;
    const DeviceHeader h = wire::parseHeader(frame, catalogue, &got);
    QCOMPARE(h.command, command);
    QCOMPARE(h.deviceType, DeviceUnknown);
    QCOMPARE(int(got), error);
}

QTEST_GUILESS_MAIN(tst_Wire)
#include "tst_wire.moc"
