#include "worker.h"

#include "collectorlogging.h"
#include "leaseguard.h"
#include "linetext.h"
#include "saveturns.h"
#include "stationcompleteness.h"
#include "stationexport.h"
#include "store/pathpart.h"
#include "store/readablefiles.h"
#include "store/stationsettings.h"
#include "store/workfolder.h"
#include "visitslots.h"
#include "visitstore.h"

#include <QLocale>

#include "nexil/configuration/configsnapshot.h"
#include "nexil/excel/reportrules.h"
#include "nexil/files/datafilehead.h"
#include "nexil/files/datafilewriter.h"
#include "nexil/files/filemanager.h"
#include "nexil/protocol/nexil.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <csignal>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif
#include <limits>

namespace {

// How much nicer the workers' threads are than the main thread.
constexpr int workerNice = 5;

// Bytes in one memory page of the device.
constexpr qint64 pageBytes = 512;

} // namespace

Worker::Worker(DBStation station, const CollectionOptions &options, QObject *parent)
    : QObject(parent), station(std::move(station)), options(options), retry(options.retryMinutes)
{
    registerNexilMetaTypes();
    registerDBStation();
    qRegisterMetaType<VisitReport>("VisitReport");
    qRegisterMetaType<CollectionOptions>("CollectionOptions");
    clock.setLimitSeconds(options.clockDriftWarnSeconds);
    clock.setSyncEnabled(options.clockSync);
    paused = true;
    stopRequested = false;
    initNexil();
    initSocket();
    initTimer();
    downloading = false;
}

Worker::~Worker() = default;

int Worker::intervalFor(int connectionPeriodMinutes, int minuteMs)
{
    minuteMs = qMax(1, minuteMs);
    // A period of 0 would fire the timer on every pass of the loop.
    return qBound(1, connectionPeriodMinutes, std::numeric_limits<int>::max() / minuteMs) * minuteMs;
}

int Worker::activeTimerInterval() const
{
    return timer->interval();
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
    connect(nexil, &Nexil::setupParametersHaveBeenLoaded, this, &Worker::onNexilSetupLoaded);
    connect(nexil, &Nexil::wrongPassword, this, &Worker::onNexilWrongPassword);
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
    timerInterval = intervalFor(station.connection_period, options.minuteMs);
    timer = new QTimer(this);
    timer->setInterval(timerInterval);
    connect(timer, &QTimer::timeout, this, &Worker::onTimerTimeout);
    timer->start();
}

void Worker::process()
{
#ifdef Q_OS_LINUX
    // Hundreds of workers busy at once must not starve the main loop (the
    // window, the statuses, the store's hand-overs): they yield to it. A
    // thread's nice value is its own on Linux.
    const id_t tid = id_t(syscall(SYS_gettid));
    errno = 0;
    const int inherited = getpriority(PRIO_PROCESS, tid);
    if (errno == 0)
        setpriority(PRIO_PROCESS, tid, qMin(19, inherited + workerNice));
#endif
    // Sleeps in the event dispatcher until something arrives: a stop request
    // is a queued call, which wakes it like any other event.
    QThread *thread = QThread::currentThread();
    while (!stopRequested && !thread->isInterruptionRequested())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    stopRequested = true;
    paused = true;
    interruptVisit();
    // Whatever slot or place in line is left goes to the others.
    if (visitSlots)
        visitSlots->cancel(this);
    // Stopped while waiting to try again: the retry announced will not come.
    if (!visitRunning && retry.pendingRetry() > 0) {
        station.status = tr("Collection stopped before the retry: %1").arg(report.reason);
        station.has_error = true;
        publishStatus();
    }
    emit finished();
}

void Worker::onStartCollecting(int id)
{
    if (!addressed(id))
        return;
    paused = false;
    // The next visit a full period after this one, not at the next tick of
    // a timer that has run since the worker began: a station taken over
    // from another collector would otherwise be visited twice in a period.
    timer->start(timerInterval);
    onTimerTimeout();
}

void Worker::onPauseCollecting(int id)
{
    if (addressed(id))
        paused = true;
}

void Worker::onLeaseLost(int id, QString holder)
{
    if (!addressed(id))
        return;
    paused = true;
    if (visitRunning) {
        dropVisit(lostText(holder));
        return;
    }
    // Shown here only: the store keeps the holder's statuses.
    station.status = holder.isEmpty()
                         ? tr("Lease expired: the station store cannot be reached")
                         : tr("Lease lost: station now held by %1").arg(LeaseGuard::printable(holder));
    publishStatus();
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
    // The controller asked the store first: nobody else holds the station.
    singleVisit = true;
    onTimerTimeout();
    singleVisit = false;
    paused = wasPaused;
    station.active = wasActive;
}

void Worker::onStationUpdated(DBStation updated)
{
    if (updated.id != 0 && updated.id != station.id)
        return;
    station = std::move(updated);
    const int interval = intervalFor(station.connection_period, options.minuteMs);
    if (interval != timerInterval) {
        timerInterval = interval;
        // A retry keeps its delay; the new period follows it.
        if (retry.pendingRetry() == 0)
            timer->setInterval(timerInterval);
    }
}

void Worker::onOptionsChanged(CollectionOptions changed)
{
    options = std::move(changed);
    retry.setTiers(options.retryMinutes);
    clock.setLimitSeconds(options.clockDriftWarnSeconds);
    clock.setSyncEnabled(options.clockSync);
    timerInterval = intervalFor(station.connection_period, options.minuteMs);
    if (retry.pendingRetry() == 0)
        timer->setInterval(timerInterval);
}

void Worker::onTimerTimeout()
{
    if (paused || !station.active)
        return;
    // Only an idle socket may start a visit; anything else is one running.
    if (socket->state() != QAbstractSocket::UnconnectedState)
        return;
    // A lease lost or expired: its new holder visits; the keeper pauses us.
    if (leaseGuard && !singleVisit && !leaseGuard->mayVisit(station.id))
        return;
    // Waiting for a slot is no failure: the visit begins once one is ours.
    if (visitSlots && !visitSlots->acquire(this)) {
        waitingSingle = waitingSingle || singleVisit;
        return;
    }
    beginVisit();
}

void Worker::onVisitSlotGranted()
{
    const bool single = waitingSingle;
    waitingSingle = false;
    // Paused, stopped or made inactive while in line, or a visit already
    // running (a tick raced the grant): the slot goes to the next in line.
    if (stopRequested || (!single && (paused || !station.active)) ||
        socket->state() != QAbstractSocket::UnconnectedState || visitRunning) {
        if (!visitRunning)
            visitSlots->release(this);
        return;
    }
    // Still ours (a visit that took it at a tick may have given it back).
    if (visitSlots->acquire(this))
        beginVisit();
}

void Worker::beginVisit()
{
    visitEpoch = leaseGuard ? leaseGuard->epoch(station.id) : 0;
    station.has_error = false;
    saveFailed = false;
    settingClock = false;
    downloadedPages = 0;
    visitRunning = true;
    report = VisitReport();
    report.id = station.id;
    report.wasRetry = retry.pendingRetry() > 0;
    visitTime.start();
    readingBackClock = false;
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
    fail(visitConnected ? VisitReport::DeviceError : VisitReport::NoConnection, socket->errorString());
    station.status = socket->errorString();
    station.has_error = true;
    publishStatus();
    nexil->cancelLastProcess();
    socket->disconnectFromHost();
    // Without a connection no disconnection follows: the visit ends here.
    if (!visitConnected && socket->state() == QAbstractSocket::UnconnectedState)
        endVisit();
}

void Worker::fail(VisitReport::Result result, const QString &text)
{
    // The first failure of a visit is its reason; what follows is its echo.
    if (report.result != VisitReport::Success)
        return;
    report.result = result;
    report.reason = text;
}

void Worker::endVisit()
{
    if (!visitRunning)
        return;
    visitRunning = false;
    visitConnected = false;
    if (visitSlots)
        visitSlots->release(this);
    settingClock = false;
    if (station.has_error)
        fail(VisitReport::DeviceError, station.status);
    report.id = station.id;
    report.ended = QDateTime::currentDateTime();
    report.durationMs = visitTime.isValid() ? visitTime.elapsed() : 0;
    report.bytes = downloadedPages * pageBytes;
    if (report.result != VisitReport::Interrupted && !stopRequested) {
        if (!report.failed() && report.driftBeyondLimit) {
            // The visit went well, but the operator must see the clock.
            station.status = tr("%1 (device clock off by %2 s)").arg(station.status).arg(report.driftSeconds);
            publishStatus();
        }
        scheduleNext(report.failed());
    }
    emit visitReported(report);
    emit visitEnded(station.id, station.has_error);
}

void Worker::scheduleNext(bool failed)
{
    // A single visit asked for while collection is paused has no follow-up.
    if (failed && paused)
        return;
    if (!failed) {
        retry.onSuccess();
        if (timer->interval() != timerInterval)
            timer->start(timerInterval);
        return;
    }
    const int periodMinutes = timerInterval / qMax(1, options.minuteMs);
    const int minutes = retry.onFailure(periodMinutes);
    report.nextRetry = retry.pendingRetry();
    report.nextTryMinutes = minutes;
    if (report.nextRetry == 0) {
        if (timer->interval() != timerInterval)
            timer->start(timerInterval);
        return;
    }
    station.status = tr("Retry %1 of %2 in %3 min: %4")
                         .arg(report.nextRetry)
                         .arg(retry.tierCount())
                         .arg(minutes)
                         .arg(report.reason);
    publishStatus();
    timer->start(intervalFor(minutes, options.minuteMs));
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
    report.result = VisitReport::Interrupted;
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
        const QString text =
            QStringLiteral("Okunan istasyon kodu \"%1\". Okunan kod ile kayıtlı kod eşleşmiyor!")
                .arg(reply.stationCode);
        fail(VisitReport::WrongStation, text);
        onNexilError(0, text);
        return;
    }
    setupParameters = std::move(reply);
    if (readingBackClock) {
        readingBackClock = false;
        ConfigSnapshot back;
        back.setSetup(setupParameters);
        report.clockUpload.insert(QStringLiteral("readBack"), back.toJson());
    }
    if (downloading || settingClock)
        return;
    if (!checkClock())
        nexil->getFileInformations();
}

bool Worker::checkClock()
{
    if (!setupParameters.deviceTime.isValid())
        return false;
    const QDateTime host = QDateTime::currentDateTime();
    const ClockCheck::Verdict v = clock.evaluate(setupParameters.deviceTime, host);
    report.driftKnown = true;
    report.driftSeconds = v.driftSeconds;
    report.driftBeyondLimit = v.beyondLimit;
    if (!v.syncNow) {
        if (v.beyondLimit) {
            station.status =
                tr("Device clock off by %1 s (limit %2 s)").arg(v.driftSeconds).arg(clock.limitSeconds());
            publishStatus();
        }
        return false;
    }
    // Once a day at most, successful or not: a wrong password must not be
    // tried at every visit.
    clock.markSyncTried(host);
    // Kept in the store with the visit: a restart must not try again today.
    report.clockAttempt = host;
    settingClock = true;
    station.status = tr("Setting the device clock to the host time (off by %1 s)").arg(v.driftSeconds);
    publishStatus();
    // The device's own setup goes back unchanged; the upload carries the
    // host's time.
    SetupParameters setup = setupParameters;
    setup.keepOldSetups = true;
    ConfigSnapshot meant;
    meant.setSetup(setup);
    report.clockUpload = QJsonObject{{"meant", meant.toJson()}, {"answer", "unanswered"}};
    nexil->sendSetupParameters(options.devicePassword, setup);
    return true;
}

void Worker::onNexilSetupLoaded()
{
    if (!settingClock)
        return;
    settingClock = false;
    report.clockSet = true;
    report.clockUpload.insert(QStringLiteral("answer"), QStringLiteral("acknowledged"));
    readingBackClock = true;
    station.status = tr("Device clock set to the host time");
    publishStatus();
    // Read again: the drift now measured is the one kept.
    nexil->getSetupParemeters();
}

void Worker::onNexilWrongPassword()
{
    if (!settingClock)
        return;
    settingClock = false;
    report.clockUpload.insert(QStringLiteral("answer"), QStringLiteral("refused"));
    station.status = tr("Device clock not set: wrong device password");
    publishStatus();
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
    ConfigSnapshot read;
    read.setSetup(setupParameters);
    read.setCalibrations(channelCalibrations);
    read.setNames(channelNames);
    report.configuration = read.toJson();
    report.deviceType = setupParameters.header.deviceTypeName;
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
        if (entry == DBStation::ValueCount - 1)
            report.memoryFill = double(instant.at(i).value);
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
    // The stored name may hold anything: it names one file in the folder or none.
    const QString name = PathPart::fileName(station.file_name);
    dataFilePath = QStringLiteral("%1/%2_%3.xml")
                       .arg(WorkFolder::stationDir(station.file_path), name,
                            dataFileDate(fileInformations, setupParameters));
    if (!station.download_data) {
        socket->disconnectFromHost();
        return;
    }
    if (station.file_path.isEmpty()) {
        onNexilError(0, tr("The station has no data directory."));
        return;
    }
    if (name.isEmpty()) {
        onNexilError(
            0,
            tr("The station's file name cannot name a file: %1").arg(LineText::oneLine(station.file_name)));
        return;
    }
    int page = 0;
    int buffer = 0;
    QDateTime time;
    // The store's point is where the committed values end, whoever
    // committed them; this collector's own file may be behind it.
    ResumePoints::Point stored;
    switch (VisitStore::instance()->resumePoint(station.id, QFileInfo(dataFilePath).fileName(), &stored)) {
    case VisitStore::Answer::Known:
        page = stored.page;
        buffer = stored.buffer;
        time = stored.timeBase;
        break;
    case VisitStore::Answer::None:
        // A file from before its values were committed: where it ends.
        if (QFile::exists(dataFilePath)) {
            FileManager fileManager;
            fileManager.getLastMemoryAddresses(&page, &buffer, &time, dataFilePath);
        }
        break;
    case VisitStore::Answer::NoAnswer:
        // Downloading from a guess could only save values twice or not at all.
        storeFailed(tr("The station store does not answer: nothing was downloaded"));
        return;
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
    if (!mayKeepVisiting())
        return;
    downloadedPages = count;
    station.status = QStringLiteral("Downloading packages %1/%2").arg(count).arg(total);
    publishStatus();
}

SavedValues Worker::savedValues(const DataFile &file)
{
    SavedValues saved;
    for (int i = 0; i < file.channelCount && i < file.channelIntervals.size(); ++i)
        if (file.channelIntervals.at(i) > 0)
            saved.steps.insert(i, file.channelIntervals.at(i));
    saved.values.reserve(file.lines.size());
    for (const DataLine &line : file.lines) {
        if (line.valueType != ValueINS || !line.dateTime.isValid())
            continue;
        // The wall-clock time as written into the file, whatever the zone.
        const QDate d = line.dateTime.date();
        const QTime t = line.dateTime.time();
        saved.values.append({line.channel, d.toJulianDay() * 1440 + t.hour() * 60 + t.minute(),
                             report::isSensorError(double(line.value))});
    }
    return saved;
}

StationValues::Target Worker::commitTarget() const
{
    StationValues::Target target;
    target.stationId = station.id;
    const QFileInfo file(dataFilePath);
    target.file = file.fileName();
    target.destination = ReadableFiles::destinationOf(file.path());
    return target;
}

QList<StationValues::Value> Worker::storedValues(const DataFile &file, QList<int> *lineOf)
{
    // The channels of a file are the device's active slots, in order.
    QList<int> active;
    for (int slot = 0; slot < file.channelFlags.size(); ++slot)
        if (file.channelFlags.at(slot) != 0)
            active << slot;
    QList<StationValues::Value> values;
    values.reserve(file.lines.size());
    lineOf->clear();
    for (int i = 0; i < file.lines.size(); ++i) {
        const DataLine &line = file.lines.at(i);
        // A value without its time has no place in the store or a file.
        if (!line.dateTime.isValid())
            continue;
        const DataFileLine text = DataFormat::lineFromDataLine(line);
        StationValues::Value v;
        v.channel = line.channel;
        v.slot = line.channel >= 0 && line.channel < active.size() ? active.at(line.channel) : line.channel;
        v.type = text.dataType;
        v.at = text.date + QLatin1Char(' ') + text.time;
        v.value = text.value;
        v.setTime = line.setTime;
        v.code = file.channelCodes.size() > line.channel && line.channel >= 0
                     ? QString::number(int(file.channelCodes.at(line.channel)))
                     : QString();
        v.unit = file.channelUnits.value(line.channel);
        // A sensor error is a missing value, checked or not.
        if (report::isSensorError(double(line.value)))
            v.flag = 9;
        values.append(v);
        lineOf->append(i);
    }
    return values;
}

void Worker::crashIfAsked(const char *step)
{
    // Tests prove that no value is lost or doubled by a collector killed (or
    // frozen) at each step of a save.
    // "stop-STEP" freezes the collector there instead, until SIGCONT.
    static const QByteArray asked = qgetenv("TQM510_KILL_AT");
    if (asked.isEmpty())
        return;
    if (asked == step)
        ::raise(SIGKILL);
    else if (asked == QByteArray("stop-") + step)
        ::raise(SIGSTOP);
}

void Worker::storeFailed(const QString &text)
{
    saveFailed = true;
    abortVisit(VisitReport::SaveError, text);
}

void Worker::abortVisit(VisitReport::Result result, const QString &text)
{
    fail(result, text);
    station.has_error = true;
    station.status = text;
    downloading = false;
    publishStatus();
    nexil->cancelLastProcess();
    socket->disconnectFromHost();
}

void Worker::onNexilDataFile(QList<DataFile> files)
{
    station.status = QStringLiteral("Saving files..");
    publishStatus();
    if (files.isEmpty())
        return;
    // Known lost here already: the store would refuse the commit.
    if (!mayKeepVisiting())
        return;
    // The file manager makes one missing level; a new station's directory may
    // need more.
    QDir().mkpath(QFileInfo(dataFilePath).path());
    const DataFile &download = files.last();

    // The values first: once the store has them with their resume point,
    // nothing can download them again, and the files follow from them.
    VisitCommit commit;
    commit.target = commitTarget();
    commit.point.page = download.memoryPage;
    commit.point.buffer = download.memoryBuffer;
    commit.point.timeBase = download.timeBase;
    commit.holder = leaseGuard ? leaseGuard->holder() : QString();
    commit.epoch = visitEpoch;
    commit.leaseSeconds = leaseGuard ? leaseGuard->leaseSeconds() : 0;
    QList<int> lineOf;
    commit.values = storedValues(download, &lineOf);
    // Kept by the store from the file's first commit only: made once a file.
    if (headerOf != dataFilePath) {
        headerOf = dataFilePath;
        fileHeader = DataFileWriter::headerElement(DataFormat::headerFromDataFile(download, *nexil));
    }
    commit.header = fileHeader;
    const VisitCommit::Outcome outcome = VisitStore::instance()->commit(commit);
    if (outcome.result == VisitCommit::Lost) {
        dropVisit(lostText(outcome.holderNow));
        return;
    }
    if (outcome.result == VisitCommit::Failed) {
        storeFailed(tr("Nothing saved: the station store did not take the values (%1)")
                        .arg(LineText::oneLine(outcome.error)));
        return;
    }
    crashIfAsked("after-commit");
    report.valueAlarms += outcome.alarms.size();
    for (const ChannelChecks::Alarm &a : qAsConst(outcome.alarms))
        qCInfo(lcWorker, "station %d: %s alarm %s on slot %d at %s: %g (limit %g)", station.id,
               qUtf8Printable(ValueAlarms::kindName(a.event.kind)), a.event.raised ? "raised" : "cleared",
               a.slot,
               qUtf8Printable(
                   QartodFlags::dateTimeOf(a.event.minute).toString(QStringLiteral("yyyy-MM-dd hh:mm"))),
               a.event.value, a.event.limit);

    // Only what the store took as new goes into the files.
    DataFile fresh = download;
    fresh.lines.clear();
    for (int i = 0; i < commit.values.size(); ++i)
        if (outcome.inserted.value(i))
            fresh.lines.append(download.lines.at(lineOf.at(i)));
    saveCommitted(fresh, outcome, commit.target);
}

void Worker::saveCommitted(const DataFile &fresh, const VisitCommit::Outcome &outcome,
                           const StationValues::Target &target)
{
    const QFileInfo before(dataFilePath);
    const bool existed = before.exists();
    const qint64 sizeBefore = existed ? before.size() : -1;
    const qint64 modifiedBefore = existed ? before.lastModified().toMSecsSinceEpoch() : 0;

    // A file that missed a commit (a crash after it), is cut or torn, or was
    // never written from the store is completed: what it lacks is written,
    // what it holds is not written again.
    const DataFileHead head = DataFileHead::read(dataFilePath);
    const bool fromStore =
        outcome.previousNumber > 0 && (!head.exists || !head.whole || head.page != outcome.previous.page ||
                                       head.buffer != outcome.previous.buffer);
    const bool completing = fromStore || (head.exists && (!head.whole || outcome.previousNumber == 0));
    QList<DataFileLine> lines;
    if (fromStore) {
        QList<StationValues::Value> committed;
        if (!VisitStore::instance()->values(target, &committed)) {
            // Committed all the same: the next visit completes the file.
            storeFailed(tr("The values are stored, but the station store did not give them back for the data "
                           "file %1; it is completed at the next visit")
                            .arg(QDir::toNativeSeparators(dataFilePath)));
            return;
        }
        for (const StationValues::Value &v : qAsConst(committed))
            lines.append({QString::number(v.channel), v.type, v.at.left(10), v.at.mid(11),
                          v.setTime ? QStringLiteral("true") : QStringLiteral("false"), v.value});
    } else if (completing) {
        for (const DataLine &line : fresh.lines)
            lines.append(DataFormat::lineFromDataLine(line));
    }

    FileManager fileManager;
    // A stop cannot reach this thread's loop while the save waits for its
    // turn or another save's lock, so it comes as the thread's interruption.
    const auto stopped = [] { return QThread::currentThread()->isInterruptionRequested(); };
    fileManager.setCancelCheck(stopped);
    // The file and its exports in a save turn; the store's writes wait outside.
    int result = FileManager::Cancelled;
    int added = 0;
    bool damaged = false;
    if (SaveTurns::shared().take(stopped)) {
        result = completing
                     ? fileManager.completeFile(fresh, lines, dataFilePath, station.export_text,
                                                station.export_excel, &added, &damaged)
                     : fileManager.saveFile(fresh, dataFilePath, station.export_text, station.export_excel);
        crashIfAsked("after-file");
        const QStringList formats =
            result == FileManager::Saved ? StationSettings::exportFormats(station.id) : QStringList();
        if (!formats.isEmpty()) {
            QStringList errors;
            StationExport::write(dataFilePath, formats,
                                 StationSettings::utcOffsetMinutes(station.id, options.utcOffset),
                                 StationSettings::csvLocale(station.id), &errors);
            // Like the text and Excel exports: the visit stands, the data file is saved.
            for (const QString &e : qAsConst(errors))
                qCWarning(lcWorker, "station %d: %s", station.id, qUtf8Printable(e));
        }
        SaveTurns::shared().give();
    }
    if (result == FileManager::Saved && (damaged || (completing && added > fresh.lines.size())))
        qCWarning(lcWorker, "station %d: %s %s: %d values written from the station store", station.id,
                  damaged ? "the data file was cut or torn; its intact part is kept," : "completed",
                  qUtf8Printable(QDir::toNativeSeparators(dataFilePath)), added);
    if (result == FileManager::Saved && completing && !fromStore && head.whole &&
        outcome.previousNumber == 0 && fresh.lines.size() > added)
        qCInfo(lcWorker, "station %d: %d values already in %s were not written again", station.id,
               int(fresh.lines.size()) - added, qUtf8Printable(QDir::toNativeSeparators(dataFilePath)));
    if (result == FileManager::Saved) {
        report.records = int(fresh.lines.size());
        report.saved = savedValues(fresh);
        report.saved.file = dataFilePath;
        report.saved.sizeBefore = sizeBefore;
        report.saved.modifiedBefore = modifiedBefore;
        const QFileInfo after(dataFilePath);
        if (!existed) {
            report.saved.newestOther = 0;
            const QString prefix = after.completeBaseName().section(QLatin1Char('_'), 0, -2);
            const QStringList others =
                StationCompleteness::stationFiles(after.path(), prefix, QDateTime::fromMSecsSinceEpoch(0));
            for (const QString &other : others) {
                const QFileInfo info(other);
                if (info != after)
                    report.saved.newestOther =
                        qMax(report.saved.newestOther, info.lastModified().toMSecsSinceEpoch());
            }
        }
        report.saved.sizeAfter = after.size();
        report.saved.modifiedAfter = after.lastModified().toMSecsSinceEpoch();
    }
    if (result == FileManager::Cancelled) {
        report.result = VisitReport::Interrupted;
        // The values are committed: the next visit completes the file.
        saveFailed = true;
        station.has_error = true;
        station.status = tr("Visit interrupted by stop while waiting to save %1")
                             .arg(QDir::toNativeSeparators(dataFilePath));
        publishStatus();
    } else if (result != FileManager::Saved) {
        // The values are committed; the file is completed from the store at
        // the next visit. The operator must see that this one failed.
        saveFailed = true;
        station.has_error = true;
        station.status = tr("Could not save the data file %1").arg(QDir::toNativeSeparators(dataFilePath));
        fail(VisitReport::SaveError, station.status);
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
    abortVisit(VisitReport::DeviceError, errString);
}

bool Worker::mayKeepVisiting()
{
    if (!leaseGuard || visitEpoch == 0 || leaseGuard->mayVisit(station.id))
        return true;
    // Dropped once the device's reply is handled: the library is still in it.
    QMetaObject::invokeMethod(
        this, [this] { dropVisit(lostText(leaseGuard->lostTo(station.id))); }, Qt::QueuedConnection);
    return false;
}

QString Worker::lostText(const QString &holder)
{
    return holder.isEmpty() ? tr("Visit dropped: the lease on the station expired")
                            : tr("Visit dropped: station now held by %1").arg(LeaseGuard::printable(holder));
}

void Worker::dropVisit(const QString &why)
{
    if (!visitRunning)
        return;
    qCInfo(lcWorker, "station %d: %s", station.id, qUtf8Printable(why));
    report.result = VisitReport::Interrupted;
    report.reason = why;
    downloading = false;
    saveFailed = true;
    station.has_error = true;
    station.status = why;
    publishStatus();
    nexil->cancelLastProcess();
    // Nothing of it was saved: the memory stays for the lease's holder.
    socket->abort();
    endVisit();
}

void Worker::publishStatus()
{
    // The same status again (the end of a visit repeats its last step) is
    // not news.
    if (published && station.status == publishedStatus && station.has_error == publishedError &&
        station.lease_epoch == visitEpoch)
        return;
    published = true;
    publishedStatus = station.status;
    publishedError = station.has_error;
    station.modified = false;
    station.lease_epoch = visitEpoch;
    emit workerStatusChanged(station);
}
