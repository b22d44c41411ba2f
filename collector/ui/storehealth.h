#pragma once

#include <QDateTime>
#include <QString>

// Whether the store takes the workers' statuses: since when it refuses them
// and why, told in one line for the status bar.
class StoreHealth
{
public:
    // A write failed; the first failure of a run sets "since".
    void failed(const QString &reason, const QDateTime &at);
    void worked();

    bool isFailing() const { return m_since.isValid(); }
    QDateTime since() const { return m_since; }
    // Empty while the store works.
    QString text() const;

private:
    QDateTime m_since;
    QString m_reason;
};
