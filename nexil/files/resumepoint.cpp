#include "resumepoint.h"

#include <QXmlStreamReader>

bool ResumePoint::read(QIODevice *device)
{
    QXmlStreamReader reader(device);
    // Names are taken as written, prefixes included, as a document read
    // without namespace processing has them; it is also faster.
    reader.setNamespaceProcessing(false);
    ResumePoint found;
    // Depths of the first setup element and of its first memory child;
    // 0 while not inside them.
    int depth = 0;
    int setupDepth = 0;
    int memoryDepth = 0;
    bool setupSeen = false;
    bool memorySeen = false;
    bool pageSeen = false;
    bool bufferSeen = false;
    bool baseSeen = false;

    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (depth == memoryDepth)
                memoryDepth = 0;
            if (depth == setupDepth)
                setupDepth = 0;
            --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        ++depth;
        const QStringRef name = reader.qualifiedName();
        if (name == QLatin1String("line")) {
            const QXmlStreamAttributes a = reader.attributes();
            if (a.value(QLatin1String("setTime")) == QLatin1String("true")) {
                found.hasTime = true;
                found.date = a.value(QLatin1String("date")).toString();
                found.time = a.value(QLatin1String("time")).toString();
            }
        } else if (!setupSeen && depth > 1 && name == QLatin1String("setup")) {
            setupSeen = true;
            setupDepth = depth;
        } else if (setupDepth && !memorySeen && depth == setupDepth + 1 && name == QLatin1String("memory")) {
            memorySeen = true;
            memoryDepth = depth;
        } else if (memoryDepth && depth == memoryDepth + 1 && !baseSeen &&
                   name == QLatin1String("time_base")) {
            baseSeen = true;
            found.timeBase = reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            --depth;
        } else if (memoryDepth && depth == memoryDepth + 1 &&
                   ((!pageSeen && name == QLatin1String("page")) ||
                    (!bufferSeen && name == QLatin1String("buffer")))) {
            const bool isPage = name == QLatin1String("page");
            const int value = reader.readElementText(QXmlStreamReader::IncludeChildElements).toInt();
            --depth; // readElementText consumed the end element
            if (isPage) {
                pageSeen = true;
                found.page = value;
            } else {
                bufferSeen = true;
                found.buffer = value;
            }
        }
    }
    if (reader.hasError())
        return false;
    *this = found;
    return true;
}
