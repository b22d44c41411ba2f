#pragma once

#include "store/resumepoints.h"
#include "store/stationvalues.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The last commit of each data file in each folder: its number (the
// values carry it, so they come back in the order they were committed)
// and the resume point the file holds once it has every committed value.
// A file whose header shows another point missed a commit's values.
class VisitCommits
{
public:
    explicit VisitCommits(const QString &connection = QString());

    bool createTable();
    // Inside the caller's transaction: the target's next commit number, with
    // the point it ends at; the commit before it in *previous (number 0:
    // none); the target's row id in *id. 0 when the store failed.
    // header: the data file's header element, kept from its first commit.
    qint64 next(const StationValues::Target &target, const ResumePoints::Point &point, const QString &holder,
                const QByteArray &header, qint64 *previousNumber, ResumePoints::Point *previous, qint64 *id);
    // The target's last commit (number 0 and id 0: none). False when the
    // store failed.
    bool last(const StationValues::Target &target, qint64 *number, ResumePoints::Point *point,
              qint64 *id = nullptr, bool forUpdate = false);

    // One data file in one folder, as the commits know it.
    struct Part
    {
        qint64 id = 0;
        QString file;
        QString destination;
        qint64 commitNo = 0;
        ResumePoints::Point point; // page and buffer only
        QByteArray header;
    };
    // Every data file and folder the station's values were committed to,
    // by file name. False when the store failed.
    bool parts(int stationId, QList<Part> *parts);

private:
    QString m_connection;
};
