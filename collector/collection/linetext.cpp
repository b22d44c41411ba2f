#include "linetext.h"

namespace {

bool isControl(ushort c)
{
    // C0, DEL, C1 and the Unicode line and paragraph separators.
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
}

} // namespace

QString LineText::oneLine(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const ushort c = ch.unicode();
        if (!isControl(c)) {
            out += ch;
            continue;
        }
        switch (c) {
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            out += c <= 0xff ? QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'))
                             : QStringLiteral("\\u%1").arg(c, 4, 16, QLatin1Char('0'));
            break;
        }
    }
    return out;
}
