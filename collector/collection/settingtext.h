#pragma once

#include <QString>
#include <QStringList>

// The pieces of the compact per-channel settings texts
// ("gross=-1,10;spike=0.3,0.6", "high=2.5,2.3;rise=0.2,1h"): numbers,
// durations and "name=a,b" items, read strictly so that a typing error is
// reported rather than taken as some other limit.
namespace SettingText {

// Longest settings text accepted; anything longer is refused unread.
constexpr int maxLength = 1000;

struct Item
{
    QString name;
    QStringList args;
};

// Splits "a=1,2; b=3" into items; false with *error for an empty or
// unnamed item, a repeated name or a text that is too long.
bool splitItems(const QString &text, QList<Item> *items, QString *error);

// A finite decimal number ("-1", "0.25", "1e-3"); false for anything else.
bool parseNumber(const QString &text, double *value);
// A whole number of minutes, days or hours: "90m", "2h", "1d"; false for
// a missing or other unit, zero, a negative or a too long duration.
bool parseDuration(const QString &text, qint64 *minutes);

// The shortest text that reads back as the same number.
QString number(double value);
// "1d", "2h" or "90m", whichever is exact.
QString duration(qint64 minutes);

// A part of the caller's text for an error message: one line, cut short.
QString quoted(const QString &text);

// The message for an item whose values do not fit: the item as given and
// the form it should have ("spike=LOW,HIGH").
QString badItem(const Item &item, const QString &form);

} // namespace SettingText
