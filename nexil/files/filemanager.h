#pragma once

#include "nexil/files/datafileappender.h"
#include "nexil/nexil_global.h"
#include "nexil/protocol/records.h"

#include <QObject>

#include <functional>

class Nexil;
class QDateTime;
class QDomDocument;
class QLockFile;

// Writes downloads into a station's XML data file and its text export, and
// reads back where the next download starts. Keeps no state between calls,
// so each worker thread can use its own FileManager on its own files.
class NEXIL_EXPORT FileManager : public QObject
{
    Q_OBJECT

public:
    enum SaveResult {
        Saved = 0,
        FileUnreadable = 1,
        WriteFailed = 2,
        // The wait for another save's lock was given up on request; nothing
        // was written.
        Cancelled = 3,
    };

    explicit FileManager(QObject *parent = nullptr);
    ~FileManager() override;

    // Appends the download to the file at path, creating it when missing.
    // Returns a SaveResult. Waits for another save of the same path to end,
    // at most lockTimeout() (then WriteFailed), or until the cancel check
    // says so (Cancelled).
    int saveFile(const DataFile &dataFile, const QString &path, bool exportText, bool exportExcel);

    // Brings the file up to what it should hold: the download's header
    // values, then those of `lines` that it lacks (by channel, type, date and
    // time), after its own. A file cut or torn keeps what it holds before
    // the damage (*damaged true). The download's own lines are not written.
    int completeFile(const DataFile &dataFile, const QList<DataFileLine> &lines, const QString &path,
                     bool exportText, bool exportExcel, int *added = nullptr, bool *damaged = nullptr);

    // Asked while saveFile waits for the lock, several times a second, on
    // the caller's thread; true gives the wait up.
    void setCancelCheck(std::function<bool()> check) { cancelCheck = std::move(check); }
    void setLockTimeout(int ms) { lockTimeoutMs = ms; }
    int lockTimeout() const { return lockTimeoutMs; }

    bool saveXML(const QDomDocument &document, const QString &path);
    void exportToText(const QDomDocument &document, const QString &path);
    void exportToExcel(const QDomDocument &document, const QString &path);
    // 0 when the file was read (page, buffer and, if found, time set);
    // 1 when it cannot be opened (page and buffer 0, time unchanged).
    int getLastMemoryAddresses(int *page, int *buffer, QDateTime *time, const QString &path);

private:
    int save(const DataFile &dataFile, const QString &path, bool exportText, bool exportExcel,
             DataFileAppender::Completion *completion);
    // 0 when the lock was taken (or cannot be made: the save then meets the
    // real error), else the SaveResult that ends the save.
    int waitForLock(QLockFile &lock, const QString &path);

    Nexil *nexil;
    std::function<bool()> cancelCheck;
    // Far longer than appending to the largest file takes.
    int lockTimeoutMs = 60000;
};
