#include "collectionoptions.h"

#include <QSettings>
#include <QStringList>

namespace {

int positive(const QSettings &settings, const char *key, int fallback)
{
    bool ok = false;
    const int value = settings.value(QLatin1String(key)).toString().trimmed().toInt(&ok);
    return ok && value > 0 ? value : fallback;
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
    const QSettings s(settingsFile, QSettings::IniFormat);
    // A list-looking value comes back from QSettings as a string list.
    const QVariant retry = s.value(QStringLiteral("SETTINGS/retryMinutes"));
    if (retry.isValid())
        o.retryMinutes = parseMinutes(retry.toStringList().join(QLatin1Char(',')));
    o.clockDriftWarnSeconds = positive(s, "SETTINGS/clockDriftWarnSeconds", o.clockDriftWarnSeconds);
    o.clockSync = s.value(QStringLiteral("SETTINGS/clockSync"), false).toBool();
    o.devicePassword = s.value(QStringLiteral("SETTINGS/devicePassword")).toString();
    o.memoryWarnDays = positive(s, "SETTINGS/memoryWarnDays", o.memoryWarnDays);
    o.alertAfterFailures = positive(s, "SETTINGS/alertAfterFailures", o.alertAfterFailures);
    o.smtpServer = s.value(QStringLiteral("SETTINGS/smtpServer")).toString().trimmed();
    o.smtpPort = positive(s, "SETTINGS/smtpPort", o.smtpPort);
    o.smtpTls = s.value(QStringLiteral("SETTINGS/smtpTls"), o.smtpTls).toString().trimmed().toLower();
    o.smtpUser = s.value(QStringLiteral("SETTINGS/smtpUser")).toString();
    o.smtpPassword = s.value(QStringLiteral("SETTINGS/smtpPassword")).toString();
    o.smtpFrom = s.value(QStringLiteral("SETTINGS/smtpFrom"), o.smtpFrom).toString().trimmed();
    // Tests of whole collector processes run on short minutes.
    const int minuteMs = qEnvironmentVariableIntValue("TQM510_MINUTE_MS");
    if (minuteMs > 0)
        o.minuteMs = minuteMs;
    return o;
}
