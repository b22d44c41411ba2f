#include "modemsession.h"

#include <QSignalSpy>
#include <QtTest>

using namespace loggersim;

namespace {
const QByteArray record = QByteArray("TEL\x02"
                                     "5283916\x02"
                                     "05551112233\x02\x02\x02"
                                     "srv.example\x02"
                                     "backup.example\x02"
                                     "5000\x02"
                                     "5001\x02"
                                     "apn.x\x02"
                                     "u\x02"
                                     " p \x02"
                                     "1001110\x02"
                                     "4600\x02"
                                     "0205\x02"
                                     "06\x02"
                                     "1\x02");
} // namespace

class tst_ModemSession : public QObject
{
    Q_OBJECT

private slots:
    void answersOnlyInCommandMode();
    void storedParametersAreReadBack();
    void refusesBadRecords_data();
    void refusesBadRecords();
    void restartAnswersAndHangsUp();
    void scenario();
    void scenarioErrors_data();
    void scenarioErrors();
};

void tst_ModemSession::answersOnlyInCommandMode()
{
    ModemSession modem{ModemState()};
    QSignalSpy sent(&modem, &ModemSession::send);
    modem.receive("OKU\r");
    QCOMPARE(sent.count(), 0);
    // Commands may arrive in pieces.
    modem.receive("||");
    modem.receive("|\rOK");
    QCOMPARE(sent.count(), 1);
    QCOMPARE(sent.at(0).at(0).toByteArray(), QByteArray("OK\r"));
    modem.receive("U\r");
    QCOMPARE(sent.count(), 2);
    const QByteArray answer = sent.at(1).at(0).toByteArray();
    QVERIFY(answer.startsWith("PA10001\x02"));
    QVERIFY(answer.endsWith('\r'));
    QCOMPARE(answer.mid(2).split('\x02').size(), 20);

    modem.reset();
    modem.receive("OKU\r");
    QCOMPARE(sent.count(), 2);
}

void tst_ModemSession::storedParametersAreReadBack()
{
    ModemSession modem{ModemState()};
    QSignalSpy sent(&modem, &ModemSession::send);
    modem.receive("|||\r" + record + "\r");
    QCOMPARE(sent.last().at(0).toByteArray(), QByteArray("TYUK\r"));
    const ModemState &s = modem.state();
    QCOMPARE(s.phones[0], QStringLiteral("05551112233"));
    QCOMPARE(s.servers[1].host, QStringLiteral("backup.example"));
    QCOMPARE(s.servers[1].port, 5001);
    QCOMPARE(s.password, QStringLiteral(" p "));
    QVERIFY(s.phoneEnabled[0] && !s.phoneEnabled[1] && s.servers[0].enabled && s.servers[1].enabled);
    QVERIFY(s.gsm);
    QVERIFY(!s.answerSms);
    QCOMPARE(s.listenPort, 4600);
    QCOMPARE(s.connectionPeriod, 125);
    QCOMPARE(s.smsPeriod, 6);
    QVERIFY(s.sendSms);

    modem.receive("OKU\r");
    const QList<QByteArray> pieces = sent.last().at(0).toByteArray().mid(2).split('\x02');
    QCOMPARE(pieces.value(9), QByteArray("apn.x"));
    QCOMPARE(pieces.value(12), QByteArray("1001110"));
    QCOMPARE(pieces.value(13), QByteArray("125"));
    QCOMPARE(pieces.value(14), QByteArray("4600"));
}

void tst_ModemSession::refusesBadRecords_data()
{
    QTest::addColumn<QByteArray>("bad");
    QByteArray wrongKey = record;
    wrongKey.replace("5283916", "1234567");
    QTest::newRow("wrong key") << wrongKey;
    QTest::newRow("field missing") << record.left(record.lastIndexOf("1\x02"));
    QByteArray flags = record;
    flags.replace("1001110", "10011");
    QTest::newRow("short flags") << flags;
    QByteArray period = record;
    period.replace("0205", "0275");
    QTest::newRow("75 minutes") << period;
    QByteArray port = record;
    port.replace("5000", "70000");
    QTest::newRow("port out of range") << port;
}

void tst_ModemSession::refusesBadRecords()
{
    QFETCH(QByteArray, bad);
    ModemSession modem{ModemState()};
    QSignalSpy sent(&modem, &ModemSession::send);
    modem.receive("|||\r" + bad + "\r");
    QCOMPARE(sent.last().at(0).toByteArray(), QByteArray("HATA\r"));
    QCOMPARE(modem.state().apn, ModemState().apn);
    QCOMPARE(modem.state().connectionPeriod, ModemState().connectionPeriod);
}

void tst_ModemSession::restartAnswersAndHangsUp()
{
    ModemSession modem{ModemState()};
    QSignalSpy sent(&modem, &ModemSession::send);
    QSignalSpy hungUp(&modem, &ModemSession::hangUp);
    modem.receive("|||\rGSR\r");
    QCOMPARE(sent.last().at(0).toByteArray(), QByteArray("RESET\r"));
    QCOMPARE(hungUp.count(), 1);
    QVERIFY(!modem.inCommandMode());
}

void tst_ModemSession::scenario()
{
    ModemState s;
    QString error;
    QVERIFY2(loadModemScenario(R"({"serial": 20077, "modem": {"firmware": "4.0", "apn": "kurum",
        "phones": ["0532", {"number": "0533", "enabled": false}], "servers": [{"host": "a.b", "port": 9000}],
        "listen": "GSM", "connectionPeriod": 90, "smsPeriod": 3, "sendSms": true}})",
                               &s, &error),
             qPrintable(error));
    QCOMPARE(s.serial, QStringLiteral("20077"));
    QCOMPARE(s.firmware, QStringLiteral("4.0"));
    QCOMPARE(s.apn, QStringLiteral("kurum"));
    QVERIFY(s.phoneEnabled[0]);
    QCOMPARE(s.phones[1], QStringLiteral("0533"));
    QVERIFY(!s.phoneEnabled[1]);
    QCOMPARE(s.servers[0].port, 9000);
    QVERIFY(s.servers[0].enabled);
    QVERIFY(s.gsm);
    QCOMPARE(s.connectionPeriod, 90);
    QVERIFY(s.sendSms);

    ModemSession modem(s);
    QCOMPARE(modem.parameterAnswer().mid(2).split('\x02').value(13), QByteArray("90"));
}

void tst_ModemSession::scenarioErrors_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("not json") << QByteArray("{");
    QTest::newRow("modem not object") << QByteArray(R"({"modem": 3})");
    QTest::newRow("listen") << QByteArray(R"({"modem": {"listen": "wifi"}})");
    QTest::newRow("period") << QByteArray(R"({"modem": {"connectionPeriod": 6000}})");
    QTest::newRow("sms period") << QByteArray(R"({"modem": {"smsPeriod": "x"}})");
}

void tst_ModemSession::scenarioErrors()
{
    QFETCH(QByteArray, json);
    ModemState s;
    QString error;
    QVERIFY(!loadModemScenario(json, &s, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(s.apn, ModemState().apn);
}

QTEST_GUILESS_MAIN(tst_ModemSession)
#include "tst_modemsession.moc"
