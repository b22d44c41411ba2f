#include "stationform.h"

#include "store/stationrules.h"

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

StationCheck checkStation(DBStation &s, const DBStation *loaded, const QList<DBStation> &others)
{
    s.device_type = s.device_type.simplified();
    s.title = s.title.simplified();
    s.name = s.name.simplified();
    s.code = s.code.simplified();
    s.phone = s.phone.simplified();
    s.ip = s.ip.simplified();
    s.file_path = s.file_path.simplified();
    s.file_name = s.file_name.simplified();

    // A field an edit left as loaded is taken as it is.
    const auto touched = [loaded](const auto &now, const auto &was) { return !loaded || now != was; };

    if (s.device_type.isEmpty() && touched(s.device_type, loaded ? loaded->device_type : QString()))
        return failure(
            StationCheck::DeviceType,
            QCoreApplication::translate("EditStationDialog", "Please select a correct device type!"));
    if (s.name.isEmpty() && touched(s.name, loaded ? loaded->name : QString()))
        return failure(StationCheck::Name,
                       QCoreApplication::translate("EditStationDialog", "Please type a correct name!"));
    if (s.title.isEmpty())
        s.title = s.name;
    if (s.code.isEmpty() && touched(s.code, loaded ? loaded->code : QString()))
        return failure(StationCheck::Code, QCoreApplication::translate(
                                               "EditStationDialog", "Please type a correct station code!"));
    if (!s.code.isEmpty() && touched(s.code, loaded ? loaded->code : QString())) {
        QString problem = StationRules::codeProblem(s.code);
        if (problem.isEmpty())
            problem = StationRules::codeTakenProblem(s.code, s.id, others);
        if (!problem.isEmpty())
            return failure(StationCheck::Code, problem);
    }
    if (s.ip.isEmpty() && touched(s.ip, loaded ? loaded->ip : QString()))
        return failure(StationCheck::Ip, QCoreApplication::translate(
                                             "EditStationDialog", "Please type a correct IP/Host address!"));
    if (!s.ip.isEmpty() && touched(s.ip, loaded ? loaded->ip : QString())) {
        const QString problem = StationRules::hostProblem(s.ip);
        // "0.0.0.0" is kept for a station whose address comes later.
        if (!problem.isEmpty() && s.ip != QLatin1String("0.0.0.0"))
            return failure(StationCheck::Ip, problem);
    }
    if (touched(s.port, loaded ? loaded->port : 0)) {
        const QString problem = StationRules::portProblem(s.port);
        if (!problem.isEmpty())
            return failure(StationCheck::Port, problem);
    }
    if (s.connection_period == 0 && touched(s.connection_period, loaded ? loaded->connection_period : -1))
        return failure(
            StationCheck::Period,
            QCoreApplication::translate("EditStationDialog",
                                        "Please select a correct time value for connection parameters!"));
    if (s.file_path.isEmpty() && touched(s.file_path, loaded ? loaded->file_path : QString()))
        return failure(StationCheck::Path,
                       QCoreApplication::translate("EditStationDialog", "Please type a correct path!"));
    if (s.file_name.isEmpty())
        s.file_name = s.device_type.isEmpty() ? s.code : QStringLiteral("%1-%2").arg(s.code, s.device_type);
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
