#pragma once

// Station records for the collector's tests.

#include "store/dbstation.h"

#include <QDateTime>
#include <QString>

// A record with every stored field away from its default; `tag` makes the
// texts of different stations differ.
inline DBStation fullStation(const QString &tag = QStringLiteral("A"))
{
    DBStation s;
    s.title = QStringLiteral("Title %1").arg(tag);
    s.name = QStringLiteral("Name %1").arg(tag);
    s.code = QStringLiteral("CODE%1").arg(tag);
    s.region = 7;
    s.basin = 12;
    s.no = 345;
    s.device_type = QStringLiteral("TQM510");
    s.phone = QStringLiteral("+90 555 0000");
    s.ip = QStringLiteral("10.1.2.3");
    s.port = 5001;
    s.connection_period = 15;
    s.last_connection_time = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7));
    s.active = true;
    s.coordinate = QStringLiteral("39.123456,32.654321");
    s.email = true;
    s.emaillist = QStringList{QStringLiteral("a@example.org"), QStringLiteral("b@example.org")};
    s.file_path = QStringLiteral("/data/%1").arg(tag);
    s.file_name = QStringLiteral("station%1").arg(tag);
    s.export_text = false;
    s.export_excel = false;
    s.status = QStringLiteral("Download completed.");
    s.download_data = false;
    return s;
}
