#include "../common/silentdevice.h"
#include "../common/simulator.h"
#include "support/scriptedquestions.h"
#include "ui/identityread.h"

#include "nexil/protocol/nexil.h"

#include <QProgressDialog>
#include <QPushButton>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

// "Read From Station" with Cancel and a time limit: against the simulator,
// a device that never answers and a port nobody listens on.
class tst_IdentityRead : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { registerNexilMetaTypes(); }
    void readCancelAndTimeLimit();
};

void tst_IdentityRead::readCancelAndTimeLimit()
{
    QWidget window;
    window.show();
    ScriptedQuestions ask;
    IdentityRead read(&window);
    read.setQuestions(&ask);
    QCOMPARE(read.timeout(), 15000);
    QSignalSpy identities(&read, &IdentityRead::identityRead);
    QSignalSpy finished(&read, &IdentityRead::finished);
    Nexil *nexil = read.findChild<Nexil *>();
    QTcpSocket *socket = read.findChild<QTcpSocket *>();
    QVERIFY(nexil && socket);

    // 1. A device that answers: its identity, then the link is let go.
    if (Simulator::available()) {
        QTemporaryDir dir;
        Simulator sim;
        QVERIFY2(sim.start(dir.path(), QStringLiteral("sim"),
                           R"({"station": {"name": "KUYU 12", "group": "05-11-012", "code": "K05A012"}})"),
                 qPrintable(sim.error()));
        read.start(QStringLiteral("127.0.0.1"), sim.port);
        QProgressDialog *progress = window.findChild<QProgressDialog *>();
        QVERIFY(progress && progress->isVisible());
        QCOMPARE(progress->windowTitle(), QStringLiteral("Read From Device"));
        QCOMPARE(progress->findChild<QPushButton *>()->text(), QStringLiteral("Cancel"));
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(identities.size(), 1);
        QCOMPARE(identities.first().at(0).value<DeviceIdentity>().stationCode, QStringLiteral("K05A012"));
        QVERIFY(!read.isRunning());
        QCOMPARE(socket->state(), QAbstractSocket::UnconnectedState);
        QTRY_VERIFY(!window.findChild<QProgressDialog *>());
        QVERIFY(ask.asked.isEmpty());
    }

    // 2. Escape on a device that stays silent: the requests stop at once
    //    and no late error box follows.
    SilentDevice silent;
    finished.clear();
    read.start(QStringLiteral("127.0.0.1"), silent.serverPort());
    QTRY_VERIFY(nexil->isBusy());
    QProgressDialog *progress = window.findChild<QProgressDialog *>();
    QVERIFY(progress);
    QTest::keyClick(progress, Qt::Key_Escape);
    QCOMPARE(finished.size(), 1);
    QVERIFY(!read.isRunning());
    QVERIFY(!nexil->isBusy()); // nothing left to resend
    QCOMPARE(socket->state(), QAbstractSocket::UnconnectedState);
    QTRY_VERIFY(!window.findChild<QProgressDialog *>());
    QVERIFY(ask.asked.isEmpty());

    // 3. The Cancel button does the same.
    read.start(QStringLiteral("127.0.0.1"), silent.serverPort());
    QTRY_VERIFY(nexil->isBusy());
    window.findChild<QProgressDialog *>()->findChild<QPushButton *>()->click();
    QCOMPARE(finished.size(), 2);
    QVERIFY(!nexil->isBusy());
    QVERIFY(ask.asked.isEmpty());

    // 4. Silent past the time limit: one box saying so, long before the
    //    library's own resends would give up.
    read.setTimeout(100);
    read.start(QStringLiteral("127.0.0.1"), silent.serverPort());
    QTRY_COMPARE(finished.size(), 3);
    QCOMPARE(ask.asked.size(), 1);
    QCOMPARE(ask.last().title, QStringLiteral("Socket Error"));
    QCOMPARE(ask.last().text,
             QStringLiteral("No answer from 127.0.0.1:%1 within 0.1 s.").arg(silent.serverPort()));
    QVERIFY(!nexil->isBusy());
    QCOMPARE(silent.received.last().count("KML"), 1);

    // 5. Refused: the socket's reason, once.
    read.setTimeout(15000);
    read.start(QStringLiteral("127.0.0.1"), closedPort());
    QTRY_COMPARE(finished.size(), 4);
    QCOMPARE(ask.asked.size(), 2);
    QCOMPARE(ask.last().title, QStringLiteral("Socket Error"));
    QCOMPARE(ask.last().text, QStringLiteral("Connection refused"));
    QCOMPARE(identities.size(), Simulator::available() ? 1 : 0);
}

QTEST_MAIN(tst_IdentityRead)
#include "tst_identityread.moc"
