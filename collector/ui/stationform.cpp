#include "stationform.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

StationCheck failure(StationCheck::Field field, const QString &message)
{
    StationCheck check;
    check.field = field;
    check.message = message;
    return check;
}

} // namespace

StationCheck checkStation(DBStation &s)
{
    s.device_type = s.device_type.simplified();
    s.title = s.title.simplified();
    s.name = s.name.simplified();
    s.code = s.code.simplified();
    s.phone = s.phone.simplified();
    s.ip = s.ip.simplified();
    s.file_path = s.file_path.simplified();
    s.file_name = s.file_name.simplified();

    if (s.device_type.isEmpty())
        return failure(
            StationCheck::DeviceType,
            QCoreApplication::translate("EditStationDialog", "Please select a correct device type!"));
    if (s.name.isEmpty())
        return failure(StationCheck::Name,
                       QCoreApplication::translate("EditStationDialog", "Please type a correct name!"));
    if (s.title.isEmpty())
        s.title = s.name;
    if (s.code.isEmpty())
        return failure(StationCheck::Code, QCoreApplication::translate(
                                               "EditStationDialog", "Please type a correct station code!"));
    if (s.ip.isEmpty())
        return failure(StationCheck::Ip, QCoreApplication::translate(
                                             "EditStationDialog", "Please type a correct IP/Host address!"));
    if (s.connection_period == 0)
        return failure(
            StationCheck::Period,
            QCoreApplication::translate("EditStationDialog",
                                        "Please select a correct time value for connection parameters!"));
    if (s.file_path.isEmpty())
        return failure(StationCheck::Path,
                       QCoreApplication::translate("EditStationDialog", "Please type a correct path!"));
    if (s.file_name.isEmpty())
        s.file_name = QStringLiteral("%1-%2").arg(s.code, s.device_type);
    return StationCheck();
}

QStringList deviceModels()
{
    return {QStringLiteral("TQA110"), QStringLiteral("TQB210"),  QStringLiteral("TQC210"),
            QStringLiteral("TQD310"), QStringLiteral("TQF110P"), QStringLiteral("TQF110C"),
            QStringLiteral("TQM510")};
}

bool isValidEmailAddress(const QString &address)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^[0-9a-zA-Z]+([0-9a-zA-Z]*[-._+])*[0-9a-zA-Z]+@[0-9a-zA-Z]+([-.][0-9a-zA-Z]+)*([0-9a-zA-Z]*[.])"
        "[a-zA-Z]{2,6}$"));
    return pattern.match(address).hasMatch();
}

QString emailAddressProblem(const QString &address, const QStringList &list)
{
    if (!isValidEmailAddress(address))
        return QCoreApplication::translate("EditStationDialog", "\"%1\" is not a valid e-mail address!")
            .arg(address);
    if (list.contains(address, Qt::CaseSensitive))
        return QCoreApplication::translate("EditStationDialog",
                                           "E-Mail address \"%1\" is already exists in this list!")
            .arg(address);
    return QString();
}

void parseCoordinate(const QString &coordinate, double *latitude, double *longitude)
{
    const QStringList parts = coordinate.split(QLatin1Char(','));
    *latitude = parts.value(0).trimmed().toDouble();
    *longitude = parts.value(1).trimmed().toDouble();
}

QString formatCoordinate(double latitude, double longitude)
{
    return QStringLiteral("%1,%2").arg(latitude, 0, 'f', 6).arg(longitude, 0, 'f', 6);
}
