#include "storehealth.h"

#include <QCoreApplication>

void StoreHealth::failed(const QString &reason, const QDateTime &at)
{
    if (!m_since.isValid())
        m_since = at;
    // The database's words: one short line, whatever it sent.
    QString line = reason.simplified();
    for (QChar &c : line) {
        if (!c.isPrint())
            c = QLatin1Char(' ');
    }
    if (line.size() > 200)
        line = line.left(200) + QStringLiteral("...");
    m_reason = line;
}

void StoreHealth::worked()
{
    m_since = QDateTime();
    m_reason.clear();
}

QString StoreHealth::text() const
{
    if (!m_since.isValid())
        return QString();
    const QString since = m_since.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (m_reason.isEmpty())
        return QCoreApplication::translate("StoreHealth", "The database has not stored statuses since %1.")
            .arg(since);
    return QCoreApplication::translate("StoreHealth", "The database has not stored statuses since %1: %2")
        .arg(since, m_reason);
}
