#include "worker.h"

#include <QLocale>

#include "nexil/files/filemanager.h"
#include "nexil/protocol/nexil.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <limits>

namespace {

// The longest period a QTimer takes, in whole minutes.
constexpr int maxPeriodMinutes = std::numeric_limits<int>::max() / 60000;

} // namespace

Worker::Worker(DBStation station, QObject *parent) : QObject(parent), station(std::move(station))
{
    registerNexilMetaTypes();
    registerDBStation();
    paused = true;
    stopRequested = false;
    initNexil();
    initSocket();
    initTimer();
    downloading = false;
}

Worker::~Worker() = default;

int Worker::intervalFor(int connectionPeriodMinutes)
{
    // A period of 0 would fire the timer on every pass of the loop.
    return qBound(1, connectionPeriodMinutes, maxPeriodMinutes) * 60000;
}

void Worker::initNexil()
{
    nexil = new Nexil(this);
    connect(nexil, &Nexil::setupParameters, this, &Worker::onNexilSetupParameters);
    connect(nexil, &Nexil::fileInformations, this, &Worker::onNexilFileInformations);
    connect(nexil, &Nexil::channelCalibrations, this, &Worker::onNexilChannelCalibrations);
    connect(nexil, &Nexil::channelNames, this, &Worker::onNexilChannelNames);
    connect(nexil, &Nexil::downloadStarted, this, &Worker::onNexilDownloadStarted);
    connect(nexil, &Nexil::downloadProgress, this, &Worker::onNexilDownloadProgress);
    connect(nexil, &Nexil::downloadCompleted, this, &Worker::onNexilDownloadCompleted);
    connect(nexil, &Nexil::dataFile, this, &Worker::onNexilDataFile);
    connect(nexil, &Nexil::error, this, &Worker::onNexilError);
}

void Worker::initSocket()
{
    socket = new QTcpSocket(this);
    connect(socket, &QTcpSocket::connected, this, &Worker::onSocketConnected);
    connect(socket, &QTcpSocket::disconnected, this, &Worker::onSocketDisconnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &Worker::onSocketError);
}

void Worker::initTimer()
{
    timerInterval = intervalFor(station.connection_period);
    timer = new QTimer(this);
    timer->setInterval(timerInterval);
    connect(timer, &QTimer::timeout, this, &Worker::onTimerTimeout);
    timer->start();
}

void Worker::process()
{
    // Sleeps in the event dispatcher until something arrives: a stop request
    // is a queued call, which wakes it like any other event.
    QThread *thread = QThread::currentThread();
    while (!stopRequested && !thread->isInterruptionRequested())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    stopRequested = true;
    paused = true;
    interruptVisit();
    emit finished();
}

void Worker::onStartCollecting(int id)
{
    if (!addressed(id))
        return;
    paused = false;
    onTimerTimeout();
}

void Worker::onPauseCollecting(int id)
{
    if (addressed(id))
        paused = true;
}

void Worker::onStopCollecting(int id)
{
    if (!addressed(id))
        return;
    stopRequested = true;
    paused = true;
}

void Worker::onUpdateStationData(int id)
{
    if (!addressed(id))
        return;
    const bool wasPaused = paused;
    const bool wasActive = station.active;
    paused = false;
    station.active = true;
    onTimerTimeout();
    paused = wasPaused;
    station.active = wasActive;
}

void Worker::onStationUpdated(DBStation updated)
{
    if (updated.id != 0 && updated.id != station.id)
        return;
    station = std::move(updated);
    const int interval = intervalFor(station.connection_period);
    if (interval != timerInterval) {
        timerInterval = interval;
        timer->setInterval(timerInterval);
    }
}

void Worker::onTimerTimeout()
{
    if (paused || !station.active)
        return;
    // Only an idle socket may start a visit; anything else is one running.
    if (socket->state() != QAbstractSocket::UnconnectedState)
        return;
    station.has_error = false;
    saveFailed = false;
    visitRunning = true;
    station.status = tr("Connecting..");
    publishStatus();
    socket->connectToHost(station.ip, quint16(station.port), QIODevice::ReadWrite,
                          QAbstractSocket::AnyIPProtocol);
}

void Worker::onSocketConnected()
{
    visitConnected = true;
    station.status = tr("Reading parameters");
    station.last_connection_time = QDateTime::currentDateTime();
    station.has_error = false;
    downloading = false;
    publishStatus();
    nexil->setConnection(socket);
    nexil->getSetupParemeters();
}

void Worker::onSocketDisconnected()
{
    // A request still waiting for its reply belongs to the visit that ended.
    nexil->cancelLastProcess();
    downloading = false;
    if (!station.has_error && !station.download_data)
        station.status = tr("Success");
    publishStatus();
    endVisit();
}

void Worker::onSocketError(QAbstractSocket::SocketError)
{
    station.status = socket->errorString();
    station.has_error = true;
    publishStatus();
    nexil->cancelLastProcess();
    socket->disconnectFromHost();
    // Without a connection no disconnection follows: the visit ends here.
    if (!visitConnected && socket->state() == QAbstractSocket::UnconnectedState)
        endVisit();
}

void Worker::endVisit()
{
    if (!visitRunning)
        return;
    visitRunning = false;
    visitConnected = false;
    emit visitEnded(station.id, station.has_error);
}

void Worker::interruptVisit()
{
    if (!visitRunning)
        return;
    // A visit already closing has its final status (done or failed); any
    // other was cut short and must not leave a step's status behind.
    if (socket->state() != QAbstractSocket::ClosingState) {
        station.status = tr("Visit interrupted by stop");
        station.has_error = true;
    }
    downloading = false;
    nexil->cancelLastProcess();
    // A connected socket announces its end: onSocketDisconnected ends the visit.
    socket->abort();
    if (visitRunning) {
        publishStatus();
        endVisit();
    }
}

void Worker::onNexilSetupParameters(SetupParameters reply)
{
    if (reply.stationCode != station.code) {
        onNexilError(0, QStringLiteral("Okunan istasyon kodu \"%1\". Okunan kod ile kayıtlı kod eşleşmiyor!")
                            .arg(reply.stationCode));
        return;
    }
    setupParameters = std::move(reply);
    if (!downloading)
        nexil->getFileInformations();
}

void Worker::onNexilFileInformations(FileInformations reply)
{
    fileInformations = std::move(reply);
    if (!downloading)
        nexil->getChannelCalibrations();
}

void Worker::onNexilChannelCalibrations(ChannelCalibrations reply)
{
    channelCalibrations = std::move(reply);
    if (!downloading)
        nexil->getChannelNames();
}

void Worker::onNexilChannelNames(ChannelNames reply)
{
    channelNames = std::move(reply);
    // Instant value i belongs to the i-th active slot; its code is that slot's.
    const QList<InstantValue> &instant = setupParameters.instantValues;
    for (int i = 0; i < channelNames.activeChannelCount; ++i) {
        if (i >= instant.size() || i >= channelNames.activeChannels.size())
            break;
        const int slot = channelNames.activeChannels.at(i);
        if (slot < 0 || slot >= channelNames.codes.size())
            continue;
        const int code = int(channelNames.codes.at(slot));
        const int entry = code - DBStation::FirstValueCode;
        if (entry >= 0 && entry < DBStation::ValueCount)
            station.values[size_t(entry)] = instant.at(i).value;
    }
    station.has_error = false;
    publishStatus();
    if (!downloading)
        startDownload();
}

QString Worker::dataFileDate(const FileInformations &fileInformations, const SetupParameters &setupParameters)
{
    // The device's memory file names the data file; a device reporting none
    // gets the date of its own clock.
    QDateTime date;
    const QList<FileInformation> &files = fileInformations.files;
    if (fileInformations.fileCount > 0 && fileInformations.fileCount <= files.size())
        date = files.at(fileInformations.fileCount - 1).date;
    else if (fileInformations.fileCount > 0 && !files.isEmpty())
        date = files.last().date;
    if (!date.isValid())
        date = setupParameters.deviceTime;
    if (!date.isValid())
        date = QDateTime::currentDateTime();
    // A file name: the same digits whatever the locale, or the next visit
    // would look for another file and start again from page 0.
    return QLocale::c().toString(date, QStringLiteral("ddMMyyyy"));
}

void Worker::startDownload()
{
    dataFilePath =
        QStringLiteral("%1/%2_%3.xml")
            .arg(station.file_path, station.file_name, dataFileDate(fileInformations, setupParameters));
    if (!station.download_data) {
        socket->disconnectFromHost();
        return;
    }
    if (station.file_path.isEmpty()) {
        onNexilError(0, tr("The station has no data directory."));
        return;
    }
    int page = 0;
    int buffer = 0;
    QDateTime time;
    if (QFile::exists(dataFilePath)) {
        FileManager fileManager;
        fileManager.getLastMemoryAddresses(&page, &buffer, &time, dataFilePath);
    }
    downloading = true;
    nexil->getData(time, page, buffer);
}

void Worker::onNexilDownloadStarted(int total)
{
    if (total < 1 || total > 10000)
        return;
    station.status = QStringLiteral("Downloading packages (Total: %1)").arg(total);
    publishStatus();
}

void Worker::onNexilDownloadProgress(int count, int total)
{
    station.status = QStringLiteral("Downloading packages %1/%2").arg(count).arg(total);
    publishStatus();
}

void Worker::onNexilDataFile(QList<DataFile> files)
{
    station.status = QStringLiteral("Saving files..");
    publishStatus();
    if (files.isEmpty())
        return;
    // The file manager makes one missing level; a new station's directory may
    // need more.
    QDir().mkpath(station.file_path);
    FileManager fileManager;
    // A stop cannot reach this thread's loop while the save waits for
    // another save's lock, so it comes as the thread's interruption.
    fileManager.setCancelCheck([] { return QThread::currentThread()->isInterruptionRequested(); });
    const int result =
        fileManager.saveFile(files.last(), dataFilePath, station.export_text, station.export_excel);
    if (result == FileManager::Cancelled) {
        // Nothing was written, so the resume point stays and the next visit
        // downloads these pages again.
        saveFailed = true;
        station.has_error = true;
        station.status = tr("Visit interrupted by stop while waiting to save %1")
                             .arg(QDir::toNativeSeparators(dataFilePath));
        publishStatus();
    } else if (result != FileManager::Saved) {
        // The file keeps its old resume point, so the next visit reads these
        // pages again; the operator must see that this one was not saved.
        saveFailed = true;
        station.has_error = true;
        station.status = tr("Could not save the data file %1").arg(QDir::toNativeSeparators(dataFilePath));
        publishStatus();
    }
}

void Worker::onNexilDownloadCompleted()
{
    downloading = false;
    if (!saveFailed) {
        station.status = QStringLiteral("Download completed.");
        publishStatus();
    }
    socket->disconnectFromHost();
}

void Worker::onNexilError(int, QString errString)
{
    station.has_error = true;
    station.status = errString;
    downloading = false;
    publishStatus();
    nexil->cancelLastProcess();
    socket->disconnectFromHost();
}

void Worker::publishStatus()
{
    station.modified = false;
    emit workerStatusChanged(station);
}
