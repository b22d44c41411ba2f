#pragma once

#include "nexil/protocol/records.h"

#include <QAbstractSocket>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QSerialPort>

#include <functional>

class Nexil;
class QAbstractButton;
class QButtonGroup;
class QProgressDialog;
class QTableWidget;
class QTcpSocket;
class Questions;
class StationTableModel;
class ConsoleHistory;
class UploadLedger;

namespace Ui {
class ManualConnection;
}

// The manual connection console: talks to one datalogger by hand over a
// serial port or TCP, shows everything it reports, downloads its memory into
// the station's XML data file and opens the setup wizard. Its connection
// choices live in the HISTORY group of settings.ini.
class ManualConnection : public QDialog
{
    Q_OBJECT
public:
    // `model` (may be null) lists the stations whose folder, file name and
    // export options a host picks up.
    explicit ManualConnection(StationTableModel *model, QWidget *parent = nullptr);
    ~ManualConnection() override;

    // TCP/IP to `host`:`port`, with the folder and options of the station at
    // that host; does not connect.
    void presetConnection(QString host, int port);

    // Where the console's questions go (the real dialogs by default); passed
    // on to the setup wizard.
    void setQuestions(Questions *questions);
    // Runs the setup wizard modally and returns its result (exec() by default).
    void setDialogRunner(std::function<int(QDialog *)> runner);
    // Shows a saved data file in the file manager (FileReveal by default).
    void setFileRevealer(std::function<void(const QString &folder, const QString &file)> revealer);

    // Where a download is saved: the data file's folder, the first part of
    // its name and the export options.
    QString dataFolder() const { return filePath; }
    QString dataFileName() const { return fileName; }
    bool exportsText() const { return exportText; }
    bool exportsExcel() const { return exportExcel; }
    bool hostMatchesStation() const { return stationMatched; }
    // An upload the setup wizard left behind still waits for the device.
    bool awaitingUpload() const;

private slots:
    void on_btnTest_clicked();
    void onConnectionTypeChanged(QAbstractButton *button);
    void on_btnOpenSerialPort_clicked();
    void on_btnConnect_clicked();
    void on_btnReadSetup_clicked();
    void on_btnDownloadData_clicked();
    void on_txtIP_textEdited(QString arg1);
    void on_btnSetup_clicked();
    void onProgressDialogCanceled();
    void onSerialPortError(QSerialPort::SerialPortError error);
    void onSocketConnected();
    void onSocketDisconnected();
    void onSocketError(QAbstractSocket::SocketError error);
    void onNexilSetupParameters(SetupParameters setupParameters);
    void onNexilFileInformations(FileInformations fileInformations);
    void onNexilChannelNames(ChannelNames channelNames);
    void onNexilChannelCalibrations(ChannelCalibrations channelCalibrations);
    void onNexilAlarmParameters(AlarmParameters alarmParameters);
    void onNexilDownloadStarted(int total);
    void onNexilDownloadProgress(int count, int total);
    void onNexilDataFile(QList<DataFile> files);
    void onNexilDownloadCompleted();
    void onNexilError(int errorCode, QString errString);
    void on_txtIP_returnPressed();

private:
    void loadSettings();
    void saveSettings();
    void lookUpHost(const QString &host, int port);
    // What the wizard's send came to, once the device has answered.
    void reportSetup(bool accepted, bool late);
    void onLateUploadAnswer();
    // The link went: an upload still waiting will never be answered.
    void abandonUpload();
    void updateFormState();
    void clearForm();
    bool isConnected() const;
    void fillValueTable(QTableWidget *table, const QList<InstantValue> &values, const QString &type);
    void closeProgress();
    // The data file the next download is saved into ("%1/%2_%3.xml").
    QString dataFilePathFor() const;
    void releaseConnection();

    Ui::ManualConnection *ui;
    StationTableModel *model;
    QButtonGroup *typeGroup = nullptr;
    QSerialPort *serialPort = nullptr;
    QTcpSocket *socket = nullptr;
    Nexil *nexil = nullptr;
    int connectionType = 0;

    SetupParameters setup;
    FileInformations files;
    ChannelNames names;
    ChannelCalibrations calibrations;
    AlarmParameters alarms;

    QString filePath;
    QString fileName;
    bool exportText = true;
    bool exportExcel = true;
    // The SETTINGS defaults a host that matches no station falls back to.
    QString defaultPath;
    bool defaultExportText = true;
    bool defaultExportExcel = true;
    bool stationMatched = false;
    bool inSetup = false;
    bool downloading = false;
    QString dataFilePath;
    QPointer<QProgressDialog> progress;
    QPointer<UploadLedger> uploads;
    ConsoleHistory *history = nullptr;

    Questions *m_questions;
    std::function<int(QDialog *)> m_runDialog;
    std::function<void(const QString &, const QString &)> m_reveal;
};
