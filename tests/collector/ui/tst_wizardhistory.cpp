#include "store/confighistory.h"
#include "store/databaseconnection.h"
#include "ui/confighistorydialog.h"
#include "ui/wizardhistory.h"

#include "../common/stationfixtures.h"
#include "support/scriptedquestions.h"
#include "support/simprocess.h"

#include "nexil/configuration/setupdialog.h"
#include "nexil/protocol/nexil.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

// A wizard session against the simulator whose setup upload is refused
// after the channel names and calibrations were taken.
class tst_WizardHistory : public QObject
{
    Q_OBJECT

private slots:
    void refusedSetup_reportedAndKeptInTheHistory();
};

void tst_WizardHistory::refusedSetup_reportedAndKeptInTheHistory()
{
    QTemporaryDir dir;
    DatabaseConnection db;
    QVERIFY(
        db.connectToDatabase(dir.filePath(QStringLiteral("data.db")), QString(), 0, QString(), QString()));
    DBStation station = fullStation(QStringLiteral("W"));
    station.code = QStringLiteral("D02A003");
    const int id = DatabaseConnection::insertStation(station);
    QVERIFY(id > 0);

    SimProcess sim;
    QVERIFY(sim.start(
        {"--scenario", SimProcess::scenario("tqm510.json"), "--speed", "0", "--refuse-upload", "PAR"}));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, sim.port());
    QVERIFY(socket.waitForConnected(5000));
    Nexil nexil;
    nexil.setConnection(&socket);
    ScriptedQuestions questions;
    SetupDialog wizard(&nexil);
    wizard.setQuestions(&questions);
    wizard.setUploadPause(0);
    WizardHistory history(nullptr);
    history.follow(&wizard);
    wizard.show();
    auto *pages = wizard.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
    QTRY_COMPARE_WITH_TIMEOUT(pages->currentIndex(), 1, 10000);
    const auto next = [&] { wizard.findChild<QPushButton *>(QStringLiteral("btnNext"))->click(); };
    const auto cell = [&](const char *table, int row, int column) {
        return wizard.findChild<QTableWidget *>(QLatin1String(table))->cellWidget(row, column);
    };

    wizard.findChild<QLineEdit *>(QStringLiteral("txtStationName"))->setText(QStringLiteral("YENI AD"));
    next();
    qobject_cast<QLineEdit *>(cell("twNames", 0, 1))->setText(QStringLiteral("su seviyesi"));
    next();
    qobject_cast<QDoubleSpinBox *>(cell("twCalibrations", 0, 1))->setValue(12.5);
    next();
    next();
    QCOMPARE(pages->currentIndex(), 5);
    wizard.findChild<QRadioButton *>(QStringLiteral("rbSendAll"))->click();
    wizard.findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(QStringLiteral("1234"));
    questions.answer(QMessageBox::Yes);
    wizard.findChild<QPushButton *>(QStringLiteral("btnSend"))->click();

    // Only the changed records were offered, each change on its line.
    const QString offered = questions.asked.first().text;
    QVERIFY2(offered.contains(QString::fromUtf8("Channel 1 name: Level → Su Seviyesi")), qPrintable(offered));
    QVERIFY2(offered.contains(QString::fromUtf8("Station name: KIRMIR CAYI → YENI AD")), qPrintable(offered));
    const QString report =
        QStringLiteral("Channel names and calibrations confirmed; setup not confirmed: the device "
                       "refused it (wrong password)");
    auto *status = wizard.findChild<QLabel *>(QStringLiteral("txtSendStatus"));
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), report, 10000);
    QCOMPARE(questions.last().text, report);
    QCOMPARE(questions.last().icon, QMessageBox::Warning);
    // Refused: the wizard stays for a corrected password.
    QVERIFY(wizard.isVisible());

    QList<ConfigHistory::Entry> entries;
    QVERIFY(ConfigHistory().entries(id, &entries));
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).source, QStringLiteral("wizard"));
    QCOMPARE(entries.at(0).records.present().size(), 4);
    const ConfigHistory::Entry &upload = entries.at(1);
    QCOMPARE(upload.actor, ConfigHistory::localActor());
    QCOMPARE(upload.outcome.value("channelNames").toString(), QStringLiteral("confirmed"));
    QCOMPARE(upload.outcome.value("calibrations").toString(), QStringLiteral("confirmed"));
    QCOMPARE(upload.outcome.value("setup").toString(),
             QStringLiteral("not confirmed: the device refused it (wrong password)"));
    // The device's state afterwards: the name and the offset changed (the
    // untouched "AirTemp" went back as read, not as shown), the station name not.
    QStringList fields;
    for (const ConfigChange &c : ConfigHistory::changesOf(entries, 1))
        fields << c.field;
    QVERIFY2(fields == (QStringList{"names[0]", "offsets[0]"}), qPrintable(fields.join(" ")));

    ConfigHistoryDialog dialog(station.code, entries);
    QTreeWidget *tree = dialog.tree();
    QCOMPARE(tree->topLevelItemCount(), 2);
    QStringList lines;
    for (int i = 0; i < tree->topLevelItem(0)->childCount(); ++i)
        lines << tree->topLevelItem(0)->child(i)->text(3);
    QVERIFY2(lines.contains(QString::fromUtf8("Channel 1 name: Level → Su Seviyesi")),
             qPrintable(lines.join('\n')));
    QVERIFY2(lines.contains(QStringLiteral("Setup: not confirmed: the device refused it (wrong password)")),
             qPrintable(lines.join('\n')));
    wizard.close();
    DatabaseConnection::close();
}

QTEST_MAIN(tst_WizardHistory)
#include "tst_wizardhistory.moc"
