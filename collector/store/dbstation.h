#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <array>

// One station as the program passes it around: the stored settings, the
// worker's last status and the latest instant values. A plain value record.
struct DBStation
{
    // One entry per device channel code 0x21 ... 0x37, in code order.
    static constexpr int ValueCount = 23;
    static constexpr int FirstValueCode = 0x21;

    int id = 0;
    QString title;
    QString name;
    QString code;
    int region = 0;
    int basin = 0;
    int no = 0;
    QString device_type;
    QString phone;
    QString ip = QStringLiteral("0.0.0.0");
    int port = 4380;
    int connection_period = 60;
    QDateTime last_connection_time;
    bool active = false;
    QString coordinate = QStringLiteral("0.000000,0.000000");
    bool email = false;
    QStringList emaillist;
    QString file_path;
    QString file_name;
    bool export_text = true;
    bool export_excel = true;
    bool has_error = false;
    QString status;
    bool modified = false;
    std::array<float, ValueCount> values{};
    bool download_data = true;
    // Not stored: the lease number the visit behind this status ran under on
    // a shared store (0: none), so that its status is stored only while the
    // lease is still this collector's.
    qint64 lease_epoch = 0;
};

Q_DECLARE_METATYPE(DBStation)

// Registers DBStation under the name "DBStation" for queued signals. Safe to
// call more than once.
void registerDBStation();
