#pragma once

#include "collection/clockcheck.h"
#include "collection/collectionoptions.h"
#include "collection/retryschedule.h"
#include "collection/visitreport.h"
#include "store/dbstation.h"
#include "store/stationvalues.h"
#include "store/visitcommit.h"

#include "nexil/protocol/records.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class LeaseGuard;
class Nexil;
class VisitSlots;
class QTcpSocket;
class QTimer;

// Collects one station on a thread of its own: every connection period it
// connects to the station's modem, reads the device's configuration, checks
// that it is the registered station, takes its instant values, downloads the
// memory written since the last saved file and saves it. After every step it
// publishes a copy of its station record with a status text. A failed visit
// is tried again on the retry tiers; the device clock is checked on every
// visit and set only when the options allow it.
class Worker : public QObject
{
    Q_OBJECT
public:
    explicit Worker(DBStation station, const CollectionOptions &options = CollectionOptions(),
                    QObject *parent = nullptr);
    ~Worker() override;

    // Read-only views for whoever owns the worker's thread (tests, mostly).
    DBStation currentStation() const { return station; }
    bool isPaused() const { return paused; }
    bool isStopRequested() const { return stopRequested; }
    int currentTimerInterval() const { return timerInterval; }
    Nexil *device() const { return nexil; }
    // The interval the timer runs on now: the period, or a retry's delay.
    int activeTimerInterval() const;
    int pendingRetry() const { return retry.pendingRetry(); }
    // When the clock was last set (or tried), so that a restart keeps the
    // once-a-day rule.
    void setLastClockSet(const QDateTime &time) { clock.markSyncTried(time); }
    // On a shared store: visits only while the station's lease is held, and
    // saves only what the store confirms is still this collector's to save.
    // Set before the worker moves to its thread.
    void setLeaseGuard(std::shared_ptr<LeaseGuard> guard) { leaseGuard = std::move(guard); }
    // Shared by every worker: a visit connects only once it holds a slot.
    // Set before the worker moves to its thread.
    void setVisitSlots(std::shared_ptr<VisitSlots> shared) { visitSlots = std::move(shared); }

    // Timer period of a connection period in minutes (of minuteMs each);
    // out-of-range periods are held to one minute ... the longest a QTimer
    // can take.
    static int intervalFor(int connectionPeriodMinutes, int minuteMs = 60000);
    // The date part ("ddMMyyyy") of the data file a download of this device
    // goes into: its last memory file, else its clock, else now. The manual
    // console names its files the same way.
    static QString dataFileDate(const FileInformations &files, const SetupParameters &setup);
    // The measured values of a downloaded file, for the completeness counts.
    static SavedValues savedValues(const DataFile &file);
    // The dated values of a download as the store keeps them, each with the
    // index of its line in *lineOf.
    static QList<StationValues::Value> storedValues(const DataFile &file, QList<int> *lineOf);

signals:
    void finished();
    void workerStatusChanged(DBStation station);
    // A visit is over (disconnected, or the connection never came about);
    // follows its last workerStatusChanged.
    void visitEnded(int id, bool hasError);
    // What the visit came to; sent just before visitEnded.
    void visitReported(VisitReport report);

public slots:
    void process();
    void onStartCollecting(int id);
    void onPauseCollecting(int id);
    void onLeaseLost(int id, QString holder);
    void onStopCollecting(int id);
    void onUpdateStationData(int id);
    void onStationUpdated(DBStation station);
    void onOptionsChanged(CollectionOptions options);
    void onTimerTimeout();
    // A slot freed by another visit is now ours.
    void onVisitSlotGranted();

    void onSocketConnected();
    void onSocketDisconnected();
    void onSocketError(QAbstractSocket::SocketError socketError);

    void onNexilSetupParameters(SetupParameters setupParameters);
    void onNexilFileInformations(FileInformations fileInformations);
    void onNexilChannelCalibrations(ChannelCalibrations channelCalibrations);
    void onNexilChannelNames(ChannelNames channelNames);
    void onNexilDownloadStarted(int total);
    void onNexilDownloadProgress(int count, int total);
    void onNexilDownloadCompleted();
    void onNexilDataFile(QList<DataFile> files);
    void onNexilError(int errorCode, QString errString);
    void onNexilSetupLoaded();
    void onNexilWrongPassword();

private:
    void initNexil();
    void initSocket();
    void initTimer();
    // Connects: the visit starts now.
    void beginVisit();
    void startDownload();
    void publishStatus();
    // Announces the end of the running visit, once.
    void endVisit();
    // Ends a running visit when the worker stops, with a status that says so.
    void interruptVisit();
    bool addressed(int id) const { return id == 0 || id == station.id; }
    // Compares the device clock with the host's; true when a clock setting
    // was sent and the visit waits for its answer.
    bool checkClock();
    // After the visit: the next try on the tiers or the period, its status.
    void scheduleNext(bool failed);
    void fail(VisitReport::Result result, const QString &text);
    // The lease was lost or cannot be confirmed: the visit ends without
    // saving, and the holder downloads the data.
    void dropVisit(const QString &why);
    // False (and the visit dropped) when the visit may not save its data.
    bool mayKeepVisiting();
    // Ends the visit with a failure the status tells.
    void abortVisit(VisitReport::Result result, const QString &text);
    // The store failed: the visit ends with nothing saved and says why.
    void storeFailed(const QString &text);
    // Which data file in which folder the visit's values belong to.
    StationValues::Target commitTarget() const;
    // Writes what the commit took as new into the data file, completing it
    // first from the store where it missed earlier commits.
    void saveCommitted(const DataFile &fresh, const VisitCommit::Outcome &outcome,
                       const StationValues::Target &target);
    static void crashIfAsked(const char *step);
    static QString lostText(const QString &holder);

    DBStation station;
    bool paused = true;
    bool stopRequested = false;
    int timerInterval = 0;
    QTimer *timer = nullptr;
    QTcpSocket *socket = nullptr;
    Nexil *nexil = nullptr;
    // The data file's header element, for the store, and the file it is of.
    QString headerOf;
    QByteArray fileHeader;
    SetupParameters setupParameters;
    FileInformations fileInformations;
    ChannelCalibrations channelCalibrations;
    ChannelNames channelNames;
    QString dataFilePath;
    bool downloading = false;
    // The download of this visit could not be written; its status must stay.
    bool saveFailed = false;
    // The socket of the current visit reached the connected state.
    bool visitConnected = false;
    // From the start of a visit until its end is announced.
    bool visitRunning = false;

    CollectionOptions options;
    RetrySchedule retry;
    ClockCheck clock;
    VisitReport report;
    QElapsedTimer visitTime;
    // A clock setting was sent and its answer is awaited.
    bool settingClock = false;
    // The clock was set; the next setup read tells what the device kept.
    bool readingBackClock = false;
    // The last status published, so that a repeat is not published again.
    bool published = false;
    QString publishedStatus;
    bool publishedError = false;
    // Pages of the running download.
    int downloadedPages = 0;
    std::shared_ptr<LeaseGuard> leaseGuard;
    // The lease number the running visit holds (0: none).
    qint64 visitEpoch = 0;
    // A single visit asked for by the operator.
    bool singleVisit = false;
    std::shared_ptr<VisitSlots> visitSlots;
    // In line for a slot for a single visit.
    bool waitingSingle = false;
};
