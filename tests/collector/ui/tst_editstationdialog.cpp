#include "../common/stationfixtures.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"
#include "store/workfolder.h"
#include "support/scriptedquestions.h"
#include "ui/collectorsettings.h"
#include "ui/editstationdialog.h"
#include "uievents.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QQueue>
#include <QSettings>
#include <QSpinBox>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class tst_EditStationDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newStationFormAndDefaults();
    void newStationTakesDefaultsFromSettings();
    void editLoadsEveryField();
    void enablingRules();
    void saveChecksInOrderOnTheForm();
    void savedNewStationIsStoredInactive();
    void editSavesBackAndKeepsActive();
    void codeAddressAndPortRules();
    void zeroAddressRefusedByReadButSaved();
    void refusedDatabaseKeepsDialogOpen();
    void cancelChangesNothing();
    void emailListAddRefuseAndRemove();
    void directoryChooser();

private:
    template<class T> static T *w(QWidget &dialog, const char *name) { return namedChild<T>(dialog, name); }
    void expectError(const QString &title, const QString &text);

    std::unique_ptr<QTemporaryDir> dir;
    QString oldCwd;
    QByteArray oldHome;
    std::unique_ptr<ScriptedQuestions> ask;
    int prompts = 0; // the e-mail questions asked so far

    // Counts the e-mail text questions and takes them out of the list, so
    // the boxes can be checked in order.
    void countTextQuestions()
    {
        for (int i = ask->asked.size() - 1; i >= 0; --i) {
            if (ask->asked.at(i).kind != ScriptedQuestions::Text)
                continue;
            if (ask->asked.at(i).title != QLatin1String("E-Mail") ||
                ask->asked.at(i).text != QLatin1String("E-Mail"))
                qWarning("unexpected prompt %s / %s", qPrintable(ask->asked.at(i).title),
                         qPrintable(ask->asked.at(i).text));
            ask->asked.removeAt(i);
            ++prompts;
        }
    }

    void prepare(EditStationDialog &dialog) { dialog.setQuestions(ask.get()); }
};

void tst_EditStationDialog::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir->path())); // settings.ini lives in the working directory
    QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("home")));
    oldHome = qgetenv("HOME");
    qputenv("HOME", dir->filePath(QStringLiteral("home")).toLocal8Bit());
    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir->filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
    ask = std::make_unique<ScriptedQuestions>();
    prompts = 0;
}

void tst_EditStationDialog::cleanup()
{
    DatabaseConnection::close();
    QCOMPARE(QDir(dir->filePath(QStringLiteral("home"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList());
    qputenv("HOME", oldHome);
    QDir::setCurrent(oldCwd);
    dir.reset();
}

void tst_EditStationDialog::expectError(const QString &title, const QString &text)
{
    countTextQuestions();
    QVERIFY(!ask->asked.isEmpty());
    const ScriptedQuestions::Asked a = ask->asked.takeFirst();
    QCOMPARE(a.icon, QMessageBox::Critical);
    QCOMPARE(a.title, title);
    QCOMPARE(a.text, text);
}

void tst_EditStationDialog::newStationFormAndDefaults()
{
    StationTableModel model;
    EditStationDialog dialog(&model, QModelIndex());
    prepare(dialog);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("New Station"));
    QCOMPARE(dialog.size(), QSize(417, 486));
    QCOMPARE(dialog.minimumSize(), QSize(417, 486));
    QCOMPARE(dialog.maximumSize(), QSize(417, 486));
    QVERIFY(w<QPushButton>(dialog, "btnTest")->isHidden());
    QCOMPARE(w<QTabWidget>(dialog, "tabWidget")->currentIndex(), 0);

    QComboBox *type = w<QComboBox>(dialog, "cmbDeviceType");
    QStringList models;
    for (int i = 0; i < type->count(); ++i)
        models << type->itemText(i);
    QCOMPARE(models, QStringList({"TQA110", "TQB210", "TQC210", "TQD310", "TQF110P", "TQF110C", "TQM510"}));
    QCOMPARE(type->currentIndex(), -1); // a new station has no model yet

    QCOMPARE(w<QLabel>(dialog, "lblId")->text(), QStringLiteral("0"));
    QCOMPARE(w<QLineEdit>(dialog, "txtIp")->text(), QStringLiteral("0.0.0.0"));
    QSpinBox *port = w<QSpinBox>(dialog, "sbPort");
    QSpinBox *period = w<QSpinBox>(dialog, "sbPeriod");
    QCOMPARE(port->value(), 4380);
    QCOMPARE(period->value(), 60);
    for (QAbstractSpinBox *box : dialog.findChildren<QAbstractSpinBox *>())
        QCOMPARE(box->buttonSymbols(), QAbstractSpinBox::NoButtons);

    // No settings.ini: the working folder's files/CODE, both exports; a code
    // read from a device cannot lead the folder out of files/.
    QLineEdit *path = w<QLineEdit>(dialog, "txtPath");
    QCOMPARE(path->text(), defaultStationDirectory());
    QCOMPARE(path->text(), WorkFolder::current().filesDir());
    w<QLineEdit>(dialog, "txtCode")->setText(QStringLiteral("K05"));
    QCOMPARE(path->text(), WorkFolder::current().filesDir() + QStringLiteral("/K05"));
    w<QLineEdit>(dialog, "txtCode")->setText(QStringLiteral("../../EVIL"));
    QCOMPARE(QFileInfo(path->text()).dir().path(), WorkFolder::current().filesDir());
    path->setText(QStringLiteral("/srv/own"));
    w<QLineEdit>(dialog, "txtCode")->setText(QStringLiteral("K06"));
    QCOMPARE(path->text(), QStringLiteral("/srv/own")); // typed by the operator: kept
    QVERIFY(w<QCheckBox>(dialog, "cbCreateText")->isChecked());
    QVERIFY(w<QCheckBox>(dialog, "cbCreateExcel")->isChecked());
    QVERIFY(w<QCheckBox>(dialog, "cbDownloadData")->isChecked());
    QVERIFY(!w<QCheckBox>(dialog, "cbActivateNotifications")->isChecked());
    QVERIFY(ask->asked.isEmpty());
}

void tst_EditStationDialog::newStationTakesDefaultsFromSettings()
{
    {
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("SETTINGS/defaultpath"), QStringLiteral("  /srv/velk   data "));
        settings.setValue(QStringLiteral("SETTINGS/exportToText"), false);
        settings.setValue(QStringLiteral("SETTINGS/exportToExcel"), true);
    }
    StationTableModel model;
    {
        EditStationDialog dialog(&model, QModelIndex());
        QCOMPARE(w<QLineEdit>(dialog, "txtPath")->text(), QStringLiteral("/srv/velk data"));
        QVERIFY(!w<QCheckBox>(dialog, "cbCreateText")->isChecked());
        QVERIFY(w<QCheckBox>(dialog, "cbCreateExcel")->isChecked());
    }
    // An edited station keeps its own folder and switches.
    QVERIFY(model.setData(QModelIndex(), QVariant::fromValue(fullStation())));
    EditStationDialog edit(&model, model.index(0, 0));
    QCOMPARE(w<QLineEdit>(edit, "txtPath")->text(), QStringLiteral("/data/A"));
    QVERIFY(!w<QCheckBox>(edit, "cbCreateExcel")->isChecked());
}

void tst_EditStationDialog::editLoadsEveryField()
{
    DBStation s = fullStation();
    s.coordinate = QStringLiteral("41.1,29.05");
    s.download_data = true;
    QVERIFY(DatabaseConnection::insertStation(s) > 0);
    DBStation other = fullStation(QStringLiteral("B"));
    other.device_type = QStringLiteral("tqd310"); // not a listed model: none selected
    QVERIFY(DatabaseConnection::insertStation(other) > 0);
    StationTableModel model;
    const DBStation stored = model.stations().at(0);

    EditStationDialog dialog(&model, model.index(0, 0));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Edit Station"));
    QCOMPARE(w<QLabel>(dialog, "lblId")->text(), QString::number(stored.id));
    QCOMPARE(w<QComboBox>(dialog, "cmbDeviceType")->currentText(), QStringLiteral("TQM510"));
    QCOMPARE(w<QLineEdit>(dialog, "txtTitle")->text(), QStringLiteral("Title A"));
    QCOMPARE(w<QLineEdit>(dialog, "txtName")->text(), QStringLiteral("Name A"));
    QCOMPARE(w<QLineEdit>(dialog, "txtCode")->text(), QStringLiteral("CODEA"));
    QCOMPARE(w<QSpinBox>(dialog, "sbRegion")->value(), 7);
    QCOMPARE(w<QSpinBox>(dialog, "sbBasin")->value(), 12);
    QCOMPARE(w<QSpinBox>(dialog, "sbNo")->value(), 345);
    QCOMPARE(w<QLineEdit>(dialog, "txtPhone")->text(), QStringLiteral("+90 555 0000"));
    QCOMPARE(w<QLineEdit>(dialog, "txtIp")->text(), QStringLiteral("10.1.2.3"));
    QCOMPARE(w<QSpinBox>(dialog, "sbPort")->value(), 5001);
    QCOMPARE(w<QSpinBox>(dialog, "sbPeriod")->value(), 15);
    QCOMPARE(w<QDoubleSpinBox>(dialog, "dsbLatitude")->value(), 41.1);
    QCOMPARE(w<QDoubleSpinBox>(dialog, "dsbLongitude")->value(), 29.05);
    QVERIFY(w<QCheckBox>(dialog, "cbActivateNotifications")->isChecked());
    QListWidget *list = w<QListWidget>(dialog, "lwEMail");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("a@example.org"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("b@example.org"));
    QVERIFY(w<QCheckBox>(dialog, "cbDownloadData")->isChecked());
    QCOMPARE(w<QLineEdit>(dialog, "txtPath")->text(), QStringLiteral("/data/A"));
    QCOMPARE(w<QLineEdit>(dialog, "txtFileName")->text(), QStringLiteral("stationA"));
    QVERIFY(!w<QCheckBox>(dialog, "cbCreateText")->isChecked());
    QVERIFY(!w<QCheckBox>(dialog, "cbCreateExcel")->isChecked());

    EditStationDialog second(&model, model.index(1, 0));
    QCOMPARE(w<QComboBox>(second, "cmbDeviceType")->currentIndex(), -1);
    QCOMPARE(w<QLineEdit>(second, "txtName")->text(), QStringLiteral("Name B"));
}

void tst_EditStationDialog::enablingRules()
{
    DBStation s = fullStation();
    s.email = false;
    s.download_data = false;
    QVERIFY(DatabaseConnection::insertStation(s) > 0);
    StationTableModel model;
    EditStationDialog dialog(&model, model.index(0, 0));
    QCheckBox *notify = w<QCheckBox>(dialog, "cbActivateNotifications");
    QListWidget *list = w<QListWidget>(dialog, "lwEMail");
    QPushButton *add = w<QPushButton>(dialog, "btnAddToList");
    QPushButton *remove = w<QPushButton>(dialog, "btnRemoveFromList");
    QGroupBox *files = w<QGroupBox>(dialog, "gbFileSettings");
    QCheckBox *download = w<QCheckBox>(dialog, "cbDownloadData");

    // The state loaded from the record applies before any toggle.
    QVERIFY(!list->isEnabled());
    QVERIFY(!add->isEnabled());
    QVERIFY(!remove->isEnabled());
    QVERIFY(!files->isEnabled());

    notify->setChecked(true);
    QVERIFY(list->isEnabled());
    QVERIFY(add->isEnabled());
    QVERIFY(!remove->isEnabled()); // no current row yet
    list->setCurrentRow(1);
    QVERIFY(remove->isEnabled());
    notify->setChecked(false);
    QVERIFY(!remove->isEnabled());
    QVERIFY(!add->isEnabled());
    notify->setChecked(true);
    QVERIFY(remove->isEnabled());
    list->setCurrentRow(-1);
    QVERIFY(!remove->isEnabled());

    download->setChecked(true);
    QVERIFY(files->isEnabled());
    download->setChecked(false);
    QVERIFY(!files->isEnabled());
}

void tst_EditStationDialog::saveChecksInOrderOnTheForm()
{
    StationTableModel model;
    EditStationDialog dialog(&model, QModelIndex());
    prepare(dialog);
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QTabWidget *tabs = w<QTabWidget>(dialog, "tabWidget");
    QComboBox *type = w<QComboBox>(dialog, "cmbDeviceType");
    QLineEdit *title = w<QLineEdit>(dialog, "txtTitle");
    QLineEdit *name = w<QLineEdit>(dialog, "txtName");
    QLineEdit *code = w<QLineEdit>(dialog, "txtCode");
    QLineEdit *ip = w<QLineEdit>(dialog, "txtIp");
    QSpinBox *period = w<QSpinBox>(dialog, "sbPeriod");
    QLineEdit *path = w<QLineEdit>(dialog, "txtPath");
    QLineEdit *fileName = w<QLineEdit>(dialog, "txtFileName");
    QPushButton *save = w<QPushButton>(dialog, "btnSave");

    ip->clear();
    period->setValue(0);
    path->setText(QStringLiteral("   "));
    code->setText(QStringLiteral(" \t "));
    name->setText(QStringLiteral("   "));

    save->click();
    expectError(QStringLiteral("Error"), QStringLiteral("Please select a correct device type!"));
    QCOMPARE(dialog.focusWidget(), type);

    type->setCurrentText(QStringLiteral("TQD310"));
    save->click();
    expectError(QStringLiteral("Error"), QStringLiteral("Please type a correct name!"));
    QCOMPARE(dialog.focusWidget(), name);
    QCOMPARE(name->selectedText(), name->text());

    name->setText(QStringLiteral("  Kuyu   12 "));
    save->click();
    expectError(QStringLiteral("Error"), QStringLiteral("Please type a correct station code!"));
    QCOMPARE(dialog.focusWidget(), code);
    QCOMPARE(title->text(), QStringLiteral("Kuyu 12")); // filled although a later check failed

    code->setText(QStringLiteral(" K05A012 "));
    save->click();
    expectError(QStringLiteral("Error"), QStringLiteral("Please type a correct IP/Host address!"));
    QCOMPARE(dialog.focusWidget(), ip);

    ip->setText(QStringLiteral(" 127.0.0.1 "));
    save->click();
    expectError(QStringLiteral("Error"),
                QStringLiteral("Please select a correct time value for connection parameters!"));
    QCOMPARE(dialog.focusWidget(), period);

    period->setValue(30);
    tabs->setCurrentIndex(0);
    save->click();
    expectError(QStringLiteral("Error"), QStringLiteral("Please type a correct path!"));
    QCOMPARE(dialog.focusWidget(), path);
    QVERIFY(tabs->currentWidget()->isAncestorOf(path)); // the page holding the field is shown
    QCOMPARE(path->selectedText(), path->text());
    QCOMPARE(fileName->text(), QString());
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(accepted.count(), 0);

    path->setText(dir->filePath(QStringLiteral("files")));
    save->click();
    QVERIFY(ask->asked.isEmpty());
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(fileName->text(), QStringLiteral("K05A012-TQD310"));
    QCOMPARE(model.rowCount(), 1);
    const DBStation saved = model.stations().at(0);
    QCOMPARE(saved.title, QStringLiteral("Kuyu 12"));
    QCOMPARE(saved.name, QStringLiteral("Kuyu 12"));
    QCOMPARE(saved.code, QStringLiteral("K05A012"));
    QCOMPARE(saved.ip, QStringLiteral("127.0.0.1"));
    QCOMPARE(saved.connection_period, 30);
    QCOMPARE(saved.file_name, QStringLiteral("K05A012-TQD310"));
}

void tst_EditStationDialog::savedNewStationIsStoredInactive()
{
    StationTableModel model;
    EditStationDialog dialog(&model, QModelIndex());
    prepare(dialog);
    w<QComboBox>(dialog, "cmbDeviceType")->setCurrentText(QStringLiteral("TQM510"));
    w<QLineEdit>(dialog, "txtName")->setText(QStringLiteral("Kirmir"));
    w<QLineEdit>(dialog, "txtCode")->setText(QStringLiteral("D02A003"));
    w<QLineEdit>(dialog, "txtFileName")->setText(QStringLiteral("D02A003"));
    w<QDoubleSpinBox>(dialog, "dsbLatitude")->setValue(41.1);
    w<QDoubleSpinBox>(dialog, "dsbLongitude")->setValue(-29.05);
    w<QCheckBox>(dialog, "cbActivateNotifications")->setChecked(true);
    ask->type(QStringLiteral("ops@example.org"));
    ask->type(QStringLiteral("hydro@example.org"));
    w<QPushButton>(dialog, "btnAddToList")->click();
    w<QPushButton>(dialog, "btnAddToList")->click();
    w<QPushButton>(dialog, "btnSave")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    const QList<DBStation> stored = DatabaseConnection::selectStations();
    QCOMPARE(stored.size(), 1);
    const DBStation s = stored.at(0);
    QCOMPARE(s.active, false);
    QCOMPARE(s.title, QStringLiteral("Kirmir"));
    QCOMPARE(s.file_name, QStringLiteral("D02A003")); // its own name is kept
    QCOMPARE(s.coordinate, QStringLiteral("41.100000,-29.050000"));
    QCOMPARE(s.emaillist, QStringList({"ops@example.org", "hydro@example.org"}));
    QVERIFY(s.email);
    QCOMPARE(s.file_path, defaultStationDirectory() + QLatin1Char('/') + s.code);
    QVERIFY(model.stations().at(0).modified);
    QVERIFY(model.stations().at(0).id > 0);
}

void tst_EditStationDialog::editSavesBackAndKeepsActive()
{
    DBStation s = fullStation();
    s.coordinate = QStringLiteral("41.1,29.05");
    QVERIFY(DatabaseConnection::insertStation(s) > 0);
    QVERIFY(DatabaseConnection::insertStation(fullStation(QStringLiteral("B"))) > 0);
    StationTableModel model;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const DBStation before = model.stations().at(1);
    QVERIFY(before.last_connection_time.isValid());

    EditStationDialog dialog(&model, model.index(1, 0));
    prepare(dialog);
    w<QLineEdit>(dialog, "txtName")->setText(QStringLiteral("Renamed"));
    w<QPushButton>(dialog, "btnSave")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex().row(), 1);

    const DBStation b = model.stations().at(1);
    QCOMPARE(b.name, QStringLiteral("Renamed"));
    QVERIFY(b.active);
    QVERIFY(b.modified);
    QCOMPARE(b.last_connection_time, before.last_connection_time); // the worker's fields stay
    QCOMPARE(model.stations().at(0).name, QStringLiteral("Name A"));

    // Untouched coordinates go back with six decimals on each number.
    EditStationDialog first(&model, model.index(0, 0));
    prepare(first);
    w<QPushButton>(first, "btnSave")->click();
    QCOMPARE(first.result(), int(QDialog::Accepted));
    QCOMPARE(DatabaseConnection::selectStations().at(0).coordinate, QStringLiteral("41.100000,29.050000"));
    QCOMPARE(DatabaseConnection::selectStations().at(1).name, QStringLiteral("Renamed"));
}

// One code per station, addresses and ports that can be reached, and an
// edit that never asks for a field the operator left alone.
void tst_EditStationDialog::codeAddressAndPortRules()
{
    QVERIFY(DatabaseConnection::insertStation(fullStation(QStringLiteral("A"))) > 0);
    DBStation added = fullStation(QStringLiteral("B")); // as --add-station leaves it
    added.device_type.clear();
    QVERIFY(DatabaseConnection::insertStation(added) > 0);
    DBStation foreign = fullStation(QStringLiteral("C"));
    foreign.device_type = QStringLiteral("ZazEroDar");
    QVERIFY(DatabaseConnection::insertStation(foreign) > 0);
    StationTableModel model;

    EditStationDialog dialog(&model, QModelIndex());
    prepare(dialog);
    w<QComboBox>(dialog, "cmbDeviceType")->setCurrentText(QStringLiteral("TQM510"));
    w<QLineEdit>(dialog, "txtName")->setText(QStringLiteral("Yeni"));
    QLineEdit *code = w<QLineEdit>(dialog, "txtCode");
    QLineEdit *ip = w<QLineEdit>(dialog, "txtIp");
    QSpinBox *port = w<QSpinBox>(dialog, "sbPort");
    w<QLineEdit>(dialog, "txtPath")->setText(dir->filePath(QStringLiteral("files")));
    QPushButton *save = w<QPushButton>(dialog, "btnSave");
    const auto refused = [&](const QString &text, QWidget *field) {
        save->click();
        expectError(QStringLiteral("Error"), text);
        QCOMPARE(dialog.focusWidget(), field);
    };

    code->setText(QStringLiteral("CODEA"));
    ip->setText(QStringLiteral("127.0.0.1"));
    refused(QStringLiteral("The station code CODEA is already used by station 1 (Title A)."), code);
    code->setText(QStringLiteral("A/B"));
    save->click();
    countTextQuestions();
    QVERIFY(ask->asked.takeFirst().text.contains(QStringLiteral("cannot name a folder")));
    code->setText(QStringLiteral("THIS-CODE-IS-TOO-LONG-FOR-IT"));
    refused(QStringLiteral("The station code is longer than 24 characters."), code);
    code->setText(QStringLiteral("CODEN"));
    ip->setText(QStringLiteral("999.1.1.1"));
    refused(QStringLiteral("999.1.1.1 is not an IPv4 address (four numbers from 0 to 255)."), ip);
    ip->setText(QStringLiteral("bad_host!"));
    refused(QStringLiteral("bad_host! is not a host name (letters, digits, '-' and '.')."), ip);
    ip->setText(QStringLiteral("fe80::1::2"));
    refused(QStringLiteral("fe80::1::2 is not an IPv6 address."), ip);
    ip->setText(QStringLiteral("logger-7.example.org"));
    port->setValue(0);
    refused(QStringLiteral("Please type a correct port number!"), port);
    port->setValue(4380);
    save->click();
    QVERIFY(ask->asked.isEmpty());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(model.rowCount(), 4);

    // A type nobody chose yet, or one the list does not hold, stays as stored.
    for (const int row : {1, 2}) {
        EditStationDialog edit(&model, model.index(row, 0));
        prepare(edit);
        w<QLineEdit>(edit, "txtTitle")->setText(QStringLiteral("Retitled"));
        w<QPushButton>(edit, "btnSave")->click();
        QVERIFY(ask->asked.isEmpty());
        QCOMPARE(edit.result(), int(QDialog::Accepted));
    }
    QCOMPARE(model.stations().at(1).device_type, QString());
    QCOMPARE(model.stations().at(2).device_type, QStringLiteral("ZazEroDar"));
    QCOMPARE(model.stations().at(2).title, QStringLiteral("Retitled"));
    // Its own code is no duplicate; another's is.
    EditStationDialog taken(&model, model.index(2, 0));
    prepare(taken);
    w<QLineEdit>(taken, "txtCode")->setText(QStringLiteral("CODEN"));
    w<QPushButton>(taken, "btnSave")->click();
    countTextQuestions();
    QCOMPARE(ask->asked.takeFirst().text,
             QStringLiteral("The station code CODEN is already used by station 4 (Yeni)."));
}

void tst_EditStationDialog::zeroAddressRefusedByReadButSaved()
{
    StationTableModel model;
    EditStationDialog dialog(&model, QModelIndex());
    prepare(dialog);
    QLineEdit *ip = w<QLineEdit>(dialog, "txtIp");
    QSpinBox *port = w<QSpinBox>(dialog, "sbPort");
    QPushButton *read = w<QPushButton>(dialog, "btnGetFromDevice");

    ip->setText(QStringLiteral(" 0.0.0.0 "));
    read->click();
    expectError(QStringLiteral("Wrong Host"), QStringLiteral("Please type a correct IP/Host address!"));
    QCOMPARE(dialog.focusWidget(), ip);
    QCOMPARE(ip->selectedText(), ip->text());
    ip->setText(QStringLiteral("   "));
    read->click();
    expectError(QStringLiteral("Wrong Host"), QStringLiteral("Please type a correct IP/Host address!"));
    ip->setText(QStringLiteral("127.0.0.1"));
    port->setValue(0);
    read->click();
    expectError(QStringLiteral("Wrong Host"), QStringLiteral("Please type a correct port number!"));
    QCOMPARE(dialog.focusWidget(), port);
    QVERIFY(!dialog.findChild<QProgressDialog *>());

    ip->setText(QStringLiteral("0.0.0.0"));
    port->setValue(4380); // Save refuses port 0 as well
    w<QComboBox>(dialog, "cmbDeviceType")->setCurrentText(QStringLiteral("TQA110"));
    w<QLineEdit>(dialog, "txtName")->setText(QStringLiteral("Pending"));
    w<QLineEdit>(dialog, "txtCode")->setText(QStringLiteral("P1"));
    w<QPushButton>(dialog, "btnSave")->click();
    QVERIFY(ask->asked.isEmpty());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(model.stations().at(0).ip, QStringLiteral("0.0.0.0"));
}

void tst_EditStationDialog::refusedDatabaseKeepsDialogOpen()
{
    StationTableModel model;
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON stations "
                                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    EditStationDialog dialog(&model, QModelIndex());
    prepare(dialog);
    QSignalSpy finished(&dialog, &QDialog::finished);
    w<QComboBox>(dialog, "cmbDeviceType")->setCurrentText(QStringLiteral("TQA110"));
    w<QLineEdit>(dialog, "txtName")->setText(QStringLiteral("Kept"));
    w<QLineEdit>(dialog, "txtCode")->setText(QStringLiteral("K1"));
    w<QPushButton>(dialog, "btnSave")->click();
    QCOMPARE(finished.count(), 0);
    // Said, with the database's reason.
    QCOMPARE(ask->asked.size(), 1);
    QCOMPARE(ask->last().icon, QMessageBox::Critical);
    QVERIFY(ask->last().text.contains(QStringLiteral("not saved")));
    QVERIFY(ask->last().text.contains(QStringLiteral("refused")));
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(w<QLineEdit>(dialog, "txtName")->text(), QStringLiteral("Kept"));
}

void tst_EditStationDialog::cancelChangesNothing()
{
    QVERIFY(DatabaseConnection::insertStation(fullStation()) > 0);
    StationTableModel model;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    EditStationDialog dialog(&model, model.index(0, 0));
    prepare(dialog);
    w<QLineEdit>(dialog, "txtName")->setText(QStringLiteral("Changed"));
    w<QPushButton>(dialog, "btnCancel")->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(model.stations().at(0).name, QStringLiteral("Name A"));
    QCOMPARE(DatabaseConnection::selectStations().at(0).name, QStringLiteral("Name A"));
}

void tst_EditStationDialog::emailListAddRefuseAndRemove()
{
    DBStation s = fullStation();
    s.emaillist = QStringList{QStringLiteral("ops@example.org")};
    QVERIFY(DatabaseConnection::insertStation(s) > 0);
    StationTableModel model;
    EditStationDialog dialog(&model, model.index(0, 0));
    prepare(dialog);
    QListWidget *list = w<QListWidget>(dialog, "lwEMail");
    QPushButton *add = w<QPushButton>(dialog, "btnAddToList");
    QPushButton *remove = w<QPushButton>(dialog, "btnRemoveFromList");
    auto rows = [list] {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    };

    ask->type(QStringLiteral("  hydro@example.org  "));
    add->click();
    QCOMPARE(rows(), QStringList({"ops@example.org", "hydro@example.org"}));

    ask->type(QStringLiteral("ops@example.org"));
    add->click();
    expectError(QStringLiteral("E-Mail Error"),
                QStringLiteral("E-Mail address \"ops@example.org\" is already exists in this list!"));
    ask->type(QStringLiteral("not an address"));
    add->click();
    expectError(QStringLiteral("E-Mail Error"),
                QStringLiteral("\"not an address\" is not a valid e-mail address!"));
    ask->type(QString());
    ask->type(QStringLiteral("    ")); // cancelled, then only blanks
    add->click();
    add->click();
    countTextQuestions();
    QCOMPARE(prompts, 5);
    QVERIFY(ask->asked.isEmpty());
    QCOMPARE(rows(), QStringList({"ops@example.org", "hydro@example.org"}));

    list->setCurrentRow(0);
    ask->answer(QMessageBox::No);
    remove->click();
    QCOMPARE(ask->last().title, QStringLiteral("Remove E-Mail"));
    QCOMPARE(ask->last().text,
             QStringLiteral("E-Mail address \"ops@example.org\" will be removed! Are you sure?"));
    QCOMPARE(ask->last().buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(ask->last().defaultButton, QMessageBox::No);
    QCOMPARE(rows().size(), 2);

    ask->answer(QMessageBox::Yes);
    remove->click();
    QCOMPARE(rows(), QStringList({"hydro@example.org"}));
    QVERIFY(!ask->pending());

    w<QPushButton>(dialog, "btnSave")->click();
    QCOMPARE(model.stations().at(0).emaillist, QStringList({"hydro@example.org"}));
}

void tst_EditStationDialog::directoryChooser()
{
    StationTableModel model;
    EditStationDialog dialog(&model, QModelIndex());
    prepare(dialog);
    QLineEdit *path = w<QLineEdit>(dialog, "txtPath");
    const QString before = path->text();
    ask->choose(QString()); // cancelled
    w<QAbstractButton>(dialog, "btnSelectDirectory")->click();
    QCOMPARE(path->text(), before);
    QCOMPARE(ask->last().kind, ScriptedQuestions::Directory);
    QCOMPARE(ask->last().title, QStringLiteral("Select Directory"));
    QCOMPARE(ask->last().dir, directoryChooserStart());

    ask->choose(dir->filePath(QStringLiteral("chosen")));
    w<QAbstractButton>(dialog, "btnSelectDirectory")->click();
    QCOMPARE(path->text(), dir->filePath(QStringLiteral("chosen")));
}

QTEST_MAIN(tst_EditStationDialog)
#include "tst_editstationdialog.moc"
