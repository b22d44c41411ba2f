#include "datafilehead.h"

#include <QFile>
#include <QXmlStreamReader>

namespace {

// The header stands at the start; channel lists of any real device fit.
constexpr qint64 headBytes = 1 << 16;
constexpr qint64 tailBytes = 64;

} // namespace

DataFileHead DataFileHead::read(const QString &path)
{
    DataFileHead head;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return head;
    head.exists = true;
    const qint64 size = file.size();
    QXmlStreamReader reader(file.read(headBytes));
    reader.setNamespaceProcessing(false);
    bool inSetup = false;
    bool inMemory = false;
    bool memoryRead = false;
    while (!memoryRead && !reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringRef name = reader.qualifiedName();
            // The first setup's memory, as the resume point reads it.
            if (name == QLatin1String("setup")) {
                inSetup = true;
            } else if (inSetup && name == QLatin1String("memory")) {
                inMemory = true;
            } else if (inMemory && name == QLatin1String("page")) {
                head.page = reader.readElementText(QXmlStreamReader::IncludeChildElements).toInt();
            } else if (inMemory && name == QLatin1String("buffer")) {
                head.buffer = reader.readElementText(QXmlStreamReader::IncludeChildElements).toInt();
            } else if (inMemory && name == QLatin1String("time_base")) {
                head.timeBase = reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            } else if (name == QLatin1String("data")) {
                break;
            }
        } else if (token == QXmlStreamReader::EndElement && inMemory &&
                   reader.qualifiedName() == QLatin1String("memory")) {
            memoryRead = true;
        }
    }
    if (!memoryRead || !file.seek(qMax<qint64>(0, size - tailBytes)))
        return head;
    head.whole = file.read(tailBytes).trimmed().endsWith("</device>");
    return head;
}
