#include "loggersimprocess.h"
#include "mainwindow.h"
#include "ptypeer.h"
#include "support/scriptedquestions.h"
#include "tcppeer.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray frame(const QByteArray &text)
{
    QByteArray f = QByteArray("\x01\x00\x2a", 3) + '\x02' + text;
    while (f.size() < 45)
        f.append(' ');
    return f + "\r\r\r";
}
} // namespace

class tst_FactoryloadMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void storedSerialTypeStartsInSerialMode();
    void settingsAreWrittenBack();
    void emptyHostIsRefused();
    void refusedConnectionLeavesConnectUnchecked();
    void tcpConversation();
    void declinedQuestionSendsNothing();
    void crcComplaintWinsAndKeepsTheLink();
    void misplacedStxIsDiscarded();
    void serialConversation();
    void againstSimulator_data();
    void againstSimulator();

private:
    template<typename T> T *child(const char *name) { return m_window->findChild<T *>(QLatin1String(name)); }
    void createWindow();
    QStringList logLines();
    void connectTcp(quint16 port);
    void useSerialPort(const QString &path);
    // Load Factory Settings, answering its question with Yes.
    void loadConfirmed();

    QTemporaryDir m_dir;
    QString m_settings;
    MainWindow *m_window = nullptr;
    ScriptedQuestions m_questions;
};

void tst_FactoryloadMainWindow::init()
{
    m_settings = m_dir.filePath(QStringLiteral("settings-%1.ini").arg(QTest::currentTestFunction()));
    QFile::remove(m_settings);
}

void tst_FactoryloadMainWindow::cleanup()
{
    delete m_window;
    m_window = nullptr;
    // Every question a test expected was asked, and nothing else.
    const ScriptedQuestions questions = m_questions;
    m_questions = ScriptedQuestions();
    QVERIFY(!questions.pending());
    QCOMPARE(questions.unanswered, 0);
}

void tst_FactoryloadMainWindow::createWindow()
{
    m_window = new MainWindow(m_settings);
    m_window->setQuestions(&m_questions);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void tst_FactoryloadMainWindow::loadConfirmed()
{
    m_questions.answer(QMessageBox::Yes);
    child<QAction>("actionLoad")->trigger();
    QCOMPARE(m_questions.last().title, QStringLiteral("Load Factory Settings"));
    QCOMPARE(m_questions.last().defaultButton, QMessageBox::No);
}

QStringList tst_FactoryloadMainWindow::logLines()
{
    QStringList lines;
    auto *list = child<QListWidget>("listWidget");
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

void tst_FactoryloadMainWindow::connectTcp(quint16 port)
{
    child<QLineEdit>("txtHost")->setText(QStringLiteral(" 127.0.0.1 "));
    child<QSpinBox>("sbTCPPort")->setValue(port);
    child<QAction>("actionConnect")->trigger();
    QTRY_VERIFY(logLines().contains(QStringLiteral("Connected.")));
    QVERIFY(child<QAction>("actionLoad")->isEnabled());
    QVERIFY(!child<QAction>("actionSerialPort")->isEnabled());
    QVERIFY(!child<QFrame>("frmTCPIP")->isEnabled());
    QCOMPARE(child<QAction>("actionConnect")->toolTip(), QStringLiteral("Disconnect from device"));
}

void tst_FactoryloadMainWindow::useSerialPort(const QString &path)
{
    child<QAction>("actionSerialPort")->trigger();
    QVERIFY(child<QFrame>("frmSerialPort")->isVisible());
    QVERIFY(!child<QFrame>("frmTCPIP")->isVisible());
    auto *ports = child<QComboBox>("cmbSerialPort");
    ports->addItem(path, path);
    ports->setCurrentIndex(ports->count() - 1);
    auto *rates = child<QComboBox>("cmbBaudrate");
    rates->setCurrentIndex(rates->findData(9600));
}

void tst_FactoryloadMainWindow::storedSerialTypeStartsInSerialMode()
{
    {
        QSettings s(m_settings, QSettings::IniFormat);
        s.setValue(QStringLiteral("MLFL/connectionType"), 1);
        s.setValue(QStringLiteral("MLFL/host"), QStringLiteral("station.example"));
        s.setValue(QStringLiteral("MLFL/tcpPort"), 5001);
        s.setValue(QStringLiteral("MLFL/baudrate"), 9600);
    }
    createWindow();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Load Factory Settings"));
    QVERIFY(child<QAction>("actionSerialPort")->isChecked());
    QVERIFY(!child<QAction>("actionTCPIP")->isChecked());
    QVERIFY(child<QFrame>("frmSerialPort")->isVisible());
    QVERIFY(!child<QFrame>("frmTCPIP")->isVisible());
    QCOMPARE(child<QLineEdit>("txtHost")->text(), QStringLiteral("station.example"));
    QCOMPARE(child<QSpinBox>("sbTCPPort")->value(), 5001);
    QCOMPARE(child<QComboBox>("cmbBaudrate")->currentData().toInt(), 9600);
    QVERIFY(!child<QAction>("actionLoad")->isEnabled());
}

void tst_FactoryloadMainWindow::settingsAreWrittenBack()
{
    createWindow();
    QVERIFY(child<QAction>("actionTCPIP")->isChecked());
    QCOMPARE(child<QSpinBox>("sbTCPPort")->value(), 4380);
    QCOMPARE(child<QComboBox>("cmbBaudrate")->currentData().toInt(), 115200);
    child<QLineEdit>("txtHost")->setText(QStringLiteral("  10.0.0.7   "));
    child<QSpinBox>("sbTCPPort")->setValue(4400);
    child<QAction>("actionSerialPort")->trigger();
    delete m_window;
    m_window = nullptr;

    QSettings s(m_settings, QSettings::IniFormat);
    QCOMPARE(s.value(QStringLiteral("MLFL/connectionType")).toInt(), 1);
    QCOMPARE(s.value(QStringLiteral("MLFL/host")).toString(), QStringLiteral("10.0.0.7"));
    QCOMPARE(s.value(QStringLiteral("MLFL/tcpPort")).toInt(), 4400);
    QCOMPARE(s.value(QStringLiteral("MLFL/baudrate")).toInt(), 115200);
}

void tst_FactoryloadMainWindow::emptyHostIsRefused()
{
    createWindow();
    child<QLineEdit>("txtHost")->setText(QStringLiteral("   "));
    m_questions.answer(QMessageBox::Ok);
    child<QAction>("actionConnect")->trigger();
    QVERIFY(!m_questions.pending());
    QCOMPARE(m_questions.last().title, QStringLiteral("Connection Error"));
    QCOMPARE(m_questions.last().text, QStringLiteral("Please type a correct host address."));
    QVERIFY(!child<QAction>("actionConnect")->isChecked());
    QVERIFY(logLines().isEmpty());
}

void tst_FactoryloadMainWindow::refusedConnectionLeavesConnectUnchecked()
{
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    createWindow();
    child<QLineEdit>("txtHost")->setText(QStringLiteral("127.0.0.1"));
    child<QSpinBox>("sbTCPPort")->setValue(port);
    child<QAction>("actionConnect")->trigger();
    QTRY_VERIFY(!child<QAction>("actionConnect")->isChecked());
    QVERIFY(logLines().last().startsWith(QLatin1String("Error: ")));
    QVERIFY(child<QAction>("actionTCPIP")->isEnabled());
    QVERIFY(!child<QAction>("actionLoad")->isEnabled());
    QCOMPARE(child<QAction>("actionConnect")->toolTip(), QStringLiteral("Connect to device"));
}

void tst_FactoryloadMainWindow::tcpConversation()
{
    TcpPeer peer;
    createWindow();
    connectTcp(peer.port());
    loadConfirmed();
    QTRY_COMPARE(peer.received(), QByteArray("\x02SET4826\r\r\r"));

    // The answer arrives in two pieces; the first is too short to be a frame.
    const QByteArray answer = frame("YUKLENDI");
    peer.write(answer.left(39));
    QTRY_VERIFY(child<QAction>("actionLoad")->isEnabled());
    peer.write(answer.mid(39));
    QTRY_VERIFY(peer.clientGone());
    QTRY_VERIFY(logLines().contains(QStringLiteral("Disconnected.")));
    QCOMPARE(logLines().count(QStringLiteral("Factory settings loaded (YUKLENDI).")), 1);
    QVERIFY(!child<QAction>("actionConnect")->isChecked());
    QVERIFY(!child<QAction>("actionLoad")->isEnabled());
}

void tst_FactoryloadMainWindow::declinedQuestionSendsNothing()
{
    TcpPeer peer;
    createWindow();
    connectTcp(peer.port());
    m_questions.answer(QMessageBox::No);
    child<QAction>("actionLoad")->trigger();
    QCOMPARE(m_questions.asked.size(), 1);
    QCOMPARE(m_questions.last().buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(logLines().last(), QStringLiteral("Factory settings not loaded."));
    QTest::qWait(50); // nothing may arrive on the line
    QVERIFY(peer.received().isEmpty());
    QVERIFY(child<QAction>("actionConnect")->isChecked());
}

void tst_FactoryloadMainWindow::crcComplaintWinsAndKeepsTheLink()
{
    TcpPeer peer;
    createWindow();
    connectTcp(peer.port());
    loadConfirmed();
    QTRY_VERIFY(!peer.received().isEmpty());
    peer.write(frame("CRCHata YUKLENDI"));
    QTRY_VERIFY(
        logLines().contains(QStringLiteral("CRC error: the device received a damaged command (CRCHata).")));
    QVERIFY(!logLines().contains(QStringLiteral("Factory settings loaded (YUKLENDI).")));
    QVERIFY(child<QAction>("actionConnect")->isChecked());

    peer.write(frame("SYANLIS"));
    QTRY_VERIFY(logLines().contains(
        QStringLiteral("Wrong password: the device refused the factory settings (SYANLIS).")));
    QVERIFY(peer.hasClient());
}

void tst_FactoryloadMainWindow::misplacedStxIsDiscarded()
{
    TcpPeer peer;
    createWindow();
    connectTcp(peer.port());
    QSignalSpy checks(m_window, SIGNAL(checkBuffer()));
    QByteArray junk = frame("YUKLENDI");
    junk[3] = 'X';
    peer.write(junk);
    QTRY_VERIFY(checks.count() >= 1);
    peer.write(frame("SYANLIS"));
    QTRY_VERIFY(logLines().contains(
        QStringLiteral("Wrong password: the device refused the factory settings (SYANLIS).")));
    QVERIFY(!logLines().contains(QStringLiteral("Factory settings loaded (YUKLENDI).")));
    QVERIFY(child<QAction>("actionConnect")->isChecked());
}

void tst_FactoryloadMainWindow::serialConversation()
{
    PtyPeer peer;
    QVERIFY(peer.isOpen());
    createWindow();
    useSerialPort(peer.slavePath());
    child<QAction>("actionConnect")->trigger();
    QVERIFY(logLines().contains(QStringLiteral("Serial port is open.")));
    QVERIFY(child<QAction>("actionLoad")->isEnabled());
    loadConfirmed();
    QTRY_COMPARE(peer.received(), QByteArray("\x02SET4826\r\r\r"));
    peer.write(frame("YUKLENDI"));
    QTRY_VERIFY(logLines().contains(QStringLiteral("Serial port is closed")));
    QVERIFY(logLines().contains(QStringLiteral("Factory settings loaded (YUKLENDI).")));
    QVERIFY(!child<QAction>("actionConnect")->isChecked());
}

void tst_FactoryloadMainWindow::againstSimulator_data()
{
    QTest::addColumn<bool>("pty");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("logged");
    QTest::newRow("tcp loaded") << false << QStringLiteral("ok")
                                << QStringLiteral("Factory settings loaded (YUKLENDI).");
    QTest::newRow("pty loaded") << true << QStringLiteral("ok")
                                << QStringLiteral("Factory settings loaded (YUKLENDI).");
    QTest::newRow("tcp crc") << false << QStringLiteral("crc")
                             << QStringLiteral("CRC error: the device received a damaged command (CRCHata).");
    QTest::newRow("tcp password")
        << false << QStringLiteral("password")
        << QStringLiteral("Wrong password: the device refused the factory settings (SYANLIS).");
}

void tst_FactoryloadMainWindow::againstSimulator()
{
    QFETCH(bool, pty);
    QFETCH(QString, answer);
    QFETCH(QString, logged);
    if (!LoggersimProcess::available())
        QSKIP("the simulator was not built");
    const QString requestLog = m_dir.filePath(QStringLiteral("requests-%1.log").arg(QTest::currentDataTag()));
    LoggersimProcess sim;
    QStringList args{QStringLiteral("--factory-answer"), answer, QStringLiteral("--log"), requestLog};
    args << (pty ? QStringList{QStringLiteral("--pty")}
                 : QStringList{QStringLiteral("--tcp"), QStringLiteral("0")});
    const QString ready = sim.start(args);
    QVERIFY2(!ready.isEmpty(), qPrintable(sim.errors()));

    createWindow();
    if (pty) {
        useSerialPort(ready);
        child<QAction>("actionConnect")->trigger();
        QVERIFY(logLines().contains(QStringLiteral("Serial port is open.")));
    } else {
        connectTcp(quint16(ready.toUInt()));
    }
    loadConfirmed();
    QTRY_VERIFY(logLines().contains(logged));

    QFile requests(requestLog);
    QVERIFY(requests.open(QIODevice::ReadOnly));
    QVERIFY(requests.readAll().startsWith("SET"));

    const bool loaded = answer == QLatin1String("ok");
    if (loaded)
        QTRY_VERIFY(!child<QAction>("actionConnect")->isChecked());
    QCOMPARE(child<QAction>("actionConnect")->isChecked(), !loaded);
    QCOMPARE(child<QAction>("actionLoad")->isEnabled(), !loaded);
}

QTEST_MAIN(tst_FactoryloadMainWindow)
#include "tst_factoryloadmainwindow.moc"
