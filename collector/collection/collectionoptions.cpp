#include "collectionoptions.h"

#include "serviceconfig.h"

#include <QFile>
#include <QHash>
#include <QSettings>
#include <QStringList>
#include <QTextStream>

namespace {

int positive(const QVariant &value, int fallback)
{
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok);
    return ok && number > 0 ? number : fallback;
}

// QVariant takes any text but "false" and "0" for true: "no" and "off" too.
bool flag(const QVariant &value, bool fallback)
{
    if (!value.isValid())
        return fallback;
    if (value.type() == QVariant::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("yes") || text == QLatin1String("on") ||
        text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("no") || text == QLatin1String("off") ||
        text == QLatin1String("0"))
        return false;
    return fallback;
}

// The text after "key=" in the SETTINGS group of an INI file as written, and
// whether the key is there. QSettings would split it at commas into a list and
// end it at a semicolon; passwords and addresses are read whole instead. A
// value in double quotes (as QSettings writes one) is left to QSettings.
QHash<QString, QString> rawSettings(const QString &path)
{
    QHash<QString, QString> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    QTextStream in(&file);
    in.setCodec("UTF-8");
    bool inGroup = false;
    QString line;
    while (in.readLineInto(&line)) {
        const QString t = line.trimmed();
        if (t.startsWith(QLatin1Char('['))) {
            inGroup = t.compare(QLatin1String("[SETTINGS]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (!inGroup || eq <= 0 || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
            continue;
        values.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return values;
}

} // namespace

QList<int> CollectionOptions::parseMinutes(const QString &text)
{
    QList<int> minutes;
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        bool ok = false;
        const int value = part.trimmed().toInt(&ok);
        if (ok && value > 0)
            minutes.append(value);
    }
    return minutes;
}

QList<int> CollectionOptions::defaultRetryMinutes()
{
    return parseMinutes(QStringLiteral("2,5,15"));
}

CollectionOptions CollectionOptions::load(const QString &settingsFile)
{
    CollectionOptions o;
    const QSettings ini(settingsFile, QSettings::IniFormat);
    // The administrator's configuration file and credentials come first.
    const ServiceConfig &config = ServiceConfig::current();
    const auto value = [&](const char *key, const QVariant &fallback = QVariant()) {
        return config.setting(ini, QLatin1String(key), fallback);
    };
    const QHash<QString, QString> raw = rawSettings(settingsFile);
    const auto text = [&](const char *key, const QString &fallback = QString()) {
        const QString name = QLatin1String(key);
        if (config.contains(name))
            return config.value(name);
        const auto it = raw.constFind(name);
        if (it == raw.cend())
            return fallback;
        const QVariant parsed = ini.value(QStringLiteral("SETTINGS/") + name);
        const bool quoted =
            it->size() >= 2 && it->startsWith(QLatin1Char('"')) && it->endsWith(QLatin1Char('"'));
        if (quoted && parsed.type() == QVariant::String)
            return parsed.toString();
        return *it;
    };
    // A list-looking value comes back from QSettings as a string list.
    const QVariant retry = value("retryMinutes");
    if (retry.isValid())
        o.retryMinutes = parseMinutes(retry.toStringList().join(QLatin1Char(',')));
    o.clockDriftWarnSeconds = positive(value("clockDriftWarnSeconds"), o.clockDriftWarnSeconds);
    o.clockSync = flag(value("clockSync"), false);
    o.devicePassword = text("devicePassword");
    o.memoryWarnDays = positive(value("memoryWarnDays"), o.memoryWarnDays);
    o.alertAfterFailures = positive(value("alertAfterFailures"), o.alertAfterFailures);
    o.smtpServer = text("smtpServer").trimmed();
    o.smtpPort = positive(value("smtpPort"), o.smtpPort);
    o.smtpTls = text("smtpTls", o.smtpTls).trimmed().toLower();
    o.smtpUser = text("smtpUser");
    o.smtpPassword = text("smtpPassword");
    o.smtpFrom = text("smtpFrom", o.smtpFrom).trimmed();
    o.smtpAllowPlainLogin = flag(value("smtpAllowPlainLogin"), false);
    o.utcOffset = text("utcOffset").trimmed();
    // 0 lifts the limit; text that is no number keeps the default.
    bool limitOk = false;
    const int limit = value("maxVisitsInFlight").toString().trimmed().toInt(&limitOk);
    if (limitOk && limit >= 0)
        o.maxVisitsInFlight = limit;
    // Tests of whole collector processes run on short minutes.
    const int minuteMs = qEnvironmentVariableIntValue("TQM510_MINUTE_MS");
    if (minuteMs > 0)
        o.minuteMs = minuteMs;
    return o;
}
