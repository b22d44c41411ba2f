#include "stationtablemodel.h"

#include "databaseconnection.h"
#include "workfolder.h"

#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlQuery>

namespace {

QString settingsFile()
{
    return WorkFolder::current().settingsFile();
}

const char *const headers[StationTableModel::ColumnCount] = {
    QT_TRANSLATE_NOOP("StationTableModel", "#ID"),
    QT_TRANSLATE_NOOP("StationTableModel", "Title"),
    QT_TRANSLATE_NOOP("StationTableModel", "Station Name"),
    QT_TRANSLATE_NOOP("StationTableModel", "Station Code"),
    QT_TRANSLATE_NOOP("StationTableModel", "Region"),
    QT_TRANSLATE_NOOP("StationTableModel", "Basin"),
    QT_TRANSLATE_NOOP("StationTableModel", "Station No"),
    QT_TRANSLATE_NOOP("StationTableModel", "Device Type"),
    QT_TRANSLATE_NOOP("StationTableModel", "Phone"),
    QT_TRANSLATE_NOOP("StationTableModel", "IP"),
    QT_TRANSLATE_NOOP("StationTableModel", "Port"),
    QT_TRANSLATE_NOOP("StationTableModel", "Connection Period"),
    QT_TRANSLATE_NOOP("StationTableModel", "Last Connection Time"),
    QT_TRANSLATE_NOOP("StationTableModel", "Active"),
    QT_TRANSLATE_NOOP("StationTableModel", "Coordinate"),
    QT_TRANSLATE_NOOP("StationTableModel", "E-Mail Notification"),
    QT_TRANSLATE_NOOP("StationTableModel", "E-Mail List"),
    QT_TRANSLATE_NOOP("StationTableModel", "Download Data"),
    QT_TRANSLATE_NOOP("StationTableModel", "Directory"),
    QT_TRANSLATE_NOOP("StationTableModel", "File Name"),
    QT_TRANSLATE_NOOP("StationTableModel", "Text Export"),
    QT_TRANSLATE_NOOP("StationTableModel", "Excel Export"),
    QT_TRANSLATE_NOOP("StationTableModel", "Air Humudiry"),
    QT_TRANSLATE_NOOP("StationTableModel", "Air Pressure"),
    QT_TRANSLATE_NOOP("StationTableModel", "Air Temperature"),
    QT_TRANSLATE_NOOP("StationTableModel", "Direct Radiation"),
    QT_TRANSLATE_NOOP("StationTableModel", "Electrical Conductivity"),
    QT_TRANSLATE_NOOP("StationTableModel", "ETo"),
    QT_TRANSLATE_NOOP("StationTableModel", "Evapotranspiration"),
    QT_TRANSLATE_NOOP("StationTableModel", "Global Radiation"),
    QT_TRANSLATE_NOOP("StationTableModel", "Leaf Wetness"),
    QT_TRANSLATE_NOOP("StationTableModel", "Potential Hydrogen"),
    QT_TRANSLATE_NOOP("StationTableModel", "Precipitation"),
    QT_TRANSLATE_NOOP("StationTableModel", "Sunshine Duration"),
    QT_TRANSLATE_NOOP("StationTableModel", "Soil Moisture"),
    QT_TRANSLATE_NOOP("StationTableModel", "Snow Depth"),
    QT_TRANSLATE_NOOP("StationTableModel", "Water Amount"),
    QT_TRANSLATE_NOOP("StationTableModel", "Water Flow"),
    QT_TRANSLATE_NOOP("StationTableModel", "Water Level"),
    QT_TRANSLATE_NOOP("StationTableModel", "Water Speed"),
    QT_TRANSLATE_NOOP("StationTableModel", "Water Temperature"),
    QT_TRANSLATE_NOOP("StationTableModel", "Water Capacity"),
    QT_TRANSLATE_NOOP("StationTableModel", "Wind Direction"),
    QT_TRANSLATE_NOOP("StationTableModel", "Wind Speed"),
    QT_TRANSLATE_NOOP("StationTableModel", "Doluluk Oranı"),
    QT_TRANSLATE_NOOP("StationTableModel", "Status"),
};

const char *const dateTimeFormat = "yyyy-MM-dd hh:mm:ss";

// Switches read in the window's language, not as "true"/"false".
QString yesNo(bool on)
{
    return on ? StationTableModel::tr("Yes") : StationTableModel::tr("No");
}

// The operator's settings of a station, as the store keeps them.
bool sameSettings(const DBStation &a, const DBStation &b)
{
    return a.title == b.title && a.name == b.name && a.code == b.code && a.region == b.region &&
           a.basin == b.basin && a.no == b.no && a.device_type == b.device_type && a.phone == b.phone &&
           a.ip == b.ip && a.port == b.port && a.connection_period == b.connection_period &&
           a.active == b.active && a.coordinate == b.coordinate && a.email == b.email &&
           a.emaillist == b.emaillist && a.file_path == b.file_path && a.file_name == b.file_name &&
           a.export_text == b.export_text && a.export_excel == b.export_excel &&
           a.download_data == b.download_data;
}

// Statuses the workers store in English whatever the window's language (the
// store is read by other programs too): shown in the window's language.
struct StatusPattern
{
    const char *pattern;
    const char *text;
};
const StatusPattern statusPatterns[] = {
    {"^Download completed\\.", QT_TRANSLATE_NOOP("StationStatus", "Download completed.")},
    {"^Saving files\\.\\.", QT_TRANSLATE_NOOP("StationStatus", "Saving files..")},
    {"^Downloading packages \\(Total: (\\d+)\\)",
     QT_TRANSLATE_NOOP("StationStatus", "Downloading packages (Total: %1)")},
    {"^Downloading packages (\\d+)/(\\d+)", QT_TRANSLATE_NOOP("StationStatus", "Downloading packages %1/%2")},
    {"^Okunan istasyon kodu \"(.*)\"\\. Okunan kod ile kayıtlı kod eşleşmiyor!",
     QT_TRANSLATE_NOOP("StationStatus",
                       "Okunan istasyon kodu \"%1\". Okunan kod ile kayıtlı kod eşleşmiyor!")},
};

} // namespace

QString StationTableModel::shownStatus(const QString &status)
{
    static const QList<QRegularExpression> compiled = [] {
        QList<QRegularExpression> list;
        for (const StatusPattern &p : statusPatterns)
            list << QRegularExpression(QString::fromUtf8(p.pattern));
        return list;
    }();
    for (int k = 0; k < compiled.size(); ++k) {
        const QRegularExpressionMatch m = compiled.at(k).match(status);
        if (!m.hasMatch())
            continue;
        QString text = QCoreApplication::translate("StationStatus", statusPatterns[k].text);
        for (int i = 1; i <= compiled.at(k).captureCount(); ++i)
            text = text.arg(m.captured(i));
        return text + status.mid(m.capturedEnd());
    }
    return status;
}

StationTableModel::StationTableModel(QObject *parent) : QAbstractTableModel(parent)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    colorDisable = settings.value(QStringLiteral("Model/disable"), QStringLiteral("#999999")).toString();
    colorEnable = settings.value(QStringLiteral("Model/enable"), QStringLiteral("#FFFFFF")).toString();
    colorError = settings.value(QStringLiteral("Model/error"), QStringLiteral("#FFFFFF")).toString();
    colorDisableBackground =
        settings.value(QStringLiteral("Model/disable-background"), QStringLiteral("#F0F0F0")).toString();
    colorEnableBackground =
        settings.value(QStringLiteral("Model/enable-background"), QStringLiteral("#008080")).toString();
    colorErrorBackground =
        settings.value(QStringLiteral("Model/error-background"), QStringLiteral("#FF002A")).toString();
    colorDrift = settings.value(QStringLiteral("Model/drift"), QStringLiteral("#000000")).toString();
    colorDriftBackground =
        settings.value(QStringLiteral("Model/drift-background"), QStringLiteral("#FFC000")).toString();
    colorAlarm = settings.value(QStringLiteral("Model/alarm"), QStringLiteral("#FFFFFF")).toString();
    colorAlarmBackground =
        settings.value(QStringLiteral("Model/alarm-background"), QStringLiteral("#7B1FA2")).toString();

    stationList = DatabaseConnection::selectStations();
}

StationTableModel::~StationTableModel()
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Model/disable"), colorDisable);
    settings.setValue(QStringLiteral("Model/enable"), colorEnable);
    settings.setValue(QStringLiteral("Model/error"), colorError);
    settings.setValue(QStringLiteral("Model/disable-background"), colorDisableBackground);
    settings.setValue(QStringLiteral("Model/enable-background"), colorEnableBackground);
    settings.setValue(QStringLiteral("Model/error-background"), colorErrorBackground);
    settings.setValue(QStringLiteral("Model/drift"), colorDrift);
    settings.setValue(QStringLiteral("Model/drift-background"), colorDriftBackground);
    settings.setValue(QStringLiteral("Model/alarm"), colorAlarm);
    settings.setValue(QStringLiteral("Model/alarm-background"), colorAlarmBackground);
    settings.sync();
}

int StationTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : stationList.size();
}

int StationTableModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QVariant StationTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QVariant();
    return tr(headers[section]);
}

Qt::ItemFlags StationTableModel::flags(const QModelIndex &index) const
{
    if (index.row() < 0 || index.column() < 0)
        return Qt::ItemIsEnabled;
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

Qt::Alignment StationTableModel::alignment(int column)
{
    Qt::Alignment horizontal = Qt::AlignLeft;
    switch (column) {
    case 4:
    case 5:
    case 6:
    case 11:
        horizontal = Qt::AlignRight;
        break;
    case 7:
    case 12:
    case 15:
    case 17:
    case 20:
    case 21:
        horizontal = Qt::AlignHCenter;
        break;
    default:
        if (column >= ColumnFirstValue && column <= ColumnLastValue)
            horizontal = Qt::AlignRight;
        break;
    }
    return horizontal | Qt::AlignVCenter;
}

QVariant StationTableModel::displayValue(const DBStation &s, int column) const
{
    switch (column) {
    case 0:
        return s.id;
    case 1:
        return s.title;
    case 2:
        return s.name;
    case 3:
        return s.code;
    case 4:
        return s.region;
    case 5:
        return s.basin;
    case 6:
        return s.no;
    case 7:
        return s.device_type;
    case 8:
        return s.phone;
    case 9:
        return s.ip;
    case 10:
        return s.port;
    case 11:
        return s.connection_period;
    case 12:
        return s.last_connection_time.toString(QLatin1String(dateTimeFormat));
    case 13:
        return yesNo(s.active);
    case 14:
        return s.coordinate;
    case 15:
        return yesNo(s.email);
    case 16:
        return s.emaillist.join(QLatin1Char(','));
    case 17:
        return yesNo(s.download_data);
    case 18:
        return s.file_path;
    case 19:
        return s.file_name;
    case 20:
        return yesNo(s.export_text);
    case 21:
        return yesNo(s.export_excel);
    case ColumnStatus:
        return shownStatus(s.status);
    default:
        if (column >= ColumnFirstValue && column <= ColumnLastValue)
            return QString::number(double(s.values[size_t(column - ColumnFirstValue)]), 'f', 2);
        return QVariant();
    }
}

QVariant StationTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= stationList.size() || index.column() >= ColumnCount)
        return QVariant();
    const DBStation &s = stationList.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return displayValue(s, index.column());
    case Qt::TextAlignmentRole:
        return int(alignment(index.column()));
    case Qt::ForegroundRole:
        return QColor(!s.active            ? colorDisable
                      : hasValueAlarm(s)   ? colorAlarm
                      : isFailing(s)       ? colorError
                      : hasDriftWarning(s) ? colorDrift
                                           : colorEnable);
    case Qt::BackgroundRole:
        return QColor(!s.active            ? colorDisableBackground
                      : hasValueAlarm(s)   ? colorAlarmBackground
                      : isFailing(s)       ? colorErrorBackground
                      : hasDriftWarning(s) ? colorDriftBackground
                                           : colorEnableBackground);
    case Qt::FontRole:
        if (!s.active) {
            // Not by colour alone: a switched-off row reads differently.
            QFont font;
            font.setItalic(true);
            return font;
        }
        return QVariant();
    case Qt::ToolTipRole:
        if (index.column() == ColumnTitle)
            return s.title;
        if (index.column() == ColumnStatus)
            return statusToolTip(s);
        return QVariant();
    default:
        return QVariant();
    }
}

QString StationTableModel::statusToolTip(const DBStation &s) const
{
    QStringList parts{shownStatus(s.status)};
    if (!s.active)
        parts << tr("Collection is off for this station.");
    if (s.active) {
        QStringList alarms;
        for (const ChannelChecks::ActiveAlarm &a : alarmsByCode.value(s.code))
            alarms << alarmText(a);
        if (!alarms.isEmpty())
            parts << alarms.join(QLatin1Char('\n'));
    }
    const LastVisit last = lastVisits.value(s.id);
    if (s.active && isFailing(s)) {
        const QString format = QStringLiteral("yyyy-MM-dd hh:mm");
        QString failing = last.failingSince.isValid()
                              ? tr("Failing since %1").arg(last.failingSince.toString(format))
                          : last.lastSuccess.isValid()
                              ? tr("Failing; last success %1").arg(last.lastSuccess.toString(format))
                              : tr("Failing");
        if (last.failuresInRow > 0)
            failing += QLatin1Char(' ') + tr("(%n failed visit(s) in a row)", nullptr, last.failuresInRow);
        parts << failing;
    } else if (s.active && hasDriftWarning(s)) {
        parts << tr("The device clock was off beyond the limit at the last visit.");
    }
    const QString summary = statsSummaries.value(s.id);
    if (!summary.isEmpty())
        parts << summary;
    return parts.join(QStringLiteral("\n\n"));
}

bool StationTableModel::isFailing(const DBStation &station) const
{
    return station.active && (station.has_error || lastVisits.value(station.id).failed);
}

bool StationTableModel::hasDriftWarning(const DBStation &station) const
{
    return station.active && lastVisits.value(station.id).driftWarning;
}

bool StationTableModel::hasValueAlarm(const DBStation &station) const
{
    return station.active && alarmsByCode.contains(station.code);
}

QString StationTableModel::alarmText(const ChannelChecks::ActiveAlarm &alarm)
{
    const QString kind = alarm.kind == ValueAlarms::Kind::High  ? tr("high")
                         : alarm.kind == ValueAlarms::Kind::Low ? tr("low")
                                                                : tr("rise");
    return tr("Value alarm on channel %1: %2 since %3, value %4")
        .arg(QString::number(alarm.slot), kind,
             QartodFlags::dateTimeOf(alarm.since).toString(QStringLiteral("yyyy-MM-dd hh:mm")),
             QLocale().toString(alarm.value, 'g', 6));
}

void StationTableModel::showValueAlarms(const QList<ChannelChecks::ActiveAlarm> &alarms)
{
    QHash<QString, QList<ChannelChecks::ActiveAlarm>> byCode;
    for (const ChannelChecks::ActiveAlarm &a : alarms)
        byCode[a.code].append(a);
    const auto same = [](const QList<ChannelChecks::ActiveAlarm> &a,
                         const QList<ChannelChecks::ActiveAlarm> &b) {
        if (a.size() != b.size())
            return false;
        for (int i = 0; i < a.size(); ++i)
            if (a.at(i).slot != b.at(i).slot || a.at(i).kind != b.at(i).kind ||
                a.at(i).since != b.at(i).since || a.at(i).value != b.at(i).value)
                return false;
        return true;
    };
    QSet<QString> changed;
    for (auto it = byCode.constBegin(); it != byCode.constEnd(); ++it)
        if (!same(it.value(), alarmsByCode.value(it.key())))
            changed.insert(it.key());
    for (auto it = alarmsByCode.constBegin(); it != alarmsByCode.constEnd(); ++it)
        if (!byCode.contains(it.key()))
            changed.insert(it.key());
    alarmsByCode = byCode;
    for (int row = 0; row < stationList.size(); ++row)
        if (changed.contains(stationList.at(row).code))
            emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {});
}

void StationTableModel::announceStation(int id)
{
    for (int row = 0; row < stationList.size(); ++row) {
        if (stationList.at(row).id == id) {
            emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {});
            return;
        }
    }
}

void StationTableModel::visitEnded(int id, bool failed)
{
    LastVisit &last = lastVisits[id];
    if (failed && !last.failed)
        last.failingSince = QDateTime::currentDateTime();
    if (!failed)
        last.failingSince = QDateTime();
    last.failed = failed;
    last.ended = true;
    announceStation(id);
}

void StationTableModel::setVisitFacts(int id, bool driftWarning, int failuresInRow,
                                      const QDateTime &lastSuccess, bool justStored)
{
    LastVisit &last = lastVisits[id];
    // Before a visit of this run has ended, the statistics tell how the last
    // one went.
    const bool failed = last.ended ? last.failed : failuresInRow > 0;
    // The first failure in a row, stored just now: it began with that visit
    // (whether or not its end has been told yet).
    const bool began = justStored && failed && failuresInRow == 1 && !last.failingSince.isValid();
    if (last.driftWarning == driftWarning && last.failuresInRow == failuresInRow &&
        last.lastSuccess == lastSuccess && last.failed == failed && !began)
        return;
    last.failed = failed;
    if (began)
        last.failingSince = QDateTime::currentDateTime();
    last.driftWarning = driftWarning;
    last.failuresInRow = failuresInRow;
    last.lastSuccess = lastSuccess;
    announceStation(id);
}

bool StationTableModel::recordDeviceType(int id, const QString &type)
{
    if (!storeDeviceType(id, type))
        return false;
    noteDeviceType(id, type);
    return true;
}

bool StationTableModel::storeDeviceType(int id, const QString &type)
{
    QSqlQuery query(DatabaseConnection::database());
    query.prepare(QStringLiteral("UPDATE stations SET device_type = ? WHERE id = ? AND "
                                 "(device_type IS NULL OR device_type = '')"));
    query.addBindValue(type);
    query.addBindValue(id);
    return query.exec();
}

void StationTableModel::noteDeviceType(int id, const QString &type)
{
    for (int row = 0; row < stationList.size(); ++row) {
        DBStation &station = stationList[row];
        if (station.id != id || !station.device_type.isEmpty())
            continue;
        station.device_type = type;
        station.modified = false;
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {});
    }
}

void StationTableModel::setStatsSummary(int id, const QString &summary)
{
    statsSummaries.insert(id, summary);
    for (int row = 0; row < stationList.size(); ++row) {
        if (stationList.at(row).id == id) {
            const QModelIndex cell = index(row, ColumnStatus);
            emit dataChanged(cell, cell, {Qt::ToolTipRole});
            return;
        }
    }
}

bool StationTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole)
        return true;
    DBStation station;
    if (value.canConvert<DBStation>())
        station = value.value<DBStation>();

    if (!index.isValid()) {
        const int id = DatabaseConnection::insertStation(station);
        if (id == -1)
            return false;
        station.id = id;
        const int row = stationList.size();
        stationList.append(station);
        insertRows(row, 1);
        return true;
    }

    if (index.row() >= stationList.size())
        return false;
    if (!DatabaseConnection::updateStation(station))
        return false;
    stationList[index.row()] = station;
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1), {});
    return true;
}

bool StationTableModel::updateStations(const QList<int> &rows, const QList<DBStation> &records, bool *busy)
{
    if (busy)
        *busy = false;
    if (rows.size() != records.size())
        return false;
    for (int row : rows) {
        if (row < 0 || row >= stationList.size())
            return false;
    }
    if (!DatabaseConnection::updateStations(records, busy))
        return false;
    for (int i = 0; i < rows.size(); ++i) {
        stationList[rows.at(i)] = records.at(i);
        emit dataChanged(index(rows.at(i), 0), index(rows.at(i), ColumnCount - 1), {});
    }
    return true;
}

bool StationTableModel::updateStatuses(const QList<int> &rows, const QList<DBStation> &statuses, bool *busy)
{
    if (busy)
        *busy = false;
    if (rows.size() != statuses.size())
        return false;
    for (int i = 0; i < rows.size(); ++i) {
        const int row = rows.at(i);
        if (row < 0 || row >= stationList.size() || stationList.at(row).id != statuses.at(i).id)
            return false;
    }
    if (!DatabaseConnection::updateStatuses(statuses, busy)) {
        reportStatusStore(false, DatabaseConnection::lastWriteError());
        return false;
    }
    reportStatusStore(true, QString());
    showStoredStatuses(rows, statuses);
    return true;
}

void StationTableModel::reportStatusStore(bool stored, const QString &reason)
{
    if (stored)
        emit statusStoreWorking();
    else
        emit statusStoreFailed(reason);
}

void StationTableModel::showStoredStatuses(const QList<int> &rows, const QList<DBStation> &statuses)
{
    for (int i = 0; i < rows.size() && i < statuses.size(); ++i) {
        if (rows.at(i) < 0 || rows.at(i) >= stationList.size() ||
            stationList.at(rows.at(i)).id != statuses.at(i).id)
            continue;
        DBStation &record = stationList[rows.at(i)];
        const DBStation &status = statuses.at(i);
        record.status = status.status;
        record.last_connection_time = status.last_connection_time;
        record.values = status.values;
        record.has_error = status.has_error;
        record.modified = false;
        emit dataChanged(index(rows.at(i), 0), index(rows.at(i), ColumnCount - 1), {});
    }
}

void StationTableModel::showPublishedStatus(const DBStation &status)
{
    for (int row = 0; row < stationList.size(); ++row) {
        DBStation &record = stationList[row];
        if (record.id != status.id)
            continue;
        record.status = status.status;
        record.last_connection_time = status.last_connection_time;
        record.values = status.values;
        record.has_error = status.has_error;
        // The operator's last change already went to the worker when it was
        // made: a status must not send it again.
        record.modified = false;
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {});
        return;
    }
}

bool StationTableModel::insertRows(int row, int count, const QModelIndex &)
{
    beginInsertRows(QModelIndex(), row, row + count - 1);
    endInsertRows();
    return true;
}

bool StationTableModel::removeRows(int row, int count, const QModelIndex &)
{
    if (row < 0 || count < 1 || row + count > stationList.size())
        return false;
    // The database goes first and only rows it deleted leave the list, each
    // announced while its record is still there (the controller stops its
    // worker on that signal). A refused delete leaves that row and the rest.
    bool removedAll = true;
    for (int i = 0; i < count; ++i) {
        if (!DatabaseConnection::deleteStation(stationList.at(row).id)) {
            removedAll = false;
            break;
        }
        beginRemoveRows(QModelIndex(), row, row);
        lastVisits.remove(stationList.at(row).id);
        stationList.removeAt(row);
        endRemoveRows();
    }
    // Listeners recount on this; past the last row the range is invalid.
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {});
    return removedAll;
}

void StationTableModel::followStore(const QList<DBStation> &stored, const QSet<int> &ownStatuses)
{
    QHash<int, int> storedRow;
    for (int i = 0; i < stored.size(); ++i)
        storedRow.insert(stored.at(i).id, i);

    for (int row = stationList.size() - 1; row >= 0; --row) {
        if (storedRow.contains(stationList.at(row).id))
            continue;
        // Deleted by another operator: the controller stops its worker on this.
        beginRemoveRows(QModelIndex(), row, row);
        stationList.removeAt(row);
        endRemoveRows();
    }

    QHash<int, int> ownRow;
    for (int row = 0; row < stationList.size(); ++row)
        ownRow.insert(stationList.at(row).id, row);
    for (const DBStation &s : stored) {
        const auto found = ownRow.constFind(s.id);
        if (found == ownRow.constEnd()) {
            const int row = stationList.size();
            beginInsertRows(QModelIndex(), row, row);
            stationList.append(s);
            endInsertRows();
            continue;
        }
        const int row = found.value();
        const DBStation current = stationList.at(row);
        DBStation next = s;
        // What only this program knows: the latest instant values and whether
        // its own last visit failed.
        next.values = current.values;
        if (ownStatuses.contains(s.id)) {
            next.status = current.status;
            next.last_connection_time = current.last_connection_time;
            next.has_error = current.has_error;
        } else {
            // Another collector's visits: what it stored is all there is.
            lastVisits[s.id].failed = s.has_error;
        }
        // A device type a visit recorded is no operator's change: taken
        // without a visit of its own.
        DBStation withOwnType = next;
        if (current.device_type.isEmpty())
            withOwnType.device_type = current.device_type;
        const bool settingsChanged = !sameSettings(current, withOwnType);
        if (!settingsChanged && next.device_type == current.device_type && next.status == current.status &&
            next.last_connection_time == current.last_connection_time && next.has_error == current.has_error)
            continue;
        next.modified = settingsChanged;
        stationList[row] = next;
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {});
        stationList[row].modified = false;
    }
}
