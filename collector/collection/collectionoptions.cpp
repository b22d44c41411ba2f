#include "collectionoptions.h"

#include "serviceconfig.h"

#include <QSettings>
#include <QStringList>

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
    // A list-looking value comes back from QSettings as a string list.
    const QVariant retry = value("retryMinutes");
    if (retry.isValid())
        o.retryMinutes = parseMinutes(retry.toStringList().join(QLatin1Char(',')));
    o.clockDriftWarnSeconds = positive(value("clockDriftWarnSeconds"), o.clockDriftWarnSeconds);
    o.clockSync = flag(value("clockSync"), false);
    o.devicePassword = value("devicePassword").toString();
    o.memoryWarnDays = positive(value("memoryWarnDays"), o.memoryWarnDays);
    o.alertAfterFailures = positive(value("alertAfterFailures"), o.alertAfterFailures);
    o.smtpServer = value("smtpServer").toString().trimmed();
    o.smtpPort = positive(value("smtpPort"), o.smtpPort);
    o.smtpTls = value("smtpTls", o.smtpTls).toString().trimmed().toLower();
    o.smtpUser = value("smtpUser").toString();
    o.smtpPassword = value("smtpPassword").toString();
    o.smtpFrom = value("smtpFrom", o.smtpFrom).toString().trimmed();
    // Tests of whole collector processes run on short minutes.
    const int minuteMs = qEnvironmentVariableIntValue("TQM510_MINUTE_MS");
    if (minuteMs > 0)
        o.minuteMs = minuteMs;
    return o;
}
