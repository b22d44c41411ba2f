#pragma once

// What the web tests share: a station of a working folder's store that the
// collector visits, and tqm510 started until it says where it serves.

#include "../common/stationfixtures.h"
#include "store/databaseconnection.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>

namespace webcollector {

// A station of the store in `workDir`, its files in workDir/files/CODE; its id,
// or -1 when the store cannot be opened.
inline int addStation(const QString &workDir, const QString &code, const QString &title, quint16 port,
                      bool active = true)
{
    DatabaseConnection db;
    if (!db.connectToDatabase(QDir(workDir).filePath(QStringLiteral("data/data.db")), QString(), 0, QString(),
                              QString()))
        return -1;
    DBStation s = fullStation(code);
    s.code = code;
    s.title = title;
    s.ip = QStringLiteral("127.0.0.1");
    s.port = port;
    s.active = active;
    s.download_data = true;
    s.export_excel = false;
    s.file_path = QDir(workDir).filePath(QStringLiteral("files/") + code);
    s.file_name = code;
    const int id = DatabaseConnection::insertStation(s);
    DatabaseConnection::close();
    return id;
}

// Starts tqm510 (TQM510) from `bin` and waits until it names its port.
inline bool startServing(QProcess &process, const QString &bin, const QStringList &args, quint16 *port)
{
    process.setWorkingDirectory(bin);
    process.setProgram(qEnvironmentVariable("TQM510"));
    process.setArguments(args);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start();
    QByteArray seen;
    const QRegularExpression serving(QStringLiteral("Serving on port (\\d+)"));
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(100);
        seen += process.readAll();
        const QRegularExpressionMatch m = serving.match(QString::fromUtf8(seen));
        if (m.hasMatch()) {
            *port = quint16(m.captured(1).toUInt());
            return true;
        }
    }
    qWarning("%s", seen.constData());
    return false;
}

} // namespace webcollector
