// The setup wizard on a live conversation: against the logger simulator for
// what is read and what the device holds after sending, against the
// in-process fake device for the order and pauses of the uploads and for a
// silent device. Questions are answered by script.

#include "../protocol/fakedevice.h"
#include "nexil/configuration/setupdialog.h"
#include "nexil/configuration/uploadledger.h"
#include "nexil/protocol/nexil.h"
#include "support/scriptedquestions.h"
#include "support/simprocess.h"
#include "support/testframes.h"
#include "support/testrecords.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const int Wait = 10000;

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// A wizard on a Nexil bound to the simulator or to the fake device.
struct Wizard
{
    SimProcess sim;
    FakeDevice device;
    QTcpSocket socket;
    Nexil nexil;
    ScriptedQuestions questions;
    std::unique_ptr<SetupDialog> dialog;

    bool startSim(const QString &scenario)
    {
        const QString path = QFileInfo(scenario).isAbsolute() ? scenario : SimProcess::scenario(scenario);
        if (!sim.start({"--scenario", path, "--speed", "0"}))
            return false;
        socket.connectToHost(QHostAddress::LocalHost, sim.port());
        if (!socket.waitForConnected(5000))
            return false;
        open();
        return true;
    }

    bool startFake(FakeDevice::Handler handler)
    {
        device.setHandler(std::move(handler));
        if (!device.connectClient(&socket))
            return false;
        open();
        return true;
    }

    void open()
    {
        nexil.setConnection(&socket);
        dialog = std::make_unique<SetupDialog>(&nexil);
        dialog->setQuestions(&questions);
        dialog->setUploadPause(20);
        dialog->show();
    }

    template<typename W> W *w(const char *name) const
    {
        W *widget = dialog->findChild<W *>(QLatin1String(name));
        if (!widget)
            qWarning("no widget %s", name);
        return widget;
    }
    QTableWidget *table(const char *name) const { return w<QTableWidget>(name); }
    template<typename W> W *cell(const char *tableName, int row, int column) const
    {
        return qobject_cast<W *>(table(tableName)->cellWidget(row, column));
    }
    int page() const { return w<QStackedWidget>("stackedWidget")->currentIndex(); }
    QString title() const { return w<QLabel>("txtTitle")->text(); }
    void click(const char *button) const { w<QPushButton>(button)->click(); }
    QList<int> visibleRows(const char *tableName) const
    {
        QList<int> rows;
        for (int r = 0; r < table(tableName)->rowCount(); ++r) {
            if (!table(tableName)->isRowHidden(r))
                rows << r;
        }
        return rows;
    }
    // Key presses carrying the text, also for letters outside ASCII, which
    // QTest::keyClicks cannot map to keys.
    static void keys(QWidget *widget, const QString &typed)
    {
        for (const QChar c : typed) {
            QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
    // Types into a line edit the way a user does, after emptying it.
    static void type(QLineEdit *edit, const QString &typed)
    {
        edit->clear();
        keys(edit, typed);
    }

    template<typename Signal> QVariant read(void (Nexil::*start)(), Signal signal)
    {
        QSignalSpy spy(&nexil, signal);
        (nexil.*start)();
        if (!spy.wait(Wait) || spy.isEmpty())
            return QVariant();
        return spy.first().at(0);
    }
};

#define START_SIM(wizard, scenario)                                                                          \
    do {                                                                                                     \
        QVERIFY((wizard).startSim(scenario));                                                                \
        QTRY_COMPARE_WITH_TIMEOUT((wizard).page(), 1, Wait);                                                 \
    } while (0)

QByteArray requestWord(const QByteArray &request)
{
    // A CRC byte of 0x0D may leave a CR of the previous frame in front.
    return request.mid(request.indexOf('\x02') + 1, 3);
}

QByteArray loaded()
{
    return testframes::reply("CEV", testframes::rawPayload(QByteArray("YUKLENDI").leftJustified(12, ' ')));
}

// Records of a nine-channel device with channels 0, 1 and 3 active, whose
// units are among those their channel codes allow.
QByteArray fakeReply(const QByteArray &word)
{
    if (word == "OKU")
        return testframes::reply("PAR", testframes::payload(testrecords::setupFields("110100000", 3)));
    if (word == "RKL")
        return testframes::reply("RKL", testframes::payload(testrecords::nameFields()));
    if (word == "KOK") {
        QList<QByteArray> f = testrecords::calibrationFields();
        f[3] = "%";
        f[4] = "mbar";
        f[6] = "W/m2";
        return testframes::reply("KOK", testframes::payload(f));
    }
    if (word == "ALO")
        return testframes::reply("ALR", testframes::payload(testrecords::alarmFields()));
    if (word == "KNL" || word == "KAL" || word == "PAR" || word == "AYU")
        return loaded();
    // Left-over CRs of a frame whose CRC ends in 0x0D: no request.
    return QByteArray();
}

} // namespace

class tst_SetupDialog : public QObject
{
    Q_OBJECT
private slots:
    void threeChannelDevice_readIntoEveryPage();
    void typing_normalisesStationAndChannelNames();
    void pageChecks_showTheirMessagesAndKeepThePage();
    void passiveChannel_hidesAndShowsItsRowsWithTheirValues();
    void calibrationsAlone_generatedCodeNotSent();
    void everything_sentAndReadBackFromTheSimulator();
    void everything_inOrderWithPauses();
    void valuesNobodyChose_goBackAsRead();
    void wrongPassword_staysOnTheSendPage();
    void laterUploadFails_ledgerSaysWhatTheDeviceTook();
    void cancel_rejectsAndListensNoMore();
    void silentDevice_rejects();
};

void tst_SetupDialog::threeChannelDevice_readIntoEveryPage()
{
    Wizard wz;
    QVERIFY(wz.startSim("tqc210.json"));
    QCOMPARE(wz.page(), 0);
    QCOMPARE(wz.title(), text("Parametre Okuma"));
    // While reading only Cancel can be pressed.
    QVERIFY(wz.w<QPushButton>("btnCancel")->isEnabled());
    for (const char *button : {"btnBack", "btnNext", "btnSend"})
        QVERIFY(!wz.w<QPushButton>(button)->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(wz.page(), 1, Wait);
    QCOMPARE(wz.dialog->windowTitle(), text("Kurulum Sihirbazı"));
    QCOMPARE(wz.title(), text("Kurulum Parametreleri"));
    QVERIFY(wz.w<QWidget>("frameButtons")->isEnabled());
    QVERIFY(!wz.w<QPushButton>("btnBack")->isEnabled());
    QVERIFY(wz.w<QPushButton>("btnNext")->isEnabled());
    QVERIFY(!wz.w<QPushButton>("btnSend")->isEnabled());
    QCOMPARE(wz.w<QLabel>("txtDeviceType")->text(), QStringLiteral("TQC210"));
    QCOMPARE(wz.w<QLabel>("txtSerialNo")->text(), QStringLiteral("51002"));
    QCOMPARE(wz.w<QLabel>("txtFirmware")->text(), QStringLiteral("RorEdeDar (61)"));
    QCOMPARE(wz.w<QLineEdit>("txtStationName")->text(), QStringLiteral("KOPRU RADAR"));
    QCOMPARE(wz.w<QLineEdit>("txtStationCode")->text(), QStringLiteral("D01A044"));
    QCOMPARE(wz.w<QSpinBox>("sbRegion")->value(), 1);
    QCOMPARE(wz.w<QSpinBox>("sbBasin")->value(), 17);
    QCOMPARE(wz.w<QSpinBox>("sbStationNo")->value(), 44);

    // Only the model's three channels are on the names page.
    QCOMPARE(wz.visibleRows("twNames"), (QList<int>{0, 1, 2}));
    QCOMPARE(wz.cell<QComboBox>("twNames", 0, 0)->currentText(), QStringLiteral("Aktif"));
    QCOMPARE(wz.cell<QComboBox>("twNames", 2, 0)->currentText(), QStringLiteral("Pasif"));
    QCOMPARE(wz.cell<QLineEdit>("twNames", 0, 1)->text(), QStringLiteral("Level"));
    QCOMPARE(wz.cell<QLineEdit>("twNames", 2, 1)->text(), QStringLiteral("Airtemp"));
    QCOMPARE(wz.cell<QComboBox>("twNames", 0, 2)->currentText(), QStringLiteral("Su Seviyesi"));
    QCOMPARE(wz.cell<QSpinBox>("twNames", 1, 3)->value(), 60);
    // Calibration and alarm rows of the active channels only, with their units.
    QCOMPARE(wz.visibleRows("twCalibrations"), (QList<int>{0, 1}));
    QCOMPARE(wz.visibleRows("twAlarms"), (QList<int>{0, 1}));
    QCOMPARE(wz.cell<QComboBox>("twCalibrations", 0, 0)->currentText(), QStringLiteral("m"));
    QCOMPARE(wz.cell<QComboBox>("twCalibrations", 1, 0)->currentText(), QStringLiteral("V"));
    QCOMPARE(wz.table("twCalibrations")->verticalHeaderItem(0)->text(), QStringLiteral("Level"));
    QCOMPARE(wz.table("twAlarms")->verticalHeaderItem(0)->text(), QString());
    // Columns missing on channels 5 to 8 hold empty widgets.
    QVERIFY(!wz.cell<QDoubleSpinBox>("twCalibrations", 5, 1));
    QVERIFY(wz.cell<QDoubleSpinBox>("twCalibrations", 5, 5));
    QVERIFY(!wz.cell<QDoubleSpinBox>("twCalibrations", 7, 5));

    wz.click("btnNext");
    QCOMPARE(wz.page(), 2);
    QCOMPARE(wz.title(), text("Kanal İsimleri"));
    QVERIFY(wz.w<QPushButton>("btnBack")->isEnabled());
    wz.click("btnBack");
    QCOMPARE(wz.page(), 1);
    QVERIFY(wz.questions.asked.isEmpty());
}

void tst_SetupDialog::typing_normalisesStationAndChannelNames()
{
    Wizard wz;
    START_SIM(wz, "tqm510.json");
    auto *name = wz.w<QLineEdit>("txtStationName");
    Wizard::type(name, QStringLiteral("istanbul merkez"));
    QCOMPARE(name->text(), QStringLiteral("ISTANBUL MERKEZ"));
    Wizard::type(name, text("Şile"));
    QCOMPARE(name->text(), QStringLiteral("SILE"));
    // The cursor stays where the user types.
    name->setCursorPosition(1);
    Wizard::keys(name, text("ç"));
    QCOMPARE(name->text(), QStringLiteral("SCILE"));
    QCOMPARE(name->cursorPosition(), 2);
    auto *code = wz.w<QLineEdit>("txtStationCode");
    Wizard::type(code, text("d02ğ"));
    QCOMPARE(code->text(), QStringLiteral("D02G"));

    // The start of day read (7) is shown as its hour.
    QCOMPARE(wz.w<QComboBox>("cmbStartOfDay")->currentText(), QStringLiteral("07:00"));
    QCOMPARE(wz.w<QComboBox>("cmbStartOfDay")->count(), 24);

    wz.click("btnNext");
    QCOMPARE(wz.page(), 2);
    auto *channel = wz.cell<QLineEdit>("twNames", 0, 1);
    Wizard::type(channel, QStringLiteral("su seviyesi"));
    QCOMPARE(channel->text(), QStringLiteral("Su Seviyesi"));
    QCOMPARE(wz.table("twCalibrations")->verticalHeaderItem(0)->text(), QStringLiteral("Su Seviyesi"));
    Wizard::type(channel, text("  HAVA   sıcaklığı "));
    QCOMPARE(channel->text(), QStringLiteral("Hava Sicakligi "));
    QCOMPARE(wz.table("twCalibrations")->verticalHeaderItem(0)->text(), QStringLiteral("Hava Sicakligi "));
    QCOMPARE(wz.table("twAlarms")->verticalHeaderItem(0)->text(), QString());
    // Emptying the cell changes nothing else.
    channel->clear();
    QCOMPARE(wz.table("twCalibrations")->verticalHeaderItem(0)->text(), QStringLiteral("Hava Sicakligi "));
}

void tst_SetupDialog::pageChecks_showTheirMessagesAndKeepThePage()
{
    Wizard wz;
    START_SIM(wz, "tqm510.json");
    auto expectMessage = [&](const char *message) {
        QCOMPARE(wz.questions.asked.size(), 1);
        QCOMPARE(wz.questions.last().icon, QMessageBox::Critical);
        QCOMPARE(wz.questions.last().title, QStringLiteral("Hata"));
        QCOMPARE(wz.questions.last().text, text(message));
        QCOMPARE(wz.questions.last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        wz.questions.asked.clear();
    };
    wz.w<QLineEdit>("txtStationName")->setText(QStringLiteral("   "));
    wz.click("btnNext");
    expectMessage("Lütfen geçerli bir istasyon adı girin!");
    QCOMPARE(wz.page(), 1);
    QCOMPARE(wz.title(), text("Kurulum Parametreleri"));
    wz.w<QLineEdit>("txtStationName")->setText(QStringLiteral(" KURU  DERE "));
    wz.click("btnNext");
    QCOMPARE(wz.page(), 2);
    QCOMPARE(wz.w<QLineEdit>("txtStationName")->text(), QStringLiteral("KURU DERE"));

    auto *name = wz.cell<QLineEdit>("twNames", 4, 1);
    name->setText(QStringLiteral("  "));
    wz.click("btnNext");
    expectMessage("Lütfen geçerli bir kanal ismi girin!");
    QCOMPARE(wz.page(), 2);
    name->setText(QStringLiteral("Nem"));
    auto *code = wz.cell<QComboBox>("twNames", 4, 2);
    code->setCurrentIndex(0);
    wz.click("btnNext");
    expectMessage("Lütfen geçerli bir ölçüm tipi seçin!");
    QCOMPARE(wz.page(), 2);
    code->setCurrentIndex(CodeAH - CodeUnknown);
    wz.click("btnNext");
    QCOMPARE(wz.page(), 3);

    auto *unit = wz.cell<QComboBox>("twCalibrations", 8, 0);
    QCOMPARE(unit->currentText(), QStringLiteral("V"));
    unit->setCurrentIndex(-1);
    wz.click("btnNext");
    expectMessage("Lütfen geçerli bir birim seçin!");
    QCOMPARE(wz.page(), 3);
    unit->setCurrentIndex(0);
    wz.cell<QDoubleSpinBox>("twCalibrations", 1, 6)->setValue(12);
    wz.click("btnNext");
    expectMessage("Lütfen 0 ile 9 arasında bir çarpan girin!");
    wz.cell<QDoubleSpinBox>("twCalibrations", 1, 6)->setValue(2);
    wz.click("btnNext");
    QCOMPARE(wz.page(), 4);
    wz.click("btnNext");
    QCOMPARE(wz.page(), 5);
    QCOMPARE(wz.title(), text("Gönder"));
    QVERIFY(!wz.w<QPushButton>("btnNext")->isEnabled());
    QVERIFY(wz.questions.asked.isEmpty());
}

void tst_SetupDialog::passiveChannel_hidesAndShowsItsRowsWithTheirValues()
{
    Wizard wz;
    START_SIM(wz, "tqm510.json");
    QCOMPARE(wz.visibleRows("twCalibrations"), (QList<int>{0, 1, 2, 4, 8}));
    auto *offset = wz.cell<QDoubleSpinBox>("twCalibrations", 4, 1);
    offset->setValue(7.25);
    auto *status = wz.cell<QComboBox>("twNames", 4, 0);
    status->setCurrentIndex(0);
    QVERIFY(wz.table("twCalibrations")->isRowHidden(4));
    QVERIFY(wz.table("twAlarms")->isRowHidden(4));
    status->setCurrentIndex(1);
    QVERIFY(!wz.table("twCalibrations")->isRowHidden(4));
    QVERIFY(!wz.table("twAlarms")->isRowHidden(4));
    QCOMPARE(offset->value(), 7.25);

    // A passive channel whose name is empty passes the names page.
    wz.click("btnNext");
    status->setCurrentIndex(0);
    wz.cell<QLineEdit>("twNames", 4, 1)->clear();
    wz.click("btnNext");
    QCOMPARE(wz.page(), 3);
    QVERIFY(wz.questions.asked.isEmpty());
}

void tst_SetupDialog::calibrationsAlone_generatedCodeNotSent()
{
    Wizard wz;
    START_SIM(wz, "tqc210.json");
    wz.w<QLineEdit>("txtStationCode")->clear();
    wz.w<QSpinBox>("sbRegion")->setValue(5);
    wz.w<QSpinBox>("sbBasin")->setValue(12);
    wz.w<QSpinBox>("sbStationNo")->setValue(7);
    wz.click("btnNext");
    QCOMPARE(wz.w<QLineEdit>("txtStationCode")->text(), QStringLiteral("05-12-L007"));
    wz.click("btnNext");
    wz.cell<QDoubleSpinBox>("twCalibrations", 0, 5)->setValue(2.5);
    wz.cell<QComboBox>("twCalibrations", 0, 0)->setCurrentText(QStringLiteral("cm"));
    wz.click("btnNext");
    wz.click("btnNext");
    QCOMPARE(wz.page(), 5);

    // Send waits for a choice and a password.
    auto *send = wz.w<QPushButton>("btnSend");
    QVERIFY(!send->isEnabled());
    wz.w<QRadioButton>("rbSendOnlyCalibrations")->click();
    QVERIFY(!send->isEnabled());
    QTest::keyClicks(wz.w<QLineEdit>("txtPassword"), QStringLiteral("1"));
    QVERIFY(send->isEnabled());
    wz.w<QLineEdit>("txtPassword")->clear();
    QVERIFY(!send->isEnabled());
    QTest::keyClicks(wz.w<QLineEdit>("txtPassword"), QStringLiteral("123456"));
    QCOMPARE(wz.w<QLineEdit>("txtPassword")->text(), QStringLiteral("1234"));
    QVERIFY(send->isEnabled());

    QSignalSpy finished(wz.dialog.get(), &QDialog::finished);
    QSignalSpy calibrationsLoaded(&wz.nexil, &Nexil::channelCalibrationsHaveBeenLoaded);
    wz.questions.answer(QMessageBox::Yes);
    send->click();
    QCOMPARE(wz.w<QLabel>("txtSendStatus")->text(),
             text("Kanal Kalibrasyonları Gönderiliyor\nLütfen bekleyin.."));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, Wait);
    QCOMPARE(finished.first().at(0).toInt(), int(QDialog::Accepted));
    QCOMPARE(calibrationsLoaded.size(), 1);
    QVERIFY2(wz.questions.asked.first().text.contains(QStringLiteral("Channel 1 unit: ")),
             qPrintable(wz.questions.asked.first().text));
    QCOMPARE(wz.questions.last().text, QStringLiteral("Calibrations confirmed"));

    const auto c =
        wz.read(&Nexil::getChannelCalibrations, &Nexil::channelCalibrations).value<ChannelCalibrations>();
    QCOMPARE(c.gains.value(0), 2.5f);
    QCOMPARE(c.units.value(0), QStringLiteral("cm"));
    QCOMPARE(c.units.value(1), QStringLiteral("V"));
    // Only the calibrations went out: the generated code stayed in the form.
    const auto s = wz.read(&Nexil::getSetupParemeters, &Nexil::setupParameters).value<SetupParameters>();
    QCOMPARE(s.stationCode, QStringLiteral("D01A044"));
}

void tst_SetupDialog::everything_sentAndReadBackFromTheSimulator()
{
    Wizard wz;
    START_SIM(wz, "tqm510.json");
    Wizard::type(wz.w<QLineEdit>("txtStationName"), text("Şile"));
    auto *startOfDay = wz.w<QComboBox>("cmbStartOfDay");
    QCOMPARE(startOfDay->currentText(), QStringLiteral("07:00"));
    startOfDay->setCurrentText(QStringLiteral("06:00"));
    wz.w<QSpinBox>("sbSensorWait")->setValue(20);
    wz.click("btnNext");

    Wizard::type(wz.cell<QLineEdit>("twNames", 0, 1), QStringLiteral("su seviyesi"));
    wz.cell<QSpinBox>("twNames", 0, 3)->setValue(5);
    wz.cell<QComboBox>("twNames", 2, 0)->setCurrentIndex(0); // AirTemp passive, name emptied
    wz.cell<QLineEdit>("twNames", 2, 1)->clear();
    wz.click("btnNext");
    QCOMPARE(wz.page(), 3);

    wz.cell<QDoubleSpinBox>("twCalibrations", 0, 1)->setValue(12.5);
    wz.cell<QDoubleSpinBox>("twCalibrations", 1, 2)->setValue(250);
    wz.click("btnNext");

    wz.cell<QDoubleSpinBox>("twAlarms", 0, 1)->setValue(300);
    wz.cell<QDoubleSpinBox>("twAlarms", 0, 2)->setValue(290);
    wz.click("btnNext");
    QCOMPARE(wz.page(), 5);

    wz.w<QRadioButton>("rbSendAll")->click();
    QTest::keyClicks(wz.w<QLineEdit>("txtPassword"), QStringLiteral("1234"));
    QSignalSpy finished(wz.dialog.get(), &QDialog::finished);
    wz.questions.answer(QMessageBox::Yes);
    wz.click("btnSend");
    QCOMPARE(wz.w<QLabel>("txtSendStatus")->text(), text("Kanal İsimleri Gönderiliyor\nLütfen bekleyin.."));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, Wait);
    QCOMPARE(finished.first().at(0).toInt(), int(QDialog::Accepted));

    const auto s = wz.read(&Nexil::getSetupParemeters, &Nexil::setupParameters).value<SetupParameters>();
    QCOMPARE(s.stationName, QStringLiteral("SILE"));
    QCOMPARE(s.stationCode, QStringLiteral("D02A003"));
    QCOMPARE(s.dayStart, 6);
    QCOMPARE(s.sensorWaitTime, 20);
    QCOMPARE(s.sensorOnOffTime, 10);
    QVERIFY(s.waitForExactHour);
    const auto n = wz.read(&Nexil::getChannelNames, &Nexil::channelNames).value<ChannelNames>();
    QCOMPARE(n.names.value(0), QStringLiteral("Su Seviyesi"));
    QCOMPARE(n.recordIntervals.value(0), 5);
    QCOMPARE(n.channelStates.mid(0, 5), (QList<int>{1, 1, 0, 0, 1}));
    QCOMPARE(n.names.value(2), QStringLiteral("AirTemp")); // a passive channel's name stays as read
    QCOMPARE(n.codes.value(0), CodeWAL);
    const auto c =
        wz.read(&Nexil::getChannelCalibrations, &Nexil::channelCalibrations).value<ChannelCalibrations>();
    QCOMPARE(c.offsets.value(0), 12.5f);
    QCOMPARE(c.maxValues.value(1), 250.0f);
    QCOMPARE(c.offsets.value(3), 0.5f);       // passive channel: as read
    QCOMPARE(c.measurementTypes.value(1), 2); // no choice shows 2: sent back as read
    const auto a = wz.read(&Nexil::getAlarmParameters, &Nexil::alarmParameters).value<AlarmParameters>();
    QCOMPARE(a.maximums.value(0), 300.0f);
    QCOMPARE(a.maximumResets.value(0), 290.0f);
    QCOMPARE(a.maximums.value(1), 50.0f);
    // Asked before sending with every change listed, told afterwards what the device took.
    QCOMPARE(wz.questions.asked.size(), 2);
    const QString changes = wz.questions.asked.first().text;
    QVERIFY2(changes.contains(text("Channel 1 name: Level → Su Seviyesi")), qPrintable(changes));
    QVERIFY2(changes.contains(text("Station name: KIRMIR CAYI → SILE")), qPrintable(changes));
    QCOMPARE(wz.questions.last().text,
             QStringLiteral("Channel names, calibrations, setup and alarms confirmed"));
}

void tst_SetupDialog::everything_inOrderWithPauses()
{
    Wizard wz;
    QElapsedTimer clock;
    clock.start();
    QList<QByteArray> uploads;
    QList<qint64> times;
    QStringList statuses;
    QVERIFY(wz.startFake([&](const QByteArray &request) {
        const QByteArray word = requestWord(request);
        if (word == "KNL" || word == "KAL" || word == "PAR" || word == "AYU") {
            uploads << word;
            times << clock.elapsed();
            statuses << wz.w<QLabel>("txtSendStatus")->text();
        }
        return fakeReply(word);
    }));
    QCOMPARE(wz.dialog->uploadPause(), 20);
    const int pause = 150;
    wz.dialog->setUploadPause(pause);
    QTRY_COMPARE_WITH_TIMEOUT(wz.page(), 1, Wait);
    QCOMPARE(wz.visibleRows("twNames"), (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    for (int i = 0; i < 4; ++i)
        wz.click("btnNext");
    QCOMPARE(wz.page(), 5);
    QVERIFY(wz.questions.asked.isEmpty());
    wz.w<QRadioButton>("rbSendAll")->click();
    QTest::keyClicks(wz.w<QLineEdit>("txtPassword"), QStringLiteral("4826"));
    QSignalSpy finished(wz.dialog.get(), &QDialog::finished);
    // Nothing was changed: only "Yes to All" sends the records.
    wz.questions.answer(QMessageBox::YesToAll);
    wz.click("btnSend");
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, Wait);
    // Every record went back as read (the station name too, though the
    // field shows it upper-cased), so this fake, which keeps its records
    // whatever it acknowledges, confirms them all.
    QCOMPARE(wz.questions.last().text,
             QStringLiteral("Channel names, calibrations, setup and alarms confirmed"));
    QCOMPARE(finished.first().at(0).toInt(), int(QDialog::Accepted));
    QCOMPARE(uploads, (QList<QByteArray>{"KNL", "KAL", "PAR", "AYU"}));
    QCOMPARE(statuses, (QStringList{text("Kanal İsimleri Gönderiliyor\nLütfen bekleyin.."),
                                    text("Kanal Kalibrasyonları Gönderiliyor\nLütfen bekleyin.."),
                                    text("Kurulum Bilgileri Gönderiliyor\nLütfen bekleyin.."),
                                    text("Alarm Parametreleri Gönderiliyor\nLütfen bekleyin..")}));
    QVERIFY2(times[1] - times[0] >= pause, qPrintable(QString::number(times[1] - times[0])));
    QVERIFY2(times[2] - times[1] >= pause, qPrintable(QString::number(times[2] - times[1])));
    // Every upload carries the password typed on the last page.
    for (const QByteArray &r : wz.device.requests()) {
        const QByteArray word = requestWord(r);
        if (word == "KNL" || word == "KAL" || word == "PAR")
            QVERIFY(r.mid(r.indexOf('\x02') + 4).startsWith("4826"));
    }
    // A new dialog starts with the device's pause.
    SetupDialog fresh(&wz.nexil);
    QCOMPARE(fresh.uploadPause(), 500);
}

// A logger with a frost alarm (minimum -10, reset -8), names the wizard
// would write differently, and values no field can show: only a name is
// changed, once sending the changed record and once everything.
void tst_SetupDialog::valuesNobodyChose_goBackAsRead()
{
    QTemporaryDir dir;
    QFile base(SimProcess::scenario("tqm510.json"));
    QVERIFY(base.open(QIODevice::ReadOnly));
    QJsonObject scenario = QJsonDocument::fromJson(base.readAll()).object();
    QJsonObject setup = scenario.value("setup").toObject();
    setup.insert("sensorWaitTime", 250); // the field stops at 180
    scenario.insert("setup", setup);
    QJsonObject calibrations = scenario.value("calibrations").toObject();
    calibrations.insert("offsets", QJsonArray{0, 1.23456, 0, 0.5, 0}); // four decimals shown
    scenario.insert("calibrations", calibrations);
    QJsonObject alarms = scenario.value("alarms").toObject();
    alarms.insert("maximums", QJsonArray{250, 50, 40, 150000}); // beyond what a field holds
    scenario.insert("alarms", alarms);
    const QString path = dir.filePath("negative.json");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(scenario).toJson());
    file.close();

    Wizard wz;
    START_SIM(wz, path);
    const auto before = [&] {
        return wz.read(&Nexil::getAlarmParameters, &Nexil::alarmParameters).value<AlarmParameters>();
    };
    // The frost alarm is shown as the device holds it.
    QCOMPARE(wz.cell<QDoubleSpinBox>("twAlarms", 2, 3)->value(), -10.0);
    QCOMPARE(wz.cell<QDoubleSpinBox>("twAlarms", 2, 4)->value(), -8.0);
    QCOMPARE(wz.cell<QLineEdit>("twNames", 2, 1)->text(), QStringLiteral("Airtemp"));

    const auto renameFirstChannelAndSend = [&](const QString &name, QMessageBox::StandardButton answer) {
        wz.click("btnNext");
        Wizard::type(wz.cell<QLineEdit>("twNames", 0, 1), name);
        for (int page = 2; page <= 4; ++page)
            wz.click("btnNext");
        wz.w<QRadioButton>("rbSendAll")->click();
        QTest::keyClicks(wz.w<QLineEdit>("txtPassword"), QStringLiteral("1234"));
        wz.questions.answer(answer);
        QSignalSpy finished(wz.dialog.get(), &QDialog::finished);
        wz.click("btnSend");
        // No second send while the answers are awaited.
        if (wz.w<QPushButton>("btnSend")->isEnabled() || wz.w<QPushButton>("btnBack")->isEnabled()) {
            qWarning("Send or Back usable while sending");
            return false;
        }
        return finished.wait(Wait) && finished.first().at(0).toInt() == QDialog::Accepted;
    };

    // 1. Only the changed record is offered and sent.
    QVERIFY(renameFirstChannelAndSend(QStringLiteral("su seviyesi"), QMessageBox::Yes));
    const QString offered = wz.questions.asked.first().text;
    QVERIFY2(offered.contains(text("Channel 1 name: Level → Su Seviyesi")), qPrintable(offered));
    QCOMPARE(offered.count(text("→")), 1);
    QCOMPARE(wz.dialog->uploadLedger()->planned(), QList<setupwizard::Upload>{setupwizard::Upload::Names});

    // 2. The same with every record sent.
    wz.questions.asked.clear();
    wz.open();
    QTRY_COMPARE_WITH_TIMEOUT(wz.page(), 1, Wait);
    QVERIFY(renameFirstChannelAndSend(QStringLiteral("seviye"), QMessageBox::YesToAll));
    QCOMPARE(wz.dialog->uploadLedger()->planned().size(), 4);
    QCOMPARE(wz.questions.last().text,
             QStringLiteral("Channel names, calibrations, setup and alarms confirmed"));

    const AlarmParameters a = before();
    QCOMPARE(a.minimums.value(2), -10.0f);
    QCOMPARE(a.minimumResets.value(2), -8.0f);
    QCOMPARE(a.maximums.value(2), 40.0f);
    QCOMPARE(a.maximumResets.value(2), 38.0f);
    QCOMPARE(a.maximums.value(3), 150000.0f);
    QCOMPARE(a.minimums.value(0), 20.0f);
    const auto n = wz.read(&Nexil::getChannelNames, &Nexil::channelNames).value<ChannelNames>();
    QCOMPARE(n.names.value(0), QStringLiteral("Seviye"));
    QCOMPARE(n.names.value(1), QStringLiteral("Rain"));
    QCOMPARE(n.names.value(2), QStringLiteral("AirTemp"));
    const auto s = wz.read(&Nexil::getSetupParemeters, &Nexil::setupParameters).value<SetupParameters>();
    QCOMPARE(s.sensorWaitTime, 250);
    QCOMPARE(s.stationName, QStringLiteral("KIRMIR CAYI"));
    QCOMPARE(s.stationCode, QStringLiteral("D02A003"));
    const auto c =
        wz.read(&Nexil::getChannelCalibrations, &Nexil::channelCalibrations).value<ChannelCalibrations>();
    QCOMPARE(c.offsets.value(1), 1.23456f);
    QCOMPARE(c.measurementTypes.value(1), 2);
}

void tst_SetupDialog::wrongPassword_staysOnTheSendPage()
{
    Wizard wz;
    START_SIM(wz, "tqm510.json");
    for (int i = 0; i < 4; ++i)
        wz.click("btnNext");
    QCOMPARE(wz.page(), 5);
    wz.w<QRadioButton>("rbSendOnlyAlarms")->click();
    QTest::keyClicks(wz.w<QLineEdit>("txtPassword"), QStringLiteral("9999"));
    QSignalSpy wrong(&wz.nexil, &Nexil::wrongPassword);
    QSignalSpy finished(wz.dialog.get(), &QDialog::finished);
    wz.w<QRadioButton>("rbSendOnlyCalibrations")->click();
    // Unchanged records go only when every record is asked for.
    wz.questions.answer(QMessageBox::Yes);
    wz.click("btnSend");
    QCOMPARE(wz.w<QLabel>("txtSendStatus")->text(),
             QStringLiteral("Nothing was sent: no record differs from the device's."));
    wz.questions.answer(QMessageBox::YesToAll);
    wz.click("btnSend");
    QVERIFY(wrong.wait(Wait));
    // The refusal is shown at once, and nothing waits any more.
    QVERIFY2(wz.w<QLabel>("txtSendStatus")
                 ->text()
                 .startsWith(text("Cihaz hiçbir kaydı kabul etmedi.\nŞifre yanlış: cihaz Kanal "
                                  "Kalibrasyonları kaydını reddetti.")),
             qPrintable(wz.w<QLabel>("txtSendStatus")->text()));
    QVERIFY(!wz.dialog->uploadLedger()->waiting());
    QCOMPARE(wz.dialog->uploadLedger()->outcome(setupwizard::Upload::Calibrations), UploadLedger::Refused);
    // Then what the device holds is read back and compared.
    QTRY_COMPARE_WITH_TIMEOUT(
        wz.w<QLabel>("txtSendStatus")->text(),
        QStringLiteral("Calibrations not confirmed: the device refused it (wrong password)"), Wait);
    QCOMPARE(finished.size(), 0);
    QVERIFY(wz.dialog->isVisible());
    QCOMPARE(wz.page(), 5);
    QVERIFY(!wz.nexil.isBusy());
    QVERIFY(wz.w<QPushButton>("btnSend")->isEnabled());
    // Corrected, sent again.
    Wizard::type(wz.w<QLineEdit>("txtPassword"), QStringLiteral("1234"));
    wz.questions.answer(QMessageBox::YesToAll);
    wz.click("btnSend");
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, Wait);
    QCOMPARE(finished.first().at(0).toInt(), int(QDialog::Accepted));
    QVERIFY(wz.dialog->uploadLedger()->complete());
    QCOMPARE(wz.dialog->uploadLedger()->report(),
             text("Cihazın kabul ettiği kayıtlar: Kanal Kalibrasyonları."));
}

void tst_SetupDialog::laterUploadFails_ledgerSaysWhatTheDeviceTook()
{
    using setupwizard::Upload;
    Wizard wz;
    // Names and calibrations are taken; the setup upload gets no answer.
    QVERIFY(wz.startFake([](const QByteArray &request) {
        const QByteArray word = requestWord(request);
        return word == "PAR" ? QByteArray() : fakeReply(word);
    }));
    QTRY_COMPARE_WITH_TIMEOUT(wz.page(), 1, Wait);
    for (int i = 0; i < 4; ++i)
        wz.click("btnNext");
    wz.w<QRadioButton>("rbSendAll")->click();
    QTest::keyClicks(wz.w<QLineEdit>("txtPassword"), QStringLiteral("4826"));
    wz.nexil.setReplyTimeout(30);
    UploadLedger *ledger = wz.dialog->uploadLedger();
    QSignalSpy answered(ledger, &UploadLedger::answered);
    QSignalSpy finished(wz.dialog.get(), &QDialog::finished);
    wz.questions.answer(QMessageBox::YesToAll);
    wz.click("btnSend");
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, Wait);
    QCOMPARE(finished.first().at(0).toInt(), int(QDialog::Rejected));
    QCOMPARE(answered.size(), 3);
    QCOMPARE(ledger->planned(),
             (QList<Upload>{Upload::Names, Upload::Calibrations, Upload::Setup, Upload::Alarms}));
    QCOMPARE(ledger->accepted(), (QList<Upload>{Upload::Names, Upload::Calibrations}));
    QCOMPARE(ledger->outcome(Upload::Setup), UploadLedger::Failed);
    QCOMPARE(ledger->outcome(Upload::Alarms), UploadLedger::NotSent);
    QVERIFY(!ledger->waiting());
    QVERIFY(!ledger->complete());
    const QStringList lines = ledger->report().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], text("Cihazın kabul ettiği kayıtlar: Kanal İsimleri, Kanal Kalibrasyonları."));
    QVERIFY2(lines[1].startsWith(text("Kurulum Bilgileri gönderilemedi: ")), qPrintable(lines[1]));
    QCOMPARE(lines[2], text("Gönderilmeyen kayıtlar: Alarm Parametreleri."));
    QCOMPARE(wz.device.requestCount("\x02AYU"), 0);

    // Answers that belong to no upload of this send change nothing.
    emit wz.nexil.channelNamesHaveBeenLoaded();
    emit wz.nexil.wrongPassword();
    QCOMPARE(answered.size(), 3);
    ledger->abandon();
    QCOMPARE(answered.size(), 3);
}

void tst_SetupDialog::cancel_rejectsAndListensNoMore()
{
    Wizard wz;
    START_SIM(wz, "tqm510.json");
    wz.w<QLineEdit>("txtStationName")->setText(QStringLiteral("CHANGED"));
    QSignalSpy finished(wz.dialog.get(), &QDialog::finished);
    wz.click("btnCancel");
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(0).toInt(), int(QDialog::Rejected));
    // The records the caller reads afterwards no longer reach the dialog.
    const auto s = wz.read(&Nexil::getSetupParemeters, &Nexil::setupParameters).value<SetupParameters>();
    QCOMPARE(s.stationName, QStringLiteral("KIRMIR CAYI"));
    QCOMPARE(wz.w<QLineEdit>("txtStationName")->text(), QStringLiteral("CHANGED"));
    QCOMPARE(wz.page(), 1);
}

void tst_SetupDialog::silentDevice_rejects()
{
    Wizard wz;
    // Answers the setup request, then falls silent.
    QVERIFY(wz.startFake([](const QByteArray &request) {
        const QByteArray word = requestWord(request);
        return word == "OKU" ? fakeReply(word) : QByteArray();
    }));
    wz.nexil.setReplyTimeout(30);
    QSignalSpy finished(wz.dialog.get(), &QDialog::finished);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, Wait);
    QCOMPARE(finished.first().at(0).toInt(), int(QDialog::Rejected));
    QCOMPARE(wz.w<QLabel>("txtReadParameterStatus")->text(),
             text("Kanal isimleri okunuyor\nLütfen bekleyin.."));
    QCOMPARE(wz.device.requestCount("\x02RKL"), 5);
    QVERIFY(!wz.nexil.isBusy());
    QCOMPARE(wz.page(), 0);
}

QTEST_MAIN(tst_SetupDialog)
#include "tst_setupdialog.moc"
