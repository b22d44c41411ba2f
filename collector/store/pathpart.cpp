#include "pathpart.h"

namespace {

bool forbidden(QChar c)
{
    switch (c.unicode()) {
    case '/':
    case '\\':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
        return true;
    default:
        break;
    }
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Other_Format ||
           category == QChar::Separator_Line || category == QChar::Separator_Paragraph;
}

} // namespace

QString PathPart::fileName(const QString &text)
{
    QString name;
    name.reserve(text.size());
    for (const QChar c : text)
        name.append(forbidden(c) ? QLatin1Char('_') : c);
    name = name.trimmed();
    // "..", "." and hidden names: a name starts with something else.
    int dots = 0;
    while (dots < name.size() && name.at(dots) == QLatin1Char('.'))
        ++dots;
    name = name.mid(dots).trimmed();
    // Some file systems drop trailing dots, which could make "a." name "a".
    while (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name.trimmed();
}
