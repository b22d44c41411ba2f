#pragma once

#include "nexil/nexil_global.h"
#include "nexil/protocol/records.h"

#include <QObject>

class Nexil;
class QDateTime;
class QDomDocument;

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
    };

    explicit FileManager(QObject *parent = nullptr);
    ~FileManager() override;

    // Appends the download to the file at path, creating it when missing.
    // Returns a SaveResult.
    int saveFile(const DataFile &dataFile, const QString &path, bool exportText, bool exportExcel);
    bool saveXML(const QDomDocument &document, const QString &path);
    void exportToText(const QDomDocument &document, const QString &path);
    void exportToExcel(const QDomDocument &document, const QString &path);
    // 0 when the file was read (page, buffer and, if found, time set);
    // 1 when it cannot be opened (page and buffer 0, time unchanged).
    int getLastMemoryAddresses(int *page, int *buffer, QDateTime *time, const QString &path);

private:
    Nexil *nexil;
};
