#include "nexil.h"

#include "connection.h"
#include "decoders.h"
#include "wire.h"

#include "nexil/logging.h"
#include <QDebug>
#include <QTimer>

using wire::code;

Nexil::Nexil(QObject *parent) : QObject(parent)
{
    registerNexilMetaTypes();
    initTimer();
    connection = new Connection(this);
    connect(connection, &Connection::error, this, &Nexil::onConnectionError);
    connect(connection, &Connection::newData, this, &Nexil::onConnectionNewData);
}

Nexil::~Nexil() = default;

void Nexil::initTimer()
{
    // A child of this object, so it is destroyed and moved between threads
    // together with it.
    timer = new QTimer(this);
    timer->setInterval(10000);
    timer->setSingleShot(false);
    connect(timer, &QTimer::timeout, this, &Nexil::onTimerTimeout);
}

void Nexil::setReplyTimeout(int milliseconds)
{
    timer->setInterval(milliseconds);
}

int Nexil::replyTimeout() const
{
    return timer->interval();
}

void Nexil::setConnection(QSerialPort *port)
{
    buffer.clear();
    connection->setSerialPort(port);
}

void Nexil::setConnection(QTcpSocket *socket)
{
    buffer.clear();
    connection->setTcpSocket(socket);
}

void Nexil::closeConnection()
{
    connection->close();
}

QString Nexil::busyText() const
{
    return tr("Cihaz meşgul.");
}

QString Nexil::busyTextCapital() const
{
    return tr("Cihaz Meşgul.");
}

bool Nexil::startRequest(int pendingCode, const QString &busyMessage)
{
    if (busy) {
        setError(DeviceBusy, busyMessage);
        return false;
    }
    busy = true;
    command = pendingCode;
    if (!timer->isActive())
        timer->start();
    ++attempts;
    return true;
}

void Nexil::sendPlainRequest(const char *word, int pendingCode, const QString &busyMessage)
{
    if (startRequest(pendingCode, busyMessage))
        connection->write(wire::plainRequest(word));
}

void Nexil::getDeviceIdentity()
{
    sendPlainRequest("KML", code("KML"), busyText());
}

void Nexil::getInstantValues()
{
    sendPlainRequest("ANL", code("ANL"), busyText());
}

void Nexil::getSetupParemeters()
{
    sendPlainRequest("OKU", code("PAR"), busyText());
}

void Nexil::getChannelNames()
{
    sendPlainRequest("RKL", code("RKL"), busyTextCapital());
}

void Nexil::getChannelCalibrations()
{
    sendPlainRequest("KOK", code("KOK"), busyTextCapital());
}

void Nexil::getFileInformations()
{
    sendPlainRequest("DKU", code("DOS"), busyTextCapital());
}

void Nexil::getAlarmParameters()
{
    sendPlainRequest("ALO", code("ALR"), busyTextCapital());
}

void Nexil::cancelLastProcess()
{
    uploadRefused = false;
    timer->stop();
    command = 0;
    downloading = false;
    attempts = 0;
    busy = false;
    setError(NoError, QString());
}

void Nexil::clearError()
{
    lastErrorCode = NoError;
    lastErrorText = QString();
}

void Nexil::setError(DeviceError code, const QString &text)
{
    lastErrorCode = code;
    lastErrorText = text;
}

void Nexil::onTimerTimeout()
{
    if (command == 0)
        return;
    // On a busy machine the timer can run before the bytes already waiting
    // on the line are handed on: a reply, or part of one, is there and is no
    // reason to resend. The loop reads it next; the time starts again.
    if (connection->hasWaitingInput()) {
        timer->start();
        return;
    }
    repeatCommand();
}

void Nexil::repeatCommand()
{
    busy = false;
    if (attempts < 5) {
        switch (command) {
        case code("KML"):
            getDeviceIdentity();
            return;
        case code("ANL"):
            getInstantValues();
            return;
        case code("PAR"):
            getSetupParemeters();
            return;
        case code("RKL"):
            getChannelNames();
            return;
        case code("KOK"):
            getChannelCalibrations();
            return;
        case code("DOS"):
            getFileInformations();
            return;
        case code("ALR"):
            getAlarmParameters();
            return;
        case code("VER"):
            getNextBlock();
            return;
        case code("PAS"):
            sendSetupParameters(password, setup);
            return;
        case code("DEG"):
            setPassword(password, newPassword);
            return;
        case code("SET"):
            loadFactoryDefaults(password);
            return;
        case code("KAL"):
            sendCalibrations(password, calibrations);
            return;
        case code("KNL"):
            sendChannelNames(password, names);
            return;
        case code("AYU"):
            sendAlarmParameters(password, alarms);
            return;
        default:
            break;
        }
    }
    command = 0;
    attempts = 0;
    timer->stop();
    if (downloading) {
        downloading = false;
        setError(DownloadInterrupted, tr("İndirme işlemi kesildi."));
    } else if (uploadRefused) {
        // The last transmission was answered, with the device's error reply.
        uploadRefused = false;
        setError(DeviceRefused, tr("Cihaz gönderilen kaydı kabul etmedi."));
    } else {
        setError(Timeout, tr("İşlem zaman aşımı."));
    }
    emit error(lastErrorCode, lastErrorText);
}

void Nexil::onConnectionError(QString s)
{
    setError(ConnectionError, s);
    emit error(ConnectionError, s);
}

void Nexil::onConnectionNewData(QByteArray b)
{
    buffer.append(b);
    const int pending = command;
    const int frames = checkBuffer();
    // The reply time counts silence: a reply still arriving (split, on a
    // slow link, or behind the late reply to an earlier transmission) must
    // not have its request sent again and counted against the block. Bytes
    // thrown away as garbage do not count as an answer.
    if (command != 0 && command == pending && timer->isActive() && (frames > 0 || !buffer.isEmpty()))
        timer->start();
}

int Nexil::checkBuffer()
{
    // Two replies can arrive in one read; each is handled on its own.
    QByteArray frame;
    int frames = 0;
    while (wire::takeFrame(buffer, &frame) == wire::BufferState::Frame) {
        ++frames;
        handleFrame(frame);
    }
    return frames;
}

void Nexil::handleFrame(const QByteArray &frame)
{
    const DeviceHeader header = parseHeader(frame);
    if (header.command == 0 || header.deviceType == DeviceUnknown) {
        setError(UnknownResponse, tr("Bilinmeyen cevap."));
        return;
    }
    if (header.firmwareVersion <= 50) {
        setError(UnsupportedFirmware, tr("Desteklenmeyen firmware sürümü."));
        return;
    }
    // A late reply to a request already answered (or cancelled) must not end
    // the request that is waiting now.
    if (!answersPendingRequest(header.command)) {
        const QByteArray letters = frame.left(3);
        qCDebug(lcProtocol, "Dropped a %s reply nobody asked for", letters.constData());
        return;
    }
    dispatch(header, frame.mid(wire::HeaderSize, frame.size() - wire::HeaderSize - 3));
}

bool Nexil::answersPendingRequest(int replyCode) const
{
    switch (command) {
    case code("PAS"):
    case code("KNL"):
    case code("KAL"):
    case code("AYU"):
    case code("DEG"):
    case code("SET"):
        return replyCode == code("CEV");
    case 0:
        return false;
    default:
        // The read requests wait for the reply of their own code.
        return replyCode == command;
    }
}

DeviceHeader Nexil::parseHeader(const QByteArray &frame)
{
    DeviceError headerError = NoError;
    const DeviceHeader header = wire::parseHeader(frame, catalogue, &headerError);
    if (headerError == ChecksumError)
        setError(ChecksumError, tr("Checksum hatası."));
    else if (headerError == UnknownDevice)
        setError(UnknownDevice, tr("Bilinmeyen cihaz."));
    if (header.deviceType != DeviceUnknown)
        lastDeviceType = header.deviceType;
    return header;
}

bool Nexil::verifyChecksum(const QByteArray &data, unsigned int crc)
{
    return wire::verifyChecksum(data, crc);
}

int Nexil::CRC16(const QByteArray &data, int length)
{
    return wire::crc16(data, length);
}

long Nexil::hex2long(const QByteArray &bytes)
{
    return wire::hex2long(bytes);
}

float Nexil::hex2float(const QByteArray &bytes)
{
    return wire::hex2float(bytes);
}

void Nexil::dispatch(const DeviceHeader &header, const QByteArray &payload)
{
    switch (header.command) {
    case code("KML"):
        parseDeviceIdentity(header, payload);
        break;
    case code("ANL"):
        parseInstantValues(header, payload);
        break;
    case code("DOS"):
        parseFileInformations(header, payload);
        break;
    case code("PAR"):
        parseSetupParameters(header, payload);
        break;
    case code("RKL"):
        parseChannelNames(header, payload);
        break;
    case code("KOK"):
        parseChannelCalibrations(header, payload);
        break;
    case code("ALR"):
        parseAlarmParameters(header, payload);
        break;
    case code("VER"):
        parseDataBlock(header, payload);
        break;
    case code("CEV"):
        parseCommandResponse(header, payload);
        break;
    default:
        setError(UnknownResponse, tr("Tanımlanamayan veri."));
        break;
    }
}

void Nexil::finishRequest()
{
    uploadRefused = false;
    busy = false;
    command = 0;
    attempts = 0;
    timer->stop();
}

bool Nexil::decoded(decode::Result result)
{
    switch (result) {
    case decode::Result::Ok:
        return true;
    case decode::Result::ChecksumError:
        setError(ChecksumError, tr("Checksum hatası."));
        return false;
    case decode::Result::Malformed:
        // Too short for its own counts: dropped, the timer asks again.
        return false;
    }
    return false;
}

void Nexil::parseDeviceIdentity(const DeviceHeader &header, const QByteArray &payload)
{
    DeviceIdentity record;
    if (!decoded(decode::deviceIdentity(header, payload, &record)))
        return;
    finishRequest();
    emit deviceIdentity(record);
}

void Nexil::parseInstantValues(const DeviceHeader &header, const QByteArray &payload)
{
    InstantData record;
    if (!decoded(decode::instantData(header, payload, QDateTime::currentDateTime(), &record)))
        return;
    finishRequest();
    emit instantValues(record);
}

// In the reply handlers below the download chain goes on only when the
// download was running before the signal: a slot that starts a download from
// the signal must not have its chain skip ahead with another visit's figures.

void Nexil::parseFileInformations(const DeviceHeader &header, const QByteArray &payload)
{
    FileInformations record;
    if (!decoded(decode::fileInformations(header, payload, &record)))
        return;
    finishRequest();
    const bool chain = downloading;
    files = record;
    if (chain) {
        downloadLastPage = record.lastPage;
        downloadLastBuffer = record.lastBuffer;
    }
    emit fileInformations(record);
    if (chain && downloading)
        getChannelCalibrations();
}

void Nexil::parseSetupParameters(const DeviceHeader &header, const QByteArray &payload)
{
    SetupParameters record;
    if (!decoded(decode::setupParameters(header, payload, QDateTime::currentDateTime(), &record)))
        return;
    finishRequest();
    const bool chain = downloading;
    setup = record;
    emit setupParameters(record);
    if (chain && downloading)
        getFileInformations();
}

void Nexil::parseChannelCalibrations(const DeviceHeader &header, const QByteArray &payload)
{
    ChannelCalibrations record;
    if (!decoded(decode::channelCalibrations(header, payload, &record)))
        return;
    finishRequest();
    const bool chain = downloading;
    calibrations = record;
    emit channelCalibrations(record);
    if (chain && downloading)
        getChannelNames();
}

void Nexil::parseChannelNames(const DeviceHeader &header, const QByteArray &payload)
{
    ChannelNames record;
    if (!decoded(decode::channelNames(header, payload, &record)))
        return;
    finishRequest();
    const bool chain = downloading;
    names = record;
    emit channelNames(record);
    if (chain && downloading) {
        qCDebug(lcProtocol, "parseChannelNames()");
        calculateDownloads();
    }
}

void Nexil::parseAlarmParameters(const DeviceHeader &header, const QByteArray &payload)
{
    AlarmParameters record;
    if (!decoded(decode::alarmParameters(header, payload, &record)))
        return;
    finishRequest();
    alarms = record;
    emit alarmParameters(record);
}
