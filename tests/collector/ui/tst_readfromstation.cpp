#include "../common/silentdevice.h"
#include "../common/simulator.h"
#include "store/databaseconnection.h"
#include "store/stationtablemodel.h"
#include "support/scriptedquestions.h"
#include "ui/editstationdialog.h"

#include "nexil/protocol/nexil.h"
#include "uievents.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// "Read From Station": the editor asks a device for its identity over TCP.
class tst_ReadFromStation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void identityFillsTheForm();
    void refusedConnectionIsASocketError();
    void silentDeviceIsANexilError();
    void linkCutDuringTheRequestIsReportedOnce();
    void closingDuringAReadIsQuiet();

private:
    template<class T> static T *w(QWidget &dialog, const char *name) { return namedChild<T>(dialog, name); }
    std::unique_ptr<EditStationDialog> newDialog(quint16 port);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<StationTableModel> model;
    std::unique_ptr<ScriptedQuestions> ask;
    QString oldCwd;
};

void tst_ReadFromStation::init()
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
}

void tst_ReadFromStation::cleanup()
{
    model.reset();
    DatabaseConnection::close();
    QDir::setCurrent(oldCwd);
    dir.reset();
}

std::unique_ptr<EditStationDialog> tst_ReadFromStation::newDialog(quint16 port)
{
    auto dialog = std::make_unique<EditStationDialog>(model.get(), QModelIndex());
    dialog->setQuestions(ask.get());
    w<QLineEdit>(*dialog, "txtIp")->setText(QStringLiteral(" 127.0.0.1 "));
    w<QSpinBox>(*dialog, "sbPort")->setValue(port);
    dialog->show();
    return dialog;
}

void tst_ReadFromStation::identityFillsTheForm()
{
    if (!Simulator::available())
        QSKIP("the simulator is not built");
    Simulator sim;
    QVERIFY2(
        sim.start(
            dir->path(), QStringLiteral("sim"),
            R"({"model": "VeZevAvu", "station": {"name": "KUYU 12", "group": "05-11-012", "code": "K05A012"}})"),
        qPrintable(sim.error()));
    auto dialog = newDialog(sim.port);
    EditStationDialog &d = *dialog;

    w<QPushButton>(d, "btnGetFromDevice")->click();
    QProgressDialog *progress = d.findChild<QProgressDialog *>();
    QVERIFY(progress);
    QVERIFY(progress->isVisible());
    QCOMPARE(progress->windowTitle(), QStringLiteral("Read From Device"));
    QCOMPARE(progress->labelText(), QStringLiteral("Connecting to station.."));
    QCOMPARE(progress->minimumWidth(), 400);
    QCOMPARE(progress->maximum(), 0);
    QVERIFY(progress->isModal());
    QPushButton *cancel = progress->findChild<QPushButton *>();
    QVERIFY(cancel);
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));

    QTRY_VERIFY(!d.findChild<QProgressDialog *>());
    QVERIFY2(ask->asked.isEmpty(), qPrintable(ask->asked.value(0).text));
    QCOMPARE(w<QComboBox>(d, "cmbDeviceType")->currentText(), QStringLiteral("TQD310"));
    QCOMPARE(w<QLineEdit>(d, "txtTitle")->text(), QStringLiteral("KUYU 12"));
    QCOMPARE(w<QLineEdit>(d, "txtName")->text(), QStringLiteral("KUYU 12"));
    QCOMPARE(w<QLineEdit>(d, "txtCode")->text(), QStringLiteral("K05A012"));
    QCOMPARE(w<QSpinBox>(d, "sbRegion")->value(), 5);
    QCOMPARE(w<QSpinBox>(d, "sbBasin")->value(), 11);
    QCOMPARE(w<QSpinBox>(d, "sbNo")->value(), 12);
    QTcpSocket *socket = d.findChild<QTcpSocket *>();
    QTRY_COMPARE(socket->state(), QAbstractSocket::UnconnectedState);

    // A second read over the same socket; a title of the operator's own stays.
    w<QLineEdit>(d, "txtTitle")->setText(QStringLiteral("Kuyu on the hill"));
    w<QLineEdit>(d, "txtName")->clear();
    w<QPushButton>(d, "btnGetFromDevice")->click();
    QTRY_VERIFY(!d.findChild<QProgressDialog *>());
    QVERIFY(ask->asked.isEmpty());
    QCOMPARE(w<QLineEdit>(d, "txtTitle")->text(), QStringLiteral("Kuyu on the hill"));
    QCOMPARE(w<QLineEdit>(d, "txtName")->text(), QStringLiteral("KUYU 12"));

    // What was read is what Save stores.
    w<QPushButton>(d, "btnSave")->click();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    const DBStation saved = model->stations().at(0);
    QCOMPARE(saved.device_type, QStringLiteral("TQD310"));
    QCOMPARE(saved.code, QStringLiteral("K05A012"));
    QCOMPARE(saved.port, int(sim.port));
    QCOMPARE(saved.file_name, QStringLiteral("K05A012-TQD310"));
}

void tst_ReadFromStation::refusedConnectionIsASocketError()
{
    auto dialog = newDialog(closedPort());
    EditStationDialog &d = *dialog;
    w<QLineEdit>(d, "txtName")->setText(QStringLiteral("Before"));
    w<QPushButton>(d, "btnGetFromDevice")->click();
    QTRY_COMPARE(ask->asked.size(), 1);
    QCOMPARE(ask->last().icon, QMessageBox::Critical);
    QCOMPARE(ask->last().title, QStringLiteral("Socket Error"));
    QCOMPARE(ask->last().text, QStringLiteral("Connection refused"));
    QVERIFY(!d.findChild<QProgressDialog *>());
    QCOMPARE(w<QLineEdit>(d, "txtName")->text(), QStringLiteral("Before"));
    QCOMPARE(w<QComboBox>(d, "cmbDeviceType")->currentIndex(), -1);
}

void tst_ReadFromStation::silentDeviceIsANexilError()
{
    SilentDevice device;
    auto dialog = newDialog(device.serverPort());
    EditStationDialog &d = *dialog;
    Nexil *nexil = d.findChild<Nexil *>();
    QVERIFY(nexil);
    nexil->setReplyTimeout(20);
    QSignalSpy failed(nexil, &Nexil::error);

    w<QPushButton>(d, "btnGetFromDevice")->click();
    QTRY_COMPARE(ask->asked.size(), 1);
    QCOMPARE(ask->last().title, QStringLiteral("Nexil Error"));
    QCOMPARE(ask->last().text, failed.first().at(1).toString());
    QVERIFY(!ask->last().text.isEmpty());
    QVERIFY(!d.findChild<QProgressDialog *>());
    QVERIFY(!nexil->isBusy());
    QTRY_COMPARE(d.findChild<QTcpSocket *>()->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(device.connections, 1);
    QCOMPARE(device.received.first().count("KML"), 5); // five transmissions, then the error
    QCOMPARE(w<QComboBox>(d, "cmbDeviceType")->currentIndex(), -1);
}

void tst_ReadFromStation::linkCutDuringTheRequestIsReportedOnce()
{
    // A modem that hangs up as soon as the request arrives.
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
    auto dialog = newDialog(hangUp.serverPort());
    EditStationDialog &d = *dialog;
    Nexil *nexil = d.findChild<Nexil *>();
    nexil->setReplyTimeout(20);
    QSignalSpy failed(nexil, &Nexil::error);

    w<QPushButton>(d, "btnGetFromDevice")->click();
    QTRY_COMPARE(ask->asked.size(), 1);
    QCOMPARE(ask->last().title, QStringLiteral("Socket Error"));
    QCOMPARE(ask->last().text, QStringLiteral("The remote host closed the connection"));
    QVERIFY(!d.findChild<QProgressDialog *>());
    // The request cut short is not resent into nothing and reported again.
    QVERIFY(!failed.wait(400));
    QCOMPARE(ask->asked.size(), 1);
    QVERIFY(!nexil->isBusy());
}

void tst_ReadFromStation::closingDuringAReadIsQuiet()
{
    SilentDevice device;
    auto dialog = newDialog(device.serverPort());
    w<QPushButton>(*dialog, "btnGetFromDevice")->click();
    QTRY_COMPARE(dialog->findChild<QProgressDialog *>()->labelText(),
                 QStringLiteral("Reading device identity.."));
    QTRY_COMPARE(device.received.value(0).count("KML"), 1);
    // The open link goes with the dialog without reporting into it.
    dialog.reset();
    QTRY_COMPARE(device.findChildren<QTcpSocket *>().size(), 0);
    QVERIFY(ask->asked.isEmpty());
}

QTEST_MAIN(tst_ReadFromStation)
#include "tst_readfromstation.moc"
