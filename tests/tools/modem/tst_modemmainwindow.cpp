#include "loggersimprocess.h"
#include "mainwindow.h"
#include "parameteranswer.h"
#include "ptypeer.h"
#include "support/scriptedquestions.h"
#include "tcppeer.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QList<QByteArray> samplePieces()
{
    return {"10042",   "2.07", "05321234567", "",         "",     "data.example.org",
            "",        "4380", "0",           "internet", "user", "secret",
            "1001000", "30",   "4500",        "12",       "1",    "17",
            "OP",      "0"};
}

} // namespace

class tst_ModemMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsIdleAndEmpty();
    void connectingEntersCommandModeAndReads();
    void wrongPieceCountsChangeNothing_data();
    void wrongPieceCountsChangeNothing();
    void enablingRules();
    void loadRestartsTheModem();
    void refusedLoadIsReportedAndAllowsRetry();
    void lostLinkIsReportedAndResetsTheForm();
    void serialConversation();
    void fullCycleAgainstSimulator_data();
    void fullCycleAgainstSimulator();
    void silentModemFailsTheReadAndKeepsLoadOff();
    void blankParametersNeedConfirmation();
    void answerSplitOverReadsIsCollected();

private:
    template<typename T> T *child(const char *name) { return m_window->findChild<T *>(QLatin1String(name)); }
    QString statusText() { return m_window->statusBar()->currentMessage(); }
    void createWindow();
    void connectTcp(TcpPeer &peer);
    void connectSimulator(bool pty, const QString &ready);
    void readWith(TcpPeer &peer, const QByteArray &parameterAnswer);

    QTemporaryDir m_dir;
    MainWindow *m_window = nullptr;
    ScriptedQuestions m_questions;
};

void tst_ModemMainWindow::init()
{
    createWindow();
}

void tst_ModemMainWindow::cleanup()
{
    delete m_window;
    m_window = nullptr;
    // Every question a test expected was asked, and nothing else.
    const ScriptedQuestions questions = m_questions;
    m_questions = ScriptedQuestions();
    QVERIFY(!questions.pending());
    QCOMPARE(questions.unanswered, 0);
}

void tst_ModemMainWindow::createWindow()
{
    delete m_window;
    // Each test starts from its own settings, not from the last test's choices.
    const QString settings =
        QStringLiteral("settings-%1-%2.ini")
            .arg(QLatin1String(QTest::currentTestFunction()),
                 QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')));
    m_window = new MainWindow(m_dir.filePath(settings));
    m_window->setQuestions(&m_questions);
    m_window->setCommandModeDelays(20, 20);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void tst_ModemMainWindow::connectTcp(TcpPeer &peer)
{
    child<QLineEdit>("txtHost")->setText(QStringLiteral("127.0.0.1"));
    child<QSpinBox>("sbTCPPort")->setValue(peer.port());
    QTest::keyClick(child<QLineEdit>("txtHost"), Qt::Key_Return);
    QTRY_COMPARE(peer.received(), QByteArray("|||\rOKU\r"));
    QCOMPARE(m_window->operation(), int(MainWindow::ReadingParameters));
    QVERIFY(!child<QAction>("actionRead")->isEnabled());
    QVERIFY(child<QAction>("actionConnect")->isChecked());
}

void tst_ModemMainWindow::readWith(TcpPeer &peer, const QByteArray &parameterAnswer)
{
    peer.clear();
    peer.write(parameterAnswer);
    QTRY_COMPARE(m_window->operation(), int(MainWindow::Idle));
    QVERIFY(child<QAction>("actionRead")->isEnabled());
}

void tst_ModemMainWindow::startsIdleAndEmpty()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Velk Modem Setup"));
    QCOMPARE(statusText(), QStringLiteral("Ready to connect."));
    QCOMPARE(child<QLabel>("txtFirmware")->text(), QStringLiteral("N/A"));
    QVERIFY(!child<QAction>("actionRead")->isEnabled());
    QVERIFY(!child<QAction>("actionLoad")->isEnabled());
    QVERIFY(!child<QWidget>("frmParameters")->isEnabled());
    QCOMPARE(child<QAction>("actionLoad")->toolTip(), QStringLiteral("Load parameters to modem"));
}

void tst_ModemMainWindow::connectingEntersCommandModeAndReads()
{
    TcpPeer peer;
    connectTcp(peer);
    readWith(peer, parameterAnswer(samplePieces()));
    QCOMPARE(statusText(), QStringLiteral("Connected."));
    QCOMPARE(child<QLabel>("txtSerialNo")->text(), QStringLiteral("10042"));
    QCOMPARE(child<QLabel>("txtFirmware")->text(), QStringLiteral("2.07"));
    QCOMPARE(child<QLineEdit>("txtPhone1")->text(), QStringLiteral("05321234567"));
    QVERIFY(child<QCheckBox>("cbPhone1")->isChecked());
    QVERIFY(child<QLineEdit>("txtPhone1")->isEnabled());
    QVERIFY(!child<QLineEdit>("txtPhone2")->isEnabled());
    QVERIFY(child<QCheckBox>("cbServer1")->isChecked());
    QCOMPARE(child<QSpinBox>("sbServer1Port")->value(), 4380);
    QVERIFY(child<QRadioButton>("rbGPRS")->isChecked());
    QVERIFY(child<QSpinBox>("sbListenPort")->isEnabled());
    QCOMPARE(child<QSpinBox>("sbListenPort")->value(), 4500);
    QCOMPARE(child<QSpinBox>("sbRemoteConnectionPeriod")->value(), 30);
    QCOMPARE(child<QSpinBox>("sbSMSPeriod")->value(), 12);
    QVERIFY(child<QCheckBox>("cbSendSMS")->isChecked());
    QVERIFY(!child<QCheckBox>("cbAnswerSMS")->isChecked());
    QVERIFY(child<QLineEdit>("txtAPNName")->hasFocus());
    QCOMPARE(child<QLineEdit>("txtAPNName")->selectedText(), QStringLiteral("internet"));
    // No other field is left with selected text.
    for (QLineEdit *edit : child<QWidget>("frmParameters")->findChildren<QLineEdit *>())
        if (edit->objectName() != QLatin1String("txtAPNName"))
            QVERIFY2(!edit->hasSelectedText(),
                     qPrintable(edit->objectName() + QLatin1Char('/') + edit->parent()->objectName()));
    QVERIFY(child<QWidget>("frmParameters")->isEnabled());
}

void tst_ModemMainWindow::wrongPieceCountsChangeNothing_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("19 pieces") << parameterAnswer(samplePieces().mid(0, 19));
    QTest::newRow("21 pieces") << parameterAnswer(samplePieces() + QList<QByteArray>{"x"});
    QTest::newRow("not PA") << QByteArray("ERROR\r");
}

void tst_ModemMainWindow::wrongPieceCountsChangeNothing()
{
    QFETCH(QByteArray, reply);
    TcpPeer peer;
    connectTcp(peer);
    QList<QByteArray> first = samplePieces();
    first[9] = "first.apn";
    readWith(peer, parameterAnswer(first));

    child<QAction>("actionRead")->trigger();
    QTRY_COMPARE(peer.received(), QByteArray("OKU\r"));
    QCOMPARE(statusText(), QStringLiteral("Reading parameters"));
    m_questions.answer(QMessageBox::Ok);
    readWith(peer, reply);
    QCOMPARE(child<QLineEdit>("txtAPNName")->text(), QStringLiteral("first.apn"));
    QCOMPARE(child<QLabel>("txtSerialNo")->text(), QStringLiteral("10042"));
    // The failed read is said, in the status bar and in a box.
    QCOMPARE(statusText(), QStringLiteral("Reading parameters failed: unreadable answer."));
    QCOMPARE(m_questions.last().icon, QMessageBox::Critical);
    QCOMPARE(m_questions.last().title, QStringLiteral("Error"));
}

void tst_ModemMainWindow::enablingRules()
{
    TcpPeer peer;
    connectTcp(peer);
    readWith(peer, parameterAnswer(samplePieces()));

    auto *gsm = child<QRadioButton>("rbGSM");
    auto *gprs = child<QRadioButton>("rbGPRS");
    auto *port = child<QSpinBox>("sbListenPort");
    gsm->click();
    QVERIFY(!port->isEnabled());
    gprs->click();
    QVERIFY(port->isEnabled());
    QVERIFY(port->hasFocus());

    child<QCheckBox>("cbPhone2")->click();
    QVERIFY(child<QLineEdit>("txtPhone2")->isEnabled());
    QVERIFY(child<QLineEdit>("txtPhone2")->hasFocus());
    child<QCheckBox>("cbPhone2")->click();
    QVERIFY(!child<QLineEdit>("txtPhone2")->isEnabled());

    child<QCheckBox>("cbServer2")->click();
    QVERIFY(child<QLineEdit>("txtServer2Host")->isEnabled());
    QVERIFY(child<QSpinBox>("sbServer2Port")->isEnabled());
    QVERIFY(child<QLineEdit>("txtServer2Host")->hasFocus());

    child<QCheckBox>("cbSendSMS")->click();
    QVERIFY(!child<QSpinBox>("sbSMSPeriod")->isEnabled());

    // The flag digits follow the form: phone 1, server 1 and 2 on, GPRS.
    child<QAction>("actionLoad")->trigger();
    QTRY_VERIFY(peer.received().endsWith("\r"));
    QCOMPARE(peer.received().split('\x02').value(12), QByteArray("1001100"));
    QCOMPARE(peer.received().split('\x02').value(16), QByteArray("0"));
}

void tst_ModemMainWindow::loadRestartsTheModem()
{
    TcpPeer peer;
    connectTcp(peer);
    readWith(peer, parameterAnswer(samplePieces()));

    child<QLineEdit>("txtAPNName")->setText(QStringLiteral("  new   apn "));
    child<QSpinBox>("sbRemoteConnectionPeriod")->setValue(125);
    child<QRadioButton>("rbGSM")->click();
    child<QAction>("actionLoad")->trigger();
    QCOMPARE(statusText(), QStringLiteral("Sending new parameters.."));
    QTRY_VERIFY(peer.received().endsWith("\r"));
    const QList<QByteArray> fields = peer.received().split('\x02');
    QCOMPARE(fields.value(0), QByteArray("TEL"));
    QCOMPARE(fields.value(1), QByteArray("5283916"));
    QCOMPARE(fields.value(9), QByteArray("new apn"));
    QCOMPARE(fields.value(12), QByteArray("1001010"));
    QCOMPARE(fields.value(14), QByteArray("0205"));
    QCOMPARE(fields.value(15), QByteArray("12"));
    QVERIFY(!child<QAction>("actionLoad")->isEnabled());

    peer.clear();
    peer.write("TYUK\r");
    QTRY_COMPARE(peer.received(), QByteArray("GSR\r"));
    QCOMPARE(statusText(), QStringLiteral("Restarting modem.."));
    QCOMPARE(m_window->operation(), int(MainWindow::Restarting));

    m_questions.answer(QMessageBox::Ok);
    peer.write("RESET\r");
    QTRY_VERIFY(!m_questions.pending());
    QCOMPARE(m_questions.last().title, QStringLiteral("Parameters"));
    QCOMPARE(m_questions.last().text,
             QStringLiteral("New parameters loaded to modem.\n\nModem restarted. You can reconnect a few "
                            "minutes later."));
    QTRY_VERIFY(peer.clientGone());
    QTRY_COMPARE(statusText(), QStringLiteral("Ready to connect."));
    QVERIFY(!child<QAction>("actionConnect")->isChecked());
    QCOMPARE(child<QLabel>("txtSerialNo")->text(), QStringLiteral("N/A"));
    QCOMPARE(child<QLineEdit>("txtAPNName")->text(), QString());
    QVERIFY(!child<QRadioButton>("rbGSM")->isChecked() && !child<QRadioButton>("rbGPRS")->isChecked());
    QVERIFY(!child<QLineEdit>("txtPhone1")->isEnabled());
}

void tst_ModemMainWindow::refusedLoadIsReportedAndAllowsRetry()
{
    TcpPeer peer;
    connectTcp(peer);
    readWith(peer, parameterAnswer(samplePieces()));
    child<QAction>("actionLoad")->trigger();
    QTRY_VERIFY(peer.received().startsWith("TEL"));
    m_questions.answer(QMessageBox::Ok);
    peer.write("HATA\r");
    QTRY_VERIFY(!m_questions.pending());
    QCOMPARE(m_questions.last().title, QStringLiteral("Error"));
    QCOMPARE(m_questions.last().text, QStringLiteral("Parameters Load operation fail!"));
    QTRY_VERIFY(child<QAction>("actionLoad")->isEnabled());
    QVERIFY(child<QAction>("actionConnect")->isChecked());
}

void tst_ModemMainWindow::lostLinkIsReportedAndResetsTheForm()
{
    TcpPeer peer;
    connectTcp(peer);
    readWith(peer, parameterAnswer(samplePieces()));
    m_questions.answer(QMessageBox::Ok);
    peer.hangUp();
    QTRY_VERIFY(!m_questions.pending());
    QCOMPARE(m_questions.last().title, QStringLiteral("Error"));
    QTRY_COMPARE(statusText(), QStringLiteral("Ready to connect."));
    QCOMPARE(child<QLabel>("txtFirmware")->text(), QStringLiteral("N/A"));
    QVERIFY(!child<QAction>("actionConnect")->isChecked());
    QVERIFY(child<QAction>("actionTCPIP")->isEnabled());
}

void tst_ModemMainWindow::serialConversation()
{
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    child<QAction>("actionSerialPort")->trigger();
    auto *ports = child<QComboBox>("cmbSerialPort");
    ports->addItem(peer.slavePath(), peer.slavePath());
    ports->setCurrentIndex(ports->count() - 1);
    child<QAction>("actionConnect")->trigger();
    QTRY_COMPARE(peer.received(), QByteArray("|||\rOKU\r"));
    peer.write(parameterAnswer(samplePieces()));
    QTRY_COMPARE(child<QLabel>("txtSerialNo")->text(), QStringLiteral("10042"));
    QCOMPARE(statusText(), QStringLiteral("Connected."));

    child<QAction>("actionConnect")->trigger();
    QCOMPARE(statusText(), QStringLiteral("Ready to connect."));
    QCOMPARE(child<QLabel>("txtSerialNo")->text(), QStringLiteral("N/A"));
}

void tst_ModemMainWindow::connectSimulator(bool pty, const QString &ready)
{
    if (pty) {
        child<QAction>("actionSerialPort")->trigger();
        auto *ports = child<QComboBox>("cmbSerialPort");
        if (ports->findData(ready) < 0)
            ports->addItem(ready, ready);
        ports->setCurrentIndex(ports->findData(ready));
    } else {
        child<QAction>("actionTCPIP")->trigger();
        child<QLineEdit>("txtHost")->setText(QStringLiteral("127.0.0.1"));
        child<QSpinBox>("sbTCPPort")->setValue(ready.toInt());
    }
    child<QAction>("actionConnect")->trigger();
    QTRY_COMPARE(statusText(), QStringLiteral("Connected."));
    QTRY_COMPARE(m_window->operation(), int(MainWindow::Idle));
    QVERIFY(m_window->parametersRead());
}

void tst_ModemMainWindow::fullCycleAgainstSimulator_data()
{
    QTest::addColumn<bool>("pty");
    QTest::newRow("tcp") << false;
    QTest::newRow("pty") << true;
}

void tst_ModemMainWindow::fullCycleAgainstSimulator()
{
    QFETCH(bool, pty);
    if (!LoggersimProcess::available())
        QSKIP("the simulator was not built");
    LoggersimProcess sim;
    QStringList args{QStringLiteral("--modem")};
    args << (pty ? QStringList{QStringLiteral("--pty")}
                 : QStringList{QStringLiteral("--tcp"), QStringLiteral("0")});
    const QString ready = sim.start(args);
    QVERIFY2(!ready.isEmpty(), qPrintable(sim.errors()));

    connectSimulator(pty, ready);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(child<QLabel>("txtSerialNo")->text() != QLatin1String("N/A"));
    const QString serial = child<QLabel>("txtSerialNo")->text();

    child<QLineEdit>("txtAPNName")->setText(QStringLiteral("station.apn"));
    child<QLineEdit>("txtPassword")->setText(QStringLiteral(" pw 1"));
    if (!child<QCheckBox>("cbPhone3")->isChecked())
        child<QCheckBox>("cbPhone3")->click();
    child<QLineEdit>("txtPhone3")->setText(QStringLiteral("05551112233"));
    child<QRadioButton>("rbGSM")->click();
    child<QSpinBox>("sbRemoteConnectionPeriod")->setValue(125);
    child<QSpinBox>("sbSMSPeriod")->setValue(0);

    m_questions.answer(QMessageBox::Ok);
    child<QAction>("actionLoad")->trigger();
    QTRY_VERIFY(!m_questions.pending());
    QCOMPARE(m_questions.last().title, QStringLiteral("Parameters"));
    QTRY_COMPARE(statusText(), QStringLiteral("Ready to connect."));
    QVERIFY(!child<QAction>("actionConnect")->isChecked());

    // The next read shows what was loaded.
    connectSimulator(pty, ready);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(child<QLabel>("txtSerialNo")->text(), serial);
    QCOMPARE(child<QLineEdit>("txtAPNName")->text(), QStringLiteral("station.apn"));
    QCOMPARE(child<QLineEdit>("txtPassword")->text(), QStringLiteral(" pw 1"));
    QVERIFY(child<QCheckBox>("cbPhone3")->isChecked());
    QCOMPARE(child<QLineEdit>("txtPhone3")->text(), QStringLiteral("05551112233"));
    QVERIFY(child<QRadioButton>("rbGSM")->isChecked());
    QVERIFY(!child<QSpinBox>("sbListenPort")->isEnabled());
    QCOMPARE(child<QSpinBox>("sbRemoteConnectionPeriod")->value(), 125);
}

void tst_ModemMainWindow::silentModemFailsTheReadAndKeepsLoadOff()
{
    m_window->setAnswerTimeout(150);
    TcpPeer peer;
    m_questions.answer(QMessageBox::Ok);
    connectTcp(peer);
    QTRY_VERIFY(!m_questions.pending());
    QCOMPARE(m_questions.last().title, QStringLiteral("Error"));
    QCOMPARE(statusText(), QStringLiteral("Reading parameters failed: no answer."));
    QCOMPARE(m_window->operation(), int(MainWindow::Idle));
    QVERIFY(child<QAction>("actionRead")->isEnabled());
    // Nothing was read: loading now would send a blank form.
    QVERIFY(!child<QAction>("actionLoad")->isEnabled());
    QVERIFY(!m_window->parametersRead());
    child<QAction>("actionLoad")->trigger();
    QCOMPARE(m_window->operation(), int(MainWindow::Idle));

    // A late, complete answer to a new read enables it.
    peer.clear();
    child<QAction>("actionRead")->trigger();
    QTRY_COMPARE(peer.received(), QByteArray("OKU\r"));
    readWith(peer, parameterAnswer(samplePieces()));
    QVERIFY(child<QAction>("actionLoad")->isEnabled());
    QCOMPARE(statusText(), QStringLiteral("Connected."));
}

void tst_ModemMainWindow::blankParametersNeedConfirmation()
{
    TcpPeer peer;
    connectTcp(peer);
    QList<QByteArray> blank = samplePieces();
    blank[12] = "0000000"; // no phone, no server
    blank[13] = "0";       // no connection period
    readWith(peer, parameterAnswer(blank));

    peer.clear();
    m_questions.answer(QMessageBox::No);
    child<QAction>("actionLoad")->trigger();
    QCOMPARE(m_questions.asked.size(), 1);
    QCOMPARE(m_questions.last().icon, QMessageBox::Question);
    QCOMPARE(m_questions.last().defaultButton, QMessageBox::No);
    QVERIFY(m_questions.last().text.contains(QLatin1String("no phone number, no server")));
    QCOMPARE(statusText(), QStringLiteral("Parameters not loaded."));
    QCOMPARE(m_window->operation(), int(MainWindow::Idle));
    QTest::qWait(50); // nothing may arrive on the line
    QCOMPARE(peer.received(), QByteArray());

    // One phone is enough to reach the station: no question.
    child<QCheckBox>("cbPhone2")->click();
    child<QLineEdit>("txtPhone2")->setText(QStringLiteral("05559998877"));
    child<QAction>("actionLoad")->trigger();
    QTRY_VERIFY(peer.received().startsWith("TEL"));
    QCOMPARE(m_questions.asked.size(), 1);

    // An explicit yes sends even the blank record.
    peer.clear();
    m_questions.answer(QMessageBox::Ok);
    peer.write("HATA\r");
    QTRY_VERIFY(!m_questions.pending());
    child<QCheckBox>("cbPhone2")->click();
    m_questions.answer(QMessageBox::Yes);
    child<QAction>("actionLoad")->trigger();
    QTRY_VERIFY(peer.received().startsWith("TEL"));
}

void tst_ModemMainWindow::answerSplitOverReadsIsCollected()
{
    // A GSM link that delivers the parameter answer in 40-byte pieces 0.4 s apart.
    if (!LoggersimProcess::available())
        QSKIP("the simulator was not built");
    LoggersimProcess sim;
    const QString ready = sim.start({QStringLiteral("--modem"), QStringLiteral("--tcp"), QStringLiteral("0"),
                                     QStringLiteral("--split"), QStringLiteral("40"),
                                     QStringLiteral("--gap-ms"), QStringLiteral("400")});
    QVERIFY2(!ready.isEmpty(), qPrintable(sim.errors()));
    connectSimulator(false, ready);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(m_window->parametersRead());
    QVERIFY(child<QLabel>("txtSerialNo")->text() != QLatin1String("N/A"));
    QVERIFY(!child<QLineEdit>("txtAPNName")->text().isEmpty());
    QVERIFY(child<QAction>("actionLoad")->isEnabled());
}

QTEST_MAIN(tst_ModemMainWindow)
#include "tst_modemmainwindow.moc"
