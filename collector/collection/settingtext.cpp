#include "collection/settingtext.h"

#include "collection/linetext.h"

#include <QSet>

#include <cmath>

namespace SettingText {

namespace {
// A year at most: longer windows are a typing error, and minute counts stay
// far from overflow.
constexpr qint64 maxMinutes = 366LL * 24 * 60;
} // namespace

bool splitItems(const QString &text, QList<Item> *items, QString *error)
{
    items->clear();
    if (text.size() > maxLength) {
        *error = QStringLiteral("settings text longer than %1 characters").arg(maxLength);
        return false;
    }
    QSet<QString> seen;
    for (const QString &part : text.split(QLatin1Char(';'))) {
        const QString trimmed = part.trimmed();
        if (trimmed.isEmpty())
            continue; // "a=1;;b=2" and a trailing ';' are harmless
        const int eq = trimmed.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            *error = QStringLiteral("%1: expected name=values").arg(quoted(trimmed));
            return false;
        }
        Item item;
        item.name = trimmed.left(eq).trimmed().toLower();
        for (const QString &arg : trimmed.mid(eq + 1).split(QLatin1Char(',')))
            item.args.append(arg.trimmed());
        if (seen.contains(item.name)) {
            *error = QStringLiteral("%1 given twice").arg(quoted(item.name));
            return false;
        }
        seen.insert(item.name);
        items->append(item);
    }
    return true;
}

bool parseNumber(const QString &text, double *value)
{
    if (text.isEmpty() || text.size() > 40)
        return false;
    for (const QChar c : text) {
        const char l = c.toLatin1();
        if (!(l >= '0' && l <= '9') && l != '.' && l != '-' && l != '+' && l != 'e' && l != 'E')
            return false; // no "nan", "inf", hex or locale forms
    }
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

bool parseDuration(const QString &text, qint64 *minutes)
{
    if (text.size() < 2 || text.size() > 12)
        return false;
    qint64 unit = 0;
    switch (text.back().toLatin1()) {
    case 'm':
        unit = 1;
        break;
    case 'h':
        unit = 60;
        break;
    case 'd':
        unit = 24 * 60;
        break;
    default:
        return false;
    }
    const QString digits = text.left(text.size() - 1);
    for (const QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    bool ok = false;
    const qint64 count = digits.toLongLong(&ok);
    if (!ok || count <= 0 || count > maxMinutes / unit)
        return false;
    *minutes = count * unit;
    return true;
}

QString number(double value)
{
    // Qt's conversions, not the C library's: those follow the process's
    // locale, which writes a decimal comma in Turkish.
    QString text;
    for (int precision = 15; precision <= 17; ++precision) {
        text = QString::number(value, 'g', precision);
        if (text.toDouble() == value)
            break;
    }
    return text;
}

QString duration(qint64 minutes)
{
    if (minutes % (24 * 60) == 0)
        return QStringLiteral("%1d").arg(minutes / (24 * 60));
    if (minutes % 60 == 0)
        return QStringLiteral("%1h").arg(minutes / 60);
    return QStringLiteral("%1m").arg(minutes);
}

QString quoted(const QString &text)
{
    QString shown = LineText::oneLine(text);
    if (shown.size() > 40)
        shown = shown.left(40) + QStringLiteral("...");
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

QString badItem(const Item &item, const QString &form)
{
    return QStringLiteral("%1: expected %2")
        .arg(quoted(item.name + QLatin1Char('=') + item.args.join(QLatin1Char(','))), form);
}

} // namespace SettingText
