#include "../common/silentdevice.h"
#include "../common/simulator.h"
#include "../common/stationfixtures.h"
#include "store/confighistory.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"
#include "support/pty.h"
#include "support/scriptedquestions.h"
#include "support/simprocess.h"
#include "ui/manualconnection.h"

#include "nexil/configuration/setupdialog.h"
#include "nexil/files/filemanager.h"
#include "nexil/protocol/nexil.h"
#include "uievents.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The manual connection console against the simulator over TCP and over a
// pseudo-terminal, and against devices that fail.
class tst_ManualConnection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsBlankAndRemembersItsChoices();
    void presetForAStationDoesNotConnect();
    void hostOfNoStationSavesIntoTheDefaultFolder();
    void readingChainFillsTheForm();
    void memoryLabelScalesToTheUnit();
    void twoFilesShowTheSecondDateAndResumeFromItsFile();
    void unknownDeviceTypeDownloadsFromTheStart();
    void unsavedDownloadIsReported();
    void downloadCanBeCancelled();
    void setupReplyWhileTheWizardIsOpenRequestsNothing();
    void connectionMistakesAndSocketErrors();
    void libraryErrorIsShownAndEndsTheRequest();
    void serialPortOverAPseudoTerminal();
    void serialPortThatCannotOpen();
    void closingWhileConnectedIsQuiet();
    void stationIsMatchedByHostAndPort();
    void deviceCodeCannotLeaveTheDataFolder();
    void wizardUploadsAreReportedAsTheDeviceAnswered();

private:
    template<class T> static T *w(QWidget &console, const char *name) { return namedChild<T>(console, name); }
    std::unique_ptr<ManualConnection> newConsole(bool withModel = true);
    // The demo logger (tqm510.json) with a fixed clock, changed by `changes`.
    static QByteArray scenario(const QJsonObject &changes = {});
    bool startSim(Simulator &sim, const QJsonObject &changes = {}, const QStringList &extraArgs = {});
    // Connects over TCP and waits for the end of the reading chain.
    bool connectTcp(ManualConnection &console, quint16 port,
                    const QString &host = QStringLiteral("127.0.0.1"));
    static bool idle(ManualConnection &console);
    int addStation(const QString &tag, const QString &ip, int port);
    QStringList logLines() const;
    QStringList blockRequests() const;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<StationTableModel> model;
    std::unique_ptr<ScriptedQuestions> ask;
    QString oldCwd;
    QString simLog;
    QStringList revealed;
    QStringList wizards;
    std::function<int(QDialog *)> onWizard;
};

void tst_ManualConnection::initTestCase()
{
    registerNexilMetaTypes();
    registerDBStation();
}

void tst_ManualConnection::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir->path()));
    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir->filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
    model = std::make_unique<StationTableModel>();
    ask = std::make_unique<ScriptedQuestions>();
    revealed.clear();
    wizards.clear();
    {
        // Downloads of hosts of no station go here rather than the test home.
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        settings.setValue("SETTINGS/defaultpath", dir->filePath("defaults"));
    }
    onWizard = [](QDialog *) { return int(QDialog::Rejected); };
    simLog.clear();
}

void tst_ManualConnection::cleanup()
{
    model.reset();
    DatabaseConnection::close();
    QDir::setCurrent(oldCwd);
    dir.reset();
}

std::unique_ptr<ManualConnection> tst_ManualConnection::newConsole(bool withModel)
{
    auto console = std::make_unique<ManualConnection>(withModel ? model.get() : nullptr);
    console->setQuestions(ask.get());
    console->setFileRevealer(
        [this](const QString &folder, const QString &file) { revealed << folder + QLatin1Char('|') + file; });
    console->setDialogRunner([this](QDialog *dialog) {
        wizards << QLatin1String(dialog->metaObject()->className());
        return onWizard(dialog);
    });
    console->show();
    return console;
}

QByteArray tst_ManualConnection::scenario(const QJsonObject &changes)
{
    QFile file(QStringLiteral(NEXIL_SOURCE_DIR "/tools/loggersim/scenarios/tqm510.json"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no demo scenario");
    QJsonObject s = QJsonDocument::fromJson(file.readAll()).object();
    s.insert(QStringLiteral("clock"), QStringLiteral("05/12/26 10:00:00"));
    for (auto it = changes.begin(); it != changes.end(); ++it)
        s.insert(it.key(), it.value());
    return QJsonDocument(s).toJson();
}

bool tst_ManualConnection::startSim(Simulator &sim, const QJsonObject &changes, const QStringList &extraArgs)
{
    if (!sim.start(dir->path(), QStringLiteral("sim"), scenario(changes), extraArgs)) {
        qWarning("%s", qPrintable(sim.error()));
        return false;
    }
    simLog = dir->filePath(QStringLiteral("sim.log"));
    return true;
}

bool tst_ManualConnection::idle(ManualConnection &console)
{
    return w<QGroupBox>(console, "gbCommands")->isEnabled() && !console.findChild<Nexil *>()->isBusy();
}

bool tst_ManualConnection::connectTcp(ManualConnection &console, quint16 port, const QString &host)
{
    w<QRadioButton>(console, "rbTcpIp")->click();
    QLineEdit *ip = w<QLineEdit>(console, "txtIP");
    ip->clear();
    QTest::keyClicks(ip, host);
    w<QSpinBox>(console, "sbTcpPort")->setValue(port);
    w<QPushButton>(console, "btnConnect")->click();
    // Up to the end of the reading chain, or the first question.
    return QTest::qWaitFor([&] { return idle(console) || !ask->asked.isEmpty(); }, 20000) && idle(console);
}

int tst_ManualConnection::addStation(const QString &tag, const QString &ip, int port)
{
    DBStation s = fullStation(tag);
    s.ip = ip;
    s.port = port;
    s.file_path = dir->filePath(tag);
    s.file_name = QStringLiteral("station%1").arg(tag);
    s.export_text = false;
    s.export_excel = false;
    const int id = DatabaseConnection::insertStation(s);
    model = std::make_unique<StationTableModel>();
    return id;
}

QStringList tst_ManualConnection::logLines() const
{
    QFile file(simLog);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList tst_ManualConnection::blockRequests() const
{
    return logLines().filter(QRegularExpression(QStringLiteral("^AKT ")));
}

// --- Tests -------------------------------------------------------------------

void tst_ManualConnection::startsBlankAndRemembersItsChoices()
{
    {
        auto console = newConsole();
        ManualConnection &c = *console;
        QCOMPARE(c.windowTitle(), QStringLiteral("Manual Connection"));
        QCOMPARE(c.size(), QSize(910, 425));
        QVERIFY(!w<QRadioButton>(c, "rbSerialPort")->isChecked());
        QVERIFY(!w<QRadioButton>(c, "rbTcpIp")->isChecked());
        QVERIFY(w<QGroupBox>(c, "gbConnectionNone")->isVisible());
        QVERIFY(!w<QGroupBox>(c, "gbConnectionTcpIp")->isVisible());
        QVERIFY(!w<QGroupBox>(c, "gbConnectionSerialPort")->isVisible());
        QCOMPARE(w<QLineEdit>(c, "txtIP")->text(), QStringLiteral("0.0.0.0"));
        QCOMPARE(w<QSpinBox>(c, "sbTcpPort")->value(), 4380);
        QComboBox *rates = w<QComboBox>(c, "cmbBaudrate");
        QCOMPARE(rates->currentData().toInt(), 115200);
        for (const char *group : {"gbCommands", "gbDevice", "gbStation", "gbFiles", "gbBattery", "gbMemory"})
            QVERIFY2(!w<QGroupBox>(c, group)->isEnabled(), group);
        QVERIFY(!w<QTabWidget>(c, "tabWidget")->isEnabled());
        for (const char *label :
             {"txtDeviceType", "txtSerialNo", "txtFirmware", "txtStationName", "txtStationCode", "txtRegion",
              "txtBasin", "txtNo", "txtSetupDate", "txtDeviceDate", "txtBattery", "txtMemory"})
            QCOMPARE(w<QLabel>(c, label)->text(), QStringLiteral("N/A"));
        QTableWidget *instant = w<QTableWidget>(c, "twInstant");
        QCOMPARE(instant->columnWidth(2), 80);

        // Switching the connection type keeps the window's size.
        w<QRadioButton>(c, "rbSerialPort")->click();
        QCoreApplication::processEvents();
        QVERIFY(w<QGroupBox>(c, "gbConnectionSerialPort")->isVisible());
        QVERIFY(!w<QGroupBox>(c, "gbConnectionNone")->isVisible());
        QCOMPARE(c.size(), QSize(910, 425));
        w<QRadioButton>(c, "rbTcpIp")->click();
        QCoreApplication::processEvents();
        QCOMPARE(c.size(), QSize(910, 425));
        QVERIFY(w<QGroupBox>(c, "gbConnectionTcpIp")->isVisible());
        QVERIFY(!w<QGroupBox>(c, "gbConnectionNone")->isVisible());
        w<QLineEdit>(c, "txtIP")->setText(QStringLiteral("  modem.example.org "));
        w<QSpinBox>(c, "sbTcpPort")->setValue(4410);
        rates->setCurrentIndex(rates->findData(9600));
    }
    QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
    QCOMPARE(settings.value("HISTORY/connection_type").toInt(), 2);
    QCOMPARE(settings.value("HISTORY/host").toString(), QStringLiteral("modem.example.org"));
    QCOMPARE(settings.value("HISTORY/tcpport").toInt(), 4410);
    QCOMPARE(settings.value("HISTORY/baudrate").toString(), QStringLiteral("9600"));

    auto again = newConsole();
    QVERIFY(w<QRadioButton>(*again, "rbTcpIp")->isChecked());
    QVERIFY(w<QGroupBox>(*again, "gbConnectionTcpIp")->isVisible());
    QCOMPARE(w<QLineEdit>(*again, "txtIP")->text(), QStringLiteral("modem.example.org"));
    QCOMPARE(w<QSpinBox>(*again, "sbTcpPort")->value(), 4410);
    QCOMPARE(w<QComboBox>(*again, "cmbBaudrate")->currentText(), QStringLiteral("9600"));
    QVERIFY(ask->asked.isEmpty());
}

void tst_ManualConnection::presetForAStationDoesNotConnect()
{
    addStation(QStringLiteral("A"), QStringLiteral("10.1.2.3"), 5001);
    addStation(QStringLiteral("B"), QStringLiteral("10.1.2.4"), 5002);
    auto console = newConsole();
    ManualConnection &c = *console;
    c.presetConnection(QStringLiteral("10.1.2.4"), 5002);
    QVERIFY(w<QRadioButton>(c, "rbTcpIp")->isChecked());
    QVERIFY(w<QGroupBox>(c, "gbConnectionTcpIp")->isVisible());
    QCOMPARE(w<QLineEdit>(c, "txtIP")->text(), QStringLiteral("10.1.2.4"));
    QCOMPARE(w<QSpinBox>(c, "sbTcpPort")->value(), 5002);
    QVERIFY(c.hostMatchesStation());
    QCOMPARE(c.dataFolder(), dir->filePath("B"));
    QCOMPARE(c.dataFileName(), QStringLiteral("stationB"));
    QVERIFY(!c.exportsText());
    QVERIFY(!c.exportsExcel());
    QCOMPARE(c.findChild<QTcpSocket *>()->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(w<QPushButton>(c, "btnConnect")->isEnabled());
    QVERIFY(!w<QGroupBox>(c, "gbCommands")->isEnabled());
    QCOMPARE(w<QLabel>(c, "txtStationName")->text(), QStringLiteral("N/A"));
    QVERIFY(ask->asked.isEmpty());
}

void tst_ManualConnection::hostOfNoStationSavesIntoTheDefaultFolder()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    {
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        settings.setValue("SETTINGS/defaultpath", dir->filePath("defaults"));
        settings.setValue("SETTINGS/exportToText", true);
        settings.setValue("SETTINGS/exportToExcel", false);
    }
    addStation(QStringLiteral("A"), QStringLiteral("10.1.2.3"), 5001);
    Simulator sim;
    QVERIFY(startSim(sim));
    auto console = newConsole();
    ManualConnection &c = *console;
    // Typed: first the station's host, then one of no station.
    w<QRadioButton>(c, "rbTcpIp")->click();
    w<QSpinBox>(c, "sbTcpPort")->setValue(5001);
    QLineEdit *ip = w<QLineEdit>(c, "txtIP");
    ip->clear();
    QTest::keyClicks(ip, QStringLiteral("10.1.2.3"));
    QVERIFY(c.hostMatchesStation());
    QCOMPARE(c.dataFolder(), dir->filePath("A"));
    QVERIFY(!c.exportsText());
    QVERIFY(connectTcp(c, sim.port));
    QVERIFY(!c.hostMatchesStation());
    QCOMPARE(c.dataFolder(), dir->filePath("defaults"));
    QVERIFY(c.exportsText());
    QVERIFY(!c.exportsExcel());
    // The file name comes from the device's station code.
    QCOMPARE(c.dataFileName(), QStringLiteral("D02A003"));

    // Named after the date of the device's last memory file.
    const QString date = w<QLabel>(c, "txtSetupDate")->text().left(10).remove(QLatin1Char('.'));
    QCOMPARE(date.size(), 8);
    w<QPushButton>(c, "btnDownloadData")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!revealed.isEmpty(), 20000);
    QTRY_VERIFY(idle(c));
    QVERIFY2(ask->asked.isEmpty(), qPrintable(ask->asked.value(0).text));
    const QString file = dir->filePath("defaults/D02A003_" + date + ".xml");
    QCOMPARE(revealed, QStringList{dir->filePath("defaults") + "|" + file});
    QVERIFY(QFile::exists(file));
    QVERIFY(QFile::exists(dir->filePath("defaults/D02A003_" + date + ".txt")));
    QCOMPARE(blockRequests().value(0), QStringLiteral("AKT page=0 buffer=0"));
}

void tst_ManualConnection::readingChainFillsTheForm()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    Simulator sim;
    QVERIFY(startSim(sim, {{QStringLiteral("supplyVoltage"), 12.5}}));
    auto console = newConsole(false);
    ManualConnection &c = *console;
    QVERIFY(connectTcp(c, sim.port));
    QVERIFY2(ask->asked.isEmpty(), qPrintable(ask->asked.value(0).text));
    QCOMPARE(logLines().mid(0, 5), (QStringList{"OKU", "DKU", "RKL", "KOK", "ALO"}));

    QCOMPARE(w<QPushButton>(c, "btnConnect")->text(), QStringLiteral("Disconnect"));
    QVERIFY(w<QPushButton>(c, "btnConnect")->isEnabled());
    QVERIFY(!w<QGroupBox>(c, "gbConnectionType")->isEnabled());
    QVERIFY(!w<QLineEdit>(c, "txtIP")->isEnabled());
    QVERIFY(!w<QSpinBox>(c, "sbTcpPort")->isEnabled());
    QCOMPARE(w<QLabel>(c, "txtDeviceType")->text(), QStringLiteral("TQM510"));
    QCOMPARE(w<QLabel>(c, "txtSerialNo")->text(), QStringLiteral("51001"));
    QCOMPARE(w<QLabel>(c, "txtFirmware")->text(), QStringLiteral("62"));
    QCOMPARE(w<QLabel>(c, "txtStationName")->text(), QStringLiteral("KIRMIR CAYI"));
    QCOMPARE(w<QLabel>(c, "txtStationCode")->text(), QStringLiteral("D02A003"));
    QCOMPARE(w<QLabel>(c, "txtRegion")->text(), QStringLiteral("2"));
    QCOMPARE(w<QLabel>(c, "txtBasin")->text(), QStringLiteral("14"));
    QCOMPARE(w<QLabel>(c, "txtNo")->text(), QStringLiteral("3"));
    QCOMPARE(w<QLabel>(c, "txtDeviceDate")->text(), QStringLiteral("05.12.2026 10:00"));
    QCOMPARE(w<QLabel>(c, "txtBattery")->text(), QStringLiteral("12.50 V"));
    QCOMPARE(w<QProgressBar>(c, "pbBattery")->value(), 1250);

    QTableWidget *instant = w<QTableWidget>(c, "twInstant");
    QCOMPARE(instant->rowCount(), 5); // the active channels
    QCOMPARE(instant->item(0, 0)->text(), QStringLiteral("Level"));
    QCOMPARE(instant->item(0, 2)->text(), QStringLiteral("INS"));
    QVERIFY2(QRegularExpression(QStringLiteral("^-?\\d+\\.\\d\\d cm$"))
                 .match(instant->item(0, 3)->text())
                 .hasMatch(),
             qPrintable(instant->item(0, 3)->text()));
    QCOMPARE(instant->item(0, 1)->textAlignment(), int(Qt::AlignCenter));
    QCOMPARE(instant->item(0, 3)->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
    // The demo logger's maxima and minima come from its generated memory.
    const QRegularExpression time(QStringLiteral("^2026-12-0\\d \\d\\d:\\d\\d$"));
    const QRegularExpression level(QStringLiteral("^-?\\d+\\.\\d\\d cm$"));
    QTableWidget *maximum = w<QTableWidget>(c, "twMaximum");
    QCOMPARE(maximum->rowCount(), 5);
    QVERIFY(time.match(maximum->item(0, 1)->text()).hasMatch());
    QCOMPARE(maximum->item(0, 2)->text(), QStringLiteral("MAX"));
    QVERIFY(level.match(maximum->item(0, 3)->text()).hasMatch());
    QTableWidget *minimum = w<QTableWidget>(c, "twMinimum");
    QCOMPARE(minimum->item(0, 2)->text(), QStringLiteral("MIN"));
    QVERIFY(level.match(minimum->item(0, 3)->text()).hasMatch());

    // One row per maximum event, then one per minimum event.
    QTableWidget *alarms = w<QTableWidget>(c, "twAlarm");
    QCOMPARE(alarms->rowCount(), 2);
    QCOMPARE(alarms->item(0, 0)->text(), QStringLiteral("Level"));
    QCOMPARE(alarms->item(0, 1)->text(), QStringLiteral("2026-12-04 18:30"));
    QCOMPARE(alarms->item(0, 2)->text(), QStringLiteral("MAX"));
    QCOMPARE(alarms->item(0, 3)->text(), QStringLiteral("262.50 cm"));
    QCOMPARE(alarms->item(1, 0)->text(), QStringLiteral("AirTemp"));
    QCOMPARE(alarms->item(1, 2)->text(), QStringLiteral("MIN"));
    QCOMPARE(alarms->item(1, 3)->text(), QStringLiteral("-11.20 C"));

    // Read Parameters runs the chain again; for a station of the store with
    // the device's code, what it read goes into the configuration history.
    const int id = addStation(QStringLiteral("H"), QStringLiteral("10.9.9.9"), 4380);
    {
        QSqlQuery q;
        QVERIFY(q.prepare(QStringLiteral("UPDATE stations SET code = ? WHERE id = ?")));
        q.addBindValue(QStringLiteral("D02A003"));
        q.addBindValue(id);
        QVERIFY(q.exec());
    }
    w<QTabWidget>(c, "tabWidget")->setCurrentIndex(3);
    w<QPushButton>(c, "btnReadSetup")->click();
    QVERIFY(!idle(c));
    QTRY_VERIFY(idle(c));
    QCOMPARE(logLines().size(), 10);
    QList<ConfigHistory::Entry> history;
    QVERIFY(ConfigHistory().entries(id, &history));
    QCOMPARE(history.size(), 1);
    QCOMPARE(history.at(0).source, ConfigHistory::console());

    // Disconnecting clears the form.
    w<QPushButton>(c, "btnConnect")->click();
    QTRY_COMPARE(c.findChild<QTcpSocket *>()->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(w<QPushButton>(c, "btnConnect")->text(), QStringLiteral("Connect"));
    QCOMPARE(w<QLabel>(c, "txtStationName")->text(), QStringLiteral("N/A"));
    QCOMPARE(w<QLabel>(c, "txtBattery")->text(), QStringLiteral("N/A"));
    QCOMPARE(w<QProgressBar>(c, "pbBattery")->value(), 0);
    QCOMPARE(w<QComboBox>(c, "cmbFileList")->count(), 0);
    QCOMPARE(alarms->rowCount(), 0);
    QCOMPARE(w<QTabWidget>(c, "tabWidget")->currentIndex(), 0);
    QVERIFY(w<QGroupBox>(c, "gbConnectionType")->isEnabled());
    QVERIFY(!w<QGroupBox>(c, "gbCommands")->isEnabled());
    QVERIFY(ask->asked.isEmpty());
}

void tst_ManualConnection::memoryLabelScalesToTheUnit()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    // 2048 bytes of memory behind one file.
    const QJsonObject memory{
        {QStringLiteral("records"),
         QJsonArray{QJsonObject{{QStringLiteral("type"), QStringLiteral("raw")},
                                {QStringLiteral("hex"), QString(4096, QLatin1Char('0'))}}}}};
    const QJsonArray files{QJsonObject{{QStringLiteral("date"), QStringLiteral("01/12/26 08:00")},
                                       {QStringLiteral("endPage"), 4},
                                       {QStringLiteral("endBuffer"), 0}}};
    Simulator sim;
    QVERIFY(startSim(sim, {{QStringLiteral("memory"), memory}, {QStringLiteral("files"), files}}));
    auto console = newConsole(false);
    ManualConnection &c = *console;
    QVERIFY(connectTcp(c, sim.port));
    QProgressBar *bar = w<QProgressBar>(c, "pbMemory");
    QCOMPARE(bar->value(), 2048);
    QCOMPARE(w<QLabel>(c, "txtMemory")->text(), QStringLiteral("2.00 KB\n(0%)"));

    // Larger positions than a test memory holds, as the device reports them.
    FileInformations info;
    info.lastAddress = 3 * 1024 * 1024;
    QMetaObject::invokeMethod(&c, "onNexilFileInformations", Q_ARG(FileInformations, info));
    QCOMPARE(bar->value(), 3 * 1024 * 1024);
    QCOMPARE(w<QLabel>(c, "txtMemory")->text(), QStringLiteral("3.00 MB\n(%1)").arg(bar->text()));
    info.lastAddress = 1000;
    QMetaObject::invokeMethod(&c, "onNexilFileInformations", Q_ARG(FileInformations, info));
    QCOMPARE(w<QLabel>(c, "txtMemory")->text(), QStringLiteral("1000.00 B\n(0%)"));
    QTRY_VERIFY(idle(c));
}

void tst_ManualConnection::twoFilesShowTheSecondDateAndResumeFromItsFile()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    const QJsonArray files{QJsonObject{{QStringLiteral("date"), QStringLiteral("01/12/26 08:00")},
                                       {QStringLiteral("endPage"), 3},
                                       {QStringLiteral("endBuffer"), 100}},
                           QJsonObject{{QStringLiteral("date"), QStringLiteral("03/12/26 09:30")},
                                       {QStringLiteral("endPage"), 40},
                                       {QStringLiteral("endBuffer"), 0}}};
    Simulator sim;
    QVERIFY(startSim(sim, {{QStringLiteral("files"), files}}));
    addStation(QStringLiteral("S"), QStringLiteral("127.0.0.1"), sim.port);
    // A file of the first memory file, far ahead: not the one to resume from.
    QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("S")));
    {
        QFile old(dir->filePath("S/stationS_01122026.xml"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("<data><setup><memory><page>30</page><buffer>7</buffer></memory></setup></data>");
    }
    auto console = newConsole();
    ManualConnection &c = *console;
    c.presetConnection(QStringLiteral("127.0.0.1"), sim.port);
    QVERIFY(connectTcp(c, sim.port));
    QCOMPARE(w<QLabel>(c, "txtSetupDate")->text(), QStringLiteral("03.12.2026 09:30"));
    QComboBox *list = w<QComboBox>(c, "cmbFileList");
    QCOMPARE(list->count(), 2);
    QVERIFY(list->itemText(0).startsWith(QStringLiteral("2026-12-01 08:00 (")));
    QVERIFY(list->itemText(1).startsWith(QStringLiteral("2026-12-03 09:30 (")));
    QVERIFY(list->itemText(1).endsWith(QStringLiteral(" bytes)")));

    // First download: no file of the second date yet, so from the start.
    QString title;
    QSize size;
    bool modal = false;
    bool shown = false;
    QString label;
    // Connected after the console: its progress window is up by then.
    connect(c.findChild<Nexil *>(), &Nexil::downloadStarted, this, [&](int total) {
        QProgressDialog *progress = c.findChild<QProgressDialog *>();
        QVERIFY(progress);
        title = progress->windowTitle();
        size = progress->size();
        modal = progress->isModal();
        shown = progress->isVisible();
        label = progress->labelText();
        QCOMPARE(progress->maximum(), total);
    });
    w<QPushButton>(c, "btnDownloadData")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!revealed.isEmpty(), 20000);
    QTRY_VERIFY(idle(c));
    QVERIFY2(ask->asked.isEmpty(), qPrintable(ask->asked.value(0).text));
    const QString saved = dir->filePath("S/stationS_03122026.xml");
    QCOMPARE(revealed, QStringList{dir->filePath("S") + "|" + saved});
    QCOMPARE(blockRequests().value(0), QStringLiteral("AKT page=0 buffer=0"));
    QCOMPARE(title, QStringLiteral("Download Progress"));
    QCOMPARE(size, QSize(450, 90));
    QVERIFY(modal);
    QVERIFY(shown);
    QVERIFY(label.startsWith(QStringLiteral("Downloading ")));
    QVERIFY(label.endsWith(QStringLiteral(" packages.")));
    QTRY_VERIFY(!c.findChild<QProgressDialog *>());
    // Not exported: the station asks for no text file.
    QVERIFY(!QFile::exists(dir->filePath("S/stationS_03122026.txt")));

    // The second resumes where the file of the second date ends.
    int page = -1;
    int buffer = -1;
    QDateTime time;
    FileManager reader;
    QCOMPARE(reader.getLastMemoryAddresses(&page, &buffer, &time, saved), 0);
    QVERIFY(page > 0 || buffer > 0);
    const int before = blockRequests().size();
    w<QPushButton>(c, "btnDownloadData")->click();
    QTRY_COMPARE_WITH_TIMEOUT(revealed.size(), 2, 20000);
    QTRY_VERIFY(idle(c));
    QCOMPARE(blockRequests().value(before), QStringLiteral("AKT page=%1 buffer=%2").arg(page).arg(buffer));
    QVERIFY(ask->asked.isEmpty());
}

void tst_ManualConnection::unknownDeviceTypeDownloadsFromTheStart()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    Simulator sim;
    QVERIFY(startSim(sim));
    addStation(QStringLiteral("S"), QStringLiteral("127.0.0.1"), sim.port);
    auto console = newConsole();
    ManualConnection &c = *console;
    c.presetConnection(QStringLiteral("127.0.0.1"), sim.port);
    QVERIFY(connectTcp(c, sim.port));
    // A data file to resume from, which a known device would use.
    w<QPushButton>(c, "btnDownloadData")->click();
    QTRY_VERIFY_WITH_TIMEOUT(revealed.size() == 1, 20000);
    QTRY_VERIFY(idle(c));
    QVERIFY(blockRequests().size() >= 1);

    // The setup the console keeps names no device type (0).
    QMetaObject::invokeMethod(&c, "onNexilSetupParameters", Q_ARG(SetupParameters, SetupParameters()));
    QTRY_VERIFY(idle(c));
    QCOMPARE(w<QLabel>(c, "txtDeviceType")->text(), QString());
    const int before = blockRequests().size();
    w<QPushButton>(c, "btnDownloadData")->click();
    QTRY_COMPARE_WITH_TIMEOUT(revealed.size(), 2, 20000);
    QTRY_VERIFY(idle(c));
    QCOMPARE(blockRequests().value(before), QStringLiteral("AKT page=0 buffer=0"));
    // The records read at the start of the download name the file.
    QCOMPARE(revealed.last(), revealed.first());
    QCOMPARE(w<QLabel>(c, "txtDeviceType")->text(), QStringLiteral("TQM510"));
    QVERIFY(ask->asked.isEmpty());
}

void tst_ManualConnection::unsavedDownloadIsReported()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    // The default folder is taken by a plain file.
    QFile blocker(dir->filePath("defaults"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Simulator sim;
    QVERIFY(startSim(sim));
    auto console = newConsole(false);
    ManualConnection &c = *console;
    QVERIFY(connectTcp(c, sim.port));
    w<QPushButton>(c, "btnDownloadData")->click();
    QTRY_COMPARE_WITH_TIMEOUT(ask->asked.size(), 1, 20000);
    QCOMPARE(ask->last().icon, QMessageBox::Critical);
    QCOMPARE(ask->last().title, QStringLiteral("Error"));
    QVERIFY(ask->last().text.startsWith(QStringLiteral("Could not save the data file ")));
    QVERIFY(ask->last().text.contains(QDir::toNativeSeparators(dir->filePath("defaults/D02A003_"))));
    QTRY_VERIFY(idle(c));
    QVERIFY(revealed.isEmpty());
}

void tst_ManualConnection::downloadCanBeCancelled()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    Simulator sim;
    QVERIFY(startSim(sim, {}, {QStringLiteral("--delay-ms"), QStringLiteral("60")}));
    auto console = newConsole(false);
    ManualConnection &c = *console;
    QVERIFY(connectTcp(c, sim.port));
    w<QPushButton>(c, "btnDownloadData")->click();
    QVERIFY(!idle(c));
    QProgressDialog *progress = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((progress = c.findChild<QProgressDialog *>()) != nullptr, 10000);
    QVERIFY(progress->isVisible());
    QVERIFY(progress->labelText().startsWith(QStringLiteral("Downloading ")));
    const int total = progress->maximum();
    QVERIFY(total > 5);
    QTRY_VERIFY_WITH_TIMEOUT(progress->labelText().startsWith(QStringLiteral("Downloading 2/")), 10000);
    QCOMPARE(progress->labelText(), QStringLiteral("Downloading 2/%1").arg(total));
    QCOMPARE(progress->value(), 2);

    QPushButton *cancel = progress->findChild<QPushButton *>();
    QVERIFY(cancel);
    QSignalSpy pages(c.findChild<Nexil *>(), &Nexil::downloadProgress);
    cancel->click();
    QVERIFY(idle(c));
    QTRY_VERIFY(!c.findChild<QProgressDialog *>());
    const int requested = blockRequests().size();
    // No page is asked for or taken after the cancel.
    QVERIFY(!pages.wait(400));
    QCOMPARE(blockRequests().size(), requested);
    QVERIFY(requested < total);
    QVERIFY(revealed.isEmpty());
    QVERIFY(ask->asked.isEmpty());

    // The console goes on working.
    w<QPushButton>(c, "btnReadSetup")->click();
    QTRY_VERIFY_WITH_TIMEOUT(idle(c), 10000);
    QVERIFY(ask->asked.isEmpty());
}

void tst_ManualConnection::setupReplyWhileTheWizardIsOpenRequestsNothing()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    Simulator sim;
    QVERIFY(startSim(sim));
    auto console = newConsole(false);
    ManualConnection &c = *console;
    QVERIFY(connectTcp(c, sim.port));
    const int before = logLines().size();
    w<QLabel>(c, "txtStationName")->setText(QStringLiteral("stale"));
    w<QLabel>(c, "txtDeviceDate")->setText(QStringLiteral("stale"));

    QStringList duringWizard;
    QString labelDuringWizard;
    QWidget *wizardParent = nullptr;
    onWizard = [&](QDialog *dialog) {
        wizardParent = dialog->parentWidget();
        dialog->show();
        // The wizard reads setup, names, calibrations and alarms.
        // Up to the alarms, which take the wizard to its first page.
        const bool read = QTest::qWaitFor(
            [&] {
                return logLines().mid(before).size() >= 4 && !c.findChild<Nexil *>()->isBusy() &&
                       dialog->findChild<QStackedWidget *>()->currentIndex() == 1;
            },
            10000);
        Q_UNUSED(read) // what was read is compared below
        duringWizard = logLines().mid(before);
        labelDuringWizard = w<QLabel>(c, "txtStationName")->text();
        dialog->reject();
        return int(QDialog::Rejected);
    };
    w<QPushButton>(c, "btnSetup")->click();
    QCOMPARE(wizards, QStringList{QStringLiteral("SetupDialog")});
    QCOMPARE(wizardParent, &c);
    QCOMPARE(duringWizard, (QStringList{"OKU", "RKL", "KOK", "ALO"}));
    QCOMPARE(labelDuringWizard, QStringLiteral("KIRMIR CAYI"));
    QCOMPARE(w<QLabel>(c, "txtDeviceDate")->text(), QStringLiteral("05.12.2026 10:00"));
    QCOMPARE(ask->asked.size(), 1);
    QCOMPARE(ask->last().icon, QMessageBox::Critical);
    QCOMPARE(ask->last().title, QStringLiteral("Setup"));
    QCOMPARE(ask->last().text, QStringLiteral("Operation Failed!"));
    QVERIFY(idle(c));
    QVERIFY(!c.findChild<SetupDialog *>());

    // Accepted: the console reads everything again.
    const int beforeAccept = logLines().size();
    onWizard = [](QDialog *) { return int(QDialog::Accepted); };
    w<QPushButton>(c, "btnSetup")->click();
    QTRY_VERIFY(idle(c));
    QTRY_VERIFY(logLines().mid(beforeAccept).contains(QStringLiteral("DKU")));
    QCOMPARE(ask->asked.size(), 1);
}

void tst_ManualConnection::connectionMistakesAndSocketErrors()
{
    auto console = newConsole(false);
    ManualConnection &c = *console;
    w<QRadioButton>(c, "rbTcpIp")->click();
    QLineEdit *ip = w<QLineEdit>(c, "txtIP");
    ip->setText(QStringLiteral("   "));
    w<QPushButton>(c, "btnConnect")->click();
    QCOMPARE(ask->asked.size(), 1);
    QCOMPARE(ask->last().icon, QMessageBox::Critical);
    QCOMPARE(ask->last().title, QStringLiteral("Host Error"));
    QCOMPARE(ask->last().text, QStringLiteral("Please type a correct IP/Host address!"));

    ip->setText(QStringLiteral("127.0.0.1"));
    w<QSpinBox>(c, "sbTcpPort")->setValue(0);
    w<QPushButton>(c, "btnConnect")->click();
    QCOMPARE(ask->asked.size(), 2);
    QCOMPARE(ask->last().title, QStringLiteral("Port Error"));
    QCOMPARE(ask->last().text, QStringLiteral("Please type a correct port number!"));
    QCOMPARE(c.findChild<QTcpSocket *>()->state(), QAbstractSocket::UnconnectedState);

    // Refused; Return in the host field connects (once).
    w<QSpinBox>(c, "sbTcpPort")->setValue(closedPort());
    ip->setFocus();
    QTest::keyClick(ip, Qt::Key_Return);
    if (c.findChild<QTcpSocket *>()->state() == QAbstractSocket::ConnectingState) {
        QVERIFY(!w<QGroupBox>(c, "gbConnectionType")->isEnabled());
        QVERIFY(!w<QGroupBox>(c, "gbConnectionTcpIp")->isEnabled());
    }
    QTRY_COMPARE(ask->asked.size(), 3);
    QCOMPARE(ask->last().title, QStringLiteral("Error"));
    QCOMPARE(ask->last().text, QStringLiteral("Connection refused"));
    QVERIFY(w<QGroupBox>(c, "gbConnectionType")->isEnabled());
    QVERIFY(w<QGroupBox>(c, "gbConnectionTcpIp")->isEnabled());
    QVERIFY(!w<QGroupBox>(c, "gbCommands")->isEnabled());

    // A modem that hangs up as soon as the request arrives: reported once.
    QTcpServer hangUp;
    QVERIFY(hangUp.listen(QHostAddress::LocalHost, 0));
    connect(&hangUp, &QTcpServer::newConnection, &hangUp, [&hangUp] {
        QTcpSocket *s = hangUp.nextPendingConnection();
        connect(s, &QTcpSocket::readyRead, s, [s] {
            s->readAll();
            s->close();
            s->deleteLater();
        });
    });
    Nexil *nexil = c.findChild<Nexil *>();
    nexil->setReplyTimeout(20);
    w<QSpinBox>(c, "sbTcpPort")->setValue(hangUp.serverPort());
    w<QPushButton>(c, "btnConnect")->click();
    QSignalSpy failed(nexil, &Nexil::error);
    QTRY_COMPARE(ask->asked.size(), 4);
    QCOMPARE(ask->last().title, QStringLiteral("Error"));
    QCOMPARE(ask->last().text, QStringLiteral("The remote host closed the connection"));
    // The request cut short is not resent into nothing and reported again.
    QVERIFY(!failed.wait(300));
    QCOMPARE(ask->asked.size(), 4);
    QVERIFY(!nexil->isBusy());
    QTRY_COMPARE(c.findChild<QTcpSocket *>()->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(w<QLabel>(c, "txtStationName")->text(), QStringLiteral("N/A"));
    QCOMPARE(w<QPushButton>(c, "btnConnect")->text(), QStringLiteral("Connect"));
}

void tst_ManualConnection::libraryErrorIsShownAndEndsTheRequest()
{
    SilentDevice device;
    auto console = newConsole(false);
    ManualConnection &c = *console;
    Nexil *nexil = c.findChild<Nexil *>();
    nexil->setReplyTimeout(20);
    QSignalSpy failed(nexil, &Nexil::error);
    connectTcp(c, device.serverPort());
    QTRY_COMPARE(ask->asked.size(), 1);
    QCOMPARE(ask->last().icon, QMessageBox::Critical);
    QCOMPARE(ask->last().title, QStringLiteral("Error"));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(ask->last().text, failed.first().at(1).toString());
    QVERIFY(!ask->last().text.isEmpty());
    QCOMPARE(device.received.value(0).count("OKU"), 5);
    // Still connected, and free for the next command.
    QVERIFY(idle(c));
    QCOMPARE(c.findChild<QTcpSocket *>()->state(), QAbstractSocket::ConnectedState);
    QCOMPARE(w<QLabel>(c, "txtStationName")->text(), QStringLiteral("N/A"));

    // A download whose first request goes unanswered ends with the error.
    w<QPushButton>(c, "btnDownloadData")->click();
    QTRY_COMPARE(ask->asked.size(), 2);
    QCOMPARE(ask->last().title, QStringLiteral("Error"));
    QVERIFY(idle(c));
    QVERIFY(!nexil->isDownloading());
    QVERIFY(!c.findChild<QProgressDialog *>());
    QVERIFY(revealed.isEmpty());
}

void tst_ManualConnection::serialPortOverAPseudoTerminal()
{
    SimProcess sim;
    if (!QFileInfo(SimProcess::binary()).isExecutable())
        QSKIP("the simulator is not built");
    QVERIFY(sim.start({QStringLiteral("--scenario"), SimProcess::scenario(QStringLiteral("tqm510.json")),
                       QStringLiteral("--speed"), QStringLiteral("0")},
                      true));
    auto console = newConsole(false);
    ManualConnection &c = *console;
    w<QRadioButton>(c, "rbSerialPort")->click();
    QVERIFY(w<QGroupBox>(c, "gbConnectionSerialPort")->isVisible());
    QVERIFY(!w<QGroupBox>(c, "gbConnectionTcpIp")->isVisible());
    QComboBox *ports = w<QComboBox>(c, "cmbSerialPort");
    ports->addItem(sim.ptyPath(), sim.ptyPath());
    ports->setCurrentIndex(ports->count() - 1);
    QPushButton *open = w<QPushButton>(c, "btnOpenSerialPort");
    open->click();
    QTRY_VERIFY_WITH_TIMEOUT(idle(c), 20000);
    QVERIFY2(ask->asked.isEmpty(), qPrintable(ask->asked.value(0).text));
    QCOMPARE(open->text(), QStringLiteral("Disconnect"));
    QVERIFY(!ports->isEnabled());
    QVERIFY(!w<QComboBox>(c, "cmbBaudrate")->isEnabled());
    QVERIFY(!w<QGroupBox>(c, "gbConnectionType")->isEnabled());
    QCOMPARE(w<QLabel>(c, "txtStationCode")->text(), QStringLiteral("D02A003"));
    QCOMPARE(w<QTableWidget>(c, "twAlarm")->rowCount(), 2);

    w<QPushButton>(c, "btnDownloadData")->click();
    QTRY_VERIFY_WITH_TIMEOUT(revealed.size() == 1, 30000);
    QTRY_VERIFY(idle(c));
    QVERIFY(revealed.first().endsWith(QStringLiteral(".xml")));
    QVERIFY(QFile::exists(revealed.first().section(QLatin1Char('|'), 1)));

    open->click();
    QCOMPARE(open->text(), QStringLiteral("Connect"));
    QVERIFY(ports->isEnabled());
    QCOMPARE(w<QLabel>(c, "txtStationCode")->text(), QStringLiteral("N/A"));
    QVERIFY(!w<QGroupBox>(c, "gbCommands")->isEnabled());
    QVERIFY(ask->asked.isEmpty());
    QVERIFY(!c.findChild<QSerialPort *>()->isOpen());
}

void tst_ManualConnection::serialPortThatCannotOpen()
{
    auto console = newConsole(false);
    ManualConnection &c = *console;
    w<QRadioButton>(c, "rbSerialPort")->click();
    QComboBox *ports = w<QComboBox>(c, "cmbSerialPort");
    const QString missing = dir->filePath("no-such-port");
    ports->addItem(missing, missing);
    ports->setCurrentIndex(ports->count() - 1);
    w<QPushButton>(c, "btnOpenSerialPort")->click();
    QCOMPARE(ask->asked.size(), 1);
    QCOMPARE(ask->last().icon, QMessageBox::Critical);
    QCOMPARE(ask->last().title, QStringLiteral("Error"));
    QCOMPARE(ask->last().text, c.findChild<QSerialPort *>()->errorString());
    QVERIFY(!ask->last().text.isEmpty());
    QVERIFY(!c.findChild<QSerialPort *>()->isOpen());
    QCOMPARE(w<QPushButton>(c, "btnOpenSerialPort")->text(), QStringLiteral("Connect"));
    QVERIFY(!w<QGroupBox>(c, "gbCommands")->isEnabled());
}

void tst_ManualConnection::closingWhileConnectedIsQuiet()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    Simulator sim;
    QVERIFY(startSim(sim));
    auto console = newConsole(false);
    QVERIFY(connectTcp(*console, sim.port));
    w<QPushButton>(*console, "btnReadSetup")->click();
    console.reset();
    QVERIFY(ask->asked.isEmpty());
    // The device takes the next caller: the console let go of the link.
    auto next = newConsole(false);
    QVERIFY(connectTcp(*next, sim.port));
    QVERIFY(ask->asked.isEmpty());
}

void tst_ManualConnection::stationIsMatchedByHostAndPort()
{
    // Two loggers behind one address, told apart by the port.
    addStation(QStringLiteral("A"), QStringLiteral("10.1.2.3"), 5001);
    addStation(QStringLiteral("B"), QStringLiteral("10.1.2.3"), 5002);
    auto console = newConsole();
    ManualConnection &c = *console;
    c.presetConnection(QStringLiteral("10.1.2.3"), 5001);
    QVERIFY(c.hostMatchesStation());
    QCOMPARE(c.dataFileName(), QStringLiteral("stationA"));
    w<QSpinBox>(c, "sbTcpPort")->setValue(5002);
    QVERIFY(c.hostMatchesStation());
    QCOMPARE(c.dataFolder(), dir->filePath("B"));
    QCOMPARE(c.dataFileName(), QStringLiteral("stationB"));
    // A port of neither is no station, even on their address.
    w<QSpinBox>(c, "sbTcpPort")->setValue(5003);
    QVERIFY(!c.hostMatchesStation());
    QCOMPARE(c.dataFolder(), dir->filePath("defaults"));
    QVERIFY(c.dataFileName().isEmpty());
    QLineEdit *ip = w<QLineEdit>(c, "txtIP");
    w<QSpinBox>(c, "sbTcpPort")->setValue(5001);
    ip->clear();
    QTest::keyClicks(ip, QStringLiteral("10.1.2.4"));
    QVERIFY(!c.hostMatchesStation());
    ip->clear();
    QTest::keyClicks(ip, QStringLiteral("10.1.2.3"));
    QCOMPARE(c.dataFileName(), QStringLiteral("stationA"));
}

void tst_ManualConnection::deviceCodeCannotLeaveTheDataFolder()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    QJsonObject station{{"name", "KIRMIR CAYI"}, {"group", "02-14-003"}, {"code", "../../EVIL"}};
    Simulator sim;
    QVERIFY(startSim(sim, {{"station", station}}));
    auto console = newConsole();
    ManualConnection &c = *console;
    QVERIFY(connectTcp(c, sim.port));
    QCOMPARE(w<QLabel>(c, "txtStationCode")->text(), QStringLiteral("../../EVIL"));
    QVERIFY(!c.hostMatchesStation());
    QCOMPARE(c.dataFileName(), QStringLiteral("_.._EVIL"));
    w<QPushButton>(c, "btnDownloadData")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!revealed.isEmpty(), 20000);
    QTRY_VERIFY(idle(c));
    QVERIFY2(ask->asked.isEmpty(), qPrintable(ask->asked.value(0).text));
    const QStringList saved = QDir(dir->filePath("defaults")).entryList({"*.xml"}, QDir::Files);
    QCOMPARE(saved.size(), 1);
    QVERIFY2(saved.first().startsWith(QStringLiteral("_.._EVIL_")), qPrintable(saved.first()));
    // Nothing landed above the data folder.
    QDir up(dir->path());
    up.cdUp();
    QVERIFY(up.entryList({"EVIL*"}).isEmpty());
    QVERIFY(QDir(dir->path()).entryList({"EVIL*"}).isEmpty());
}

// Drives the wizard the console opened to its last page and sends with
// `password`; false when it does not get there.
// Sends every record of `choice`; the wizard's list of changes is answered
// here and left out of what the console is seen to ask.
static bool sendFromWizard(ScriptedQuestions *ask, QDialog *wizard, const char *choice,
                           const QString &password)
{
    wizard->show();
    auto *pages = wizard->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
    if (!QTest::qWaitFor([&] { return pages->currentIndex() == 1; }, 10000))
        return false;
    for (int i = 0; i < 4; ++i)
        wizard->findChild<QPushButton *>(QStringLiteral("btnNext"))->click();
    wizard->findChild<QRadioButton *>(QLatin1String(choice))->click();
    QTest::keyClicks(wizard->findChild<QLineEdit *>(QStringLiteral("txtPassword")), password);
    const int before = ask->asked.size();
    ask->answer(QMessageBox::YesToAll);
    wizard->findChild<QPushButton *>(QStringLiteral("btnSend"))->click();
    if (ask->asked.size() != before + 1)
        return false;
    ask->asked.removeLast();
    return pages->currentIndex() == 5;
}

void tst_ManualConnection::wizardUploadsAreReportedAsTheDeviceAnswered()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    // Every answer takes a while: the wizard can be closed before one comes.
    Simulator sim;
    QVERIFY(startSim(sim, {}, {QStringLiteral("--delay-ms"), QStringLiteral("300")}));
    // The device's station, and another one under it in the list.
    DBStation other = fullStation(QStringLiteral("X"));
    QVERIFY(DatabaseConnection::insertStation(other) > 0);
    DBStation own = fullStation(QStringLiteral("D"));
    own.code = QStringLiteral("D02A003");
    const int ownId = DatabaseConnection::insertStation(own);
    QVERIFY(ownId > 0);
    auto console = newConsole(false);
    ManualConnection &c = *console;
    QVERIFY(connectTcp(c, sim.port));
    QPushButton *connectButton = w<QPushButton>(c, "btnConnect");
    const QString taken = QString::fromUtf8("Cihazın kabul ettiği kayıtlar: Kanal Kalibrasyonları.");

    // 1. Closed while the calibrations wait: the console waits too, with
    //    Disconnect at hand, and tells the operator the device took them.
    bool sent = false;
    onWizard = [&](QDialog *wizard) {
        sent = sendFromWizard(ask.get(), wizard, "rbSendOnlyCalibrations", QStringLiteral("1234"));
        wizard->reject();
        return int(QDialog::Rejected);
    };
    w<QPushButton>(c, "btnSetup")->click();
    QVERIFY(sent);
    QVERIFY(c.awaitingUpload());
    QVERIFY(ask->asked.isEmpty());
    QVERIFY(!w<QGroupBox>(c, "gbCommands")->isEnabled());
    QVERIFY(connectButton->isEnabled());
    QCOMPARE(connectButton->text(), QStringLiteral("Disconnect"));
    const int beforeAnswer = logLines().size();
    QTRY_COMPARE_WITH_TIMEOUT(ask->asked.size(), 1, 10000);
    QCOMPARE(ask->last().icon, QMessageBox::Information);
    QCOMPARE(ask->last().title, QStringLiteral("Setup"));
    QCOMPARE(ask->last().text, taken);
    // What the device holds now is read again, and the console is usable.
    QTRY_VERIFY_WITH_TIMEOUT(idle(c), 10000);
    QVERIFY(logLines().mid(beforeAnswer).contains(QStringLiteral("OKU")));
    QVERIFY(!c.awaitingUpload());
    // In the history as the wizard's upload, with that read as what the
    // device took, under the device's station.
    QList<ConfigHistory::Entry> entries;
    QVERIFY(ConfigHistory().entries(ownId, &entries));
    QVERIFY(!entries.isEmpty());
    const ConfigHistory::Entry &late = entries.last();
    QCOMPARE(late.source, ConfigHistory::wizard());
    QCOMPARE(late.actor, ConfigHistory::localActor());
    QCOMPARE(late.outcome.value(QStringLiteral("calibrations")).toString(), QStringLiteral("confirmed"));
    QCOMPARE(late.records.present().size(), 4);
    QVERIFY(ConfigHistory().entries(ownId - 1, &entries));
    QVERIFY(entries.isEmpty());

    // 2. A wrong password: the wizard shows the refusal at once; the console
    //    says nothing was taken.
    QString refusal;
    onWizard = [&](QDialog *wizard) {
        sent = sendFromWizard(ask.get(), wizard, "rbSendOnlyCalibrations", QStringLiteral("9999"));
        auto *status = wizard->findChild<QLabel *>(QStringLiteral("txtSendStatus"));
        const bool told = QTest::qWaitFor(
            [&] { return status->text().contains(QString::fromUtf8("Şifre yanlış")); }, 10000);
        Q_UNUSED(told) // the text is compared below
        refusal = status->text();
        wizard->reject();
        return int(QDialog::Rejected);
    };
    w<QPushButton>(c, "btnSetup")->click();
    QVERIFY(sent);
    const QString refused = QString::fromUtf8("Cihaz hiçbir kaydı kabul etmedi.\n"
                                              "Şifre yanlış: cihaz Kanal Kalibrasyonları kaydını reddetti.");
    QVERIFY2(refusal.startsWith(refused), qPrintable(refusal));
    QCOMPARE(ask->asked.size(), 2);
    QCOMPARE(ask->last().icon, QMessageBox::Critical);
    QCOMPARE(ask->last().text, QStringLiteral("Operation Failed!\n\n") + refused);
    QTRY_VERIFY(idle(c));

    // 3. Closed while an upload waits, then Disconnect: it works, and the
    //    operator learns the answer will never come.
    onWizard = [&](QDialog *wizard) {
        sent = sendFromWizard(ask.get(), wizard, "rbSendOnlyCalibrations", QStringLiteral("1234"));
        wizard->reject();
        return int(QDialog::Rejected);
    };
    w<QPushButton>(c, "btnSetup")->click();
    QVERIFY(sent);
    QVERIFY(c.awaitingUpload());
    connectButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(ask->asked.size(), 3, 10000);
    QCOMPARE(ask->last().icon, QMessageBox::Critical);
    QCOMPARE(ask->last().text,
             QString::fromUtf8("Operation Failed!\n\nCihaz hiçbir kaydı kabul etmedi.\n"
                               "Kanal Kalibrasyonları için cihazdan yanıt gelmedi; kabul edilip edilmediği "
                               "bilinmiyor."));
    QTRY_COMPARE(c.findChild<QTcpSocket *>()->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(!c.awaitingUpload());
    QVERIFY(connectButton->isEnabled());
    QCOMPARE(connectButton->text(), QStringLiteral("Connect"));
    // Connecting again works as ever.
    ask->asked.clear();
    QVERIFY(connectTcp(c, sim.port));
    QVERIFY(ask->asked.isEmpty());
}

QTEST_MAIN(tst_ManualConnection)
#include "tst_manualconnection.moc"
