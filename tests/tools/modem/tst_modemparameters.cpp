#include "modemparameters.h"
#include "parameteranswer.h"

#include <QtTest>

namespace {

QList<QByteArray> samplePieces()
{
    return {"10042", "2.07", "05321234567", "05327654321", "",         "data.example.org", "10.1.2.3",
            "4380",  "4381", "internet",    "user",        "p ss",     "1100101",          "60",
            "4500",  "12",   "1",           "17",          "OPERATOR", "35000000000000\r"};
}

} // namespace

class tst_ModemParameters : public QObject
{
    Q_OBJECT

private slots:
    void readsEveryField();
    void wrongShapesChangeNothing_data();
    void wrongShapesChangeNothing();
    void connectionPeriod_data();
    void connectionPeriod();
    void buildsTheRecord();
    void listenModeIsTheSixthFlag();
};

void tst_ModemParameters::readsEveryField()
{
    ModemParameters p;
    QVERIFY(parseParameterAnswer(parameterAnswer(samplePieces()), &p));
    QCOMPARE(p.serialNo, QStringLiteral("10042"));
    QCOMPARE(p.firmware, QStringLiteral("2.07"));
    QCOMPARE(p.phones[1], QStringLiteral("05327654321"));
    QCOMPARE(p.phones[2], QString());
    QCOMPARE(p.serverHosts[0], QStringLiteral("data.example.org"));
    QCOMPARE(p.serverPorts[1], 4381);
    QCOMPARE(p.password, QStringLiteral("p ss"));
    QVERIFY(p.phoneEnabled[0] && p.phoneEnabled[1] && !p.phoneEnabled[2]);
    QVERIFY(!p.serverEnabled[0] && p.serverEnabled[1]);
    QVERIFY(!p.gsm);
    QVERIFY(p.answerSms);
    QCOMPARE(p.connectionPeriod, 60);
    QCOMPARE(p.listenPort, 4500);
    QCOMPARE(p.smsPeriod, 12);
    QVERIFY(p.sendSms);

    QList<QByteArray> gsm = samplePieces();
    gsm[12] = "0000020";
    gsm[16] = "0";
    QVERIFY(parseParameterAnswer(parameterAnswer(gsm), &p));
    QVERIFY(p.gsm);
    QVERIFY(!p.sendSms);
}

void tst_ModemParameters::wrongShapesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("text");
    QList<QByteArray> pieces = samplePieces();
    QTest::newRow("19 pieces") << parameterAnswer(pieces.mid(0, 19));
    QTest::newRow("21 pieces") << parameterAnswer(pieces + QList<QByteArray>{"extra"});
    QTest::newRow("no PA") << parameterAnswer(pieces).mid(2);
    QTest::newRow("empty") << QByteArray();
    QList<QByteArray> shortFlags = pieces;
    shortFlags[12] = "110";
    QTest::newRow("short flags") << parameterAnswer(shortFlags);
    QList<QByteArray> badPort = pieces;
    badPort[7] = "http";
    QTest::newRow("port not a number") << parameterAnswer(badPort);
}

void tst_ModemParameters::wrongShapesChangeNothing()
{
    QFETCH(QByteArray, text);
    ModemParameters p;
    p.apn = QStringLiteral("kept");
    p.listenPort = 77;
    QVERIFY(!parseParameterAnswer(text, &p));
    QCOMPARE(p.apn, QStringLiteral("kept"));
    QCOMPARE(p.listenPort, 77);
}

void tst_ModemParameters::connectionPeriod_data()
{
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("0") << 0 << QByteArray("0000");
    QTest::newRow("59") << 59 << QByteArray("0059");
    QTest::newRow("60") << 60 << QByteArray("0100");
    QTest::newRow("125") << 125 << QByteArray("0205");
    QTest::newRow("largest") << 5999 << QByteArray("9959");
}

void tst_ModemParameters::connectionPeriod()
{
    QFETCH(int, minutes);
    QFETCH(QByteArray, text);
    QCOMPARE(formatConnectionPeriod(minutes), text);
}

void tst_ModemParameters::buildsTheRecord()
{
    ModemParameters p;
    p.phones[0] = QStringLiteral("  0532  123 ");
    p.phoneEnabled[0] = true;
    p.serverHosts[0] = QStringLiteral("srv.example");
    p.serverPorts[0] = 4380;
    p.serverEnabled[0] = true;
    p.apn = QStringLiteral(" mgb ");
    p.userName = QStringLiteral("Ayşe");
    p.password = QStringLiteral(" a  b ");
    p.gsm = false;
    p.answerSms = true;
    p.listenPort = 4500;
    p.connectionPeriod = 125;
    p.smsPeriod = 6;
    p.sendSms = true;
    const QByteArray expected = QByteArray("TEL\x02"
                                           "5283916\x02"
                                           "0532 123\x02\x02\x02"
                                           "srv.example\x02\x02"
                                           "4380\x02"
                                           "0\x02"
                                           "mgb\x02") +
                                "Ayşe" +
                                QByteArray("\x02 a  b \x02"
                                           "1001001\x02"
                                           "4500\x02"
                                           "0205\x02"
                                           "06\x02"
                                           "1\x02\r");
    QCOMPARE(buildParameterRecord(p), expected);
}

void tst_ModemParameters::listenModeIsTheSixthFlag()
{
    ModemParameters p;
    p.gsm = true;
    QList<QByteArray> fields = buildParameterRecord(p).split('\x02');
    QCOMPARE(fields.size(), 18);
    QCOMPARE(fields[12], QByteArray("0000010"));
    p.gsm = false;
    fields = buildParameterRecord(p).split('\x02');
    QCOMPARE(fields[12], QByteArray("0000000"));
    QCOMPARE(fields[17], QByteArray("\r"));
}

QTEST_APPLESS_MAIN(tst_ModemParameters)
#include "tst_modemparameters.moc"
