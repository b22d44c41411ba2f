#pragma once

#include "catalogue.h"
#include "nexil/nexil_global.h"
#include "records.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

class Connection;
namespace decode {
enum class Result;
}
class QSerialPort;
class QTcpSocket;
class QTimer;

// One conversation with one datalogger. Requests write one frame and return;
// the reply comes back as a signal carrying a record. Silence is answered by
// resending on the reply timer, at most five transmissions, then error().
// One request is in flight at a time; a busy object refuses new ones.
class NEXIL_EXPORT Nexil : public QObject
{
    Q_OBJECT
public:
    explicit Nexil(QObject *parent = nullptr);
    ~Nexil() override;

    // Binding (the application owns and opens the device).
    void setConnection(QSerialPort *port);
    void setConnection(QTcpSocket *socket);
    void closeConnection();

    // Read requests.
    void getDeviceIdentity();
    void getInstantValues();
    void getSetupParemeters();
    void getChannelNames();
    void getChannelCalibrations();
    void getFileInformations();
    void getAlarmParameters();

    // Memory download: re-reads setup, file information, calibrations and
    // channel names, then requests pages from (page, buffer) up to the
    // device's write position and emits one DataFile. `time` is the base for
    // relative minutes until the first time stamp in memory; without one, a
    // download that resumes past the start reads memory from its start to
    // find the time stamps and keeps only the values from (page, buffer) on.
    void getData(const QDateTime &time, int page, int buffer);
    void calculateDownloads();
    void getNextBlock();

    // Uploads; each is acknowledged by its own signal or by wrongPassword().
    void sendSetupParameters(const QString &password, const SetupParameters &parameters);
    void sendChannelNames(const QString &password, const ChannelNames &channelNames);
    void sendCalibrations(const QString &password, const ChannelCalibrations &calibrations);
    void sendAlarmParameters(const QString &password, const AlarmParameters &parameters);
    void setPassword(const QString &password, const QString &newPassword);
    void loadFactoryDefaults(const QString &password);
    // Not supported by the devices this library talks to: accepted and ignored.
    void sendDischargeTable(const QString &password, const QList<float> &table);
    void sendFirmware(const QString &password, const QByteArray &image);

    void cancelLastProcess();
    bool isBusy() const { return busy; }
    bool isDownloading() const { return downloading; }
    DeviceError lastError() const { return lastErrorCode; }
    QString lastErrorString() const { return lastErrorText; }
    void clearError();
    void setError(DeviceError code, const QString &text);

    // Reply timer: 10 s by default; tests and slow links may change it.
    void setReplyTimeout(int milliseconds);
    int replyTimeout() const;

    void initTimer();
    void repeatCommand();

    // Frame reception and number readers.
    // Handles the whole frames in the buffer; how many there were.
    int checkBuffer();
    DeviceHeader parseHeader(const QByteArray &frame);
    bool verifyChecksum(const QByteArray &data, unsigned int crc);
    int CRC16(const QByteArray &data, int length);
    long hex2long(const QByteArray &bytes);
    float hex2float(const QByteArray &bytes);

    // Catalogue.
    QString deviceTypeName(DeviceType type) const { return catalogue.deviceTypeName(type); }
    QString deviceTypeDescription(DeviceType type) const { return catalogue.deviceTypeDescription(type); }
    QString valueTypeName(ValueType type) const { return catalogue.valueTypeName(type); }
    QString channelCodeName(ChannelCode code) const { return catalogue.channelCodeName(code); }
    QString channelCodeDescription(ChannelCode code) const { return catalogue.channelCodeDescription(code); }
    QStringList channelCodeNames() const { return catalogue.channelCodeNames(); }
    QStringList channelCodeDescriptions() const { return catalogue.channelCodeDescriptions(); }
    QStringList channelCodeUnits(ChannelCode code) const { return catalogue.channelCodeUnits(code); }
    DeviceType deviceType(const QString &name) const { return catalogue.deviceType(name); }
    ValueType valueType(const QString &name) const { return catalogue.valueType(name); }
    ChannelCode channelCode(const QString &name) const { return catalogue.channelCode(name); }
    int findChannelCount(const DeviceHeader &header) const
    {
        return Catalogue::channelCount(header.deviceType);
    }

    // The last record of each kind, decoded or given to an upload.
    SetupParameters storedSetupParameters() const { return setup; }
    ChannelNames storedChannelNames() const { return names; }
    ChannelCalibrations storedChannelCalibrations() const { return calibrations; }
    AlarmParameters storedAlarmParameters() const { return alarms; }
    FileInformations storedFileInformations() const { return files; }
    // Device type of the last accepted reply header.
    DeviceType currentDeviceType() const { return lastDeviceType; }

signals:
    void error(int errorCode, QString errorString);
    void deviceIdentity(DeviceIdentity);
    void instantValues(InstantData);
    void setupParameters(SetupParameters);
    void channelNames(ChannelNames);
    void channelCalibrations(ChannelCalibrations);
    void fileInformations(FileInformations);
    void alarmParameters(AlarmParameters);
    void downloadStarted(int);
    void downloadProgress(int, int);
    void downloadCompleted();
    void dataFile(QList<DataFile>);
    void wrongPassword();
    void channelCalibrationsHaveBeenLoaded();
    void channelNamesHaveBeenLoaded();
    void setupParametersHaveBeenLoaded();
    void alarmParametersHaveBeenLoaded();
    void passwordChanged();
    void factoryDefaultsHaveBeenLoaded();
    void firmwareHaveBeenLoaded();
    void firmwareLoadProgress(int, int);

private slots:
    void onConnectionError(QString s);
    void onConnectionNewData(QByteArray b);
    void onTimerTimeout();

private:
    // Request start: busy check, pending code, timer, attempt count. False
    // when busy (the busy error is stored and nothing may be sent).
    bool startRequest(int pendingCode, const QString &busyText);
    void sendPlainRequest(const char *word, int pendingCode, const QString &busyText);
    // Common end of a decoded reply: the request in flight is over.
    void finishRequest();
    // A decoder's verdict on a reply; false (with the error stored) when the
    // reply is dropped. It does not end the request: the caller does.
    bool decoded(decode::Result result);
    // One frame taken from the receive buffer: checked, then decoded when it
    // answers the request in flight.
    void handleFrame(const QByteArray &frame);
    // The reply code the pending request waits for: its own for the reads,
    // CEV for the uploads; nothing when no request is pending.
    bool answersPendingRequest(int replyCode) const;

    void dispatch(const DeviceHeader &header, const QByteArray &payload);
    void parseDeviceIdentity(const DeviceHeader &header, const QByteArray &payload);
    void parseInstantValues(const DeviceHeader &header, const QByteArray &payload);
    void parseFileInformations(const DeviceHeader &header, const QByteArray &payload);
    void parseSetupParameters(const DeviceHeader &header, const QByteArray &payload);
    void parseChannelCalibrations(const DeviceHeader &header, const QByteArray &payload);
    void parseChannelNames(const DeviceHeader &header, const QByteArray &payload);
    void parseAlarmParameters(const DeviceHeader &header, const QByteArray &payload);
    void parseDataBlock(const DeviceHeader &header, const QByteArray &payload);
    void parseDataBuffer();
    void parseCommandResponse(const DeviceHeader &header, const QByteArray &payload);
    // Upload start: request start, arguments kept for resending, one write.
    void sendUpload(const char *letters, int pendingCode, const QByteArray &body);
    // A record too short for its upload body: nothing is sent.
    void refuseUpload(const QString &missing);

    QString busyText() const;
    QString busyTextCapital() const;

    Connection *connection = nullptr;
    QByteArray buffer;
    QByteArray downloadBuffer;
    DeviceType lastDeviceType = DeviceUnknown;
    int command = 0;
    bool busy = false;
    bool downloading = false;
    QTimer *timer = nullptr;
    int attempts = 0;
    // The device answered the last upload transmission with its error reply.
    bool uploadRefused = false;
    DeviceError lastErrorCode = NoError;
    QString lastErrorText;
    // Download bookkeeping.
    QDateTime baseTime;
    int currentPage = 0;
    int firstPage = 0;
    int firstBuffer = 0;
    int startBuffer = 0;
    int downloadLastPage = 0;
    int downloadLastBuffer = 0;
    int pageCount = 0;
    // Resuming without a time base: memory is read from its start for its
    // time stamps, and only values from this byte offset on are kept.
    qint64 keepFromOffset = 0;
    Catalogue catalogue;
    QString password;
    QString newPassword;
    SetupParameters setup;
    ChannelNames names;
    ChannelCalibrations calibrations;
    AlarmParameters alarms;
    FileInformations files;
};
