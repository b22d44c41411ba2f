#include "nexil/protocol/nexil.h"

#include <QtTest>

class tst_Catalogue : public QObject
{
    Q_OBJECT
private slots:
    void channelCodes();
    void units();
    void deviceTypes();
    void valueTypes();
    void outOfRangeLookupsAnswerUnknown();
};

void tst_Catalogue::channelCodes()
{
    Nexil nexil;
    QCOMPARE(nexil.channelCode("WAL"), CodeWAL);
    QCOMPARE(int(nexil.channelCode("WAL")), 49);
    QCOMPARE(nexil.channelCode("wal"), CodeUnknown);
    QCOMPARE(nexil.channelCode(""), CodeUnknown);
    QCOMPARE(nexil.channelCodeName(ChannelCode(49)), QStringLiteral("WAL"));
    QCOMPARE(nexil.channelCodeDescription(CodeWAL), QStringLiteral("Su Seviyesi"));
    QCOMPARE(nexil.channelCodeDescription(CodeWFP), QStringLiteral("Baraj Doluluk Oranı"));
    const QStringList names = nexil.channelCodeNames();
    QCOMPARE(names.size(), 25);
    QCOMPARE(names.first(), QStringLiteral("Unknown"));
    QCOMPARE(names.last(), QStringLiteral("SV"));
    QCOMPARE(nexil.channelCodeDescriptions().size(), 25);
    QCOMPARE(nexil.channelCodeDescriptions().last(), QStringLiteral("Besleme Voltajı"));
    // Every name maps back to its own code.
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(int(nexil.channelCode(names.at(i))), 32 + i);
}

void tst_Catalogue::units()
{
    Nexil nexil;
    QCOMPARE(nexil.channelCodeUnits(CodeWAF), QStringList({"l/s", "l/m", "l/h", "m3/s", "m3/m", "m3/h"}));
    QCOMPARE(nexil.channelCodeUnits(CodeAT), QStringList({"C", "F", "K"}));
    QCOMPARE(nexil.channelCodeUnits(CodeUnknown), QStringList({"Unknown"}));
    QCOMPARE(nexil.channelCodeUnits(CodeSV), QStringList({"V"}));
    QVERIFY(nexil.channelCodeUnits(ChannelCode(99)).isEmpty());
}

void tst_Catalogue::deviceTypes()
{
    Nexil nexil;
    QCOMPARE(nexil.deviceType("TQF110P"), DeviceTQF110P);
    // Wire words are not catalogue names.
    QCOMPARE(nexil.deviceType("VeZevAvu"), DeviceUnknown);
    QCOMPARE(nexil.deviceTypeName(DeviceTQD310), QStringLiteral("TQD310"));
    QCOMPARE(nexil.deviceTypeDescription(DeviceTQB210),
             QStringLiteral("Manyetik Enkoderli Şamandralı Seviye Kaydedici"));
    DeviceHeader header;
    QCOMPARE(nexil.findChannelCount(header), 0);
    const int slotCounts[] = {0, 9, 4, 3, 4, 3, 3, 1};
    for (int type = 0; type <= 7; ++type) {
        header.deviceType = DeviceType(type);
        QCOMPARE(nexil.findChannelCount(header), slotCounts[type]);
    }
    header.deviceType = DeviceType(8);
    QCOMPARE(nexil.findChannelCount(header), 0);
}

void tst_Catalogue::valueTypes()
{
    Nexil nexil;
    const QStringList names = {"Unknown", "AVG", "INS", "MAX", "MIN", "TOT"};
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(nexil.valueTypeName(ValueType(i)), names.at(i));
        QCOMPARE(int(nexil.valueType(names.at(i))), i);
    }
    QCOMPARE(nexil.valueType("avg"), ValueUnknown);
}

void tst_Catalogue::outOfRangeLookupsAnswerUnknown()
{
    Nexil nexil;
    QCOMPARE(nexil.deviceTypeName(DeviceType(-1)), QStringLiteral("Unknown"));
    QCOMPARE(nexil.deviceTypeDescription(DeviceType(42)), QStringLiteral("Bilinmeyen Cihaz"));
    QCOMPARE(nexil.valueTypeName(ValueType(6)), QStringLiteral("Unknown"));
    QCOMPARE(nexil.channelCodeName(ChannelCode(0)), QStringLiteral("Unknown"));
    QCOMPARE(nexil.channelCodeDescription(ChannelCode(57)), QStringLiteral("Bilinmeyen"));
}

QTEST_GUILESS_MAIN(tst_Catalogue)
#include "tst_catalogue.moc"
