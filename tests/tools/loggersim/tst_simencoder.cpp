// Reply frames of the simulator, byte for byte against hand-computed frames.

#include "encoder.h"
#include "scenario.h"

#include <QtTest>

using namespace loggersim;

namespace {

Scenario small()
{
    Scenario s = defaultScenario(QStringLiteral("TQA110"));
    s.serial = QStringLiteral("77");
    s.firmware = 62;
    s.stationName = QStringLiteral("ST");
    s.stationGroup = QStringLiteral("1-2-3");
    s.stationCode = QStringLiteral("C9");
    s.supplyVoltage = 12.5;
    Slot &c = s.slotList[0];
    c.state = 1;
    c.name = QStringLiteral("Lv");
    c.code = 49;
    c.interval = 15;
    c.instant = 12.5;
    c.maximum = {20.0, QDateTime(QDate(2026, 12, 5), QTime(10, 15))};
    c.minimum = {3.0, QDateTime()};
    s.calibrations.units[0] = QStringLiteral("cm");
    return s;
}

QList<QByteArray> fieldsOf(const QByteArray &frame)
{
    // Payload between the 27-byte header and CRC + CR CR CR.
    return frame.mid(27, frame.size() - 27 - 5).split('\x02');
}

const QDateTime Now(QDate(2026, 12, 5), QTime(11, 22, 33));

} // namespace

class TestSimEncoder : public QObject
{
    Q_OBJECT

private slots:
    void identificationIsPaddedOrCut()
    {
        QCOMPARE(encoder::identification(QStringLiteral("77"), QStringLiteral("TQA110"), 62),
                 QByteArray("77\x02TQA110-V62\0\0\0\0\0\0", 19));
        // Too long for 19 bytes: cut, never longer.
        const QByteArray cut =
            encoder::identification(QStringLiteral("1234567890"), QStringLiteral("ZazEroDar"), 62);
        QCOMPARE(cut.size(), 19);
        QCOMPARE(cut, QByteArray("1234567890\x02ZazEroDa"));
        QVERIFY(!encoder::identificationFits(QStringLiteral("1234567890"), QStringLiteral("ZazEroDar"), 62));
        QVERIFY(encoder::identificationFits(QStringLiteral("12345"), QStringLiteral("ZazEroDar"), 62));
    }

    void wholeFramesMatchHandComputedBytes()
    {
        const Scenario s = small();
        const QByteArray id = encoder::identification(s.serial, s.model, s.firmware);
        // Header CRC, 2-byte length including the payload CRC, payload CRC high byte first.
        QCOMPARE(
            encoder::frame("KML", id, encoder::identityPayload(s)).toHex(),
            QByteArray("4b4d4c023737025451413131302d5636320000000000000010ae8b535402312d322d33024339023737"
                       "8c4b0d0d0d"));
        // Too short: blanks at the end of the last field make exactly 40 bytes.
        QCOMPARE(
            encoder::frame("DOS", id, encoder::fileInfoPayload({}, 0, 0)).toHex(),
            QByteArray("444f53023737025451413131302d563632000000000000000a01e930023002302020201d750d0d0d"));
        QCOMPARE(
            encoder::frame("CEV", id, encoder::answerPayload("DEG")).toHex(),
            QByteArray("434556023737025451413131302d563632000000000000000a671b4445472020202020856d0d0d0d"));
        // End marker of page 70000: the page number is sent as 16 bits.
        QCOMPARE(
            encoder::blockFrame(id, encoder::endPayload(70000)).toHex(),
            QByteArray("564552023737025451413131302d563632000000000000000b360f00117042495454490078ce0d0d0d"));
    }

    void corruptFrameOnlyBreaksThePayloadCrc()
    {
        const Scenario s = small();
        const QByteArray id = encoder::identification(s.serial, s.model, s.firmware);
        const QByteArray good = encoder::frame("KML", id, encoder::identityPayload(s));
        const QByteArray bad = encoder::frame("KML", id, encoder::identityPayload(s), true);
        QCOMPARE(bad.size(), good.size());
        QCOMPARE(bad.left(good.size() - 5), good.left(good.size() - 5));
        QVERIFY(bad.mid(good.size() - 5, 2) != good.mid(good.size() - 5, 2));
        QCOMPARE(bad.right(3), QByteArray("\r\r\r"));
    }

    void everyReplyIsAtLeastFortyBytes()
    {
        Scenario s = small();
        s.stationName.clear();
        s.stationGroup.clear();
        s.stationCode.clear();
        s.serial.clear();
        s.slotList[0].state = 0;
        const QByteArray id = encoder::identification(s.serial, s.model, s.firmware);
        const QList<QByteArray> frames = {
            encoder::frame("KML", id, encoder::identityPayload(s)),
            encoder::frame("ANL", id, encoder::instantPayload(s, Now)),
            encoder::frame("PAR", id, encoder::setupPayload(s, Now)),
            encoder::frame("DOS", id, encoder::fileInfoPayload({}, 0, 0)),
            encoder::frame("CEV", id, encoder::answerPayload("CRCHata")),
            encoder::frame("CEV", id, encoder::answerPayload("SYANLIS")),
            encoder::blockFrame(id, encoder::blockPayload(3, QByteArray(2, 'x'))),
            encoder::blockFrame(id, encoder::blockPayload(3, QByteArray())),
        };
        for (const QByteArray &f : frames) {
            QVERIFY2(f.size() >= 40, f.toHex().constData());
            QCOMPARE(f.right(3), QByteArray("\r\r\r"));
        }
        const QList<QByteArray> kml = fieldsOf(frames.at(0));
        QCOMPARE(kml.size(), 4); // the host wants exactly four fields
        QVERIFY(kml.at(3).trimmed().isEmpty());
    }

    void shortBlockIsPaddedOutsideItsLength()
    {
        const QByteArray id = encoder::identification(QStringLiteral("77"), QStringLiteral("TQA110"), 62);
        const QByteArray f =
            encoder::blockFrame(id, encoder::blockPayload(0x0102, QByteArray("\xAA\xBB", 2)));
        QCOMPARE(f.size(), 40);
        const int length = (uchar(f.at(23)) << 8) | uchar(f.at(24));
        QCOMPARE(length, 1 + 2 + 2 + 1 + 2);
        const QByteArray payload = f.mid(27, length);
        QCOMPARE(payload.left(6), QByteArray("\x00\x01\x02\xAA\xBB\x00", 6));
        QCOMPARE(payload.right(2), encoder::crcBytes(payload.left(length - 2)));
        // What follows the counted payload before CR CR CR is padding only.
        QCOMPARE(f.mid(27 + length, f.size() - 27 - length - 3), QByteArray(2, '\0'));
    }

    void instantAndSetupFieldOrder()
    {
        Scenario s = small();
        s.model = QStringLiteral("TQM510");
        s.slotList[2] = s.slotList[0];
        s.slotList[2].name = QStringLiteral("Tmp");
        s.slotList[2].instant = -3.25;
        s.slotList[2].maximum = {7.5, QDateTime(QDate(2026, 12, 4), QTime(14, 20))};
        s.slotList[2].minimum = {-4.0, QDateTime(QDate(2026, 12, 5), QTime(6, 5))};
        s.calibrations.units[2] = QStringLiteral("C");
        s.setup.rs485Output = true;
        s.setup.dayStart = 7;
        s.setup.digitA = 3;
        s.setup.digitB = 4;
        s.setup.sensorOnOffTime = 12;
        s.setup.sensorWaitTime = 34;
        s.setup.waitForExactHour = false;
        s.setup.digitC = 5;

        const QList<QByteArray> anl = fieldsOf(encoder::frame("ANL", "x", encoder::instantPayload(s, Now)));
        const QList<QByteArray> expectedAnl = {"ST",    "1-2-3",     "C9",    "05/12/26 11:22:33",
                                               "12.5V", "101000000", "Lv:",   "12.5",
                                               "cm",    "Tmp:",      "-3.25", "C"};
        QCOMPARE(anl, expectedAnl);

        const QList<QByteArray> par = fieldsOf(encoder::frame("PAR", "x", encoder::setupPayload(s, Now)));
        QList<QByteArray> expectedPar = expectedAnl;
        // Two active channels: maxima at 12 and 14, minima at 13 and 15, options at 16, exact hour at 19.
        expectedPar << "05/12/26 10:15 20"
                    << "00/00/00 00:00 3"
                    << "04/12/26 14:20 7.5"
                    << "05/12/26 06:05 -4"
                    << "10734"
                    << "12"
                    << "34"
                    << "0"
                    << "5";
        QCOMPARE(par, expectedPar);
    }

    void channelNamesFieldOrder()
    {
        Scenario s = small();
        for (Slot &slot : s.slotList)
            slot.minMaxType = 0;
        s.slotList[1].state = 0;
        s.slotList[1].name = QStringLiteral("Rain");
        s.slotList[1].code = 43;
        s.slotList[1].interval = 5;
        s.slotList[1].recordType = 1;
        s.slotList[0].minMaxType = 1;
        const QList<QByteArray> f = fieldsOf(encoder::frame("RKL", "x", encoder::channelNamesPayload(s)));
        QCOMPARE(f.size(), 23);
        QCOMPARE(f.at(3), QByteArray("100000000"));
        QCOMPARE(f.at(4), QByteArray("0015"));
        QCOMPARE(f.at(5), QByteArray("0005"));
        // Name, then the channel code as one raw byte.
        QCOMPARE(f.at(13), QByteArray("Lv1"));
        QCOMPARE(f.at(14), QByteArray("Rain+"));
        QCOMPARE(f.at(22).left(9), QByteArray("100000000"));
        QCOMPARE(f.at(22).mid(9, 9), QByteArray("010000000"));
    }

    void calibrationsFieldOrder()
    {
        Scenario s = small();
        Calibrations &c = s.calibrations;
        c.units = QStringList{"u0", "u1", "u2", "u3", "u4", "u5", "u6", "u7", "u8"};
        c.minVoltages = {0.1, 0.2, 0.3, 0.4, 0.5};
        c.gains = {1, 2, 3, 4, 5, 6.5, 1e-7};
        c.maxValues = {100, 200, 300, 400, 500};
        c.minValues = {-1, -2, -3, -4, -5};
        c.offsets = {0, 0.25, 0, 0, 123456789};
        c.multipliers = {1, 2, 3, 4, 5};
        c.measurementTypes = {1, 2, 3, 4, 5, 6, 7};
        const QList<QByteArray> f = fieldsOf(encoder::frame("KOK", "x", encoder::calibrationsPayload(s)));
        QCOMPARE(f.size(), 42);
        QCOMPARE(f.at(3), QByteArray("u0"));
        QCOMPARE(f.at(11), QByteArray("u8"));
        QCOMPARE(f.at(12), QByteArray("0.1"));
        QCOMPARE(f.at(17), QByteArray("1"));
        QCOMPARE(f.at(22), QByteArray("100"));
        QCOMPARE(f.at(27), QByteArray("-1"));
        QCOMPARE(f.at(33), QByteArray("0.25"));
        QCOMPARE(f.at(36), QByteArray("1.23457e+08"));
        QCOMPARE(f.at(37), QByteArray("12345"));
        QCOMPARE(f.at(38), QByteArray("6.5"));
        QCOMPARE(f.at(39), QByteArray("1e-07"));
        // Types of channels 6-7 come before those of channels 1-5.
        QCOMPARE(f.at(40), QByteArray("67"));
        QCOMPARE(f.at(41), QByteArray("12345"));
    }

    void alarmFieldOrder()
    {
        Scenario s = small();
        Alarms &a = s.alarms;
        a.maximums = {250, 50, 0, 1.5};
        a.minimums = {20, 0, -10, 0};
        a.maximumEvents[0] = {true, QDateTime(QDate(2026, 12, 4), QTime(18, 30)), 262.5};
        a.minimumEvents[2] = {true, QDateTime(QDate(2026, 12, 3), QTime(5, 10)), -11.2};
        a.flags = {1, 0, 1, 0, 0, 0, 0, 0, 1};
        a.digits = {2, 3};
        a.maximumResets = {240, 45, 38, 0};
        a.minimumResets = {25, 0, -8, 0};
        const QList<QByteArray> f = fieldsOf(encoder::frame("ALR", "x", encoder::alarmsPayload(s)));
        QCOMPARE(f.size(), 25);
        QCOMPARE(f.mid(0, 8), (QList<QByteArray>{"250", "20", "50", "0", "0", "-10", "1.5", "0"}));
        QCOMPARE(f.at(8), QByteArray("04/12/26 18:30 262.5"));
        QCOMPARE(f.at(9).left(14), QByteArray("00/00/00 00:00"));
        QCOMPARE(f.at(14), QByteArray("03/12/26 05:10 -11.2"));
        QCOMPARE(f.at(16), QByteArray("10100000123"));
        QCOMPARE(f.mid(17), (QList<QByteArray>{"240", "25", "45", "0", "38", "-8", "0", "0"}));
    }

    void fileInformationFieldOrder()
    {
        const QList<FileEntry> files = {{QDateTime(QDate(2026, 12, 1), QTime(8, 0)), 3, 100},
                                        {QDateTime(), 7, 0}};
        const QList<QByteArray> f =
            fieldsOf(encoder::frame("DOS", "x", encoder::fileInfoPayload(files, 7, 12)));
        QCOMPARE(
            f, (QList<QByteArray>{"2", "01/12/26 08:00", "3", "100", "00/00/00 00:00", "7", "0", "7", "12"}));
    }
};

QTEST_GUILESS_MAIN(TestSimEncoder)
#include "tst_simencoder.moc"
