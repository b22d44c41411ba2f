#include "nexil/configuration/uploadcheck.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("UploadCheck", text);
}

QString joined(const QStringList &names)
{
    if (names.size() <= 1)
        return names.join(QString());
    return QCoreApplication::translate("UploadCheck", "%1 and %2")
        .arg(names.mid(0, names.size() - 1).join(QStringLiteral(", ")), names.last());
}

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

} // namespace

void UploadCheck::sent(const QString &record, Outcome answer)
{
    m_answers.insert(record, answer);
}

QList<UploadCheck::Result> UploadCheck::results() const
{
    QList<Result> out;
    for (const QString &key : m_meant.present()) {
        Result r;
        r.record = key;
        r.outcome = m_answers.value(key, Outcome::NotSent);
        // An acknowledged upload counts only once the device shows it.
        if (r.outcome == Outcome::Confirmed) {
            if (!m_readBack.has(key)) {
                r.outcome = Outcome::NotReadBack;
            } else {
                r.differences = ConfigSnapshot::diffRecord(key, m_meant.record(key), m_readBack.record(key));
                if (!r.differences.isEmpty())
                    r.outcome = Outcome::Differs;
            }
        }
        out << r;
    }
    return out;
}

bool UploadCheck::allConfirmed() const
{
    const QList<Result> all = results();
    return std::all_of(all.cbegin(), all.cend(), [](const Result &r) { return r.confirmed(); });
}

QString UploadCheck::recordName(const QString &record)
{
    if (record == ConfigSnapshot::setupKey())
        return tr("setup");
    if (record == ConfigSnapshot::namesKey())
        return tr("channel names");
    if (record == ConfigSnapshot::calibrationsKey())
        return tr("calibrations");
    return tr("alarms");
}

QString UploadCheck::reason(const Result &r)
{
    switch (r.outcome) {
    case Outcome::Confirmed:
        return QString();
    case Outcome::NotAnswered:
        return tr("the device did not answer");
    case Outcome::Refused:
        return tr("the device refused it (wrong password)");
    case Outcome::NotSent:
        return tr("not sent");
    case Outcome::NotReadBack:
        return tr("it could not be read back");
    case Outcome::Differs:
        break;
    }
    QStringList fields;
    for (const ConfigChange &c : r.differences)
        fields << tr("%1 %2 instead of %3")
                      .arg(c.label(), ConfigChange::valueText(c.to), ConfigChange::valueText(c.from));
    return tr("the device reports %1").arg(fields.join(QStringLiteral(", ")));
}

QString UploadCheck::summary() const
{
    QStringList confirmed;
    QStringList parts;
    for (const Result &r : results()) {
        if (r.confirmed())
            confirmed << recordName(r.record);
        else
            parts << tr("%1 not confirmed: %2").arg(recordName(r.record), reason(r));
    }
    if (!confirmed.isEmpty())
        parts.prepend(tr("%1 confirmed").arg(joined(confirmed)));
    return capitalised(parts.join(QStringLiteral("; ")));
}

QJsonObject UploadCheck::toJson() const
{
    QJsonObject out;
    for (const Result &r : results())
        out.insert(r.record, r.confirmed() ? QStringLiteral("confirmed")
                                           : QStringLiteral("not confirmed: ") + reason(r));
    return out;
}
